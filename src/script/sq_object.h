#pragma once
// SqObject: an owning handle to one script value. It keeps the value alive (a reference on its
// machine) until it is released, reassigned or destroyed. A handle may outlive its machine:
// releasing a handle whose machine has been closed does nothing.
#include <squirrel.h>

class SqObject
{
public:
  HSQOBJECT o;
  HSQUIRRELVM vm = nullptr;

  SqObject() { sq_resetobject(&o); }
  SqObject(const SqObject &a) : SqObject() { assign(a); }
  SqObject(SqObject &&a) noexcept : o(a.o), vm(a.vm)
  {
    sq_resetobject(&a.o);
    a.vm = nullptr;
  }
  ~SqObject() { release(); }

  SqObject &operator=(const SqObject &a)
  {
    if (this != &a)
      assign(a);
    return *this;
  }
  SqObject &operator=(SqObject &&a) noexcept
  {
    if (this != &a)
    {
      release();
      o = a.o;
      vm = a.vm;
      sq_resetobject(&a.o);
      a.vm = nullptr;
    }
    return *this;
  }

  // Takes the value at stack position idx of v and references it.
  void fromStack(HSQUIRRELVM v, SQInteger idx);
  // Copies the handle of a, referencing it again on a's machine.
  void assign(const SqObject &a);
  // Holds a weak reference to a's value (a itself when it already is one), so that this handle
  // does not keep the value alive.
  void assignWeak(const SqObject &a);
  // Drops the reference (if the machine is still open) and empties the handle.
  void release();

  bool isNull() const { return sq_isnull(o); }
  bool isWeakRef() const { return sq_isweakref(o); }
  SQObjectType type() const { return o._type; }

  // Pushes the value; a weak reference is pushed as the value it refers to (null when dead).
  // Returns false when the handle is empty.
  bool pushTarget(HSQUIRRELVM v) const;
};
static_assert(sizeof(SqObject) == sizeof(HSQOBJECT) + sizeof(HSQUIRRELVM));

namespace sqbind
{
// Machines closed by close_vm; handles into them are never touched again.
bool is_vm_closed(HSQUIRRELVM v);
void mark_vm_open(HSQUIRRELVM v);
void mark_vm_closed(HSQUIRRELVM v);
}  // namespace sqbind
