#include <cmath>
#include <cstring>
#include <vector>

#include "script/world_gen_land.h"
#include "support/color.h"
#include "support/splash.h"
#include "world_gen_test_util.h"

using HD = HeightmapData;

TEST_F(WorldGenFixture, ApplyMasksToHeightAndWater)
{
  HD::hmap[0] = 1.f;
  EXPECT_EQ(run("apply_height_mask(null, null)"), "no mask and no func in apply_height_mask()");
  EXPECT_EQ(run("apply_water_mask(null, null)"), "no mask and no func in apply_water_mask()");
  EXPECT_EQ(HD::hmap[0], 1.f);
  EXPECT_EQ(HD::hmap[1], 0.f);

  ASSERT_EQ(run("apply_height_mask(HmapMask(2.0), null)"), "");
  EXPECT_EQ(HD::hmap[0], 3.f);
  ASSERT_EQ(run("apply_height_mask(HmapMask(function(x, z) { return x }), function(h, m) { return h * 10 + m })"), "");
  EXPECT_EQ(HD::hmap[hmap_idx(0, 0)], 30.f);
  EXPECT_EQ(HD::hmap[hmap_idx(7, 3)], 27.f);
  ASSERT_EQ(run("apply_height_mask(null, function(h) { return -h })"), "");
  EXPECT_EQ(HD::hmap[hmap_idx(7, 3)], -27.f);
  EXPECT_EQ(run("apply_height_mask(null, 5)"), sqbind::type_error_text);

  // Water depth: a mask adds; a column never goes below zero.
  ASSERT_EQ(run("apply_water_mask(HmapMask(function(x, z) { return x == 1 ? 1.5 : -1.0 }), null)"), "");
  EXPECT_EQ(HD::water[hmap_idx(1, 9)].depth, 1.5f);
  EXPECT_EQ(HD::water[hmap_idx(2, 9)].depth, 0.f);
  ASSERT_EQ(run("apply_water_mask(null, function(d) { return d * 2 })"), "");
  EXPECT_EQ(HD::water[hmap_idx(1, 9)].depth, 3.f);
  EXPECT_EQ(HD::water[hmap_idx(1, 9)].vel_x, 0.f);
}

TEST_F(WorldGenFixture, RepaintLandWithTwoAndFourResults)
{
  HD::Surface &s = HD::surface[hmap_idx(4, 5)];
  s.top_color = 0xFFFFFFFF;
  s.surface_type = ST_SNOW;
  s.house_rot = 5;
  s.house_piece = 17;
  s.unused = 0xABCD;
  ASSERT_EQ(run("repaint_land(function(x, z, c, top) { return [0xFF00FF00, GT_SAND] })"), "");
  EXPECT_EQ(s.color, 0xFF00FF00u);
  EXPECT_EQ(s.top_color, 0u);
  EXPECT_EQ(s.ground_type, unsigned(GT_SAND));
  EXPECT_EQ(s.surface_type, 0u);
  EXPECT_EQ(s.house_rot, 5u);  // bits 8-31 are kept
  EXPECT_EQ(s.house_piece, 17u);
  EXPECT_EQ(s.unused, 0xABCDu);

  // The function sees each sample's colours and coordinates; GT_NONE is stored as 15.
  ASSERT_EQ(run("repaint_land(function(x, z, c, top) {\n"
                "  return [c, GT_NONE, [x / 255.0, z / 255.0, 0, 1], ST_SNOW] })"),
            "");
  EXPECT_EQ(s.color, 0xFF00FF00u);
  EXPECT_EQ(s.ground_type, 15u);
  EXPECT_EQ(s.surface_type, unsigned(ST_SNOW));
  EXPECT_EQ(s.top_color, 0xFF040500u);
  EXPECT_EQ(s.house_piece, 17u);

  EXPECT_EQ(run("repaint_land(null)"), "null function in repaint_land()");
  EXPECT_EQ(run("repaint_land(function(x, z, c, t) { return [c] })"),
            "repaint_land() function must return [color, ground] or [color, ground, top_color, surface]");
  EXPECT_EQ(run("repaint_land(function(x, z, c, t) { return 1 })"),
            "repaint_land() function must return [color, ground] or [color, ground, top_color, surface]");
}

