#pragma once
// sqbind: how native functions, methods and constructors become callable from script, and how
// native classes are registered in a machine.
//
// Trampolines are generated from the C++ signature. Arguments come from stack positions 2, 3, ...
// (position 1 is the call's `this`); positions past the stack top read as null. A failed
// conversion throws SquirrelError. Squirrel is built without exception support, so no C++
// exception may unwind through its frames: every trampoline catches SquirrelError at its own
// boundary and raises the text as a script error instead; the native caller whose call into the
// script failed then throws SquirrelError with that same text (throw_call_failure). Scripts can
// therefore catch native errors with try/catch.
#include <squirrel.h>

#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "script/sq_object.h"
#include "support/debug.h"
#include "support/export.h"
#include "support/vec4f.h"

struct SqVec4f;      // the script "vec4f" instance payload (script/sq_vec4f.h)
struct SqColorRamp;  // tag of "ColorRamp"
struct SqFloatRamp;  // tag of "FloatRamp"
struct HmapMask;     // tag of "HmapMask"

namespace sqbind
{
// A script failure carried through native code. The text is a fixed message or the script's own
// error; `where`, when set, is the call stack of a failed script call as lines
// "  at <file>(<line>) in <function>()" / "  from ...". Use both before the machine runs again.
struct SquirrelError
{
  const char *text;
  const char *where = nullptr;
  explicit SquirrelError(const char *t, const char *w = nullptr) : text(t), where(w) {}
};

// One tag per bound native type: the address of uniqueTag.
template <class T>
struct QM_EXPORT ClassTag
{
  static int uniqueTag;
};
template <class T>
int ClassTag<T>::uniqueTag = 0;

// The executable's own script classes: their tags are instantiated once, in the executable
// (sqbind.cpp), and the game object module links to them.
extern template struct ClassTag<SqVec4f>;
extern template struct ClassTag<SqColorRamp>;
extern template struct ClassTag<SqFloatRamp>;
extern template struct ClassTag<HmapMask>;

template <class T>
inline SQUserPointer tag_of()
{
  return &ClassTag<T>::uniqueTag;
}

// Specialised for every native class that scripts hold by pointer:
//   using Tag = ...;                       (type whose ClassTag marks the script class)
//   static constexpr const char *name;     (script class name)
//   static SQInteger release(SQUserPointer, SQInteger);  (release hook freeing the object)
template <class T>
struct SqClassInfo;

extern const char *const type_error_text;  // "sq_get*() failed (type error)"
extern const char *const inst_error_text;  // "getInst: invalid argument type"

[[noreturn]] void throw_error(const char *text);

// --- classes and instances (exported for the game object module) -------------------------
QM_EXPORT SqObject create_class(HSQUIRRELVM v, const char *name, const char *base_name, SQUserPointer tag);
QM_EXPORT bool push_instance(HSQUIRRELVM v, void *obj, SQUserPointer tag, const char *class_name,
                             SQRELEASEHOOK hook);
// Attaches obj to the instance at stack position 1 (the constructor's `this`). An instance that
// holds a native object already is refused (SquirrelError): the creation function still owns obj.
QM_EXPORT bool init_instance(void *obj, HSQUIRRELVM v, SQRELEASEHOOK hook);

// --- error hand-over between trampolines and native callers -------------------------------
// One record holds the failure being reported: its text (what the native caller throws) and the
// call stack where it happened (filled by the runtime error handler). A failure is printed once:
// when native code passes an inner script failure on to an outer script frame, the outer error
// handler prints nothing.
//
// Raises a native error as a script error from a native function (returns sq_throwerror). Text
// that is the record's own (a failure passed on) keeps the record.
SQInteger raise_native_error(HSQUIRRELVM v, const char *text);
// The machine's last error as a string; null when it is not a string.
const char *last_error_string(HSQUIRRELVM v);
// Last error string, or "unknown error".
const char *last_error_text(HSQUIRRELVM v);
// "integer", "table", "class", ... for messages.
const char *type_name(SQObjectType t);
// A script value as an error report shows it: a string as it is, any other value as the throw
// statement that raised it ("throw 42", "throw null", "throw (table)").
void error_value_text(HSQUIRRELVM v, SQInteger idx, char *buf, int size);
// Clears the machine's last error before native code calls into script.
void begin_script_call(HSQUIRRELVM v);
// After a failed sq_call: throws the script's own error (text and call stack); `fallback` when
// the machine recorded no error at all.
[[noreturn]] void throw_call_failure(HSQUIRRELVM v, const char *fallback);
// For the runtime error handler: starts the report of a failure; false when the failure is one
// that an inner call reported already and native code only passes on (print nothing then).
bool begin_failure_report(const char *text);
// Adds one call-stack line to the report (the first lines only; the log has the whole stack).
void add_failure_frame(const char *line);

// --- stack helpers -------------------------------------------------------------------------
inline bool has_arg(HSQUIRRELVM v, SQInteger idx) { return idx <= sq_gettop(v); }
inline SQObjectType arg_type(HSQUIRRELVM v, SQInteger idx)
{
  return has_arg(v, idx) ? sq_gettype(v, idx) : OT_NULL;
}
// The user pointer of an instance at idx with the given tag; null for anything else (a wrong
// tag, not an instance, an instance made without the native constructor).
void *get_instance_up(HSQUIRRELVM v, SQInteger idx, SQUserPointer tag);
// The root table as a handle.
SqObject root_table(HSQUIRRELVM v);
// Restores the stack top when leaving a scope (normally or by exception).
struct StackGuard
{
  HSQUIRRELVM v;
  SQInteger top;
  explicit StackGuard(HSQUIRRELVM vm) : v(vm), top(sq_gettop(vm)) {}
  ~StackGuard() { sq_settop(v, top); }
};

// --- argument conversions (stack value -> native) -----------------------------------------
template <class T, class = void>
struct SqArg;

template <>
struct SqArg<float>
{
  static float get(HSQUIRRELVM v, SQInteger i)
  {
    SQFloat f = 0;
    if (!has_arg(v, i) || SQ_FAILED(sq_getfloat(v, i, &f)))
      throw_error(type_error_text);
    return f;
  }
};
template <>
struct SqArg<SQInteger>
{
  static SQInteger get(HSQUIRRELVM v, SQInteger i)
  {
    SQInteger n = 0;
    if (!has_arg(v, i) || SQ_FAILED(sq_getinteger(v, i, &n)))
      throw_error(type_error_text);
    return n;
  }
};
template <>
struct SqArg<int>
{
  static int get(HSQUIRRELVM v, SQInteger i) { return int(SqArg<SQInteger>::get(v, i)); }
};
template <>
struct SqArg<bool>
{
  static bool get(HSQUIRRELVM v, SQInteger i)
  {
    SQBool b = SQFalse;
    if (!has_arg(v, i) || SQ_FAILED(sq_getbool(v, i, &b)))
      throw_error(type_error_text);
    return b != SQFalse;
  }
};
template <>
struct SqArg<const char *>
{
  static const char *get(HSQUIRRELVM v, SQInteger i)
  {
    const SQChar *s = nullptr;
    if (!has_arg(v, i) || SQ_FAILED(sq_getstring(v, i, &s)))
      throw_error(type_error_text);
    return s;
  }
};
template <>
struct SqArg<void *>
{
  static void *get(HSQUIRRELVM v, SQInteger i)
  {
    SQUserPointer p = nullptr;
    if (!has_arg(v, i) || SQ_FAILED(sq_getuserpointer(v, i, &p)))
      throw_error(type_error_text);
    return p;
  }
};
template <>
struct SqArg<SqObject>
{
  static SqObject get(HSQUIRRELVM v, SQInteger i)
  {
    SqObject o;
    if (has_arg(v, i))
      o.fromStack(v, i);
    return o;
  }
};
// A vec4f instance, copied.
template <>
struct SqArg<vec4f>
{
  static vec4f get(HSQUIRRELVM v, SQInteger i);
};
// Pointer to an object of a bound class: null gives nullptr, otherwise an instance of that class.
template <class T>
struct SqArg<T *, std::enable_if_t<std::is_class_v<T>>>
{
  static T *get(HSQUIRRELVM v, SQInteger i)
  {
    if (arg_type(v, i) == OT_NULL)
      return nullptr;
    void *p = get_instance_up(v, i, tag_of<typename SqClassInfo<std::remove_cv_t<T>>::Tag>());
    if (!p)
      throw_error(inst_error_text);
    return static_cast<T *>(p);
  }
};

// --- result conversions (native -> stack) -------------------------------------------------
inline void push_result(HSQUIRRELVM v, float r) { sq_pushfloat(v, r); }
inline void push_result(HSQUIRRELVM v, int r) { sq_pushinteger(v, r); }
inline void push_result(HSQUIRRELVM v, SQInteger r) { sq_pushinteger(v, r); }
inline void push_result(HSQUIRRELVM v, bool r) { sq_pushbool(v, r ? SQTrue : SQFalse); }
inline void push_result(HSQUIRRELVM v, const char *r) { sq_pushstring(v, r, -1); }
inline void push_result(HSQUIRRELVM v, const SqObject &r) { sq_pushobject(v, r.o); }
// A new "vec4f" instance holding a heap copy of r.
void push_result(HSQUIRRELVM v, vec4f r);
// A new object of a bound class: the script instance owns it from now on.
template <class T>
inline void push_result(HSQUIRRELVM v, T *obj)
{
  using Info = SqClassInfo<T>;
  try
  {
    push_instance(v, obj, tag_of<typename Info::Tag>(), Info::name, &Info::release);
  }
  catch (const SquirrelError &)
  {
    Info::release(obj, 0);  // no instance took it
    throw;
  }
}

// --- trampolines ---------------------------------------------------------------------------
namespace detail
{
template <class... A, size_t... I>
std::tuple<std::decay_t<A>...> read_args(HSQUIRRELVM v, std::index_sequence<I...>)
{
  (void)v;  // unused when there are no arguments
  // A braced list evaluates left to right, so the first bad argument is the one reported.
  return std::tuple<std::decay_t<A>...>{SqArg<std::decay_t<A>>::get(v, SQInteger(2 + I))...};
}

template <class R, class Call>
SQInteger call_and_push(HSQUIRRELVM v, Call &&call)
{
  if constexpr (std::is_void_v<R>)
  {
    call();
    return 0;
  }
  else
  {
    R r = call();
    push_result(v, r);
    return 1;
  }
}

template <bool WithVm, class R, class... A>
SQInteger function_call(HSQUIRRELVM v)
{
  SQUserPointer up = nullptr;
  if (SQ_FAILED(sq_getuserpointer(v, -1, &up)) || !up)
    return sq_throwerror(v, "no function stored for C++ call");
  sq_pop(v, 1);
  try
  {
    auto args = read_args<A...>(v, std::index_sequence_for<A...>{});
    return call_and_push<R>(v, [&]() -> R {
      return std::apply(
          [&](auto &...a) -> R {
            if constexpr (WithVm)
              return reinterpret_cast<R (*)(HSQUIRRELVM, A...)>(up)(v, a...);
            else
              return reinterpret_cast<R (*)(A...)>(up)(a...);
          },
          args);
    });
  }
  catch (const SquirrelError &e)
  {
    return raise_native_error(v, e.text);
  }
}

template <class C, class M, class R, class... A>
SQInteger method_call(HSQUIRRELVM v)
{
  void *self = get_instance_up(v, 1, tag_of<typename SqClassInfo<C>::Tag>());
  if (!self)
    return sq_throwerror(v, "invalid 'this' in C++ method call");
  SQUserPointer ud = nullptr;
  if (sq_gettype(v, -1) != OT_USERDATA || SQ_FAILED(sq_getuserdata(v, -1, &ud, nullptr)) || !ud)
    return sq_throwerror(v, "no method stored for C++ call");
  M m;
  memcpy(&m, ud, sizeof(M));
  sq_pop(v, 1);
  C *obj = static_cast<C *>(self);
  try
  {
    auto args = read_args<A...>(v, std::index_sequence_for<A...>{});
    return call_and_push<R>(v, [&]() -> R {
      return std::apply([&](auto &...a) -> R { return (obj->*m)(a...); }, args);
    });
  }
  catch (const SquirrelError &e)
  {
    return raise_native_error(v, e.text);
  }
}

// Whether the instance at position 1 is one the constructor of the class tagged `tag` may fill:
// an instance of that class (or of a script class derived from it) without a native object yet.
// Returns the error text otherwise.
const char *ctor_target_error(HSQUIRRELVM v, SQUserPointer tag);

template <class... A>
SQInteger ctor_call(HSQUIRRELVM v)
{
  SQUserPointer up = nullptr, tag = nullptr;
  // sq_newclosure takes the free variables from the stack top down: the last pushed comes first.
  if (SQ_FAILED(sq_getuserpointer(v, -2, &tag)) || SQ_FAILED(sq_getuserpointer(v, -1, &up)) || !up)
    return sq_throwerror(v, "no function stored for C++ ctor call");
  sq_pop(v, 2);
  if (const char *err = ctor_target_error(v, tag))
    return sq_throwerror(v, err);
  try
  {
    auto args = read_args<A...>(v, std::index_sequence_for<A...>{});
    std::apply([&](auto &...a) { reinterpret_cast<void (*)(HSQUIRRELVM, A...)>(up)(v, a...); }, args);
  }
  catch (const SquirrelError &e)
  {
    return raise_native_error(v, e.text);
  }
  SQUserPointer ptr = nullptr;
  sq_getinstanceup(v, 1, &ptr, nullptr);
  G_ASSERT(ptr);
  return 0;
}

// Pushes the target table or class (dereferencing a weak reference) and the slot name.
void begin_bind(HSQUIRRELVM v, const SqObject &target, const char *name);
// Pushes the type tag of the class as a user pointer.
void push_class_tag(HSQUIRRELVM v, const SqObject &cls);
// Makes the native closure over the `nfree` free variables on the stack, names it after the slot
// (call stacks show it) and stores it in the slot.
void end_bind(HSQUIRRELVM v, SQFUNCTION fn, const char *name, int nfree = 1);
}  // namespace detail

// --- binding ---------------------------------------------------------------------------------
// A free function into a table (the root table, or a class for its static functions).
template <class R, class... A>
void bind_function(HSQUIRRELVM v, const SqObject &table, const char *name, R (*f)(A...))
{
  detail::begin_bind(v, table, name);
  sq_pushuserpointer(v, reinterpret_cast<SQUserPointer>(f));
  detail::end_bind(v, &detail::function_call<false, R, A...>, name);
}
// The same for a function that also wants the calling machine as its first parameter.
template <class R, class... A>
void bind_function(HSQUIRRELVM v, const SqObject &table, const char *name, R (*f)(HSQUIRRELVM, A...))
{
  detail::begin_bind(v, table, name);
  sq_pushuserpointer(v, reinterpret_cast<SQUserPointer>(f));
  detail::end_bind(v, &detail::function_call<true, R, A...>, name);
}

namespace detail
{
template <class C, class M, class R, class... A>
void bind_member(const SqObject &cls, const char *name, M m)
{
  HSQUIRRELVM v = cls.vm;
  begin_bind(v, cls, name);
  void *ud = sq_newuserdata(v, sizeof(M));
  G_ASSERT(ud);
  memcpy(ud, &m, sizeof(M));
  end_bind(v, &method_call<C, M, R, A...>, name);
}
}  // namespace detail

// A member function of the class's native type as a method of the script class.
template <class C, class R, class... A>
void bind_method(const SqObject &cls, const char *name, R (C::*m)(A...))
{
  detail::bind_member<C, R (C::*)(A...), R, A...>(cls, name, m);
}
template <class C, class R, class... A>
void bind_method(const SqObject &cls, const char *name, R (C::*m)(A...) const)
{
  detail::bind_member<C, R (C::*)(A...) const, R, A...>(cls, name, m);
}

// The script class's "constructor": the creation function allocates the native object, fills
// it and attaches it with init_instance. It runs only on an instance of the class (or of a script
// class derived from it) that has no native object yet; any other `this` is a script error.
template <class... A>
void bind_ctor(const SqObject &cls, void (*create)(HSQUIRRELVM, A...))
{
  HSQUIRRELVM v = cls.vm;
  detail::begin_bind(v, cls, "constructor");
  sq_pushuserpointer(v, reinterpret_cast<SQUserPointer>(create));
  detail::push_class_tag(v, cls);  // read at -2, the creation function at -1
  detail::end_bind(v, &detail::ctor_call<A...>, "constructor", 2);
}

// --- slot readers -----------------------------------------------------------------------------
// Read slot `name` of a table or instance (a weak reference is followed). A missing slot logs
// "getSlot '<name>' failed" and throws the machine's last error; a wrong type throws the
// conversion's message.
void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, float &out);
void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, vec4f &out);
void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, SqObject &out);
namespace detail
{
void push_slot(HSQUIRRELVM v, const SqObject &obj, const char *name, const char *what);
}
// A ramp (or other bound class) pointer; null is accepted.
template <class T>
void getSlot(HSQUIRRELVM v, const SqObject &obj, const char *name, T *&out)
{
  detail::push_slot(v, obj, name, "getSlot");
  StackGuard pop2{v};
  pop2.top -= 2;
  out = SqArg<T *>::get(v, -1);
}
// A user pointer stored in the registry table under `key`.
void *getReg(HSQUIRRELVM v, const char *key);
}  // namespace sqbind
