// The land renderer on the recording device: what each quality creates, one upload per step
// (never per frame), the draws of a frame, and start-up without its detail texture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../render/shader_fixture.h"
#include "render/resource_hooks.h"
#include "render/texture.h"
#include "support/visual_log.h"
#include "world_render/land_render.h"

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
                          "load_color.sh", "calc_norm.sh", "calc_norm_low.sh", "calc_aper.sh", "interp_tex.sh"})
      app.write(f, "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n");
    for (const char *f : {"detail.dds", "foam.dds"})
      std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f, app.path(f));
    HD::reset();
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

TEST_F(LandDevice, MissingDetailTextureIsFatal)
{
  std::filesystem::remove(app.path("detail.dds"));
  EXPECT_EXIT(init_land_render(0), testing::ExitedWithCode(100), "can't create land textures");
}
}  // namespace
