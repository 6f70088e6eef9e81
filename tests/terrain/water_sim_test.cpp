#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "terrain/hmap_data.h"
#include "terrain/simd_dispatch.h"
#include "terrain_test_util.h"
#include "water_reference.h"

using HD = HeightmapData;

namespace
{
struct WaterCopy
{
  std::vector<HD::Water> w{HD::water, HD::water + HMAP_CELLS};
  void restore() const { memcpy(HD::water, w.data(), sizeof(HD::water)); }
};

// A rough world with uneven water and velocities, foam and a few dry cells.
void make_wet_world(uint64_t seed)
{
  make_rough_world(seed, 6);
  std::mt19937 rng{uint32_t(seed)};
  std::uniform_real_distribution<float> u01(0, 1), vel(-3, 3);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float dep = u01(rng) < 0.2f ? 0.f : u01(rng) * 2;
    HD::water[i] = {dep, vel(rng), vel(rng), u01(rng)};
  }
}

double total_water()
{
  double s = 0;
  for (const HD::Water &w : HD::water)
    s += w.depth;
  return s;
}

void expect_water_equal(const std::vector<HD::Water> &expected)
{
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const HD::Water &a = HD::water[i], &b = expected[i];
    ASSERT_EQ(float_bits(a.depth), float_bits(b.depth)) << "depth " << i;
    ASSERT_EQ(float_bits(a.vel_x), float_bits(b.vel_x)) << "vel_x " << i;
    ASSERT_EQ(float_bits(a.vel_z), float_bits(b.vel_z)) << "vel_z " << i;
    ASSERT_EQ(float_bits(a.foam), float_bits(b.foam)) << "foam " << i;
  }
}

// Two steps of each path (plain, eight-wide, sixteen-wide where the processor has it) from the
// current state against two plain in-place steps; the state is left as it was.
void expect_all_paths_match_reference(std::initializer_list<float> dts)
{
  for (float dt : dts)
    for (int wide = 0; wide < 3; wide++)
    {
      WaterCopy start;
      ref_sim_water(dt);
      ref_sim_water(dt);
      WaterCopy expected;
      std::vector<HD::Water> expected_prev(HD::tmpw, HD::tmpw + HMAP_CELLS);
      start.restore();
      terrain_allow_avx2 = wide != 0;
      terrain_allow_avx512 = wide == 2;
      HD::simWater(dt);
      HD::simWater(dt);
      terrain_allow_avx2 = terrain_allow_avx512 = true;
      SCOPED_TRACE(testing::Message() << "dt " << dt << " path " << wide);
      expect_water_equal(expected.w);
      // tmpw holds the state the last step started from.
      EXPECT_EQ(memcmp(HD::tmpw, expected_prev.data(), sizeof(HD::tmpw)), 0);
      start.restore();
      if (testing::Test::HasFatalFailure())
        return;
    }
}
}  // namespace

TEST(WaterSim, EveryPathMatchesThePlainInPlaceStep)
{
  make_wet_world(21);
  // Extremes: huge and non-finite velocities must not change the agreement (or crash).
  HD::water[1000].vel_x = 1e12f;
  HD::water[2000].vel_z = -3e9f;
  HD::water[3000].vel_x = NAN;
  HD::water[4000].vel_z = INFINITY;
  HD::water[5000].depth = -0.f;
  expect_all_paths_match_reference({0.05f, 0.3f, 0.01f});
}

TEST(WaterSim, TracePointsOnCellBordersMatchThePlainStep)
{
  // The wide paths take the previous values at trace points within one cell from the cell's
  // neighbourhood and fall back to the general lookup for blocks reaching further. Velocities of
  // +-20 and just under it (one cell at dt 0.05), +-10 (half a cell) and +-0 put trace points
  // exactly on grid lines and on the edge of that reach; every third row also has points two
  // cells away, so its blocks mix both kinds and take the general lookup.
  make_wet_world(33);
  const float near[] = {20, 19.999998f, 10, 0, -0.f, -10, -19.999998f, -20};
  const float far[] = {40, -40, 20.000002f, -20.000002f};
  std::mt19937 rng(7);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      HD::Water &w = HD::water[hmap_idx(x, z)];
      const bool reach_far = z % 3 == 0 && rng() % 4 == 0;
      w.vel_x = reach_far ? far[rng() % 4] : near[rng() % 8];
      w.vel_z = reach_far ? far[rng() % 4] : near[rng() % 8];
    }
  expect_all_paths_match_reference({0.05f, 0.025f});
}

