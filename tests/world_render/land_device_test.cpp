// The land renderer on the recording device: what each quality creates, one upload per step
// (never per frame), the draws of a frame, the world map's water batches, and start-up without
// its detail texture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "../render/shader_fixture.h"
#include "render/resource_hooks.h"
#include "render/texture.h"
#include "support/visual_log.h"
#include "world_render/land_render.h"
#include "world_render/world_map.h"

using HD = HeightmapData;

namespace
{
class LandDevice : public testing::Test
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
    for (const char *f : {"land.sh", "water.sh", "dr_land.sh", "dr_water.sh", "horizon.sh", "load_float.sh",
                          "load_color.sh", "calc_norm.sh", "calc_norm_low.sh", "calc_aper.sh", "interp_tex.sh",
                          "map_surf.sh", "map_water.sh", "map_light.sh", "map_light_low.sh"})
      app.write(f, "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n");
    for (const char *f : {"detail.dds", "foam.dds"})
      std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f, app.path(f));
    HD::reset();
    std::fill(std::begin(HD::tmpw), std::end(HD::tmpw), HD::Water{});  // the previous step's water too
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    close_land_render();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
  }

  static int shaders_named(const char *name)
  {
    int n = 0;
    for (const Shader &s : shader_slots)
      n += s.vs && std::string(s.name) == name;
    return n;
  }
  int point_draws() const { return int(rb.callsStartingWith("DrawPrimitive(1,").size()); }
};

TEST_F(LandDevice, EachQualityCreatesItsOwnAndUploadsOncePerStep)
{
  const vec4f cam = v_make(10.f, 5.f, 20.f, 1.f);
  for (int quality : {0, 1})
  {
    init_land_render(quality);
    const bool high = quality == 1;
    EXPECT_EQ(shaders_named("dr_land.sh"), high ? 2 : 0) << "far field and instanced near field";
    EXPECT_EQ(shaders_named("land.sh"), high ? 0 : 2);
    EXPECT_EQ(shaders_named("water.sh") + shaders_named("dr_water.sh"), 1);
    EXPECT_EQ(shaders_named("calc_aper.sh"), high ? 3 : 0) << "one per shadow quality";
    EXPECT_EQ(shaders_named("calc_norm.sh"), high ? 1 : 0);
    EXPECT_EQ(land.aperTex != nullptr, high);
    EXPECT_EQ(land.foamTex != nullptr, high);

    rb.clearLog();
    land_frame_update(0.f, cam, 2);
    EXPECT_EQ(point_draws(), 3 * 16) << "levels, colours and top colours, 16 batches of 4096 points each";
    rb.clearLog();
    land_frame_update(0.02f, cam, 2);
    EXPECT_EQ(point_draws(), 0) << "frames between steps upload nothing";
    land_step_update(cam);
    rb.clearLog();
    land_frame_update(0.f, cam, 2);
    EXPECT_EQ(point_draws(), 3 * 16);

    // A dry world without houses: every near square instanced, no water quads, and the horizon
    // drawn only at high quality.
    EXPECT_EQ(land.near_count, LAND_NEAR * LAND_NEAR);
    EXPECT_EQ(land.water_quads, 0);
    rb.clearLog();
    draw_land();
    draw_water(0.5f);
    draw_horizon();
    const auto draws = rb.callsStartingWith("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), high ? 3u : 2u) << "near, far (and horizon); no water draw without water";
    EXPECT_EQ(draws[0], "DrawIndexedPrimitive(4, 0, 0, 25, 0, 32)");
    close_land_render();
  }
}

// Each upload redraws the map: ground and light as full-target passes, the water as the wet quads
// in two batches (rows 254 and 255 from vertex 65278), four copies each; no water, no water draw.
TEST_F(LandDevice, MapDrawsTheWetQuadsInTwoBatches)
{
  struct Case
  {
    const char *what;
    std::vector<std::pair<int, int>> wet;  // samples given 0.5 of water
    int first, second;                     // wet quads expected in each batch
  };
  const Case cases[] = {
      {"dry world", {}, 0, 0},
      {"one sample inside", {{10, 10}}, 4, 0},
      {"row 255 only: the second batch alone", {{40, 255}}, 0, 4},
      {"row 0 wraps into the quads of row 255", {{40, 0}}, 2, 2},
      {"column 0 wraps into the quads of column 255", {{0, 100}}, 4, 0},
      {"the corner touches all four corner quads", {{0, 0}}, 2, 2},
  };
  std::vector<uint16_t> idx(MAP_INDICES);
  init_land_render(0);
  ASSERT_TRUE(HeightmapRenderer::mapTex);
  for (const Case &c : cases)
  {
    HD::reset();
    for (auto [x, z] : c.wet)
      HD::water[hmap_idx(x, z)].depth = 0.5f;
    const MapWaterBatches b = build_map_water_indices(idx.data());
    EXPECT_EQ(b.first_quads, c.first) << c.what;
    EXPECT_EQ(b.second_quads, c.second) << c.what;
    for (int i = 0; i < (b.first_quads + b.second_quads) * 6; i++)
    {
      const int base = i < b.first_quads * 6 ? 0 : MAP_SPLIT_VERTEX, v = base + idx[size_t(i)];
      ASSERT_LT(v, MAP_GRID * MAP_GRID) << c.what;
      // Every quad has a wet corner among its four.
      if (i % 6 == 0)
      {
        const int x = v % MAP_GRID, z = v / MAP_GRID;
        bool any = false;
        for (int k = 0; k < 4; k++)
          any = any || HD::water[hmap_idx(x + (k & 1), z + (k >> 1))].depth > MAP_WET_DEPTH;
        EXPECT_TRUE(any) << c.what << ": quad (" << x << ", " << z << ")";
      }
    }
    land_step_update(v_make(0.f, 0.f, 0.f, 1.f));
    rb.clearLog();
    land_frame_update(0.f, v_make(0.f, 0.f, 0.f, 1.f), 0);
    const auto draws = rb.callsStartingWith("DrawIndexedPrimitive");
    const size_t per_copy = size_t(c.first > 0) + size_t(c.second > 0);
    ASSERT_EQ(draws.size(), 4 * per_copy) << c.what;
    if (c.second > 0)
    {
      EXPECT_EQ(draws[per_copy - 1], "DrawIndexedPrimitive(4, 65278, 0, 771, " + std::to_string(c.first * 6) +
                                         ", " + std::to_string(c.second * 2) + ")")
          << c.what;
    }
  }
  close_land_render();
  EXPECT_FALSE(HeightmapRenderer::mapTex);
}

TEST_F(LandDevice, MissingDetailTextureIsFatal)
{
  std::filesystem::remove(app.path("detail.dds"));
  EXPECT_EXIT(init_land_render(0), testing::ExitedWithCode(100), "can't create land textures");
}
}  // namespace
