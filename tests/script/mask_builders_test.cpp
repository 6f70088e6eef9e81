#include "script/mask_builders.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "world_gen_test_util.h"

using HD = HeightmapData;

namespace
{
// The stamp computed sample by sample over every point, with the (toroidal) offset of each
// sample taken the way a stamp takes it: from the position reduced into [0, 256].
std::vector<float> reference_stamp(const std::vector<MaskPoint> &points, float falloff)
{
  std::vector<float> out(HMAP_CELLS, 0.f);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      for (const MaskPoint &p : points)
      {
        float r = std::min(p.radius, MAX_MASK_POINT_RADIUS);
        float px = std::fmod(p.x, 256.f), pz = std::fmod(p.z, 256.f);
        px += px < 0 ? 256.f : 0.f;
        pz += pz < 0 ? 256.f : 0.f;
        auto nearest = [](float d) { return d > 128 ? d - 256 : d < -128 ? d + 256 : d; };
        float dx = nearest(float(x) - px), dz = nearest(float(z) - pz);
        float d2 = dx * dx + dz * dz;
        if (!(r > 0) || !(d2 < r * r))
          continue;
        float v = p.value * powf(1 - d2 * (1 / (r * r)), falloff > 0 ? falloff : 0);
        float &o = out[size_t(hmap_idx(x, z))];
        if (std::fabs(v) > std::fabs(o))
          o = v;
      }
  return out;
}
}  // namespace

TEST(MaskBuilders, StampsEqualTheSampleBySampleReference)
{
  // Wrapping and far-off positions, overlapping points of both signs, no reach, the whole world.
  const std::vector<MaskPoint> points = {
      {10.25f, 20.5f, 2.f, 6.f},   {13.f, 22.f, -3.f, 4.5f},      {-1.5f, 254.75f, 1.f, 9.f},
      {1000.5f, -700.25f, 5.f, 3.f}, {128.f, 128.f, 7.f, 0.f},    {60.f, 60.f, 7.f, -4.f},
      {200.75f, 30.f, 0.5f, 40.f},  {90.f, 170.f, 1.5f, 1e30f},
  };
  for (float falloff : {0.f, 1.f, 2.5f, -3.f})
  {
    SCOPED_TRACE(falloff);
    HmapMask m;
    stamp_point_mask(m.v, points.data(), points.size(), falloff);
    std::vector<float> ref = reference_stamp(points, falloff);
    for (int i = 0; i < HMAP_CELLS; i++)
      ASSERT_FLOAT_EQ(m.v[i], ref[size_t(i)]) << "sample " << (i & 255) << ", " << (i >> 8);
  }
  // The first of equal strengths holds; a non-finite point reaches nothing.
  const MaskPoint tie[] = {{5, 5, 2, 3}, {5, 5, -2, 3}, {40, 40, INFINITY, 3}, {NAN, 9, 1, 3}, {9, 9, 1, NAN}};
  HmapMask m;
  stamp_point_mask(m.v, tie, 5, 0);
  EXPECT_EQ(m.v[hmap_idx(5, 6)], 2.f);
  EXPECT_EQ(m.v[hmap_idx(40, 40)], 0.f);
  EXPECT_EQ(m.v[hmap_idx(9, 9)], 0.f);
}

