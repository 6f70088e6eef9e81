#include <cmath>
#include <cstring>
#include <vector>

#include "world_gen_test_util.h"

using HD = HeightmapData;

TEST_F(WorldGenFixture, MaskFromNumberAndFunctionAndItsReaders)
{
  ASSERT_EQ(run("::m <- HmapMask(0.5)"), "");
  EXPECT_EQ(runFloat("::m.calcMinMax()[0]"), 0.5f);
  EXPECT_EQ(runFloat("::m.calcMinMax()[1]"), 0.5f);
  ASSERT_EQ(run("::f <- HmapMask(function(x, z) { return x + 1000 * z })"), "");
  EXPECT_EQ(runFloat("::f.getraw(3, 2)"), 2003.f);
  EXPECT_EQ(runFloat("::f.getraw(259, -254)"), 2003.f);  // wraps
  EXPECT_EQ(runFloat("::f.get(3.5, 2.25)"), 2253.5f);
  // Between column 255 and column 0 the bilinear read wraps.
  EXPECT_FLOAT_EQ(runFloat("::f.get(255.5, 0)"), 127.5f);
  EXPECT_EQ(runFloat("::f.calcMinMax()[1]"), 255255.f);

  EXPECT_EQ(run("HmapMask(\"x\")"), "HmapMask() needs a number or a function(x, z)");
  // A failing function reports the script's own error.
  EXPECT_NE(run("HmapMask(function(x, z) { return undefined_name })").find("undefined_name"), std::string::npos);
  EXPECT_EQ(run("HmapMask(function(x, z) { return \"a\" })"), sqbind::type_error_text);
}

TEST(HmapMaskNative, MinMaxTakesEqualValuesAsMinAndIgnoresLaterNaN)
{
  std::vector<float> m(HMAP_CELLS, 1.f);
  m[10] = -3.f;
  m[20] = 7.f;
  m[30] = NAN;
  float lo, hi;
  mask_min_max(m.data(), lo, hi);
  EXPECT_EQ(lo, -3.f);
  EXPECT_EQ(hi, 7.f);
}

TEST(HmapMaskNative, SlopeIsOneOnFlatGroundAndFallsOnSlopes)
{
  std::vector<float> h(HMAP_CELLS, 4.f), out(HMAP_CELLS);
  mask_from_slope(h.data(), out.data());
  for (float f : out)
    ASSERT_EQ(f, 1.f);
  // A ramp rising 1 per column (wrapping makes columns 0 and 255 steep).
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      h[hmap_idx(x, z)] = float(x);
  mask_from_slope(h.data(), out.data());
  // gx = 2 * (-2) + (-2) + (-2) = -8: 8 / sqrt(64 + 64).
  EXPECT_FLOAT_EQ(out[hmap_idx(100, 100)], 8.f / sqrtf(128.f));
  EXPECT_LT(out[hmap_idx(0, 100)], 0.1f);
}

TEST_F(WorldGenFixture, MaskClassFunctionsCheckTheirTiles)
{
  EXPECT_EQ(run("HmapMask.fromSimplexNoise(1.0, 3, 2, null, 0.5)"), "tile must be power of 2 in fromSimplexNoise()");
  EXPECT_EQ(run("HmapMask.fromSimplexNoise(1.0, 512, 2, null, 0.5)"),
            "tile must be power of 2 in fromSimplexNoise()");
  EXPECT_EQ(run("HmapMask.fromVoronoiHills(0, 0, 1, 1)"), "tile must be power of 2 in fromVoronoiHills()");
  EXPECT_EQ(run("HmapMask.fromVoronoiFaults(-4, 0, 1, 0.1, 2, 2, 1)"),
            "tile must be power of 2 in fromVoronoiFaults()");
  EXPECT_EQ(run("HmapMask.fastNoise((0.0 / 0.0), 0.5)"), "non-finite argument in fastNoise()");
}

TEST_F(WorldGenFixture, VoronoiMasksHoldWhatTheTerrainOperationsWouldAdd)
{
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = float(i % 7);
  std::vector<float> before(HD::hmap, HD::hmap + HMAP_CELLS);
  game_rnd_seed = 99;
  ASSERT_EQ(run("::hills <- HmapMask.fromVoronoiHills(8, 1, 5, 0.8)"), "");
  const uint64_t seed_after = game_rnd_seed;
  EXPECT_EQ(memcmp(before.data(), HD::hmap, sizeof(HD::hmap)), 0);

  memset(HD::hmap, 0, sizeof(HD::hmap));
  game_rnd_seed = 99;
  HD::addVoronoiHills(8, 1, 5, 0.8f);
  EXPECT_EQ(game_rnd_seed, seed_after);
  for (int z = 0; z < HMAP_SIZE; z += 17)
    for (int x = 0; x < HMAP_SIZE; x += 13)
    {
      std::string e = "::hills.getraw(" + std::to_string(x) + ", " + std::to_string(z) + ")";
      ASSERT_EQ(runFloat(e), HD::hmap[hmap_idx(x, z)]);
    }
}

TEST_F(WorldGenFixture, MasksFromTheWorld)
{
  HD::hmap[hmap_idx(5, 6)] = 12.5f;
  HD::water[hmap_idx(7, 8)].depth = 2.25f;
  EXPECT_EQ(runFloat("HmapMask.fromHeight().getraw(5, 6)"), 12.5f);
  EXPECT_EQ(runFloat("HmapMask.fromWater().getraw(7, 8)"), 2.25f);
  EXPECT_EQ(runFloat("HmapMask.fromWater().getraw(5, 6)"), 0.f);
  // Simplex mask: scale times the tiled fractal sum at (x * tile / 256, z * tile / 256).
  EXPECT_EQ(runFloat("HmapMask.fromSimplexNoise(2.0, 8, 3, null, 0.5).getraw(40, 72)"),
            2.f * tiled_fractal_noise2(40.f * 8.f / 256.f, 72.f * 8.f / 256.f, 8, 3, nullptr, 0.5f));
}
