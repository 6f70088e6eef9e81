// Fault scarps and craters.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shaping_test_util.h"
#include "support/color_ramp.h"

using HD = HeightmapData;

namespace
{
// The shorter way round the world, into (-128, 128].
float torus_diff(float d)
{
  d = std::fmod(d, 256.0f);
  if (d > 128)
    d -= 256;
  if (d <= -128)
    d += 256;
  return d;
}

// Hilly terrain of a known seed.
void make_hills(float *h)
{
  HD::makeFastNoise(h, 1.0f, 0.6f);
  for (int i = 0; i < HMAP_CELLS; i++)
    h[i] *= 20.0f;
}
}  // namespace

TEST(Fault, ZeroDirectionGivesOneFullWeightValueEverywhere)
{
  SavedWorld saved;
  alignas(16) static ColorRamp ramp;
  for (int i = 0; i <= 256; i++)
    ramp.c[i] = v_make(float(i) / 256, 0, 0, 1);

  // No jaggedness: the fault value is 0 at every sample, which is on the scarp between -2 and 6,
  // so every sample is coloured at t = (0 + 2) / 8 and gets the ground type.
  uint64_t s0 = game_rnd_seed;
  HD::genFault({37.5f, 80.0f}, {0, 0}, 8.0f, 1.0f, 0.0f, &ramp, GT_SOIL, 200, HD::target_hmap);
  EXPECT_EQ(game_rnd_seed, advance_rnd(s0, 1));
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HD::target_hmap[i], 2.0f);  // (1 - 0.75) * 8 + 0
    ASSERT_EQ(HD::surface[i].color, 0xC8400000u) << i;  // red 0.25 * 255, alpha byte 200
    ASSERT_EQ(HD::surface[i].ground_type, unsigned(GT_SOIL));
  }

  // A negative height puts top (-6) below bottom (2): 0 > top, so the fault is the top and no
  // sample lies on the scarp.
  HD::reset();
  for (float &h : HD::target_hmap)
    h = 0;
  HD::genFault({0, 0}, {0, 0}, -8.0f, 1.0f, 0.0f, &ramp, GT_SOIL, 200, HD::target_hmap);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HD::target_hmap[i], -8.0f);  // (1 - 0.75) * -8 - 6
    ASSERT_EQ(HD::surface[i].color, 0xFF808080u);
    ASSERT_EQ(HD::surface[i].ground_type, unsigned(GT_ROCK));
  }

  // With a jagged line the value is still one for the whole map.
  std::vector<float> h(HMAP_CELLS, 1.0f);
  HD::genFault({200, 3}, {0, 0}, 5.0f, 0.2f, 3.0f, nullptr, GT_NONE, 0, h.data());
  for (float v : h)
    ASSERT_EQ(v, h[0]);
}

TEST(Fault, EllipseWrapsAroundTheWorld)
{
  SavedWorld saved;
  const Point2 pos = {10.0f, 20.0f};
  HD::genFault(pos, {3.0f, 0.0f}, 10.0f, 0.5f, 2.0f, nullptr, GT_NONE, 0, HD::hmap);
  int inside = 0, changed = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      // Along x reaches 64, across (z) reaches 128, both measured round the torus.
      float along = torus_diff(float(x) - pos.x), across = torus_diff(float(z) - pos.y);
      float q = (along / 64) * (along / 64) + (across / 128) * (across / 128);
      float v = HD::hmap[hmap_idx(x, z)];
      if (q >= 1.001f)
      {
        ASSERT_EQ(v, 0.0f) << x << "," << z;
      }
      else if (q < 0.999f)
      {
        inside++;
        changed += v != 0.0f;
      }
    }
  EXPECT_GT(inside, 20000);
  EXPECT_GT(changed, inside * 95 / 100);
  // Across the world edge on both axes.
  EXPECT_NE(HD::hmap[hmap_idx(250, 20)], 0.0f);
  EXPECT_NE(HD::hmap[hmap_idx(10, 200)], 0.0f);
  // Up to 0.75 height above (minus the balance offset), down to 0.25 below.
  for (float v : HD::hmap)
    ASSERT_TRUE(v >= -5.0f && v <= 5.0f) << v;
}

