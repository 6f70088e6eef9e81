#pragma once
// SqFunc<R>: a handle to a script function together with the receiver passed as `this`.
// The receiver is held weakly, so native code holding a function of a script object does not
// keep that object alive; once it dies the handle reads as null.
#include "script/sqbind.h"

namespace sqbind
{
inline void push_arg(HSQUIRRELVM v, float a) { sq_pushfloat(v, a); }
inline void push_arg(HSQUIRRELVM v, int a) { sq_pushinteger(v, a); }
inline void push_arg(HSQUIRRELVM v, SQInteger a) { sq_pushinteger(v, a); }
inline void push_arg(HSQUIRRELVM v, bool a) { sq_pushbool(v, a ? SQTrue : SQFalse); }
inline void push_arg(HSQUIRRELVM v, const char *a) { sq_pushstring(v, a, -1); }
inline void push_arg(HSQUIRRELVM v, const SqObject &a) { sq_pushobject(v, a.o); }
inline void push_arg(HSQUIRRELVM v, vec4f a) { push_result(v, a); }

// Pushes f and its live receiver; throws when the receiver is gone.
void push_func_and_receiver(HSQUIRRELVM v, const SqObject &func, const SqObject &receiver);
// Calls what push_func_and_receiver (or a function and its `this`) and the arguments set up,
// leaving the result on the stack; throws the script's own error on failure.
void call_pushed(HSQUIRRELVM v, int nargs);
// Throws "'<name>' is a generator function (it uses yield), not a plain function" when the result
// on the stack top is a generator: calling func returned without running its body.
void check_not_generator(HSQUIRRELVM v, const SqObject &func);
}  // namespace sqbind

template <class R>
class SqFunc
{
public:
  HSQUIRRELVM vm = nullptr;
  SqObject receiver;  // always a weak reference
  SqObject func;

  // Looks `name` up on obj (a table, class or instance). obj becomes the receiver. A missing
  // slot leaves the function empty (the handle is null); returns whether it was found.
  bool lookup(HSQUIRRELVM v, const SqObject &obj, const char *name)
  {
    receiver.release();
    func.release();
    vm = v;
    receiver.assignWeak(obj);
    sqbind::StackGuard guard{v};
    if (!obj.pushTarget(v))
      return false;
    sq_pushstring(v, name, -1);
    if (SQ_FAILED(sq_get(v, -2)))
      return false;
    func.fromStack(v, -1);
    return true;
  }

  // Null when there is no function or receiver, or when the receiver has died.
  bool isNull() const
  {
    if (!vm || func.isNull() || receiver.isNull())
      return true;
    if (!receiver.isWeakRef())
      return false;
    sqbind::StackGuard guard{vm};
    sq_pushobject(vm, receiver.o);
    return SQ_FAILED(sq_getweakrefval(vm, -1)) || sq_gettype(vm, -1) == OT_NULL;
  }

  // Calls the function with `this` = receiver. Throws sqbind::SquirrelError on failure; the
  // stack top is the same afterwards in every case.
  template <class... A>
  R operator()(const A &...args) const
  {
    if (!vm)
      sqbind::throw_error("SqFunc: call of a handle without a script machine");
    sqbind::StackGuard guard{vm};
    sqbind::push_func_and_receiver(vm, func, receiver);
    (sqbind::push_arg(vm, args), ...);
    sqbind::call_pushed(vm, int(sizeof...(A)));
    if constexpr (std::is_same_v<R, float>)
    {
      SQFloat f = 0;
      if (SQ_FAILED(sq_getfloat(vm, -1, &f)))
        sqbind::throw_error(sqbind::type_error_text);
      return f;
    }
    else if constexpr (std::is_same_v<R, bool>)
    {
      SQBool b = SQFalse;
      sq_tobool(vm, -1, &b);
      return b != SQFalse;
    }
    else if constexpr (std::is_same_v<R, SqObject>)
    {
      SqObject r;
      r.fromStack(vm, -1);
      return r;
    }
    else
    {
      static_assert(std::is_void_v<R>, "SqFunc results: void, bool, float or SqObject");
      sqbind::check_not_generator(vm, func);
    }
  }
};
