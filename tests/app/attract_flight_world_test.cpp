// The attract flight over the world the shipped script generates for the main menu.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "mode_test_util.h"
#include "script/world_gen.h"
#include "support/file_path.h"
#include "support/math_util.h"
#include "terrain/game_rnd.h"

namespace
{
// Bilinear height of land plus water at (x, z).
float surface_at(float x, float z)
{
  auto at = [](int i, int j) {
    int k = hmap_idx(i, j);
    return HeightmapData::hmap[k] + HeightmapData::water[k].depth;
  };
  int ix = ifloor(x), iz = ifloor(z);
  float fx = x - float(ix), fz = z - float(iz);
  float a = at(ix, iz) + (at(ix + 1, iz) - at(ix, iz)) * fx;
  float b = at(ix, iz + 1) + (at(ix + 1, iz + 1) - at(ix, iz + 1)) * fx;
  return a + (b - a) * fz;
}

class AttractFlightWorld : public ModeTest
{
protected:
  void SetUp() override
  {
    ModeTest::SetUp();
    memcpy(savedPath, app_path, sizeof(savedPath));
    snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
    init_world_gen_vm();
    connect_world_links();
  }
  void TearDown() override
  {
    close_world_gen_vm();
    memcpy(app_path, savedPath, sizeof(savedPath));
    ModeTest::TearDown();
  }
  char savedPath[260];
};
}  // namespace

TEST_F(AttractFlightWorld, NeverGoesBelowTheSurfaceOfTheMainMenuWorld)
{
  for (uint64_t seed : {7ull})
  {
    game_rnd_seed = seed;
    go_to_main_menu();
    ASSERT_EQ(cur_game_mode, main_menu_mode);
    float lo, hi;
    HeightmapData::calcHtRange(lo, hi);
    ASSERT_LT(lo, hi) << "the script made no terrain";

    float min_clearance = 1e30f;
    for (int i = 0; i < 1200; i++)  // a minute of flight: twice across the world and more
    {
      step();
      float x = v_extract_x(camPos), y = v_extract_y(camPos), z = v_extract_z(camPos);
      ASSERT_TRUE(x >= 0 && x < 256 && z >= 0 && z < 256 && std::isfinite(y)) << "step " << i;
      float clearance = y - surface_at(x, z);
      ASSERT_GE(clearance, -1e-3f) << "seed " << seed << ", step " << i;
      min_clearance = std::min(min_clearance, clearance);
    }
    EXPECT_LT(min_clearance, 20.f) << "the flight should follow the terrain, not soar above it";
    set_game_mode(nullptr);
  }
}
