#include "terrain/hmap_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "support/math_util.h"
#include "terrain/house_pieces.h"
#include "terrain/simd_dispatch.h"

using HD = HeightmapData;

namespace
{
// Plain per-sample morph, the definition the vectorised code must reproduce bit for bit.
float ref_morph(float h, float t, float dt)
{
  if (!(dt > 0))
    dt = 0;
  float k = std::min(0.2f * dt, 1.f);
  float d = t - h;
  float ad = std::fabs(d);
  float step = ad * k + dt;
  if (step >= ad)
    return t;
  return h + (d < 0 ? -step : step);
}

uint32_t bits(float f)
{
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

void fill_random(float *a, std::mt19937 &rng, float lo, float hi)
{
  std::uniform_real_distribution<float> dist(lo, hi);
  for (int i = 0; i < HMAP_CELLS; i++)
    a[i] = dist(rng);
}

alignas(16) float morph_out[HMAP_CELLS];
} // namespace

TEST(Floor, TrueFloorSaturatedAndFinite)
{
  EXPECT_EQ(ifloor(3.0f), 3); // round(v - 0.49999988) would give 2 here
  EXPECT_EQ(ifloor(5.0f), 5);
  EXPECT_EQ(ifloor(2.9999998f), 2);
  EXPECT_EQ(ifloor(-0.5f), -1);
  EXPECT_EQ(ifloor(-3.0f), -3);
  EXPECT_EQ(ifloor(-1e-30f), -1);
  EXPECT_EQ(ifloor(-0.0f), 0);
  EXPECT_EQ(ifloor(1e10f), INT_MAX);
  EXPECT_EQ(ifloor(-1e10f), INT_MIN);
  EXPECT_EQ(ifloor(-2147483648.f), INT_MIN);
  EXPECT_EQ(ifloor(NAN), 0);
  EXPECT_EQ(ifloor(INFINITY), 0);
  EXPECT_EQ(ifloor(-INFINITY), 0);
}

TEST(HeightmapData, LayoutOrderAndWrapping)
{
  const char *p[5] = {(const char *)HD::hmap, (const char *)HD::tmpw, (const char *)HD::water,
                      (const char *)HD::target_hmap, (const char *)HD::surface};
  for (int i = 0; i < 5; i++)
    EXPECT_EQ(uintptr_t(p[i]) % 16, 0u) << i;
  for (int i = 0; i < 4; i++)
    EXPECT_LT(p[i], p[i + 1]) << i;
  EXPECT_GE(p[1] - p[0], ptrdiff_t(sizeof(HD::hmap)));
  EXPECT_GE(p[4] - p[3], ptrdiff_t(sizeof(HD::target_hmap)));

  EXPECT_EQ(hmap_idx(256, -256), hmap_idx(0, 0));
  EXPECT_EQ(hmap_idx(-1, 0), 255);
  EXPECT_EQ(hmap_idx(0, -1), 255 << 8);
  EXPECT_EQ(hmap_idx(3, 2), (2 << 8) | 3);

  // Bit fields of the flags word sit where the module and the renderer expect them.
  HD::Surface s;
  memset(&s, 0, sizeof(s));
  s.ground_type = GT_SOIL;
  s.surface_type = ST_ROAD;
  s.house_rot = 5;
  s.house_piece = HP_CASTLE_CORNER2;
  s.unused = 0xABCD;
  uint32_t flags;
  memcpy(&flags, (const char *)&s + 8, 4);
  EXPECT_EQ(flags, 3u | (4u << 4) | (5u << 8) | (18u << 11) | (0xABCDu << 16));
  EXPECT_STREQ(house_piece_inst_names[HP_CASTLE_WALL1], "castle_wall1_inst");
}

TEST(HeightmapData, ResetLeavesScratchWaterAlone)
{
  HD::tmpw[7].depth = 3;
  HD::hmap[5] = HD::target_hmap[9] = 2;
  HD::water[11] = {1, 2, 3, 4};
  HD::surface[13].top_color = 0x12345678;
  HD::surface[13].house_piece = 7;
  HD::reset();
  EXPECT_EQ(HD::hmap[5], 0);
  EXPECT_EQ(HD::target_hmap[9], 0);
  EXPECT_EQ(HD::water[11].foam, 0);
  EXPECT_EQ(HD::tmpw[7].depth, 3);
  const HD::Surface &s = HD::surface[13];
  EXPECT_EQ(s.color, 0xFF808080u);
  EXPECT_EQ(s.top_color, 0u);
  EXPECT_EQ(s.ground_type, unsigned(GT_ROCK));
  EXPECT_EQ(s.surface_type + s.house_rot + s.house_piece + s.unused, 0u);
  HD::tmpw[7].depth = 0;
}

TEST(HeightmapMorph, MatchesPlainDefinitionBitForBit)
{
  std::mt19937 rng(7);
  for (int pass = 0; pass < 12; pass++)
  {
    const float dts[6] = {0.05f, 0.0125f, 0.f, 1.f, 10.f, -1.f};
    float dt = dts[pass / 2];
    terrain_allow_avx2 = pass & 1; // both the four-wide and the eight-wide path
    fill_random(HD::hmap, rng, -50, 50);
    fill_random(HD::target_hmap, rng, -50, 50);
    for (int i = 0; i < HMAP_CELLS; i += 97)
      HD::target_hmap[i] = HD::hmap[i] + (i % 3 ? 1e-4f : -2e-3f); // small gaps too
    HD::morphHmap(dt, morph_out);
    for (int i = 0; i < HMAP_CELLS; i++)
      ASSERT_EQ(bits(morph_out[i]), bits(ref_morph(HD::hmap[i], HD::target_hmap[i], dt)))
          << i << " dt " << dt;
    HD::updateHmap(dt);
    for (int i = 0; i < HMAP_CELLS; i++)
      ASSERT_EQ(bits(HD::hmap[i]), bits(morph_out[i])) << i; // no group of four is at rest here
  }
  terrain_allow_avx2 = true;
}

TEST(HeightmapMorph, ApproachesMonotonicallyAndLandsExactly)
{
  std::mt19937 rng(3);
  fill_random(HD::hmap, rng, -100, 100);
  fill_random(HD::target_hmap, rng, -100, 100);
  static float prev_gap[HMAP_CELLS], first_d[HMAP_CELLS];
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    first_d[i] = HD::target_hmap[i] - HD::hmap[i];
    prev_gap[i] = std::fabs(first_d[i]);
  }
  for (int step = 0; step < 400; step++)
  {
    HD::updateHmap(0.05f);
    for (int i = 0; i < HMAP_CELLS; i += 61)
    {
      float t = HD::target_hmap[i], h = HD::hmap[i];
      float gap = std::fabs(t - h);
      ASSERT_LE(gap, prev_gap[i]);
      ASSERT_GE((t - h) * first_d[i], 0) << "overshot at " << i;
      prev_gap[i] = gap;
    }
  }
  // 200 world units of gap close well within 400 steps of 1/20 s; groups that came within the
  // rest threshold stay there, the others landed exactly.
  int landed = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_LT(std::fabs(HD::target_hmap[i] - HD::hmap[i]), 0.001f) << i;
    landed += bits(HD::hmap[i]) == bits(HD::target_hmap[i]);
  }
  EXPECT_GT(landed, HMAP_CELLS * 9 / 10);
  HD::morphHmap(0.05f, HD::hmap); // no skip: every remaining gap is below one step
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(bits(HD::hmap[i]), bits(HD::target_hmap[i])) << i;
}

