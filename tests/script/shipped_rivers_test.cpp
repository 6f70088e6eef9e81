// The shipped world script's rivers over many seeds: each runs through 8-connected cells from a
// spring on high ground, its bed never rises, water runs in it, and it ends in standing water (a
// lake or another river). Only what the rivers need is generated: the "game" world's shaping, then
// its lakes and rivers (erosion would take most of the time and changes nothing the rules rely on).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "script/world_gen.h"
#include "script/world_script.h"
#include "script_test_util.h"
#include "support/file_path.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
struct River
{
  std::vector<int> cells;
  int joins = -1;
};

// The element `key` of the table or array on the stack top, pushed.
void push_slot(HSQUIRRELVM v, const char *key)
{
  sq_pushstring(v, key, -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2))) << key;
}
SQInteger int_at(HSQUIRRELVM v, SQInteger k)
{
  sqbind::StackGuard guard{v};
  sq_pushinteger(v, k);
  sq_get(v, -2);
  return sqbind::SqArg<SQInteger>::get(v, -1);
}

struct ShippedRivers : ::testing::Test
{
  char saved_path[260];
  HSQUIRRELVM v = nullptr;

  void SetUp() override
  {
    memcpy(saved_path, app_path, sizeof(saved_path));
    snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
    set_error_message(nullptr);
    ScriptTest::captured([] { init_world_gen_vm(); });
    ASSERT_FALSE(has_error_message()) << get_error_message();
    v = get_world_script_vm();
  }
  void TearDown() override
  {
    close_world_gen_vm();
    memcpy(app_path, saved_path, sizeof(saved_path));
  }

  // Shapes the "game" world of `seed` and adds its lakes and rivers.
  void generate_rivers(uint64_t seed)
  {
    HD::reset();
    game_rnd_seed = seed;
    const char *src = "reseed_noise(); shape_game_world(); recenter_hmap(); add_lakes_and_rivers(0.2, 3)";
    sqbind::StackGuard guard{v};
    ASSERT_TRUE(compile_buffer(v, src, SQInteger(strlen(src)), "rivers.nut"));
    sq_pushroottable(v);
    bool ok = false;
    ScriptTest::captured([&] { ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue)); });
    ASSERT_TRUE(ok) << sqbind::last_error_text(v);
  }

  std::vector<River> rivers()
  {
    std::vector<River> out;
    sqbind::StackGuard guard{v};
    sq_pushroottable(v);
    push_slot(v, "rivers");
    for (SQInteger r = 0; r < sq_getsize(v, -1); r++)
    {
      sqbind::StackGuard item{v};
      sq_pushinteger(v, r);
      sq_get(v, -2);
      River river;
      push_slot(v, "joins");
      river.joins = int(sqbind::SqArg<SQInteger>::get(v, -1));
      sq_pop(v, 1);
      push_slot(v, "cells");
      for (SQInteger i = 0; i < sq_getsize(v, -1); i++)
        river.cells.push_back(int(int_at(v, i)));
      out.push_back(river);
    }
    return out;
  }
  float lake_level()
  {
    sqbind::StackGuard guard{v};
    sq_pushroottable(v);
    push_slot(v, "lake_level");
    return sqbind::SqArg<float>::get(v, -1);
  }
};

bool neighbours(int a, int b)
{
  int dx = ((a & 255) - (b & 255)) & 255, dz = ((a >> 8) - (b >> 8)) & 255;
  return a != b && (dx <= 1 || dx == 255) && (dz <= 1 || dz == 255);
}
}  // namespace

TEST_F(ShippedRivers, RunDownhillFromHighSpringsIntoStandingWater)
{
#ifdef __SANITIZE_ADDRESS__
  const int seeds = 4;  // the sanitizer build is about ten times slower; the rules are the same
#else
  const int seeds = 20;
#endif
  for (int s = 0; s < seeds; s++)
  {
    const uint64_t seed = s == 0 ? 42 : uint64_t(s);  // 42 once coiled its river into a ring
    SCOPED_TRACE("seed " + std::to_string(seed));
    generate_rivers(seed);
    if (HasFatalFailure())
      return;
    const std::vector<River> all = rivers();
    const float lake = lake_level();
    std::vector<float> sorted(HD::hmap, HD::hmap + HMAP_CELLS);
    std::nth_element(sorted.begin(), sorted.begin() + HMAP_CELLS / 2, sorted.end());
    const float median = sorted[HMAP_CELLS / 2];
    ASSERT_FALSE(all.empty());
    for (size_t r = 0; r < all.size(); r++)
    {
      SCOPED_TRACE("river " + std::to_string(r));
      const std::vector<int> &cells = all[r].cells;
      ASSERT_GE(cells.size(), 16u);
      EXPECT_GT(HD::hmap[cells[0]], median) << "the spring lies low";
      EXPECT_EQ(std::set<int>(cells.begin(), cells.end()).size(), cells.size()) << "a cell comes twice";
      for (size_t i = 1; i < cells.size(); i++)
      {
        ASSERT_TRUE(neighbours(cells[i - 1], cells[i])) << "cells " << i - 1 << " and " << i;
        ASSERT_LE(HD::hmap[cells[i]], HD::hmap[cells[i - 1]]) << "the bed rises at cell " << i;
      }
      for (size_t i = 0; i + 1 < cells.size(); i++)
        ASSERT_GT(HD::water[cells[i]].depth, 0.1f) << "no water in cell " << i;
      const int mouth = cells.back();
      if (all[r].joins < 0)
      {
        EXPECT_LT(HD::hmap[mouth], lake);
        EXPECT_GE(HD::hmap[mouth] + HD::water[mouth].depth, lake) << "the mouth is not under the lake";
      }
      else
      {
        ASSERT_LT(size_t(all[r].joins), r);
        const std::vector<int> &main = all[size_t(all[r].joins)].cells;
        EXPECT_NE(std::find(main.begin(), main.end() - 1, mouth), main.end() - 1) << "not on the river it joins";
      }
    }
  }
}