TEST(Crater, NeverRaisesAnySample)
{
  SavedWorld saved;
  std::vector<float> before(HMAP_CELLS);
  make_hills(HD::hmap);
  struct Case
  {
    Point2 c;
    float radius, depth;
  } cases[] = {
    {{100.3f, 50.7f}, 10.0f, 0.5f}, {{100.3f, 50.7f}, 10.0f, 0.5f},  // the same crater twice
    {{1.0f, 254.5f}, 20.0f, 1.0f},  {{128.0f, 128.0f}, 6.0f, -2.0f},  // a negative depth
    {{60.0f, 60.0f}, 0.0f, 1.0f},   {{-300.0f, 1e6f}, 30.0f, 0.3f},
    {{5.0f, 5.0f}, 500.0f, 0.1f},   {{NAN, 3.0f}, 10.0f, 1.0f},
    {{3.0f, 3.0f}, NAN, 1.0f},      {{200.0f, 10.0f}, 3.0f, NAN},
  };
  for (const Case &k : cases)
  {
    memcpy(before.data(), HD::hmap, sizeof(HD::hmap));
    HD::genCrater(k.c, k.radius, k.depth, HD::hmap);
    for (int i = 0; i < HMAP_CELLS; i++)
      ASSERT_LE(HD::hmap[i], before[i]) << i << " crater at " << k.c.x << "," << k.c.y << " r " << k.radius;
  }
}

TEST(Crater, BowlBelowTheMeanFadingOutAcrossTheEdge)
{
  SavedWorld saved;
  for (float &h : HD::hmap)
    h = 5.0f;
  // Centred on sample (1, 2) so that the bowl reaches across both world edges.
  HD::genCrater({1.0f, 2.0f}, 10.0f, 0.4f, HD::hmap);
  EXPECT_FLOAT_EQ(HD::hmap[hmap_idx(1, 2)], 5.0f - 0.4f * 10.0f);
  EXPECT_FLOAT_EQ(HD::hmap[hmap_idx(1 - 6, 2)], 5.0f - 0.4f * 8.0f);  // sqrt(100 - 36)
  EXPECT_FLOAT_EQ(HD::hmap[hmap_idx(1, 2 - 8)], 5.0f - 0.4f * 6.0f);
  // Near the edge the rim band pulls the surface towards the rim level h - 1.5 depth.
  EXPECT_NEAR(HD::hmap[hmap_idx(1 + 10, 2)], 5.0f - 1.5f * 0.4f, 1e-5f);
  // Outside the bowl the land is still lowered, fading to nothing at twice the radius.
  for (int d = 11; d < 20; d++)
    EXPECT_LT(HD::hmap[hmap_idx(1 + d, 2)], 5.0f) << d;
  EXPECT_GT(HD::hmap[hmap_idx(1 + 19, 2)], HD::hmap[hmap_idx(1 + 14, 2)]);
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      float dx = torus_diff(float(x) - 1), dz = torus_diff(float(z) - 2);
      if (dx * dx + dz * dz >= 400)
      {
        ASSERT_EQ(HD::hmap[hmap_idx(x, z)], 5.0f) << x << "," << z;
      }
    }

  // A radius beyond the world visits each sample once: the mean of a flat world is its height, so
  // the deepest point sits exactly depth * radius below it.
  for (float &h : HD::hmap)
    h = 5.0f;
  HD::genCrater({64.0f, 64.0f}, 200.0f, 0.01f, HD::hmap);
  EXPECT_FLOAT_EQ(HD::hmap[hmap_idx(64, 64)], 5.0f - 0.01f * 200.0f);
}