TEST(HeightmapMorph, AtRestSkipTimeZeroAndLongStep)
{
  for (int pass = 0; pass < 2; pass++)
  {
    terrain_allow_avx2 = pass == 0;
    HD::reset();
    for (int i = 0; i < 8; i++)
      HD::target_hmap[i] = 0.0005f; // two groups of four, all below the rest threshold
    HD::target_hmap[12] = 0.0005f;  // its group has a large gap in another sample
    HD::target_hmap[13] = 40;
    HD::updateHmap(0.05f);
    EXPECT_EQ(HD::hmap[0], 0);
    EXPECT_EQ(HD::hmap[7], 0);
    EXPECT_EQ(HD::hmap[12], 0.0005f); // the group moves as a whole
    HD::morphHmap(0.05f, morph_out);
    EXPECT_EQ(morph_out[0], 0.0005f);
    EXPECT_EQ(morph_out[7], 0.0005f);

    float before = HD::hmap[13];
    HD::updateHmap(0);
    EXPECT_EQ(HD::hmap[13], before);
    HD::morphHmap(0, morph_out);
    EXPECT_EQ(morph_out[13], before);

    HD::target_hmap[200] = -1e6f;
    HD::updateHmap(10); // k capped at 1: every gap closes in one step
    EXPECT_EQ(HD::hmap[13], 40);
    EXPECT_EQ(HD::hmap[200], -1e6f);
  }
  terrain_allow_avx2 = true;
  HD::reset();
}

TEST(HeightmapData, HeightRangeIgnoresNaNAndRecenters)
{
  HD::reset();
  for (float &h : HD::hmap)
    h = 7;
  float lo, hi;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, 7);
  EXPECT_EQ(hi, 7);
  EXPECT_EQ(HD::recenterHt(), 0);
  EXPECT_EQ(HD::hmap[12345], 0);

  HD::hmap[0] = NAN; // a NaN first sample must not poison the bounds
  HD::hmap[10] = -3;
  HD::hmap[20] = NAN;
  HD::hmap[30] = 5;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, -3);
  EXPECT_EQ(hi, 5);
  HD::target_hmap[30] = 9;
  EXPECT_EQ(HD::recenterHt(), 4);
  EXPECT_EQ(HD::hmap[30], 4);
  EXPECT_EQ(HD::hmap[10], -4);
  EXPECT_EQ(HD::hmap[1], -1);
  EXPECT_EQ(HD::target_hmap[30], 9); // targets are not shifted

  for (float &h : HD::hmap)
    h = NAN;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  HD::reset();
}
