#include "script/sq_func.h"

#include <cstdio>

namespace sqbind
{
void push_func_and_receiver(HSQUIRRELVM v, const SqObject &func, const SqObject &receiver)
{
  if (!v)
    throw SquirrelError("SqFunc: can't deref weakptr to object");
  sq_pushobject(v, func.o);
  sq_pushobject(v, receiver.o);
  if (receiver.isWeakRef())
  {
    if (SQ_FAILED(sq_getweakrefval(v, -1)) || sq_gettype(v, -1) == OT_NULL)
      throw SquirrelError("SqFunc: can't deref weakptr to object");
    sq_remove(v, -2);
  }
}

void call_pushed(HSQUIRRELVM v, int nargs)
{
  // Squirrel fails a call of a value that is no function without recording an error.
  static char not_callable[80];
  snprintf(not_callable, sizeof(not_callable), "attempt to call a value of type '%s'",
           type_name(sq_gettype(v, -(nargs + 2))));
  begin_script_call(v);
  if (SQ_FAILED(sq_call(v, nargs + 1, SQTrue, SQTrue)))
    throw_call_failure(v, not_callable);
}

void check_not_generator(HSQUIRRELVM v, const SqObject &func)
{
  if (sq_gettype(v, -1) != OT_GENERATOR)
    return;
  const SQChar *name = nullptr;
  sq_pushobject(v, func.o);
  if (SQ_FAILED(sq_getclosurename(v, -1)) || SQ_FAILED(sq_getstring(v, -1, &name)))
    name = "the function";
  static char text[160];
  snprintf(text, sizeof(text), "'%.60s' is a generator function (it uses yield), not a plain function", name);
  throw SquirrelError(text);  // the caller's stack guard pops what was pushed here
}
}  // namespace sqbind