TEST_F(WorldGenFixture, RecolorLand4MixesByTheColourChannels)
{
  for (HD::Surface &s : HD::surface)
    s.color = 0x00FF0000;  // pure red weight
  HD::surface[1].color = 0;  // no weight at all
  HD::surface[2].color = 0x00FFFF00;  // half c1, half c2
  HD::surface[3].house_rot = 3;
  ASSERT_EQ(run("recolor_land4(0xFF336699, 0xFF113455, 0x80FFFFFF, 0)"), "");
  EXPECT_EQ(HD::surface[0].color, 0xFF336699u);
  EXPECT_EQ(HD::surface[0].ground_type, unsigned(GT_SOIL));
  EXPECT_EQ(HD::surface[0].surface_type, 0u);
  EXPECT_EQ(HD::surface[0].top_color, 0u);
  EXPECT_EQ(HD::surface[1].color, 0u);
  EXPECT_EQ(HD::surface[2].color, 0xFF224D77u);
  EXPECT_EQ(HD::surface[3].house_rot, 3u);
}

TEST_F(WorldGenFixture, RecolorByHeightSpansTheRampOverTheRange)
{
  ASSERT_EQ(run("::ramp <- ColorRamp(function(t) { return [t, 0, 1 - t, 1] })"), "");
  // Flat world: t = 0 everywhere.
  ASSERT_EQ(run("recolor_by_height(::ramp, null)"), "");
  EXPECT_EQ(HD::surface[123].color, 0xFF0000FFu);
  EXPECT_EQ(HD::surface[123].ground_type, unsigned(GT_SOIL));
  HD::hmap[5] = 10.f;
  HD::hmap[6] = -10.f;
  ASSERT_EQ(run("recolor_by_height(::ramp, null)"), "");
  EXPECT_EQ(HD::surface[5].color, 0xFFFF0000u);
  EXPECT_EQ(HD::surface[6].color, 0xFF0000FFu);
  EXPECT_EQ(HD::surface[7].color, 0xFF800080u);
  // A mask replaces the heights.
  ASSERT_EQ(run("recolor_by_height(::ramp, HmapMask(function(x, z) { return z == 0 ? 1 : 0 }))"), "");
  EXPECT_EQ(HD::surface[hmap_idx(9, 0)].color, 0xFFFF0000u);
  EXPECT_EQ(HD::surface[hmap_idx(9, 1)].color, 0xFF0000FFu);
  EXPECT_EQ(run("recolor_by_height(null, null)"), sqbind::type_error_text);
}

TEST_F(WorldGenFixture, CirclesFlattenAndAverage)
{
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = 4.f;
  // Full amount with a high power: every sample in the circle reaches the height but the rim.
  flatten_circle(100, 100, 3, 10, 1, 8);
  EXPECT_EQ(HD::hmap[hmap_idx(100, 100)], 10.f);
  EXPECT_FLOAT_EQ(HD::hmap[hmap_idx(101, 101)], 10.f - 6.f * powf(2.f / 9.f, 8));
  EXPECT_EQ(HD::hmap[hmap_idx(103, 100)], 4.f);  // d = r is outside
  EXPECT_EQ(HD::hmap[hmap_idx(97, 100)], 4.f);
  // (100, 100) and its four neighbours at d = 1 .. inside radius 1.5 are 9 samples.
  float avg = get_average_circle_height(100, 100, 1.5f);
  EXPECT_GT(avg, 9.9f);
  flatten_circle(5, 5, 0, 100, 1, 1);
  flatten_circle(5, 5, -2, 100, 1, 1);
  EXPECT_EQ(HD::hmap[hmap_idx(5, 5)], 4.f);
  // Across the edge the circle wraps.
  flatten_circle(0, 0, 2, 0, 1, 8);
  EXPECT_LT(HD::hmap[hmap_idx(255, 255)], 0.1f);

  // A radius larger than the world visits every sample exactly once.
  int visits = 0;
  std::vector<int> seen(HMAP_CELLS);
  for_each_in_circle(10.5f, 3.25f, 1000.f, [&](int i, float) {
    visits++;
    seen[i]++;
  });
  EXPECT_EQ(visits, HMAP_CELLS);
  for (int n : seen)
    ASSERT_EQ(n, 1);
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = 2.f;
  EXPECT_EQ(get_average_circle_height(3, 3, 5000), 2.f);
  EXPECT_EQ(runFloat("get_average_circle_height(3, 3, -1)"), 2.f);
  EXPECT_EQ(run("flatten_circle((0.0 / 0.0), 3, 5, 1, 1, 1)"), "non-finite argument in flatten_circle()");
}

