#include "script/sqbind.h"

#include <cstdio>

namespace sqbind
{
const char *const type_error_text = "sq_get*() failed (type error)";
const char *const inst_error_text = "getInst: invalid argument type";

void throw_error(const char *text) { throw SquirrelError(text); }

// The text of the last native error raised as a script error. When a call into script fails
// with exactly this text as the machine's last error, the failure came from native code and
// the caller reports that text.
static char pending_native_error[1024];

SQInteger raise_native_error(HSQUIRRELVM v, const char *text)
{
  if (!text)
    text = "unknown error";
  if (text != pending_native_error)
    snprintf(pending_native_error, sizeof(pending_native_error), "%s", text);
  return sq_throwerror(v, pending_native_error);
}

const char *last_error_string(HSQUIRRELVM v)
{
  sq_getlasterror(v);
  const SQChar *s = nullptr;
  if (sq_gettype(v, -1) != OT_STRING || SQ_FAILED(sq_getstring(v, -1, &s)))
    s = nullptr;
  sq_pop(v, 1);
  return s;  // the machine keeps the string as its last error
}

const char *last_error_text(HSQUIRRELVM v)
{
  const char *s = last_error_string(v);
  return s ? s : "unknown error";
}

void throw_call_failure(HSQUIRRELVM v, const char *fallback)
{
  const char *s = last_error_string(v);
  if (s && pending_native_error[0] && strcmp(s, pending_native_error) == 0)
    throw SquirrelError(s);
  throw SquirrelError(fallback);
}

void *get_instance_up(HSQUIRRELVM v, SQInteger idx, SQUserPointer tag)
{
  if (arg_type(v, idx) != OT_INSTANCE)
    return nullptr;
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(v, idx, &p, tag)))
    return nullptr;
  return p;
}

SqObject root_table(HSQUIRRELVM v)
{
  SqObject o;
  sq_pushroottable(v);
  o.fromStack(v, -1);
  sq_pop(v, 1);
  return o;
}

SqObject create_class(HSQUIRRELVM v, const char *name, const char *base_name, SQUserPointer tag)
{
  sq_pushroottable(v);
  sq_pushstring(v, name, -1);
  bool has_base = base_name && *base_name;
  if (has_base)
  {
    sq_pushstring(v, base_name, -1);
    if (SQ_FAILED(sq_get(v, -3)))
      fatal("no base class '%s' binded for '%s'", base_name, name);
  }
  if (SQ_FAILED(sq_newclass(v, has_base ? SQTrue : SQFalse)))
  {
    sq_pop(v, 2);
    fatal("can't create class '%s'", name);
  }
  SqObject cls;
  cls.fromStack(v, -1);
  if (SQ_FAILED(sq_settypetag(v, -1, tag)))
  {
    sq_pop(v, 3);
    fatal("can't set type tag for class '%s'", name);
  }
  if (SQ_FAILED(sq_newslot(v, -3, SQFalse)))
  {
    sq_pop(v, 1);
    fatal("can't register class '%s' in root table", name);
  }
  sq_pop(v, 1);
  sq_pushregistrytable(v);
  sq_pushuserpointer(v, tag);
  sq_pushobject(v, cls.o);
  if (SQ_FAILED(sq_newslot(v, -3, SQFalse)))
    fatal("can't register class '%s' in registry table", name);
  sq_pop(v, 1);
  return cls;
}

bool push_instance(HSQUIRRELVM v, void *obj, SQUserPointer tag, const char *class_name, SQRELEASEHOOK hook)
{
  if (!obj)
  {
    sq_pushnull(v);
    return true;
  }
  SQInteger top = sq_gettop(v);
  const char *err = nullptr;
  sq_pushregistrytable(v);
  sq_pushuserpointer(v, tag);
  if (SQ_FAILED(sq_get(v, -2)))
    err = "can't get script class";
  else
  {
    sq_remove(v, -2);
    if (SQ_FAILED(sq_createinstance(v, -1)))
      err = "can't create script instance";
    else
    {
      sq_remove(v, -2);
      if (SQ_FAILED(sq_setinstanceup(v, -1, obj)))
        err = "can't set instance user pointer";
      else if (hook)
        sq_setreleasehook(v, -1, hook);
    }
  }
  if (!err)
    return true;
  sq_settop(v, top);
  debug("failed to create %s", class_name);
  throw SquirrelError(err);
}

bool init_instance(void *obj, HSQUIRRELVM v, SQRELEASEHOOK hook)
{
  if (SQ_FAILED(sq_setinstanceup(v, 1, obj)))
  {
    sq_pop(v, 1);
    debug("failed to init scripted object %p", obj);
    throw SquirrelError("can't set scripted instance user pointer");
  }
  if (hook)
    sq_setreleasehook(v, 1, hook);
  return true;
}

namespace detail
{
void begin_bind(HSQUIRRELVM v, const SqObject &target, const char *name)
{
  if (!target.pushTarget(v))
    sq_pushnull(v);
  sq_pushstring(v, name, -1);
}

void end_bind(HSQUIRRELVM v, SQFUNCTION fn)
{
  sq_newclosure(v, fn, 1);
  G_ASSERT(SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse)));
  sq_pop(v, 1);
}

void push_slot(HSQUIRRELVM v, const SqObject &obj, const char *name, const char *what)
{
  if (!obj.pushTarget(v))
    sq_pushnull(v);
  sq_pushstring(v, name, -1);
  if (SQ_FAILED(sq_get(v, -2)))
  {
    sq_pop(v, 1);
    debug("%s '%s' failed", what, name);
    throw SquirrelError(last_error_text(v));
  }
}
}  // namespace detail

void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, float &out)
{
  detail::push_slot(v, obj, name, "getSlot");
  StackGuard guard{v};
  guard.top -= 2;
  SQFloat f = 0;
  if (SQ_FAILED(sq_getfloat(v, -1, &f)))
    throw SquirrelError(type_error_text);
  out = f;
}

void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, vec4f &out)
{
  detail::push_slot(v, obj, name, "getSlot");
  StackGuard guard{v};
  guard.top -= 2;
  out = SqArg<vec4f>::get(v, -1);
}

void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, SqObject &out)
{
  detail::push_slot(v, obj, name, "getSlot");
  StackGuard guard{v};
  guard.top -= 2;
  out.fromStack(v, -1);
}

void *getReg(HSQUIRRELVM v, const char *key)
{
  sq_pushregistrytable(v);
  sq_pushstring(v, key, -1);
  if (SQ_FAILED(sq_get(v, -2)))
  {
    sq_pop(v, 1);
    debug("getReg '%s' failed", key);
    throw SquirrelError(last_error_text(v));
  }
  SQUserPointer p = nullptr;
  bool ok = SQ_SUCCEEDED(sq_getuserpointer(v, -1, &p));
  sq_pop(v, 2);
  if (!ok)
    throw SquirrelError(type_error_text);
  return p;
}
}  // namespace sqbind
