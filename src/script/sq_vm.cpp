#include "script/sq_vm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/sq_object.h"
#include "script/sqbind.h"
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

namespace
{
// The last compile error as it was printed; compile_buffer makes it the machine's last error, so
// that every report of a failed load names the file, line and column.
char compile_error_text[1024];

void compiler_error(HSQUIRRELVM v, const SQChar *desc, const SQChar *source, SQInteger line, SQInteger column)
{
  char name[300];
  format_source_name(name, sizeof(name), source);
  snprintf(compile_error_text, sizeof(compile_error_text), "%s(%lld,%lld): error: %s", name, (long long)line,
           (long long)column, desc ? desc : "unknown");
  if (SQPRINTFUNCTION pf = sq_getprintfunc(v))
    pf(v, "%s\n", compile_error_text);
}
}  // namespace

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

// The runtime error handler: the error text, the call stack and the locals of every level. The
// text and the first levels of the call stack also go into the failure record that the native
// caller throws (sqbind::throw_call_failure). A failure that native code passes on from an inner
// call (already printed there) prints nothing.
static SQInteger runtime_error_handler(HSQUIRRELVM v)
{
  char err[1024];
  if (sq_gettop(v) >= 2)
    sqbind::error_value_text(v, 2, err, sizeof(err));
  else
    snprintf(err, sizeof(err), "unknown");
  if (!sqbind::begin_failure_report(err))
    return 0;
  SQPRINTFUNCTION pf = sq_getprintfunc(v);
  if (pf)
    pf(v, "\nCALLSTACK\n");
  SQStackInfos si;
  char src[300], frame[400];
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); level++)
  {
    const char *fn = si.funcname ? si.funcname : "unknown";
    if (si.line < 0)  // a native function
      snprintf(src, sizeof(src), "native");
    else
      format_source_name(src, sizeof(src), si.source ? si.source : "unknown");
    if (pf && level == 1)
      pf(v, "%s(%lld): ERROR: %s (in %s())\n", src, (long long)si.line, err, fn);
    else if (pf)
      pf(v, "%s(%lld): function %s() (CALLSTACK)\n", src, (long long)si.line, fn);
    if (si.line < 0)
      snprintf(frame, sizeof(frame), "  from native %s()", fn);
    else
      snprintf(frame, sizeof(frame), "  %s %s(%lld) in %s()", level == 1 ? "at" : "from", src, (long long)si.line, fn);
    sqbind::add_failure_frame(frame);
  }
  if (!pf)
    return 0;

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

// Suspending the machine itself from a script would leave the native caller's call half-done
// and the machine unusable; a thread (newthread) may still suspend.
static int main_machine_mark;

static SQInteger guarded_suspend(HSQUIRRELVM v)
{
  if (sq_getforeignptr(v) == &main_machine_mark)
    return sq_throwerror(v, "suspend() is only allowed inside a thread (newthread)");
  return sq_suspendvm(v);
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
  sq_setforeignptr(v, &main_machine_mark);
  sq_pushroottable(v);
  sq_pushstring(v, "suspend", -1);
  sq_newclosure(v, guarded_suspend, 0);
  sq_setnativeclosurename(v, -1, "suspend");
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
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
  compile_error_text[0] = 0;
  // The compiler would take a NUL byte for the end of the text and silently drop the rest.
  if (const char *nul = static_cast<const char *>(memchr(text, 0, size_t(length))))
  {
    SQInteger line = 1;
    const char *line_start = text;
    for (const char *c = text; c < nul; c++)
      if (*c == '\n')
      {
        line++;
        line_start = c + 1;
      }
    char desc[80];
    snprintf(desc, sizeof(desc), "NUL byte at offset %lld", (long long)(nul - text));
    compiler_error(v, desc, source_name, line, SQInteger(nul - line_start) + 1);
  }
  else if (SQ_SUCCEEDED(sq_compilebuffer(v, text, length, source_name, SQTrue)))
    return true;
  if (compile_error_text[0])
    sq_throwerror(v, compile_error_text);  // only records the text as the machine's last error
  return false;
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
  sqbind::begin_script_call(v);
  bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
  sq_pop(v, 1);
  return ok;
}
