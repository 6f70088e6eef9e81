#include "gameobj_host/game_obj.h"

#define QM_DEFINE_GAMEOBJ_LIST(C)             \
  DynArray<C *, DefaultAllocator> C##_list;   \
  template struct sqbind::ClassTag<C>;
QM_GAMEOBJ_CLASSES(QM_DEFINE_GAMEOBJ_LIST)
#undef QM_DEFINE_GAMEOBJ_LIST

DynArray<BaseObject *, DefaultAllocator> deleted_gameobjs;

// The module builds on this layout: vtable pointer, ring head, flags (module_api.cpp checks too).
static_assert(sizeof(BaseObject) == 2 * sizeof(void *) + 8);

void weak_ref_link(WeakRefTarget *target, WeakRefNode *node)
{
  if (!target->weakRefHead)
  {
    node->next = node;
    target->weakRefHead = node;
    return;
  }
  node->next = target->weakRefHead->next;
  target->weakRefHead->next = node;
}

void weak_ref_unlink(WeakRefTarget *target, WeakRefNode *node)
{
  WeakRefNode *head = target->weakRefHead;
  if (!head)
    return;
  WeakRefNode *prev = head;
  while (prev->next != node)
  {
    prev = prev->next;
    if (!prev || prev == head)
      return;  // not in this ring
  }
  if (node->next == node)
    target->weakRefHead = nullptr;
  else
  {
    prev->next = node->next;
    if (head == node)
      target->weakRefHead = node->next;
  }
  node->next = nullptr;
}

void weak_ref_clear_all(WeakRefTarget *target)
{
  WeakRefNode *head = target->weakRefHead;
  WeakRefNode *node = head;
  while (node)
  {
    WeakRefNode *next = node->next;
    node->w0 = node->w1 = nullptr;
    node->next = nullptr;
    if (next == head)
      break;
    node = next;
  }
  target->weakRefHead = nullptr;
}

BaseObject::~BaseObject() { weak_ref_clear_all(this); }

void BaseObject::destroy()
{
  if (objFlags & OBJ_DESTROYED)
    return;
  objFlags |= OBJ_DESTROYED;
  deleted_gameobjs.push_back(this);
  onDestroy();
}

void BaseObject::onDestroy() {}

int BaseObject::handleQuery(intptr_t query) { return 0; }

const char *BaseObject::getClassName() { return "BaseObject"; }

int count_listed_gameobjs()
{
  int n = 0;
#define QM_COUNT_GAMEOBJ_LIST(C) n += C##_list.num;
  QM_GAMEOBJ_CLASSES(QM_COUNT_GAMEOBJ_LIST)
#undef QM_COUNT_GAMEOBJ_LIST
  return n;
}

void release_gameobj_lists()
{
#define QM_RELEASE_GAMEOBJ_LIST(C) C##_list.clear();
  QM_GAMEOBJ_CLASSES(QM_RELEASE_GAMEOBJ_LIST)
#undef QM_RELEASE_GAMEOBJ_LIST
  deleted_gameobjs.clear();
}
