#include "script/sq_vm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/sq_object.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

void sq_print_func(HSQUIRRELVM, const SQChar *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vdebug(fmt, ap);
  va_end(ap);
  fflush(stdout);
}

void format_source_name(char *buf, int size, const char *source)
{
  if (!source)
    source = "unknown";
  size_t l = strlen(app_path);
  if (l && strncmp(source, app_path, l) == 0)
    snprintf(buf, size, "bin/%s", source + l);
  else if (source[0] == '/')
    snprintf(buf, size, "%s", source);
  else
    snprintf(buf, size, "bin/%s", source);
}

static void compiler_error(HSQUIRRELVM v, const SQChar *desc, const SQChar *source, SQInteger line,
                           SQInteger column)
{
  SQPRINTFUNCTION pf = sq_getprintfunc(v);
  if (!pf)
    return;
  char name[300];
  format_source_name(name, sizeof(name), source);
  pf(v, "%s(%lld,%lld): error: %s\n", name, (long long)line, (long long)column, desc ? desc : "unknown");
}

static void print_local(SQPRINTFUNCTION pf, HSQUIRRELVM v, const SQChar *name)
{
  switch (sq_gettype(v, -1))
  {
    case OT_NULL: pf(v, "[%s] NULL\n", name); break;
    case OT_INTEGER:
    {
      SQInteger i = 0;
      sq_getinteger(v, -1, &i);
      pf(v, "[%s] %lld\n", name, (long long)i);
      break;
    }
    case OT_FLOAT:
    {
      SQFloat f = 0;
      sq_getfloat(v, -1, &f);
      pf(v, "[%s] %.14g\n", name, double(f));
      break;
    }
    case OT_BOOL:
    {
      SQBool b = SQFalse;
      sq_getbool(v, -1, &b);
      pf(v, "[%s] %s\n", name, b ? "true" : "false");
      break;
    }
    case OT_STRING:
    {
      const SQChar *s = nullptr;
      sq_getstring(v, -1, &s);
      pf(v, "[%s] \"%s\"\n", name, s);
      break;
    }
    case OT_USERPOINTER: pf(v, "[%s] USERPOINTER\n", name); break;
    case OT_TABLE: pf(v, "[%s] TABLE\n", name); break;
    case OT_ARRAY: pf(v, "[%s] ARRAY\n", name); break;
    case OT_CLOSURE: pf(v, "[%s] CLOSURE\n", name); break;
    case OT_NATIVECLOSURE: pf(v, "[%s] NATIVECLOSURE\n", name); break;
    case OT_GENERATOR: pf(v, "[%s] GENERATOR\n", name); break;
    case OT_USERDATA: pf(v, "[%s] USERDATA\n", name); break;
    case OT_THREAD: pf(v, "[%s] THREAD\n", name); break;
    case OT_CLASS: pf(v, "[%s] CLASS\n", name); break;
    case OT_INSTANCE: pf(v, "[%s] INSTANCE\n", name); break;
    case OT_WEAKREF: pf(v, "[%s] WEAKREF\n", name); break;
    default: break;
  }
}

// The runtime error handler: the error text, the call stack and the locals of every level.
static SQInteger runtime_error_handler(HSQUIRRELVM v)
{
  SQPRINTFUNCTION pf = sq_getprintfunc(v);
  if (!pf)
    return 0;
  const SQChar *err = nullptr;
  if (sq_gettop(v) < 2 || SQ_FAILED(sq_getstring(v, 2, &err)))
    err = "unknown";

  pf(v, "\nCALLSTACK\n");
  SQStackInfos si;
  char src[300];
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); level++)
  {
    format_source_name(src, sizeof(src), si.source ? si.source : "unknown");
    const char *fn = si.funcname ? si.funcname : "unknown";
    if (level == 1)
      pf(v, "%s(%lld): ERROR: %s (in %s())\n", src, (long long)si.line, err, fn);
    else
      pf(v, "%s(%lld): function %s() (CALLSTACK)\n", src, (long long)si.line, fn);
  }

  pf(v, "\nLOCALS\n");
  for (SQUnsignedInteger level = 0; level < 20; level++)
    for (SQUnsignedInteger seq = 0;; seq++)
    {
      const SQChar *name = sq_getlocal(v, level, seq);
      if (!name)
        break;
      print_local(pf, v, name);
      sq_pop(v, 1);
    }
  return 0;
}

HSQUIRRELVM open_vm(SQInteger stack_size)
{
  HSQUIRRELVM v = sq_open(stack_size);
  if (!v)
    return nullptr;
  sqbind::mark_vm_open(v);
  sq_setprintfunc(v, sq_print_func, sq_print_func);
  sq_setcompilererrorhandler(v, compiler_error);
  sq_newclosure(v, runtime_error_handler, 0);
  sq_seterrorhandler(v);
  return v;
}

void close_vm(HSQUIRRELVM v)
{
  if (!v)
    return;
  sq_collectgarbage(v);
  sq_close(v);
  sqbind::mark_vm_closed(v);
}

bool compile_buffer(HSQUIRRELVM v, const char *text, SQInteger length, const char *source_name)
{
  return SQ_SUCCEEDED(sq_compilebuffer(v, text, length, source_name, SQTrue));
}

bool script_load_failed(HSQUIRRELVM v, const char *path, const char *reason)
{
  char msg[600];
  snprintf(msg, sizeof(msg), "can't load script '%s': %s", path, reason);
  debug("%s", msg);
  sq_throwerror(v, msg);  // only records the text as the machine's last error
  return false;
}

bool compile_file(HSQUIRRELVM v, const char *path)
{
  std::string text;
  int err = 0;
  if (!read_file(path, MAX_SCRIPT_FILE, text, err))
    return script_load_failed(v, path, file_error_text(err));
  return compile_buffer(v, text.c_str(), SQInteger(text.size()), path);
}

bool run_file(HSQUIRRELVM v, const char *path)
{
  if (!compile_file(v, path))
    return false;
  sq_pushroottable(v);
  bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
  sq_pop(v, 1);
  return ok;
}
