// Fast noise, gradient noise, Voronoi hills and Voronoi fault plateaus.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "shaping_test_util.h"
#include "support/color_ramp.h"
#include "terrain/hm_gen_color.h"

using HD = HeightmapData;

namespace
{
// Fast noise the plain way: each level reads a full copy of the grid as it was before the level.
void copy_based_fast_noise(float *out, float amplitude, float roughness)
{
  std::vector<float> prev(HMAP_CELLS);
  out[hmap_idx(0, 0)] = out[hmap_idx(128, 0)] = out[hmap_idx(0, 128)] = out[hmap_idx(128, 128)] = -0.5f;
  float a = amplitude;
  for (int d = 128; d >= 2; d /= 2)
  {
    int e = d / 2;
    memcpy(prev.data(), out, HMAP_CELLS * sizeof(float));
    for (int z = 0; z < 256; z += d)
      for (int x = 0; x < 256; x += d)
      {
        float A = prev[hmap_idx(x, z)], B = prev[hmap_idx(x + d, z)];
        float C = prev[hmap_idx(x, z + d)], D = prev[hmap_idx(x + d, z + d)];
        out[hmap_idx(x, z)] = (9 * A + 3 * B + 3 * C + D) / 16 + a * game_rnd_unit(game_rnd());
        out[hmap_idx(x + e, z)] = (9 * B + 3 * A + 3 * D + C) / 16 + a * game_rnd_unit(game_rnd());
        out[hmap_idx(x, z + e)] = (9 * C + 3 * A + 3 * D + B) / 16 + a * game_rnd_unit(game_rnd());
        out[hmap_idx(x + e, z + e)] = (9 * D + 3 * B + 3 * C + A) / 16 + a * game_rnd_unit(game_rnd());
      }
    a *= roughness;
  }
}

std::vector<float> nan_map() { return std::vector<float>(HMAP_CELLS, NAN); }

// A ramp whose every entry is c.
void fill_ramp(ColorRamp &r, vec4f c)
{
  for (vec4f &e : r.c)
    e = c;
}

constexpr const char *kShapingUnit = "src/terrain/hm_gen_shaping\\.cpp\\([0-9]+\\): ";
}  // namespace

TEST(FastNoise, InPlaceEqualsCopyBasedAndTakesOneDrawPerSample)
{
  SavedWorld saved;
  for (float roughness : {0.5f, 0.8f})
  {
    std::vector<float> in_place = nan_map(), plain = nan_map();
    game_rnd_seed = 4242;
    HD::makeFastNoise(in_place.data(), 1.0f, roughness);
    EXPECT_EQ(game_rnd_seed, advance_rnd(4242, 87376));  // 4 draws for each of the 21844 cells
    game_rnd_seed = 4242;
    copy_based_fast_noise(plain.data(), 1.0f, roughness);
    ASSERT_EQ(memcmp(in_place.data(), plain.data(), HMAP_CELLS * sizeof(float)), 0) << roughness;
    float lo = 1e9f, hi = -1e9f;
    for (float v : in_place)
    {
      ASSERT_FALSE(std::isnan(v));  // every sample written
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -0.5f);  // the noise only adds
    EXPECT_GT(hi - lo, 0.2f);
  }
  // Without noise the refinement keeps the flat start.
  std::vector<float> flat = nan_map();
  HD::makeFastNoise(flat.data(), 0.0f, 0.5f);
  for (float v : flat)
    ASSERT_EQ(v, -0.5f);
}

TEST(FastNoise, AddsScaledNoiseAndSetsGroundOnly)
{
  SavedWorld saved;
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = float(i % 7);
  game_rnd_seed = 99;
  std::vector<float> noise(HMAP_CELLS);
  HD::makeFastNoise(noise.data(), 1.0f, 0.6f);
  uint64_t after = game_rnd_seed;

  game_rnd_seed = 99;
  HD::addFastNoise(2.0f, 10.0f, nullptr, GT_SAND, 255, 0.6f);
  EXPECT_EQ(game_rnd_seed, after);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HD::hmap[i], float(i % 7) + (noise[i] * 8.0f + 2.0f)) << i;
    ASSERT_EQ(HD::surface[i].ground_type, unsigned(GT_SAND));
    ASSERT_EQ(HD::surface[i].color, 0xFF808080u);  // no ramp, no colour
  }
  // GT_NONE keeps the ground type.
  HD::addFastNoise(0.0f, 0.0f, nullptr, GT_NONE, 255, 0.6f);
  EXPECT_EQ(HD::surface[1234].ground_type, unsigned(GT_SAND));
}

