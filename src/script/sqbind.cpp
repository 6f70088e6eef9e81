#include "script/sqbind.h"

#include <cstdio>

namespace sqbind
{
template struct ClassTag<SqVec4f>;
template struct ClassTag<SqColorRamp>;
template struct ClassTag<SqFloatRamp>;
template struct ClassTag<HmapMask>;

const char *const type_error_text = "sq_get*() failed (type error)";
const char *const inst_error_text = "getInst: invalid argument type";
static const char *const ctor_again_text = "C++ ctor called on an instance that already has its object";

void throw_error(const char *text) { throw SquirrelError(text); }

namespace
{
// The failure being reported (see sqbind.h).
struct Failure
{
  char text[1024];
  char where[1024];
  int frames;
  bool reported;    // the runtime error handler has printed it
  bool passing_on;  // native code raised it again in an outer script frame
};
Failure failure;

void set_failure_text(const char *text)
{
  if (text != failure.text)
    snprintf(failure.text, sizeof(failure.text), "%s", text);
  failure.where[0] = 0;
  failure.frames = 0;
  failure.reported = false;
  failure.passing_on = false;
}
}  // namespace

const char *type_name(SQObjectType t)
{
  switch (t)
  {
    case OT_NULL: return "null";
    case OT_INTEGER: return "integer";
    case OT_FLOAT: return "float";
    case OT_BOOL: return "bool";
    case OT_STRING: return "string";
    case OT_TABLE: return "table";
    case OT_ARRAY: return "array";
    case OT_USERDATA: return "userdata";
    case OT_CLOSURE: return "function";
    case OT_NATIVECLOSURE: return "native function";
    case OT_GENERATOR: return "generator";
    case OT_USERPOINTER: return "userpointer";
    case OT_THREAD: return "thread";
    case OT_CLASS: return "class";
    case OT_INSTANCE: return "instance";
    case OT_WEAKREF: return "weakref";
    default: return "value";
  }
}

SQInteger raise_native_error(HSQUIRRELVM v, const char *text)
{
  if (!text)
    text = "unknown error";
  if (text == failure.text)
    failure.passing_on = failure.reported;
  else
    set_failure_text(text);
  return sq_throwerror(v, failure.text);
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

void error_value_text(HSQUIRRELVM v, SQInteger idx, char *buf, int size)
{
  const SQObjectType t = sq_gettype(v, idx);
  const SQChar *s = nullptr;
  SQInteger i = 0;
  SQFloat f = 0;
  SQBool b = SQFalse;
  if (t == OT_STRING && SQ_SUCCEEDED(sq_getstring(v, idx, &s)))
    snprintf(buf, size_t(size), "%s", s);
  else if (t == OT_INTEGER && SQ_SUCCEEDED(sq_getinteger(v, idx, &i)))
    snprintf(buf, size_t(size), "throw %lld", (long long)i);
  else if (t == OT_FLOAT && SQ_SUCCEEDED(sq_getfloat(v, idx, &f)))
    snprintf(buf, size_t(size), "throw %.14g", double(f));
  else if (t == OT_BOOL && SQ_SUCCEEDED(sq_getbool(v, idx, &b)))
    snprintf(buf, size_t(size), "throw %s", b ? "true" : "false");
  else if (t == OT_NULL)
    snprintf(buf, size_t(size), "throw null");
  else
    snprintf(buf, size_t(size), "throw (%s)", type_name(t));
}

void begin_script_call(HSQUIRRELVM v)
{
  sq_reseterror(v);
  failure.passing_on = false;
}

void throw_call_failure(HSQUIRRELVM v, const char *fallback)
{
  char text[sizeof(failure.text)];
  sq_getlasterror(v);
  if (sq_gettype(v, -1) == OT_NULL)
    snprintf(text, sizeof(text), "%s", fallback);
  else
    error_value_text(v, -1, text, sizeof(text));
  sq_pop(v, 1);
  if (strcmp(text, failure.text) != 0)
    set_failure_text(text);  // a failure no error handler saw (a compile error, a call that never ran)
  throw SquirrelError(failure.text, failure.where[0] ? failure.where : nullptr);
}

bool begin_failure_report(const char *text)
{
  if (failure.passing_on && strcmp(text, failure.text) == 0)
  {
    failure.passing_on = false;
    return false;
  }
  set_failure_text(text);
  failure.reported = true;
  return true;
}

void add_failure_frame(const char *line)
{
  constexpr int max_frames = 8;
  if (failure.frames > max_frames)
    return;
  const char *text = failure.frames++ == max_frames ? "  ..." : line;
  size_t len = strlen(failure.where);
  snprintf(failure.where + len, sizeof(failure.where) - len, "%s%s", len ? "\n" : "", text);
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
  SQUserPointer old = nullptr;
  if (sq_gettype(v, 1) == OT_INSTANCE && SQ_SUCCEEDED(sq_getinstanceup(v, 1, &old, nullptr)) && old)
    throw SquirrelError(ctor_again_text);
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
const char *ctor_target_error(HSQUIRRELVM v, SQUserPointer tag)
{
  SQUserPointer p = nullptr;
  if (arg_type(v, 1) != OT_INSTANCE || SQ_FAILED(sq_getinstanceup(v, 1, &p, tag)))
    return "invalid 'this' in C++ ctor call";
  return p ? ctor_again_text : nullptr;
}

void push_class_tag(HSQUIRRELVM v, const SqObject &cls)
{
  SQUserPointer tag = nullptr;
  cls.pushTarget(v);
  G_ASSERT(SQ_SUCCEEDED(sq_gettypetag(v, -1, &tag)) && tag);
  sq_pop(v, 1);
  sq_pushuserpointer(v, tag);
}

void begin_bind(HSQUIRRELVM v, const SqObject &target, const char *name)
{
  if (!target.pushTarget(v))
    sq_pushnull(v);
  sq_pushstring(v, name, -1);
}

void end_bind(HSQUIRRELVM v, SQFUNCTION fn, const char *name, int nfree)
{
  sq_newclosure(v, fn, SQUnsignedInteger(nfree));
  sq_setnativeclosurename(v, -1, name);
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
