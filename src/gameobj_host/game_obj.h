#pragma once
// The root of every game object and what the executable and the game object module share about
// them: weak references, deferred deletion, one list per game class and the script type tag of
// each class. The module defines the classes (deriving from BaseObject, single inheritance, the
// BaseObject part at offset 0) and fills and empties the lists; the executable owns the storage,
// so the lists and tags survive a reload of the module.
#include <cstddef>
#include <cstdint>

#include "script/sqbind.h"
#include "support/dyn_array.h"
#include "support/export.h"

// A weak reference node: three words inside whatever holds the reference. The first two are the
// holder's (WeakRef keeps the target there), the third links the next node of the target's ring.
// The ring is circular: the last node links back to the first.
struct WeakRefNode
{
  void *w0;
  void *w1;
  WeakRefNode *next;
};

// No virtual operations: one field, the first node of the ring (null when nothing refers to it).
struct QM_EXPORT WeakRefTarget
{
  WeakRefNode *weakRefHead = nullptr;
};

// Links `node` into the target's ring (node->next is overwritten) and unlinks it again.
QM_EXPORT void weak_ref_link(WeakRefTarget *target, WeakRefNode *node);
QM_EXPORT void weak_ref_unlink(WeakRefTarget *target, WeakRefNode *node);
// Clears all three words of every node of the ring, then the head: every holder reads null.
QM_EXPORT void weak_ref_clear_all(WeakRefTarget *target);

// objFlags bits: destroyed, and the transient mark of the module's re-pointing walk.
constexpr int OBJ_DESTROYED = 1;
constexpr int OBJ_REPOINT_MARK = 2;

class QM_EXPORT BaseObject : public WeakRefTarget
{
public:
  int objFlags = 0;

  BaseObject() = default;
  BaseObject(const BaseObject &) = delete;
  BaseObject &operator=(const BaseObject &) = delete;

  // Clears every weak reference to the object.
  virtual ~BaseObject();
  // Marks the object destroyed once: queues it in deleted_gameobjs, then calls onDestroy through
  // its own vtable. A destroyed object stays readable and listed until the module deletes it.
  virtual void destroy();
  virtual void onDestroy();
  virtual int handleQuery(intptr_t query);
  virtual const char *getClassName();
};

// A weak reference held by value (never inside DynArray elements: a node must not move while
// linked). Reads null once the target is deleted; unlinks itself when it dies first.
template <class T>
class WeakRef
{
public:
  WeakRef() = default;
  explicit WeakRef(T *obj) { set(obj); }
  WeakRef(const WeakRef &r) { set(r.get()); }
  WeakRef &operator=(const WeakRef &r)
  {
    set(r.get());
    return *this;
  }
  ~WeakRef() { set(nullptr); }

  T *get() const { return static_cast<T *>(static_cast<BaseObject *>(node.w0)); }
  T *operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

  void set(T *obj)
  {
    if (obj == get())
      return;
    if (BaseObject *old = static_cast<BaseObject *>(node.w0))
      weak_ref_unlink(old, &node);
    node = {};
    if (obj)
    {
      node.w0 = static_cast<BaseObject *>(obj);
      weak_ref_link(obj, &node);
    }
  }

private:
  WeakRefNode node = {};
};

// The game classes with a global list, in the order the lists are walked on a module reload and
// released at exit. GameObj_list holds every game object; an object may be in several lists.
#define QM_GAMEOBJ_CLASSES(X)                                                                       \
  X(GameObj) X(Player) X(WaterSource) X(SpellObject) X(ThunderstormObject) X(Fireball) X(Waterball) \
  X(FaultMissile) X(HouseMissile) X(MeteorMissile) X(ThunderstormMissile) X(HillMissile)           \
  X(PitMissile) X(WaterSourceMissile) X(WaterSinkMissile) X(Spell) X(FireballSpell)                \
  X(WaterballSpell) X(FaultSpell) X(HouseSpell) X(MeteorSpell) X(HillSpell) X(PitSpell)            \
  X(WaterSourceSpell) X(WaterSinkSpell) X(ThunderstormSpell) X(HealingSpell) X(LightningSpell)     \
  X(WyvernMonster) X(Stone1StaticObject) X(Menhir1StaticObject) X(Menhir2StaticObject)             \
  X(ManaGatherer) X(CastleObject) X(CastleMissile) X(CastleSpell) X(ManaBall) X(WorldPortal)       \
  X(UsePortalSpell) X(BirdMonster) X(TimeTrigger) X(Sensor)

constexpr int NUM_GAMEOBJ_CLASS_LISTS = 42;
// Entries of the module's vtable table (entry 0 is never matched).
constexpr int NUM_GAMEOBJ_VTABLES = 63;

#define QM_DECLARE_GAMEOBJ_CLASS(C) class C;
QM_GAMEOBJ_CLASSES(QM_DECLARE_GAMEOBJ_CLASS)
#undef QM_DECLARE_GAMEOBJ_CLASS

// Every game object keeps, right after the BaseObject fields (in BaseObject's tail padding), the
// index of the proximity grid bin that holds it: an int, -1 when not filed. The module's GameObj
// declares it there and checks the place; the executable reaches it through this offset.
constexpr size_t GAMEOBJ_PROXIMITY_BIN_OFFSET = 2 * sizeof(void *) + sizeof(int);
inline int &gameobj_proximity_bin(GameObj *obj)
{
  return *reinterpret_cast<int *>(reinterpret_cast<char *>(obj) + GAMEOBJ_PROXIMITY_BIN_OFFSET);
}

// The lists (C_list) and the class tags. The tags are instantiated in the executable only, so
// that the module and the script machines agree on one address per class across reloads.
#define QM_DECLARE_GAMEOBJ_LIST(C)                  \
  QM_EXPORT extern DynArray<C *, DefaultAllocator> C##_list; \
  extern template struct sqbind::ClassTag<C>;
QM_GAMEOBJ_CLASSES(QM_DECLARE_GAMEOBJ_LIST)
#undef QM_DECLARE_GAMEOBJ_LIST

// Destroyed objects not yet deleted (the module deletes them at a safe point of its update).
QM_EXPORT extern DynArray<BaseObject *, DefaultAllocator> deleted_gameobjs;

// Calls fn on every object of the 42 lists in their order, then on every object of
// deleted_gameobjs (an object in several lists is visited once per list).
template <class Fn>
void for_each_listed_gameobj(Fn &&fn)
{
#define QM_VISIT_GAMEOBJ_LIST(C)                        \
  for (int i = 0; i < C##_list.num; i++)                \
    fn(reinterpret_cast<BaseObject *>(C##_list.data[i]));
  QM_GAMEOBJ_CLASSES(QM_VISIT_GAMEOBJ_LIST)
#undef QM_VISIT_GAMEOBJ_LIST
  for (int i = 0; i < deleted_gameobjs.num; i++)
    fn(deleted_gameobjs.data[i]);
}

// Total number of entries in the 42 lists.
int count_listed_gameobjs();
// Releases the storage of every list and of deleted_gameobjs (at exit; the objects are gone).
void release_gameobj_lists();