TEST(WaterSim, FarTracePointsReadRowsNotYetReachedByTheStep)
{
  // The wide paths split the previous state into their grids two rows ahead of the velocity
  // phase (the sixteen-wide one block by block inside a velocity row); a trace point in an early
  // row that reaches rows far ahead (or back across the seam) must still read the previous state
  // there, also from a row split halfway, and the rows must not be split twice.
  make_wet_world(45);
  for (int x = 0; x < HMAP_SIZE; x += 5)
  {
    HD::water[hmap_idx(x, 2)].vel_z = -2000;     // 100 rows ahead at dt 0.05
    HD::water[hmap_idx(x + 1, 3)].vel_z = 1500;  // back across the seam to row 184
    HD::water[hmap_idx(x + 2, 4)].vel_x = 900;
  }
  HD::water[hmap_idx(7, 0)].vel_z = -4000;       // from row 0, while only rows 0, 1, 254, 255 are split
  expect_all_paths_match_reference({0.05f});
}

TEST(WaterSim, RestStaysAtRestAndSingleColumnSpreads)
{
  HD::reset();
  HD::addWater(1);
  HD::simWater(0.05f);
  for (const HD::Water &w : HD::water)
    ASSERT_TRUE(w.depth == 1 && w.vel_x == 0 && w.vel_z == 0 && w.foam == 0);

  HD::reset();
  const int c = hmap_idx(100, 50);
  HD::water[c].depth = 1;
  const float dt = 0.05f;
  HD::simWater(dt);
  // Pressure 10 * dt on each face leaving the column; in the same step the column sends
  // out 4 * dt of each velocity.
  const float p = 1 * dt * 10;
  EXPECT_FLOAT_EQ(HD::water[c].vel_x, p);
  EXPECT_FLOAT_EQ(HD::water[c].vel_z, p);
  EXPECT_FLOAT_EQ(HD::water[hmap_idx(99, 50)].vel_x, -p);
  EXPECT_FLOAT_EQ(HD::water[hmap_idx(100, 49)].vel_z, -p);
  const float sent = 4 * p * 4 * dt;
  EXPECT_FLOAT_EQ(HD::water[c].depth, 1 - sent);
  for (int n : {hmap_idx(99, 50), hmap_idx(101, 50), hmap_idx(100, 49), hmap_idx(100, 51)})
    EXPECT_FLOAT_EQ(HD::water[n].depth, sent / 4);
  EXPECT_NEAR(total_water(), 1, 1e-6);
  EXPECT_GT(HD::water[c].foam, 0);
}

TEST(WaterSim, PitNeverLosesWaterAndWrapsAcrossTheSeam)
{
  HD::reset();
  for (float &h : HD::hmap)
    h = 5;
  const int pit = hmap_idx(0, 255);  // on both seams
  HD::hmap[pit] = 0;
  HD::water[pit] = {1, 7, -7, 0};  // strong velocities pointing out of the pit
  HD::water[hmap_idx(255, 255)].vel_x = -7;
  HD::water[hmap_idx(0, 254)].vel_z = 7;
  for (int step = 0; step < 50; step++)
  {
    HD::simWater(0.05f);
    ASSERT_EQ(HD::water[pit].depth, 1) << step;
  }

  // Water on a slope across the x seam runs downhill through it.
  HD::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HD::hmap[hmap_idx(x, z)] = x >= 128 ? float(255 - x) : float(x) + 1;  // lowest at x = 255
  HD::water[hmap_idx(1, 10)].depth = 1;
  for (int step = 0; step < 20; step++)
    HD::simWater(0.05f);
  EXPECT_GT(HD::water[hmap_idx(255, 10)].depth + HD::water[hmap_idx(0, 10)].depth, 0.f);
}

