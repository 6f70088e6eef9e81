#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "mode_test_util.h"
#include "support/math_util.h"

namespace
{
// Bilinear height of the wrapping world at (x, z).
float surface_at(float x, float z)
{
  int ix = ifloor(x), iz = ifloor(z);
  float fx = x - float(ix), fz = z - float(iz);
  const float *h = HeightmapData::hmap;
  float a = h[hmap_idx(ix, iz)] + (h[hmap_idx(ix + 1, iz)] - h[hmap_idx(ix, iz)]) * fx;
  float b = h[hmap_idx(ix, iz + 1)] + (h[hmap_idx(ix + 1, iz + 1)] - h[hmap_idx(ix, iz + 1)]) * fx;
  return a + (b - a) * fz;
}

float square_depth(float x, float y, float z, float half)
{
  return v_extract_x(HeightmapData::calcSquareDepth(v_make(x, y, z, 0), half, true));
}

using AttractFlightTest = ModeTest;
}  // namespace

TEST_F(AttractFlightTest, FliesOverHillsWithoutTouchingThemAndWanders)
{
  // Steep ridges up to 40 units high that wrap with the world.
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HeightmapData::hmap[hmap_idx(x, z)] = HeightmapData::target_hmap[hmap_idx(x, z)] =
        20.f + 20.f * sinf(float(x) * 0.098174770f) * cosf(float(z) * 0.073631078f);

  go_to_main_menu();
  // Starts 5 units above the highest point near the origin.
  EXPECT_FLOAT_EQ(v_extract_y(camPos), square_depth(0, -5, 0, 5));

  float min_clearance = 1e30f, min_yaw = 0, max_yaw = 0, travelled = 0;
  for (int i = 0; i < 4000; i++)  // 200 seconds of flight
  {
    vec4f before = camPos;
    step();
    float x = v_extract_x(camPos), y = v_extract_y(camPos), z = v_extract_z(camPos);
    ASSERT_TRUE(x >= 0 && x < 256 && z >= 0 && z < 256) << "step " << i;
    ASSERT_TRUE(std::isfinite(y));
    float clearance = y - surface_at(x, z);
    ASSERT_GE(clearance, 0.f) << "below the surface at step " << i;
    min_clearance = std::min(min_clearance, clearance);
    min_yaw = std::min(min_yaw, camYaw);
    max_yaw = std::max(max_yaw, camYaw);
    // Never faster than the flight speed plus the climb out of the ground.
    vec4f d = camPos - before;
    float dx = wrap_seam_delta(v_extract_x(d)), dz = wrap_seam_delta(v_extract_z(d));
    travelled += sqrtf(dx * dx + dz * dz);
    ASSERT_LE(sqrtf(dx * dx + dz * dz), 0.5f + 1e-4f);
  }
  EXPECT_GT(travelled, 1000.f);              // it keeps flying
  EXPECT_GT(max_yaw - min_yaw, 0.05f);       // and the noise turns it
  EXPECT_LT(std::fabs(camPitch), 1.5f);      // without flipping over
}
