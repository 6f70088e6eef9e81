#include "terrain/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
struct SavedNoise
{
  uint64_t seed = game_rnd_seed;
  std::array<uint8_t, 512> perm = noise_perm;
  std::array<float, 512> jitter = feature_jitter;
  ~SavedNoise()
  {
    game_rnd_seed = seed;
    noise_perm = perm;
    feature_jitter = jitter;
  }
};
}  // namespace

TEST(GameRnd, HighHalfOfTheNextState)
{
  uint64_t s = 1;
  uint32_t r = game_rnd_step(s);
  EXPECT_EQ(s, 0x5851F42D4C957F2Dull + 0x14057B7EF767814Full);
  EXPECT_EQ(r, uint32_t((0x5851F42D4C957F2Dull + 0x14057B7EF767814Full) >> 32));
  EXPECT_EQ(game_rnd_unit(0xFFFFFFFFu), 1.0f);  // rounds up: users scaling it into an index clamp
  EXPECT_LT(game_rnd_unit(0xFFFFFF7Fu), 1.0f);
}

TEST(Noise, ReseedIsReproducibleAndAdvancesBy1536Draws)
{
  SavedNoise saved;
  game_rnd_seed = 987654321;
  reseed_noise();
  auto perm1 = noise_perm;
  auto jit1 = feature_jitter;
  uint64_t s = 987654321;
  for (int i = 0; i < 1536; i++)
    game_rnd_step(s);
  EXPECT_EQ(game_rnd_seed, s);

  std::array<int, 256> seen{};
  for (int i = 0; i < 256; i++)
  {
    seen[perm1[i]]++;
    EXPECT_EQ(perm1[i], perm1[i + 256]);
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
  for (float j : jit1)
    EXPECT_TRUE(j >= 0 && j <= 1);

  reseed_noise();  // seed moved on: new tables
  EXPECT_NE(noise_perm, perm1);
  game_rnd_seed = 987654321;
  reseed_noise();
  EXPECT_EQ(noise_perm, perm1);
  EXPECT_EQ(memcmp(feature_jitter.data(), jit1.data(), sizeof(jit1)), 0);
  EXPECT_EQ(get_noise_hash1(-1), noise_perm[255]);
  EXPECT_EQ(get_noise_hash2(-1, 258), noise_perm[255 + noise_perm[2]]);
}

TEST(Noise, GradientNoiseZerosAndPeriods)
{
  SavedNoise saved;
  game_rnd_seed = 42;
  reseed_noise();
  for (int i = -300; i <= 300; i++)
    ASSERT_EQ(noise1(float(i)), 0.f) << i;
  float maxabs = 0;
  for (int i = 0; i < 4000; i++)
    maxabs = std::max(maxabs, std::fabs(noise1(i * 0.037f - 70)));
  EXPECT_GT(maxabs, 0.1f);
  EXPECT_LT(maxabs, 3.5f);

  for (int tile : {1, 2, 8, 64, 256})
    for (int i = 0; i < 200; i++)
    {
      // Coordinates with few mantissa bits, so that adding the tile is exact.
      float x = float(i) * 0.703125f - 60, y = float(i) * 0.359375f - 30;
      float v = tiled_noise2(x, y, tile);
      ASSERT_EQ(v, tiled_noise2(x + float(tile), y, tile)) << tile << " " << x;
      ASSERT_EQ(v, tiled_noise2(x, y - float(tile), tile)) << tile << " " << y;
    }
  // Integer lattice points: every corner weight but its own vanishes, and that one has dx = dy = 0.
  EXPECT_EQ(tiled_noise2(3, 5, 16), 0);
  EXPECT_NE(tiled_noise2(19.3f, 5.7f, 16), tiled_noise2(19.3f, 5.7f, 32));
}

TEST(Noise, VoronoiOrderTiesAndTiling)
{
  SavedNoise saved;
  std::fill(feature_jitter.begin(), feature_jitter.end(), 0.5f);
  // Query at the centre of cell (0, 0): itself at distance 0, four edge cells at 1, four corner
  // cells at 2. Ties keep the visiting order (row below first, then left, then right).
  float dist[4];
  int ids[4];
  Point2 offs[4];
  tiled_voronoi_noise2_near4(0.5f, 0.5f, 4, dist, ids, offs);
  EXPECT_EQ(dist[0], 0);
  EXPECT_EQ(ids[0], 0);
  EXPECT_EQ(dist[1], 1);
  EXPECT_EQ(ids[1], (15 << 16) | 0);  // (0, -1)
  EXPECT_EQ(offs[1].x, 0);
  EXPECT_EQ(offs[1].y, -1);
  EXPECT_EQ(ids[2], (0 << 16) | 15);  // (-1, 0)
  EXPECT_EQ(ids[3], 1);               // (1, 0); (0, 1) falls off

  Point2 all[9];
  int all_ids[9];
  tiled_voronoi_noise2_all9(0.5f, 0.5f, 4, all, all_ids);
  EXPECT_EQ(all_ids[0], (15 << 16) | 15);
  EXPECT_EQ(all_ids[8], (1 << 16) | 1);
  EXPECT_EQ(all[0].x, -1);
  EXPECT_EQ(all[0].y, -1);
  tiled_voronoi_noise2_near4(0.5f, 0.5f, 4, nullptr, nullptr, nullptr);  // nothing requested

  // With real tables: the near list is the stable sort of the nine cells, and the pattern repeats.
  game_rnd_seed = 5;
  reseed_noise();
  for (int i = 0; i < 300; i++)
  {
    float x = i * 1.37f - 100, y = i * 0.71f - 50;
    tiled_voronoi_noise2_all9(x, y, 3, all, all_ids);
    int order[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    auto d2 = [&](int k) { return all[k].x * all[k].x + all[k].y * all[k].y; };
    std::stable_sort(order, order + 9, [&](int a, int b) { return d2(a) < d2(b); });
    tiled_voronoi_noise2_near4(x, y, 3, dist, ids, offs);
    for (int k = 0; k < 4; k++)
    {
      ASSERT_EQ(ids[k], all_ids[order[k]]);
      ASSERT_EQ(dist[k], d2(order[k]));
    }
    float dist2[4];
    tiled_voronoi_noise2_near4(x + 8, y - 16, 3, dist2, nullptr, nullptr);
    for (int k = 0; k < 4; k++)
      ASSERT_NEAR(dist2[k], dist[k], 1e-3f);
  }
  // Far or broken coordinates give some value, never a crash or an overflow.
  tiled_voronoi_noise2_all9(3e9f, -3e9f, 3, all, all_ids);
  tiled_voronoi_noise2_near4(NAN, INFINITY, 3, dist, ids, offs);
  noise1(3e9f);
  tiled_noise2(-3e9f, NAN, 16);
  // A shift beyond the table size keeps reading inside it.
  tiled_voronoi_noise2_near4(1000.5f, -7.25f, 30, dist, ids, offs);
  EXPECT_LE(ids[0] & 0xFFFF, 255);
}

TEST(Noise, FractalSumsAndCurveShaping)
{
  SavedNoise saved;
  game_rnd_seed = 77;
  reseed_noise();
  float curve[257];
  std::fill(curve, curve + 257, 0.25f);
  EXPECT_FLOAT_EQ(fractal_noise1(1.3f, 3, curve, 0.5f), 0.25f * (1 + 0.5f + 0.25f));
  EXPECT_FLOAT_EQ(tiled_fractal_noise2(1.3f, 2.1f, 16, 3, curve, 0.5f), 0.25f * (1 + 0.5f + 0.25f));
  EXPECT_EQ(fractal_noise1(1.3f, 1, nullptr, 0.5f), noise1(1.3f));
  EXPECT_EQ(fractal_noise1(1.3f, 0, nullptr, 0.5f), noise1(1.3f));
  EXPECT_EQ(tiled_fractal_noise2(1.3f, 2.1f, 16, 0, nullptr, 0.5f), tiled_noise2(1.3f, 2.1f, 16));
  // Octave two runs at 2x + 0.5 with half the weight and twice the tile.
  EXPECT_EQ(tiled_fractal_noise2(1.3f, 2.1f, 16, 2, nullptr, 0.5f),
            tiled_noise2(1.3f, 2.1f, 16) + 0.5f * tiled_noise2(3.1f, 4.7f, 32));
  EXPECT_EQ(fractal_noise1(0.7f, 100, nullptr, 0.9f), fractal_noise1(0.7f, 16, nullptr, 0.9f));

  // Linear ramp from -1 to 1 reproduces the value between entries; ends clamp; NaN takes entry 0.
  for (int i = 0; i < 257; i++)
    curve[i] = float(i) / 128 - 1;
  EXPECT_FLOAT_EQ(shape_by_curve(0.3f, curve), 0.3f);
  EXPECT_EQ(shape_by_curve(-5, curve), -1);
  EXPECT_EQ(shape_by_curve(5, curve), 1);
  EXPECT_EQ(shape_by_curve(NAN, curve), -1);
  curve[128] = 10;  // a spike in the middle: shaping really goes through the table
  EXPECT_EQ(shape_by_curve(0, curve), 10);
}

// Coordinates beyond the int range saturate to the extreme cells; their neighbours wrap instead
// of overflowing (the sanitizer build checks), and the Voronoi walk still visits nine cells.
TEST(Noise, HugeCoordinatesStayDefined)
{
  SavedNoise saved;
  for (float v : {3e9f, -3e9f, 1e30f, -1e30f})
  {
    volatile float sink = noise1(v) + tiled_noise2(v, -v, 256) + tiled_fractal_noise2(-v, v, 8, 3, nullptr, 0.5f);
    (void)sink;
    float d[4];
    tiled_voronoi_noise2_near4(v, -v, 8, d, nullptr, nullptr);
    EXPECT_LE(d[0], d[1]);
    int ids[9] = {};
    tiled_voronoi_noise2_all9(-v, v, 8, nullptr, ids);
    for (int id : ids)
      EXPECT_EQ(id & ~0xFF00FF, 0);
  }
}