TEST_F(WorldGenFixture, BadSizesAreScriptErrorsNotFatal)
{
  EXPECT_EQ(run("add_fast_noise(5, 1, null, GT_NONE, 255, 0.5)"), "min_ht<=max_ht failed in add_fast_noise()");
  EXPECT_EQ(run("add_fast_noise(-1, 1, null, GT_NONE, 255, 0.5)"), "min_ht>=0 failed in add_fast_noise()");
  EXPECT_EQ(run("add_simplex_noise(0, 1, 6, 2, 0.5)"), "tile must be power of 2 in add_simplex_noise()");
  EXPECT_EQ(run("add_voronoi_hills(512, 0, 1, 1)"), "tile must be power of 2 in add_voronoi_hills()");
  EXPECT_EQ(run("gen_voronoi_faults(0, 0, 1, 0.1, 2, 2, 1)"), "tile must be power of 2 in gen_voronoi_faults()");
  EXPECT_EQ(run("tiled_noise2(0.5, 0.5, 3)"), "tile must be power of 2 in tiled_noise2()");
  EXPECT_EQ(run("gen_fault((0.0 / 0.0), 0, 1, 0, 5, 1, 1, null, GT_NONE)"), "non-finite argument in gen_fault()");
  EXPECT_EQ(run("gen_crater(10, 10, 1e30, 0.5)"), "");  // visits the world once, never hangs
  EXPECT_EQ(run("place_house(\"a\", 0, 0)"), sqbind::type_error_text);
}

// Every world function with coordinates, sizes and counts far outside the world: each call ends
// (in bounded time, without undefined behaviour under the sanitizers) with a result or a script
// error. Coordinates wrap: 1e10 is a multiple of 256, so it lands on column 0.
TEST_F(WorldGenFixture, HugeCoordinatesAndCountsStayBounded)
{
  const char *const calls[] = {
      "place_house(1 << 62, -(1 << 62), 1 << 40)",
      "add_fast_noise(0, 1, null, 1 << 40, 1 << 40, 0.5)",
      "add_simplex_noise(0, 1, 256, 1 << 40, 1e10)",
      "gen_fault(1e10, -1e10, 3e38, -3e38, 1, 1, 1e10, null, 1 << 40)",
      "gen_crater(1e10, -1e10, 5, 1)",
      "gen_crater(3e38, -3e38, 3e38, 1)",
      "gen_droplet_erosion(-(1 << 62), null)",
      "add_voronoi_hills(256, 0, 1, 1e10)",
      "gen_voronoi_faults(256, 0, 1, 1e10, 1 << 40, 1 << 40, 1e10)",
      "flatten_circle(-3e38, 3e38, 3e38, 1, 1, 1)",
      "get_average_circle_height(3e38, -3e38, 3e38)",
      "noise1(3e38)",
      "fractal_noise1(-3e38, 1 << 40, null, 1e10)",
      "tiled_noise2(3e38, -3e38, 256)",
      "tiled_fractal_noise2(1e30, 1e30, 256, 1 << 40, null, 0.5)",
      "get_noise_hash1(1 << 62) + get_noise_hash2(-(1 << 62), 1 << 62)",
      "show_splash(\"x\", 3e38)",
      "HmapMask(0.5).get(3e38, -1e10) + HmapMask(0.5).getraw(1 << 62, -(1 << 62))",
      "HmapMask.fromSimplexNoise(1, 256, 1 << 40, null, 0.5)",
      "HmapMask.fromVoronoiHills(256, 0, 1, 1e10)",
      "HmapMask.fromVoronoiFaults(256, 0, 1, 1e10, 1 << 40, 1 << 40, 1e10)",
      "repaint_land(function(x, z, c, t) { return [c, 1 << 40, c, -(1 << 40)] })",
  };
  for (const char *c : calls)
    EXPECT_EQ(run(c), "") << c;

  HD::reset();
  ASSERT_EQ(run("flatten_circle(1e10, 10, 5, 7, 1, 1000)"), "");
  EXPECT_EQ(HD::hmap[hmap_idx(0, 10)], 7.f);
  EXPECT_EQ(HD::hmap[hmap_idx(254, 10)], 7.f);
  EXPECT_EQ(HD::hmap[hmap_idx(5, 10)], 0.f);  // d = r is outside
  EXPECT_EQ(runFloat("get_average_circle_height(-1e10, 10, 1.5)"), 7.f);
  EXPECT_EQ(runFloat("HmapMask.fromHeight().get(1e10 + 0.5, 10)"), 7.f);
  ASSERT_EQ(run("gen_crater(1e10, 10, 3, 1)"), "");  // the crater lands where the circle was
  EXPECT_LT(HD::hmap[hmap_idx(0, 10)], 7.f);
}

