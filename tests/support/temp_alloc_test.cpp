#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/accum_alloc.h"
#include "support/temp_data.h"
#include "support/temp_string.h"

TEST(TempString, LimitsAndFormatting)
{
  std::string s31(31, 'x');
  TempString<32> ok(s31.c_str());
  EXPECT_EQ(ok.length(), 31);
  TempString<32> none(nullptr);
  EXPECT_STREQ(none, "");
  TempString<32> part("abcdef", 3);
  EXPECT_STREQ(part, "abc");

  TempString<8> f(fmt_tag, "%d-%s", 42, "long text");
  EXPECT_STREQ(f, "42-long");  // truncated, terminated
}

TEST(TempStringDeath, TooLongIsFatal)
{
  std::string s32(32, 'x');
  EXPECT_EXIT({ TempString<32> t(s32.c_str()); }, testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
}

TEST(TempDataDeath, AcquireTwiceIsFatal)
{
  EXPECT_EXIT({ TempDataMap t; t.acquire(); }, testing::ExitedWithCode(100), "failed ASSERT\\(!data\\)");
  EXPECT_EXIT({ TempDataMap t(false); t.release(); }, testing::ExitedWithCode(100), "failed ASSERT\\(data\\)");
}

TEST(AccumAlloc, AlignsAndReusesOlderBlocks)
{
  AccumAlloc a(256, 128);
  char *first = static_cast<char *>(a.alloc(10, 0));
  char *aligned = static_cast<char *>(a.alloc(16, 4));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 16, 0u);
  EXPECT_GE(aligned, first + 10);
  AccumAlloc::Block *firstBlock = a.head;

  // Too big for what is left: a new block of blockSize in front.
  a.alloc(100, 0);
  a.alloc(100, 0);
  EXPECT_NE(a.head, firstBlock);
  EXPECT_EQ(a.head->next, firstBlock);
  EXPECT_EQ(size_t(a.head->end - reinterpret_cast<char *>(a.head)), 128u);

  // Small requests still find room in the older block.
  char *small = static_cast<char *>(a.alloc(8, 0));
  EXPECT_TRUE(small >= reinterpret_cast<char *>(firstBlock) && small < firstBlock->end);
}

TEST(AccumAlloc, OversizeRequestGetsItsOwnBlock)
{
  AccumAlloc a(64, 64);
  void *p = a.alloc(1000, 3);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
  EXPECT_EQ(size_t(a.head->end - reinterpret_cast<char *>(a.head)), 1000 + AccumAlloc::HEADER + 7);
  a.freeAll();
  EXPECT_EQ(a.head, nullptr);
}