TEST(RampColour, BlendsTowardsTheRampByItsAlpha)
{
  alignas(16) static ColorRamp ramp;
  // Weight 0.25 towards (1, 0.2, 0, alpha byte 200): every result lies clear of a rounding tie.
  fill_ramp(ramp, v_make(1.0f, 0.2f, 0.0f, 0.25f));
  EXPECT_EQ(blend_ramp_color(0x00000000u, ramp, 0.5f, 200), 0x32400D00u);  // a 50, r 64, g 13, b 0
  EXPECT_EQ(blend_ramp_color(0xFF808080u, ramp, 0.5f, 200), 0xF1A06D60u);  // a 241, r 160, g 109, b 96
  // A ramp alpha of 0 leaves the colour; beyond 1 the blend overshoots and is clamped.
  fill_ramp(ramp, v_make(1.0f, 1.0f, 1.0f, 0.0f));
  EXPECT_EQ(blend_ramp_color(0x12345678u, ramp, 0.3f, 0), 0x12345678u);
  fill_ramp(ramp, v_make(1.0f, 0.0f, 0.5f, 2.0f));
  EXPECT_EQ(blend_ramp_color(0x80808080u, ramp, 0.3f, 255), 0xFFFF0080u);

  // Sampled at t: entries hold t itself in red, so the red byte follows t, clamped at both ends.
  for (int i = 0; i <= 256; i++)
    ramp.c[i] = v_make(float(i) / 256, 0, 0, 1);
  EXPECT_EQ(blend_ramp_color(0xFFFFFFFFu, ramp, -3.0f, 255), 0xFF000000u);
  EXPECT_EQ(blend_ramp_color(0xFFFFFFFFu, ramp, NAN, 255), 0xFF000000u);
  EXPECT_EQ(blend_ramp_color(0xFFFFFFFFu, ramp, 7.0f, 255), 0xFFFF0000u);
  EXPECT_EQ(blend_ramp_color(0xFFFFFFFFu, ramp, 0.2f, 16), 0x10330000u);  // 0.2 * 255 = 51
}

TEST(FastNoise, ColoursEverySampleThroughTheRamp)
{
  SavedWorld saved;
  alignas(16) static ColorRamp ramp;
  for (int i = 0; i <= 256; i++)
    ramp.c[i] = v_make(float(i) / 256, 0.5f, 0, 1);
  game_rnd_seed = 5;
  std::vector<float> noise(HMAP_CELLS);
  HD::makeFastNoise(noise.data(), 1.0f, 0.5f);
  game_rnd_seed = 5;
  HD::addFastNoise(0.0f, 1.0f, &ramp, GT_NONE, 300, 0.5f);  // alpha beyond a byte is 255
  int clamped = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    uint32_t c = HD::surface[i].color;
    float t = std::min(std::max(noise[i], 0.0f), 1.0f);
    clamped += t == 0.0f || t == 1.0f;
    ASSERT_EQ(c >> 24, 255u);
    ASSERT_NEAR(float((c >> 16) & 255), t * 255, 1.01f) << i;
    ASSERT_EQ((c >> 8) & 255, 128u);
    ASSERT_EQ(HD::surface[i].ground_type, unsigned(GT_ROCK));
  }
  EXPECT_LT(clamped, HMAP_CELLS / 2);
}

TEST(ShapingChecks, FailedParameterChecksAreFatalAndNameTheUnit)
{
  SavedWorld saved;
  std::string unit = kShapingUnit;
  EXPECT_EXIT(HD::addFastNoise(2, 1, nullptr, GT_NONE, 255, 0.5f), testing::ExitedWithCode(100),
              unit + "failed ASSERT\\(min_ht<=max_ht\\)");
  EXPECT_EXIT(HD::addSimplexNoise(-1, 1, 4, 1, 0.5f), testing::ExitedWithCode(100),
              unit + "failed ASSERT\\(min_ht>=0\\)");
  const char *tile = "failed ASSERT\\(\\(tile&\\(tile-1\\)\\)==0 && tile>0\\)";
  EXPECT_EXIT(HD::addSimplexNoise(0, 1, 12, 1, 0.5f), testing::ExitedWithCode(100), unit + tile);
  EXPECT_EXIT(HD::addVoronoiHills(0, 0, 1, 1), testing::ExitedWithCode(100), unit + tile);
  EXPECT_EXIT(HD::genVoronoiFaults(INT_MIN, 0, 1, 0, 1, 1, 1), testing::ExitedWithCode(100), unit + tile);
}