TEST_F(WorldGenFixture, GroundTypeNoneKeepsTheGround)
{
  HD::surface[77].ground_type = GT_SAND;
  ASSERT_EQ(run("add_fast_noise(0, 1, null, GT_NONE, 255, 0.5)"), "");
  ASSERT_EQ(run("gen_fault(128, 128, 0, 0, 5, 1, 1, ColorRamp(function(t) { return 0xFF00FF00 }), GT_NONE)"), "");
  EXPECT_EQ(HD::surface[77].ground_type, unsigned(GT_SAND));
  ASSERT_EQ(run("add_fast_noise(0, 1, null, GT_SOIL, 255, 0.5)"), "");
  EXPECT_EQ(HD::surface[77].ground_type, unsigned(GT_SOIL));
}

TEST_F(WorldGenFixture, ErosionParametersAndReactions)
{
  ASSERT_TRUE(exec("::p <- { Kq = 3, minSlope = 0.25, reactionTime = 7.5,\n"
                   "  reactions = [ [[1, 0, 0, 0], [0, 1, 0, 0], 0.5], [0xFF0000FF, 0xFF000000, 2] ] }"));
  SqObject p;
  sq_pushroottable(v);
  sq_pushstring(v, "p", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  p.fromStack(v, -1);
  sq_pop(v, 2);
  HD::ErosionParams e;
  read_erosion_params(v, p, e);
  EXPECT_EQ(e.Kq, 3.f);
  EXPECT_EQ(e.minSlope, 0.25f);
  EXPECT_EQ(e.reactionTime, 7.5f);
  EXPECT_EQ(e.Kw, 0.001f);  // defaults stay
  EXPECT_EQ(e.g, 20.f);
  ASSERT_EQ(e.reactions.size(), 2);
  const HD::Reaction &r0 = e.reactions[0];
  EXPECT_EQ(r0.order[0], 1);
  EXPECT_EQ(r0.order[1], 0);
  EXPECT_EQ(r0.delta[0], -0.5f);
  EXPECT_EQ(r0.delta[1], 0.5f);
  const HD::Reaction &r1 = e.reactions[1];  // packed colours: blue 1 and alpha 1 -> blue 0
  EXPECT_EQ(r1.order[2], 1);
  EXPECT_EQ(r1.order[3], 1);
  EXPECT_EQ(r1.delta[2], -2.f);
  EXPECT_EQ(r1.delta[3], 0.f);
  EXPECT_EQ(r1.order[0], 0);

  EXPECT_EQ(run("gen_droplet_erosion(0, { Kq = \"x\" })"), sqbind::type_error_text);
  EXPECT_EQ(run("gen_droplet_erosion(0, { reactions = 5 })"), "erosion reactions must be an array of [from, to, rate]");
  EXPECT_EQ(run("gen_droplet_erosion(0, { Kd = (0.0 / 0.0) })"), "non-finite erosion parameter");
  // A huge order (the from colour rounded) neither overflows nor hangs.
  EXPECT_EQ(run("gen_droplet_erosion(10, { reactions = [[[1e9, 0, 0, 0], [0, 0, 0, 0], 1]] })"), "");
  // Erosion reports its progress on the splash.
  HD::reset();
  show_splash("", 0);
  EXPECT_EQ(run("gen_droplet_erosion(16385, null)"), "");
  EXPECT_STREQ(last_splash_message(), "Calculating erosion");
}

TEST_F(WorldGenFixture, ConstantsAndNoise)
{
  EXPECT_EQ(runFloat("HMAP_SIZE"), 256.f);
  EXPECT_EQ(runFloat("HMAP_SIZE_SHIFT"), 8.f);
  EXPECT_EQ(runFloat("GT_NONE"), -1.f);
  EXPECT_EQ(runFloat("GT_SOIL"), 3.f);
  EXPECT_EQ(runFloat("ST_ROAD"), 4.f);
  EXPECT_EQ(runFloat("ST_OPEN"), 0.f);
  EXPECT_EQ(runFloat("DEMO"), 1.f);
  EXPECT_EQ(runFloat("noise1(2.5)"), noise1(2.5f));
  EXPECT_EQ(runFloat("get_noise_hash2(3, 4)"), float(get_noise_hash2(3, 4)));
  EXPECT_EQ(runFloat("fractal_noise1(1.25, 3, FloatRamp(function(t) { return t }), 0.5)"),
            fractal_noise1(1.25f, 3, [] {
              static FloatRamp r;
              for (int i = 0; i <= 256; i++)
                r.c[i] = float(i) / 256.f;
              return r.c;
            }(),
                           0.5f));
}
