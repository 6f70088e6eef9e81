// The land's per-frame geometry and the flow coordinates, on the CPU: the view across the world's
// seam, house squares handed over instead of drawn, dry worlds without water quads, the water's
// edge, and flow coordinates that travel with the water and are reset half a cycle apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "world_render/land_render.h"

using HD = HeightmapData;

namespace
{
std::vector<std::pair<int, int>> houses_seen;

class LandGeometry : public testing::Test
{
protected:
  std::vector<float> curh = std::vector<float>(HMAP_CELLS), depth = std::vector<float>(HMAP_CELLS);

  void SetUp() override
  {
    HD::reset();
    for (int i = 0; i < HMAP_CELLS; i++)
    {
      curh[size_t(i)] = float(i % 977) * 0.01f;
      HD::water[i] = HD::tmpw[i] = {};
    }
    houses_seen.clear();
    land_hooks.render_building = [](const HeightmapData::Surface &s, int x, int z) {
      EXPECT_EQ(s.ground_type, unsigned(GT_HOUSE));
      houses_seen.push_back({x, z});
    };
    land = LandState();
    reset_flow();
  }
  void TearDown() override { land_hooks = LandHooks(); }
};

// Squares (as first vertices) that a far-field index list draws.
std::set<int> drawn_quads(const std::vector<uint16_t> &ib, int quads)
{
  std::set<int> first;
  for (int q = 0; q < quads; q++)
    first.insert(ib[size_t(q * 6)]);
  return first;
}

TEST_F(LandGeometry, TheViewSpansTheSeamAndHousesAreHandedOver)
{
  // The camera at the world's corner: grid origin (-128, -128), so the near block runs -33..30.
  const int cx = -128, cz = -128;
  const int near_house[2] = {-1, 0}, far_house[2] = {cx + 40, cz + 128}, unseen_house[2] = {cx + 2, cz + 2};
  for (const int *h : {near_house, far_house, unseen_house})
    HD::surface[hmap_idx(h[0], h[1])].ground_type = GT_HOUSE;

  std::vector<LandInstance> inst(LAND_NEAR * LAND_NEAR);
  const int n = build_near_field(cx, cz, curh.data(), inst.data());
  EXPECT_EQ(n, LAND_NEAR * LAND_NEAR - 1);
  EXPECT_EQ(inst[0].x, cx + LAND_NEAR_FIRST);
  EXPECT_EQ(inst[0].z, cz + LAND_NEAR_FIRST);
  for (int i = 0; i < n; i++)
  {
    const LandInstance &o = inst[size_t(i)];
    ASSERT_FALSE(o.x == near_house[0] && o.z == near_house[1]) << "a house square is never land";
    ASSERT_EQ(o.h[3], curh[size_t(hmap_idx(o.x + 1, o.z + 1))]) << "corners read across the seam";
  }

  std::vector<LandVertex> vb(LAND_GRID * LAND_GRID);
  build_far_vertices(cx, cz, curh.data(), vb.data());
  EXPECT_EQ(vb[0].x, -128);
  EXPECT_EQ(vb.back().z, 127);
  EXPECT_EQ(vb[300].h, curh[size_t(hmap_idx(cx + 300 % 256, cz + 1))]);

  std::vector<uint16_t> ib(size_t(LAND_QUADS * LAND_QUADS * 6));
  const int quads = build_far_indices(cx, cz, ib.data());
  const std::set<int> drawn = drawn_quads(ib, quads);
  EXPECT_EQ(drawn.count(128 * LAND_GRID + 40), 0u) << "the far house is handed over, not drawn";
  EXPECT_EQ(drawn.count(LAND_NEAR_FIRST * LAND_GRID + LAND_NEAR_FIRST), 0u) << "the near block is instanced";
  EXPECT_EQ(drawn.count(128 * LAND_GRID + 10), 1u);
  EXPECT_EQ(drawn.count(0), 0u) << "the corner lies outside the view disc";
  // The disc of radius 130 squares, less the near block and the one far house.
  int disc = 0;
  for (int k = 0; k < LAND_QUADS; k++)
    for (int j = 0; j < LAND_QUADS; j++)
      disc += (2 * k - 255) * (2 * k - 255) + (2 * j - 255) * (2 * j - 255) <= LAND_VIEW_R2;
  EXPECT_EQ(quads, disc - LAND_NEAR * LAND_NEAR - 1);
  for (int i = 0; i < quads * 6; i++)
    ASSERT_LT(ib[size_t(i)], LAND_GRID * LAND_GRID);

  std::sort(houses_seen.begin(), houses_seen.end());
  const std::vector<std::pair<int, int>> want = {{far_house[0], far_house[1]}, {near_house[0], near_house[1]}};
  EXPECT_EQ(houses_seen, want) << "near and far houses in view, each once, at unwrapped positions";
}

TEST_F(LandGeometry, WaterQuadsOnlyWhereWaterIsOrWas)
{
  std::vector<uint16_t> ib(size_t(LAND_QUADS * LAND_QUADS * 6));
  EXPECT_EQ(build_water_indices(0, 0, WATER_WET_HIGH, ib.data()), 0) << "a dry world has no water quads";

  HD::water[hmap_idx(130, 130)].depth = 2.f;  // wet now
  HD::tmpw[hmap_idx(10, 200)].depth = 2.f;    // wet in the previous step, outside the view disc
  HD::tmpw[hmap_idx(140, 100)].depth = 2.f;   // wet in the previous step
  HD::water[hmap_idx(140, 100)].depth = 0.005f;
  EXPECT_EQ(build_water_indices(0, 0, WATER_WET_HIGH, ib.data()), 8) << "four quads around each wet vertex in view";

  // The edge: a dry vertex beside water sits at the average of its wet neighbours' levels but
  // never above its own ground; at low quality 0.1 lower.
  for (int i = 0; i < HMAP_CELLS; i++)
    depth[size_t(i)] = HD::water[i].depth;
  curh[size_t(hmap_idx(130, 130))] = 1.f;  // water level 3
  curh[size_t(hmap_idx(131, 130))] = 5.f;  // a bank above the water
  curh[size_t(hmap_idx(129, 130))] = 2.f;  // a shore below the water level
  std::vector<WaterVertexHigh> hi(LAND_GRID * LAND_GRID);
  build_water_vertices(0, 0, curh.data(), depth.data(), 0.f, 1, hi.data());
  EXPECT_EQ(hi[size_t(130 * LAND_GRID + 130)].level, 3.f);
  EXPECT_EQ(hi[size_t(130 * LAND_GRID + 131)].level, 3.f);
  EXPECT_EQ(hi[size_t(130 * LAND_GRID + 129)].level, 2.f);
  std::vector<WaterVertexLow> lo(LAND_GRID * LAND_GRID);
  build_water_vertices(0, 0, curh.data(), depth.data(), 0.f, 0, lo.data());
  EXPECT_FLOAT_EQ(lo[size_t(130 * LAND_GRID + 130)].level, 2.9f);
  EXPECT_FLOAT_EQ(lo[size_t(130 * LAND_GRID + 129)].level, 1.9f);
  EXPECT_EQ(lo[size_t(130 * LAND_GRID + 130)].depth, 1945) << "the depth under the lowered surface";
}

TEST_F(LandGeometry, HorizonRingAroundTheCamera)
{
  std::vector<uint16_t> ib(size_t((HORIZON_GRID - 1) * (HORIZON_GRID - 1) * 6));
  const int quads = build_horizon_indices(ib.data());
  EXPECT_EQ(quads, (HORIZON_GRID - 1) * (HORIZON_GRID - 1) - 3024) << "the inner disc is left open";
  std::vector<LandVertex> vb(HORIZON_GRID * HORIZON_GRID);
  build_horizon_vertices(2, 250, curh.data(), depth.data(), vb.data());
  EXPECT_EQ(vb[0].x, -384) << "(2 - 383) rounded down to a multiple of 4";
  EXPECT_EQ(vb[0].z, -136);
  EXPECT_EQ(vb.back().x, -384 + 191 * 4);
  // Near the camera the level is the ground's; far out the ring bends down.
  const LandVertex &mid = vb[size_t(96 * HORIZON_GRID + 96)];
  EXPECT_EQ(mid.h, curh[size_t(hmap_idx(mid.x, mid.z))]);
  EXPECT_LT(vb[0].h, curh[size_t(hmap_idx(vb[0].x, vb[0].z))] - 100.f);
}

TEST_F(LandGeometry, FlowCoordinatesTravelWithTheWaterAndResetHalfACycleApart)
{
  EXPECT_EQ(land_flow_uv[0][hmap_idx(3, 5)].u0, 3.f);
  EXPECT_EQ(land_flow_uv[1][hmap_idx(3, 5)].v1, 3.f);
  // A current of 4 cells per second towards +x everywhere: each step every cell takes what lay
  // 0.2 cells upstream.
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::water[i].vel_x = 4.f;
  for (int s = 0; s < 5; s++)
    step_flow(0, 0);
  EXPECT_NEAR(land_flow_uv[land.flow_cur][hmap_idx(10, 7)].u0, 9.f, 1e-4f);
  EXPECT_NEAR(std::remainder(land_flow_uv[land.flow_cur][hmap_idx(0, 7)].u0 + 1.f, 256.f), 0.f, 1e-3f)
      << "across the seam the pattern goes on (it repeats every 256 units)";
  EXPECT_NEAR(land_flow_uv[land.flow_cur][hmap_idx(10, 7)].v1, 9.f, 1e-4f);

  while (land.flow_counter != FLOW_CYCLE / 2 - 1)
    step_flow(0, 0);
  const FlowCell before = land_flow_uv[land.flow_cur][hmap_idx(10, 7)];
  step_flow(0, 0);
  const FlowCell &after = land_flow_uv[land.flow_cur][hmap_idx(10, 7)];
  const FlowCell &other = land_flow_uv[land.flow_cur ^ 1][hmap_idx(10, 7)];
  EXPECT_NEAR(after.v1, before.v1 - 0.2f, 1e-3f) << "the second pair flows on";
  EXPECT_GT(std::fabs(after.u0 - (before.u0 - 0.2f)), 1e-3f) << "the first pair starts again";
  EXPECT_EQ(other.u0, after.u0) << "in both buffers, so the step's frames do not slide";
  EXPECT_EQ(flow_pair_weight(land.flow_counter, 0.f), 1.f) << "the fresh first pair is hidden";

  while (land.flow_counter != 0)
    step_flow(0, 0);
  EXPECT_EQ(flow_pair_weight(land.flow_counter, 0.f), 0.f) << "the fresh second pair is hidden";
  EXPECT_NEAR(flow_pair_weight(FLOW_CYCLE / 2 - 1, 1.f), flow_pair_weight(FLOW_CYCLE / 2, 0.f), 1e-6f)
      << "the weight runs on smoothly from frame to frame";
}
}  // namespace
