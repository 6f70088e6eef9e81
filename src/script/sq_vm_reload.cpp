#include "script/sq_vm_reload.h"

#include <sqstdmath.h>
#include <sqstdstring.h>
#include <strings.h>

#include <cerrno>

#include "script/sq_vm.h"
#include "script/sqbind.h"
#include "support/file_path.h"
#include "support/file_read.h"

static const char *const reg_key = "SqReloadableVM";

void sq_include(HSQUIRRELVM v, const char *name)
{
  SqReloadableVM *rvm = static_cast<SqReloadableVM *>(sqbind::getReg(v, reg_key));
  G_ASSERT(rvm);
  if (!rvm->addScript(name))
    sqbind::throw_call_failure(v, "include failed");
}

SqReloadableVM::~SqReloadableVM()
{
  close();
  scripts.clear();
}

bool SqReloadableVM::init(SQInteger stack_size)
{
  vm = open_vm(stack_size);
  if (!vm)
    return false;
  sq_pushregistrytable(vm);
  sq_pushstring(vm, reg_key, -1);
  sq_pushuserpointer(vm, this);
  sq_newslot(vm, -3, SQFalse);
  sq_pop(vm, 1);
  return registerStdFunctions();
}

void SqReloadableVM::close()
{
  close_vm(vm);
  vm = nullptr;
}

bool SqReloadableVM::registerStdFunctions()
{
  sqbind::bind_function(vm, sqbind::root_table(vm), "include", &sq_include);
  sq_pushroottable(vm);
  sqstd_register_mathlib(vm);
  sqstd_register_stringlib(vm);
  sq_pop(vm, 1);
  return true;
}

bool SqReloadableVM::addScript(const char *path)
{
  if (!vm)
    return false;
  if (!path || !*path)
    return script_load_failed(vm, "", "empty file name");
  TempString<260> full = make_full_path(path);
  if (!full.str[0])
    return script_load_failed(vm, path, file_error_text(ENAMETOOLONG));
  for (const Script &s : scripts)
    if (strcasecmp(s.path, full) == 0)
      return true;
  Script rec;
  snprintf(rec.path, sizeof(rec.path), "%s", full.c_str());
  rec.time = get_file_time(rec.path);
  scripts.push_back(rec);
  return run_file(vm, rec.path);
}

bool SqReloadableVM::isModified()
{
  for (const Script &s : scripts)
    if (get_file_time(s.path) != s.time)
      return true;
  return false;
}

bool SqReloadableVM::reload(bool force) { return reloadScripts(force); }

bool SqReloadableVM::reloadScripts(bool force)
{
  // A run may include new files, which appends to the list and may move it: loop by index over
  // the files listed now and copy the path before running.
  int count = scripts.size();
  for (int i = 0; i < count; i++)
  {
    int64_t t = get_file_time(scripts[i].path);
    if (!force && t == scripts[i].time)
      continue;
    scripts[i].time = t;
    char path[260];
    memcpy(path, scripts[i].path, sizeof(path));
    if (!run_file(vm, path))
      return false;
  }
  return true;
}
