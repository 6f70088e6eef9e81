#include "script/sq_object.h"

#include "support/dyn_array.h"

namespace sqbind
{
// Addresses of machines that close_vm destroyed. A new machine at the same address takes its
// address out of the list again. Handles outliving their machine are rare (module shutdown), so
// the list stays tiny.
static DynArray<HSQUIRRELVM> closed_vms;

static int find_closed(HSQUIRRELVM v)
{
  for (int i = 0; i < closed_vms.size(); i++)
    if (closed_vms[i] == v)
      return i;
  return -1;
}

bool is_vm_closed(HSQUIRRELVM v) { return find_closed(v) >= 0; }

void mark_vm_open(HSQUIRRELVM v)
{
  int i = find_closed(v);
  if (i >= 0)
    closed_vms.fastErase(i, 1);
}

void mark_vm_closed(HSQUIRRELVM v)
{
  if (v && find_closed(v) < 0)
    closed_vms.push_back(v);
}
}  // namespace sqbind

void SqObject::fromStack(HSQUIRRELVM v, SQInteger idx)
{
  release();
  sq_getstackobj(v, idx, &o);
  sq_addref(v, &o);
  vm = v;
}

void SqObject::assign(const SqObject &a)
{
  release();
  o = a.o;
  vm = a.vm;
  if (vm)
    sq_addref(vm, &o);
}

void SqObject::assignWeak(const SqObject &a)
{
  if (a.isWeakRef() || !a.vm)
  {
    assign(a);
    return;
  }
  HSQUIRRELVM v = a.vm;
  HSQOBJECT src = a.o;  // a may be this very handle
  sq_addref(v, &src);
  release();
  sq_pushobject(v, src);
  sq_weakref(v, -1);
  sq_getstackobj(v, -1, &o);
  sq_addref(v, &o);
  vm = v;
  sq_pop(v, 2);
  sq_release(v, &src);
}

void SqObject::release()
{
  if (vm && !sqbind::is_vm_closed(vm))
    sq_release(vm, &o);
  sq_resetobject(&o);
  vm = nullptr;
}

bool SqObject::pushTarget(HSQUIRRELVM v) const
{
  if (!vm && sq_isnull(o))
    return false;
  sq_pushobject(v, o);
  if (sq_isweakref(o))
  {
    if (SQ_FAILED(sq_getweakrefval(v, -1)))
    {
      sq_pop(v, 1);
      return false;
    }
    sq_remove(v, -2);
  }
  return true;
}
