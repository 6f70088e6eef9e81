// A small game object module for the host's tests, built by the module's build script. Switches:
// GEN (a number in the classes' names), LAYOUT (layout value), MISSING_NAME (a name it lacks),
// NO_VTABLE_ENTRY (no "get_gameobj_vtables"), VTABLE_COUNT, UNIQUE_SYMBOL (a unique symbol, which
// the build script must refuse).
#include <cstdint>
#include <cstring>

#include "gameobj_host/game_obj.h"

#define STR_(x) #x
#define STR(x) STR_(x)
#ifndef GEN
#define GEN 1
#endif
#ifndef LAYOUT
#define LAYOUT 1
#endif
#ifndef VTABLE_COUNT
#define VTABLE_COUNT NUM_GAMEOBJ_VTABLES
#endif

namespace
{
struct TestA : BaseObject
{
  const char *getClassName() override { return "A" STR(GEN); }
};
struct TestB : BaseObject
{
  const char *getClassName() override { return "B" STR(GEN); }
};

template <class C>
void *vtable_of()
{
  C obj;
  void *vp;
  memcpy(&vp, static_cast<void *>(&obj), sizeof(vp));
  return vp;
}

void nothing() {}
uint64_t layout() { return LAYOUT; }
BaseObject *new_by_id(int id)
{
  if (id == 1)
    return new TestA;
  if (id == 2)
    return new TestB;
  return nullptr;
}
void delete_obj(BaseObject *obj) { delete obj; }
}  // namespace

#ifdef UNIQUE_SYMBOL
__attribute__((visibility("default"))) int unique_counter = 1;
asm(".type unique_counter, @gnu_unique_object");
#endif

extern "C" __attribute__((visibility("default"))) void *get_gameobj_func_by_name(const char *name)
{
#ifdef MISSING_NAME
  if (!strcmp(name, STR(MISSING_NAME)))
    return nullptr;
#endif
  if (!strcmp(name, "get_gameobj_layout"))
    return reinterpret_cast<void *>(&layout);
  if (!strcmp(name, "new_gameobj_by_id"))
    return reinterpret_cast<void *>(&new_by_id);
  if (!strcmp(name, "delete_gameobj"))
    return reinterpret_cast<void *>(&delete_obj);
  return reinterpret_cast<void *>(&nothing);
}

#ifndef NO_VTABLE_ENTRY
static void *vtables[NUM_GAMEOBJ_VTABLES];

extern "C" __attribute__((visibility("default"))) void **get_gameobj_vtables(int *count)
{
  vtables[1] = vtable_of<TestA>();
  vtables[2] = vtable_of<TestB>();
  *count = VTABLE_COUNT;
  return vtables;
}
#endif
