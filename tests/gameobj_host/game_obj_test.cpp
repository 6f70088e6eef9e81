// The object model: destroy, deferred deletion and weak references.
#include <gtest/gtest.h>

#include <memory>

#include "gameobj_host/game_obj.h"

namespace
{
struct Counted : BaseObject
{
  int destroyedCalls = 0;
  void onDestroy() override { destroyedCalls++; }
};

struct GameObjTest : testing::Test
{
  void TearDown() override { release_gameobj_lists(); }
};

TEST_F(GameObjTest, DestroyQueuesOnceAndCallsOnDestroyOnce)
{
  Counted obj;
  EXPECT_STREQ(obj.getClassName(), "BaseObject");
  EXPECT_EQ(obj.handleQuery(7), 0);
  obj.destroy();
  obj.destroy();
  EXPECT_EQ(obj.objFlags, OBJ_DESTROYED);
  EXPECT_EQ(obj.destroyedCalls, 1);
  ASSERT_EQ(deleted_gameobjs.size(), 1);
  EXPECT_EQ(deleted_gameobjs[0], &obj);
  // The re-pointing mark is a bit: marking and clearing it keeps a destroyed object destroyed.
  obj.objFlags |= OBJ_REPOINT_MARK;
  obj.objFlags &= ~OBJ_REPOINT_MARK;
  obj.destroy();
  EXPECT_EQ(obj.destroyedCalls, 1);
}

TEST_F(GameObjTest, DeletionClearsEveryWeakReference)
{
  auto lonely = std::make_unique<Counted>();
  lonely.reset();  // no references: nothing to walk

  auto obj = std::make_unique<Counted>();
  WeakRef<Counted> a(obj.get()), b(obj.get()), c(a);
  ASSERT_NE(obj->weakRefHead, nullptr);
  // The ring of three is circular.
  WeakRefNode *n = obj->weakRefHead;
  EXPECT_EQ(n->next->next->next, n);
  obj.reset();
  EXPECT_EQ(a.get(), nullptr);
  EXPECT_EQ(b.get(), nullptr);
  EXPECT_EQ(c.get(), nullptr);
}

TEST_F(GameObjTest, HolderDyingFirstUnlinksItsNode)
{
  Counted obj;
  WeakRef<Counted> keep(&obj);
  {
    auto gone = std::make_unique<WeakRef<Counted>>(&obj);
    auto gone2 = std::make_unique<WeakRef<Counted>>(&obj);
    gone.reset();
    WeakRef<Counted> moved;
    moved = keep;
    gone2->set(nullptr);
  }
  // Only `keep` remains, linked to itself; deleting the object must not touch freed nodes (ASan).
  ASSERT_NE(obj.weakRefHead, nullptr);
  EXPECT_EQ(obj.weakRefHead->next, obj.weakRefHead);
  EXPECT_EQ(keep.get(), &obj);
}

TEST_F(GameObjTest, DestroyDuringIterationLeavesTheListAlone)
{
  Counted objs[3];
  for (Counted &o : objs)
    GameObj_list.push_back(reinterpret_cast<GameObj *>(static_cast<BaseObject *>(&o)));
  int visited = 0;
  for (int i = 0; i < GameObj_list.size(); i++, visited++)
    reinterpret_cast<BaseObject *>(GameObj_list[i])->destroy();
  EXPECT_EQ(visited, 3);
  EXPECT_EQ(GameObj_list.size(), 3);
  EXPECT_EQ(deleted_gameobjs.size(), 3);
  EXPECT_EQ(count_listed_gameobjs(), 3);
  int walked = 0;
  for_each_listed_gameobj([&](BaseObject *) { walked++; });
  EXPECT_EQ(walked, 6);  // three listed, three queued for deletion
}
}  // namespace
