// Shadow balls binned into screen tiles and drawn in passes of 8, 4, 2 and 1 balls (recording
// device); the map grid walker and the random cell points.
#include <gtest/gtest.h>

#include <cstring>

#include "../render/shader_fixture.h"
#include "render/dyn_vb_writer.h"
#include "render/resource_hooks.h"
#include "render/vbuf.h"
#include "terrain/game_rnd.h"
#include "world_render/shadows.h"

namespace
{
// Clip space = world space (w 1): a ball at (x, y) lands on the tile of (x, y) in -1..1; the sun
// along +z moves the shadow volume in depth only.
ShadowView flat_view() { return {m44_identity(), v_make(1, 1, 1, 0), v_zero(), v_make(0, 0, 1, 0)}; }

// The centre of tile (col, row).
vec4f tile_centre(int col, int row)
{
  return v_make((float(col) + 0.5f) / 8.f - 1.f, (float(row) + 0.5f) / 4.5f - 1.f, 0.5f, 1.f);
}

class ShadowTest : public testing::Test
{
protected:
  RecordingBackend rb;
  ShaderAppDir app;

  void SetUp() override
  {
    set_render_backend(&rb);
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    app.write("dr_shadow.sh", "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n");
    init_obj_shadows();
    start_render_shadows(flat_view());
  }
  void TearDown() override
  {
    close_obj_shadows();
    common_vb_writer.close();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
  }
  // Instances drawn by each pass (8, 4, 2, 1) of end_render_shadows.
  std::vector<int> passes()
  {
    rb.clearLog();
    end_render_shadows();
    std::vector<int> n(4, 0);
    int pass = -1;
    for (const std::string &c : rb.calls)
    {
      if (c.rfind("SetVertexDeclaration", 0) == 0)
        pass++;
      unsigned k = 0;
      if (sscanf(c.c_str(), "SetStreamSourceFreq(0, 0x4%07X)", &k) == 1 && pass >= 0)
        n[size_t(pass)] += int(k);
    }
    return n;
  }
  static const ShadowTile &tile(int col, int row) { return shadow_state.tiles[row * SHADOW_TILES_X + col]; }
};

TEST_F(ShadowTest, ElevenBallsInOneTileTakeThreeInstances)
{
  for (int i = 0; i < 11; i++)
    render_shadow_ball(tile_centre(8, 4), 0.001f * float(i + 1));
  const ShadowTile &t = tile(8, 4);
  EXPECT_EQ(t.fullGroups, 1);
  EXPECT_EQ(t.curCount, 3);
  for (int i = 0; i < 8; i++)
    EXPECT_FLOAT_EQ(v_extract_w(shadow_state.groups[t.firstGroup].balls[i]), 0.001f * float(i + 1));
  EXPECT_EQ(shadow_state.links[t.firstGroup], t.curGroup);
  EXPECT_EQ(passes(), (std::vector<int>{1, 0, 1, 1})) << "balls 1..8, 9..10, 11";
  // the last pass wrote the tile and ball 11, unaligned after the tile's two shorts
  const uint8_t *rec = rb.buffers[common_vb_writer.vb->buffer].data();
  int16_t tc[2];
  float ball[4];
  memcpy(tc, rec, 4);
  memcpy(ball, rec + 4, 16);
  EXPECT_EQ(tc[0], 8);
  EXPECT_EQ(tc[1], 4);
  EXPECT_FLOAT_EQ(ball[3], 0.011f);
  EXPECT_EQ(rb.callsStartingWith("SetStreamSourceFreq(").back(), "SetStreamSourceFreq(1, 0x00000001)");

  start_render_shadows(flat_view());
  for (int i = 0; i < 8; i++)
    render_shadow_ball(tile_centre(3, 2), 0.001f);
  EXPECT_EQ(passes(), (std::vector<int>{1, 0, 0, 0})) << "exactly eight balls: one instance";
  start_render_shadows(flat_view());
  for (int i = 0; i < 7; i++)
    render_shadow_ball(tile_centre(3, 2), 0.001f);
  EXPECT_EQ(passes(), (std::vector<int>{0, 1, 1, 1})) << "seven: 4 + 2 + 1";
}

TEST_F(ShadowTest, BallsReachOnlyTheTilesOnScreen)
{
  // A big ball over the right edge: tiles up to column 15, rows around its centre.
  render_shadow_ball(v_make(0.98f, 0.f, 0.5f, 1), 0.1f);  // volume: radius 0.5
  int tiles = 0;
  for (int row = 0; row < SHADOW_TILES_Y; row++)
    for (int col = 0; col < SHADOW_TILES_X; col++)
      if (tile(col, row).curGroup >= 0)
      {
        tiles++;
        EXPECT_GE(col, 11);
        EXPECT_TRUE(row >= 2 && row <= 6) << row;
      }
  EXPECT_EQ(tiles, 5 * 5);
  // Behind the camera (clip z below 0) and off to the side: dropped, still in the debug list.
  render_shadow_ball(v_make(0.f, 0.f, -2.f, 1), 0.1f);
  render_shadow_ball(v_make(3.f, 0.f, 0.5f, 1), 0.1f);
  EXPECT_EQ(shadow_state.groups.size(), 25);
  EXPECT_EQ(shadow_state.debugBalls.size(), 3);
  // A new frame starts empty.
  start_render_shadows(flat_view());
  EXPECT_EQ(shadow_state.groups.size(), 0);
  EXPECT_EQ(tile(15, 4).curGroup, -1);
}

TEST(Shadows, ABallBeforeTheFirstFrameFindsEmptyTiles)
{
  // (run in a process of its own: nothing has started a frame)
  render_shadow_ball(v_make(0, 0, 0, 1), 0.1f);
  EXPECT_EQ(shadow_state.debugBalls.size(), 1);
  for (const ShadowTile &t : shadow_state.tiles)
    EXPECT_LT(t.curGroup, shadow_state.groups.size());
}

struct Recorder : IWalkMapGrid
{
  long calls = 0;
  float first[3] = {-1, -1, -1}, last[3] = {};
  void on_map_grid_walk(float x, float z, float size) override
  {
    if (!calls++)
      first[0] = x, first[1] = z, first[2] = size;
    last[0] = x, last[1] = z, last[2] = size;
  }
};

TEST(MapGrid, WalksEveryCellOfTheLevelClamped)
{
  const struct
  {
    int level;
    long calls;
    float size, last_x;
  } cases[] = {{6, 16, 64, 192}, {0, 65536, 1, 255}, {-1, 512 * 512, 0.5f, 255.5f}, {8, 1, 256, 0},
               {20, 1, 256, 0},  {-9, 4096 * 4096, 0.0625f, 255.9375f}};
  for (const auto &c : cases)
  {
    Recorder r;
    walk_map_grid(c.level, r);
    EXPECT_EQ(r.calls, c.calls) << c.level;
    EXPECT_EQ(r.first[0], 0.f);
    EXPECT_EQ(r.first[2], c.size) << c.level;
    EXPECT_EQ(r.last[0], c.last_x) << c.level;
    EXPECT_EQ(r.last[1], c.last_x) << c.level << ": rows of z outside, x inside";
  }
}

TEST(MapGrid, CellPointsComeFromTheSharedGeneratorInsideTheirCells)
{
  struct Points : IMapCellPointConsumer
  {
    std::vector<std::pair<float, float>> p;
    void on_map_cell_point(float x, float z) override { p.push_back({x, z}); }
  } points;
  GenMapCellPoints gen(3, &points);
  game_rnd_seed = 12345;
  uint64_t state = 12345;
  walk_map_grid(6, gen);
  ASSERT_EQ(points.p.size(), 48u);
  for (size_t i = 0; i < points.p.size(); i++)
  {
    const float cx = float((i / 3) % 4) * 64, cz = float((i / 3) / 4) * 64;
    const float r1 = game_rnd_unit(game_rnd_step(state)), r2 = game_rnd_unit(game_rnd_step(state));
    EXPECT_EQ(points.p[i].first, cx + 64 * r1) << i;
    EXPECT_EQ(points.p[i].second, cz + 64 * r2) << i;
  }
}
}  // namespace