TEST(SimplexNoise, AddsNoiseAboveTheMinimumAndTiles)
{
  SavedWorld saved;
  HD::addSimplexNoise(1.0f, 3.0f, 8, 3, 0.5f);
  float lo = 1e9f, hi = -1e9f;
  for (float v : HD::hmap)
  {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_GE(lo, 1.0f);
  EXPECT_GT(hi, 2.5f);
  // One period spans the world: the seam across the edge is as smooth as the inside.
  float inner = 0, seam = 0;
  for (int z = 0; z < 256; z++)
  {
    for (int x = 0; x < 255; x++)
      inner = std::max(inner, std::fabs(HD::hmap[hmap_idx(x + 1, z)] - HD::hmap[hmap_idx(x, z)]));
    seam = std::max(seam, std::fabs(HD::hmap[hmap_idx(0, z)] - HD::hmap[hmap_idx(255, z)]));
    seam = std::max(seam, std::fabs(HD::hmap[hmap_idx(z, 0)] - HD::hmap[hmap_idx(z, 255)]));
  }
  EXPECT_GT(inner, 0.0f);
  EXPECT_LE(seam, inner * 1.5f);
}

TEST(VoronoiHills, HighestHillWinsAndNothingLowers)
{
  SavedWorld saved;
  // Equal hills three cells wide overlap everywhere: each sample takes the nearest one's height,
  // never a sum.
  uint64_t s0 = game_rnd_seed;
  HD::addVoronoiHills(16, 4.0f, 4.0f, 3.0f);
  EXPECT_EQ(game_rnd_seed, advance_rnd(s0, 256));
  for (int z = 0; z < 256; z += 3)
    for (int x = 0; x < 256; x += 2)
    {
      float d[4];
      tiled_voronoi_noise2_near4(float(x) * 16 / 256, float(z) * 16 / 256, 4, d, nullptr, nullptr);
      ASSERT_FLOAT_EQ(HD::hmap[hmap_idx(x, z)], 4.0f * (1 - d[0] / 9.0f)) << x << "," << z;
    }

  // Hills below zero height never dig, and a radius of 0 reaches no sample.
  HD::reset();
  HD::addVoronoiHills(8, -5.0f, -1.0f, 2.0f);
  HD::addVoronoiHills(8, 1.0f, 5.0f, 0.0f);
  for (float v : HD::hmap)
    ASSERT_EQ(v, 0.0f);
}

TEST(VoronoiFaults, EqualPlateausStayFlatAcrossBorders)
{
  SavedWorld saved;
  HD::genVoronoiFaults(8, 2.5f, 2.5f, 0.4f, 2, 3, 1.0f);
  for (float v : HD::hmap)
    ASSERT_EQ(v, 2.5f);
  HD::genVoronoiFaults(8, 0.5f, 0.5f, 0.0f, 1, 1, 0.0f);  // no sharpness: t = 0 everywhere
  for (float v : HD::hmap)
    ASSERT_EQ(v, 3.0f);
}

TEST(VoronoiFaults, PlateausWithScarpsBetweenThem)
{
  SavedWorld saved;
  HD::genVoronoiFaults(8, 1.0f, 9.0f, 0.5f, 2, 3, 2.0f);
  int on_plateau = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float v = HD::hmap[i];
    ASSERT_GE(v, 1.0f);
    ASSERT_LE(v, 9.0f);
    // Most of a plateau sits at its exact height: neighbours share it.
    on_plateau += v == HD::hmap[(i + 1) & (HMAP_CELLS - 1)];
  }
  EXPECT_GT(on_plateau, HMAP_CELLS / 2);
  EXPECT_LT(on_plateau, HMAP_CELLS);

  // Warp periods far beyond the world and deep octaves stay well defined.
  HD::reset();
  HD::genVoronoiFaults(256, 0.0f, 1.0f, 1.0f, INT_MAX, 40, 1.0f);
  for (float v : HD::hmap)
    ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
}
