#include "script/sq_func.h"

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
  if (SQ_FAILED(sq_call(v, nargs + 1, SQTrue, SQTrue)))
    throw_call_failure(v, "SqFunc<> call failed");
}
}  // namespace sqbind
