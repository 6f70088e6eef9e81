#include "support/dyn_array.h"

#include <gtest/gtest.h>

#include <string>

TEST(DynArray, LayoutIsPointerAndTwoCounts)
{
  static_assert(sizeof(DynArray<int>) == sizeof(void *) + 8);
  DynArray<int> a;
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.num, 0);
  EXPECT_EQ(a.capacity, 0);
}

TEST(DynArray, GrowthRule)
{
  DynArray<int> a;
  a.push_back(1);
  EXPECT_EQ(a.capacity, 8);
  for (int i = 1; i < 8; i++)
    a.push_back(i);
  EXPECT_EQ(a.capacity, 8);
  a.push_back(9);
  EXPECT_EQ(a.capacity, 16);

  DynArray<int> b;
  b.append(20);
  EXPECT_EQ(b.capacity, 28);
  DynArray<int> c;
  c.append(30);
  EXPECT_EQ(c.capacity, 38);
  EXPECT_EQ(c.num, 30);
  EXPECT_EQ(c[29], 0);  // default-constructed

  // Shrinking never gives memory back.
  c.resize(2);
  EXPECT_EQ(c.capacity, 38);
  EXPECT_EQ(c.num, 2);
}

TEST(DynArray, InsertAndErasePreserveOrder)
{
  DynArray<int> a;
  int v[] = {0, 1, 2, 3, 4};
  a.append(5, v);
  int mid[] = {10, 11};
  a.insert(2, 2, mid);
  ASSERT_EQ(a.num, 7);
  int want[] = {0, 1, 10, 11, 2, 3, 4};
  for (int i = 0; i < 7; i++)
    EXPECT_EQ(a[i], want[i]);

  a.insert(a.num, 0, nullptr);  // valid, changes nothing
  EXPECT_EQ(a.num, 7);

  a.erase(2, 2);
  for (int i = 0; i < 5; i++)
    EXPECT_EQ(a[i], i);
  a.erase(3, 2);  // tail
  EXPECT_EQ(a.num, 3);
  EXPECT_EQ(a.back(), 2);
}

TEST(DynArray, FastEraseFillsFromTheEnd)
{
  int v[] = {0, 1, 2, 3, 4};
  DynArray<int> a;
  a.append(5, v);
  a.fastErase(3, 1);  // element before last: the last moves in
  ASSERT_EQ(a.num, 4);
  EXPECT_EQ(a[3], 4);

  DynArray<int> b;
  b.append(5, v);
  b.fastErase(4, 1);  // the last: nothing moves
  EXPECT_EQ(b.num, 4);
  EXPECT_EQ(b[3], 3);

  DynArray<int> c;
  c.append(5, v);
  c.fastErase(0, 2);  // two from the end fill the hole
  ASSERT_EQ(c.num, 3);
  EXPECT_EQ(c[0], 3);
  EXPECT_EQ(c[1], 4);
  EXPECT_EQ(c[2], 2);
}

TEST(DynArray, InsertFromItselfCopiesBeforeGrowing)
{
  DynArray<int> a;
  int v[] = {1, 2, 3, 4, 5, 6, 7, 8};
  a.append(8, v);  // full: the next insert reallocates
  a.append(4, a.data + 2);
  ASSERT_EQ(a.num, 12);
  EXPECT_EQ(a[8], 3);
  EXPECT_EQ(a[11], 6);
}

TEST(DynArray, OwningElementsAreDestroyedAndCopiedDeeply)
{
  DynArray<DynArray<int>> outer;
  outer.resize(3);
  for (int i = 0; i < 3; i++)
    outer[i].append(100);  // leak checkers see any inner array that is not freed
  outer.erase(0, 1);
  outer.fastErase(0, 1);
  EXPECT_EQ(outer.num, 1);

  DynArray<DynArray<int>> copy(outer);
  copy[0][0] = 7;
  EXPECT_EQ(outer[0][0], 0);
}

TEST(DynArrayDeath, AssertionsNameTheCondition)
{
  EXPECT_EXIT({ DynArray<int> a; a.insert(1, 1); }, testing::ExitedWithCode(100),
              "failed ASSERT\\(at>=0 && at<=num\\)");
  EXPECT_EXIT({ DynArray<int> a; a.back(); }, testing::ExitedWithCode(100), "failed ASSERT\\(num>0\\)");
  EXPECT_EXIT({ DynArray<int> a; a.append(2); a.erase(1, 2); }, testing::ExitedWithCode(100),
              "failed ASSERT\\(at\\+n<=num\\)");
  EXPECT_EXIT({ DynArray<int> a; a.reserve(-1); }, testing::ExitedWithCode(100), "failed ASSERT\\(n>=0\\)");
}