TEST(WaterSim, TimeLimitsOfKeepAndDamp)
{
  // keep = 0 at dt >= 0.2: old foam is dropped, only made foam remains (none on still water).
  HD::reset();
  for (HD::Water &w : HD::water)
    w = {1, 0, 0, 0.5f};
  HD::simWater(0.19f);
  EXPECT_GT(HD::water[123].foam, 0);
  HD::simWater(0.2f);
  EXPECT_EQ(HD::water[123].foam, 0);

  // damp = 0 at dt >= 100/3: carried velocity is dropped, pressure remains (flat dry world:
  // every face blocked, so velocities vanish and each cell gets the blocked-face foam).
  HD::reset();
  for (HD::Water &w : HD::water)
    w = {0, 3, 3, 0};
  HD::simWater(40);
  EXPECT_EQ(HD::water[77].vel_x, 0);
  EXPECT_FLOAT_EQ(HD::water[77].foam, 0.02f);
}

TEST(WaterSim, LongRunKeepsWaterFiniteAndConserved)
{
  // QM_LONG_TESTS=1 runs the full 10 000 steps; CI runs a bounded part (less under the
  // sanitizers, which slow the step down a hundredfold).
#ifdef __SANITIZE_ADDRESS__
  const int bounded = 60;
#else
  const int bounded = 400;
#endif
  const int steps = getenv("QM_LONG_TESTS") ? 10000 : bounded;
  make_rough_world(5, 8);
  HD::reset();
  make_rough_world(5, 8);
  HD::addWater(0.5f);
  const double start = total_water();
  for (int s = 0; s < steps; s++)
    HD::simWater(0.05f);
  for (const HD::Water &w : HD::water)
  {
    ASSERT_TRUE(std::isfinite(w.depth) && std::isfinite(w.vel_x) && std::isfinite(w.vel_z) && std::isfinite(w.foam));
    ASSERT_GE(w.depth, 0);
    ASSERT_LE(w.foam, 1);
  }
  EXPECT_NEAR(total_water() / start, 1, 1e-4);
}

TEST(WaterSim, SquareDepthIsTheMaximumOfTheBilinearSurface)
{
  make_wet_world(9);
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> pos(-300, 300), hs(0, 6);
  for (int n = 0; n < 300; n++)
  {
    float x = pos(rng), z = pos(rng), half = hs(rng), y = 2;
    for (bool with_water : {false, true})
    {
      vec4f r = HD::calcSquareDepth(v_make(x, y, z, 123), half, with_water);
      alignas(16) float out[4];
      _mm_store_ps(out, r.m);
      ASSERT_EQ(out[0], ref_square_max(x, z, half, with_water) - y);
      ASSERT_TRUE(out[0] == out[1] && out[1] == out[2] && out[2] == out[3]);
    }
  }
  // Half size 0: the bilinear surface at the point. Exactly on the seam too.
  HD::reset();
  HD::hmap[hmap_idx(255, 0)] = 4;
  HD::hmap[hmap_idx(0, 0)] = 8;
  HD::water[hmap_idx(0, 0)].depth = 2;
  alignas(16) float out[4];
  _mm_store_ps(out, HD::calcSquareDepth(v_make(255.5f, 1, 0, 0), 0, true).m);
  EXPECT_EQ(out[0], (4 + 10) / 2.f - 1);
  _mm_store_ps(out, HD::calcSquareDepth(v_make(-0.5f, 1, 256, 0), 0, false).m);
  EXPECT_EQ(out[0], (4 + 8) / 2.f - 1);
  // A square reaching over the seam sees the peak on the other side.
  _mm_store_ps(out, HD::calcSquareDepth(v_make(253.f, 0, 3, 0), 3.5f, false).m);
  EXPECT_EQ(out[0], 8);
  // Oversized or broken half sizes stay bounded.
  _mm_store_ps(out, HD::calcSquareDepth(v_make(10, 0, 10, 0), 1e9f, false).m);
  EXPECT_EQ(out[0], 8);
  _mm_store_ps(out, HD::calcSquareDepth(v_make(10, 0, 10, 0), NAN, false).m);
  EXPECT_EQ(out[0], 0);
  _mm_store_ps(out, HD::calcSquareDepth(v_make(1e30f, 0, -1e30f, 0), 2, false).m);
  EXPECT_TRUE(out[0] == 0 || out[0] == 8);
  HD::calcSquareDepth(v_make(INFINITY, 0, NAN, 0), 2, true);  // must simply return
}