TEST(MaskBuilders, FillLevelsFillHollowsToTheirLowestRim)
{
  // Ground at 0 with a walled square: its floor (1) lies inside walls of 5 with a notch of 3.
  static float h[HMAP_CELLS];
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      bool inside = x > 100 && x < 120 && z > 100 && z < 120;
      bool wall = x >= 100 && x <= 120 && z >= 100 && z <= 120 && !inside;
      h[hmap_idx(x, z)] = wall ? (x == 110 && z == 100 ? 3.f : 5.f) : inside ? 1.f : 0.f;
    }
  static float f[HMAP_CELLS];
  fill_levels(h, 0.5f, f);
  EXPECT_EQ(f[hmap_idx(0, 0)], 0.f);  // below the level: its own height
  EXPECT_EQ(f[hmap_idx(110, 100)], 3.f);
  EXPECT_GT(f[hmap_idx(110, 101)], 3.f);
  EXPECT_LT(f[hmap_idx(119, 119)], 3.001f);  // raised by float steps only
  EXPECT_EQ(f[hmap_idx(100, 110)], 5.f);

  // Random land: never below the land, and from every sample not below the level some neighbour
  // is strictly lower, so following the lowest one always ends below the level. With nothing below
  // the level the lowest sample drains the world.
  srand(7);
  for (float &v : h)
    v = float(rand() % 1000) / 100.f;
  for (float level : {2.f, -1.f})
  {
    fill_levels(h, level, f);
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        const int i = hmap_idx(x, z);
        ASSERT_GE(f[i], h[i]);
        if (h[i] < level)
        {
          ASSERT_EQ(f[i], h[i]);
          continue;
        }
        float lowest = f[i];
        for (int dz = -1; dz <= 1; dz++)
          for (int dx = -1; dx <= 1; dx++)
            lowest = std::min(lowest, f[hmap_idx(x + dx, z + dz)]);
        ASSERT_TRUE(lowest < f[i] || f[i] == *std::min_element(h, h + HMAP_CELLS)) << x << ", " << z;
      }
  }
}

TEST_F(WorldGenFixture, MaskBuildersFromScript)
{
  EXPECT_NEAR(runFloat("mask_from_points([[10, 10], [20, 20, 3.0], [30, 30, -2, 0.5]], 2, 1).getraw(11, 10)"), 0.75f,
              1e-6f);
  EXPECT_EQ(runFloat("mask_from_points([[20, 20, 3.0]], 2, 1).getraw(20, 20)"), 3.f);
  EXPECT_EQ(runFloat("mask_from_points([[30, 30, -2, 0.5]], 2, 1).getraw(30, 31)"), 0.f);
  EXPECT_EQ(runFloat("mask_from_points([], 2, 1).calcMinMax()[1]"), 0.f);
  // Far-off coordinates and a radius beyond the world are reduced, never a hang.
  EXPECT_EQ(runFloat("mask_from_points([[1e30, -1e30, 4.0]], 1e30, 0).calcMinMax()[0]"), 4.f);
  HD::hmap[hmap_idx(3, 3)] = -1.f;
  EXPECT_EQ(runFloat("mask_fill_levels(HmapMask.fromHeight(), -0.5).getraw(3, 3)"), -1.f);
  EXPECT_EQ(runFloat("mask_fill_levels(HmapMask.fromHeight(), -0.5).getraw(3, 4)"), 0.f);

  const char *const points_error =
      "mask_from_points() needs an array of points [x, z], [x, z, value] or [x, z, value, radius]";
  const struct
  {
    const char *call, *error;
  } bad[] = {
      {"mask_from_points(null, 2, 1)", points_error},
      {"mask_from_points([1, 2], 2, 1)", points_error},
      {"mask_from_points([[1]], 2, 1)", points_error},
      {"mask_from_points([[1, 2, 3, 4, 5]], 2, 1)", points_error},
      {"mask_from_points([[\"a\", 2]], 2, 1)", points_error},
      {"mask_from_points([[(0.0 / 0.0), 2]], 2, 1)", "non-finite argument in mask_from_points()"},
      {"mask_from_points([[1, 2, 1, (1.0 / 0.0)]], 2, 1)", "non-finite argument in mask_from_points()"},
      {"mask_from_points([[1, 2]], (0.0 / 0.0), 1)", "non-finite argument in mask_from_points()"},
      {"mask_from_points([[1, 2]], 2, (1.0 / 0.0))", "non-finite argument in mask_from_points()"},
      {"mask_fill_levels(null, 0)", sqbind::type_error_text},
      {"mask_fill_levels(HmapMask(0), (0.0 / 0.0))", "non-finite argument in mask_fill_levels()"},
      // (A mask function may not return NaN, so the NaN comes from the world.)
      {"mask_fill_levels(HmapMask.fromHeight(), 0)", "non-finite height in mask_fill_levels()"},
  };
  HD::hmap[hmap_idx(9, 0)] = NAN;
  for (const auto &b : bad)
    EXPECT_EQ(run(b.call), b.error) << b.call;
}
