// What the player sees after "New game", drawn headless with the game's module:
// the land and water renderer hands the house squares to the module's building
// renderer, the module draws the houses, the castle, the stones and the menhirs
// with the instanced meshes (forward path). Written to
// $QM_TEST_TMP/game_view.png (docs/ keeps a copy); checked against the same
// view without them.
#include <cmath>
#include <filesystem>

#include "../render/gl_picture.h"
#include "app/app_globals.h"
#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "render/dyn_vb_writer.h"
#include "render/mesh.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/house_pieces.h"
#include "world_render/inst_objects.h"
#include "world_render/land_render.h"
#include "world_render/sky.h"

using HD = HeightmapData;

namespace {
const char *const view_files[] = {
    "sky.nut",           "sky.sh",
    "sh_common.inc",     "sh_math.inc",
    "sh_postfx.inc",     "load_float.sh",
    "load_color.sh",     "interp_tex.sh",
    "land_tex.inc",      "calc_norm.sh",
    "calc_norm_low.sh",  "calc_aper.sh",
    "land_common.inc",   "land_light.inc",
    "gbuffer.inc",       "land.sh",
    "dr_land.sh",        "water_common.inc",
    "water.sh",          "dr_water.sh",
    "horizon.sh",        "inst_common.inc",
    "inst_simple.sh",    "inst_morph.sh",
    "inst_spline.sh",    "inst_building.sh",
    "inst_simple_dr.sh", "inst_morph_dr.sh",
    "inst_spline_dr.sh", "inst_building_dr.sh",
    "map_common.inc",    "map_surf.sh",
    "map_water.sh",      "map_light.sh",
    "map_light_low.sh",
};

struct Camera {
  Matrix44 itm, glob;
};

// At `eye` looking at `at`, 60 degrees vertical field of view, near 0.1, far
// 512.
Camera look_at(vec4f eye, vec4f at, float aspect) {
  vec4f fwd = at - eye;
  fwd = fwd * (1.f / std::sqrt(v_extract_x(v_dot3(fwd, fwd))));
  vec4f right = v_cross3(v_make(0, 1, 0, 0), fwd);
  right = right * (1.f / std::sqrt(v_extract_x(v_dot3(right, right))));
  Camera c;
  m44_set_row(c.itm, 0, right);
  m44_set_row(c.itm, 1, v_cross3(fwd, right));
  m44_set_row(c.itm, 2, fwd);
  m44_set_row(c.itm, 3, v_set(eye, 3, 1.f));
  const float ys = 1.f / std::tan(60.f * 3.14159265f / 360.f), xs = ys / aspect;
  const float zn = 0.1f, zf = 512.f, q = zf / (zf - zn);
  Matrix44 proj = {};
  proj.m[0][0] = xs;
  proj.m[1][1] = ys;
  proj.m[2][2] = q;
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -q * zn;
  c.glob = m44_mul(m44_inverse(c.itm), proj);
  return c;
}

class GameView : public GlPictureTest {
protected:
  void TearDown() override {
    if (ready) {
      release_texture(scene);
      gameobj_module.remove_all_gameobj();
      close_all_inst_renderers();
      free_inst_blocks();
      free_all_meshes();
      land_hooks = LandHooks();
      close_land_render();
      common_vb_writer.close();
      close_sky();
    }
    unbind_gameobj_module();
    release_gameobj_lists();
    GlPictureTest::TearDown();
  }

  std::vector<uint32_t> draw(const Camera &cam, bool objects, int w, int h) {
    land_hooks.render_building = nullptr;
    if (objects)
      land_hooks.render_building = [](const HD::Surface &s, int x, int z) {
        gameobj_module.render_building(s, x, z);
      };
    // The land's frame update builds the geometry around the camera and hands
    // over the houses.
    land_frame_update(0.f, m44_row(cam.itm, 3), 2);
    set_render_target(scene, 0, true);
    clear_view(0xFFFF00FF);
    set_vs_const(0, &cam.glob.m[0][0], 4);
    set_vs_const(4, cam.itm.m[3], 1);
    const float fog[4] = {0, 0, 0, 0};
    set_vs_const(5, fog, 1);
    vec4f regs[SKY_REGISTERS];
    get_sky_registers(regs);
    set_vs_const(30, reinterpret_cast<const float *>(regs), SKY_REGISTERS);
    set_zenable(false);
    set_zwrite(false);
    render_sky(cam.itm);
    set_zenable(true);
    set_zwrite(true);
    draw_land();
    draw_water(0.f);
    if (objects)
      gameobj_module.render_gameobj(0.f);
    return read(w, h);
  }
  Texture *scene = nullptr;
};

TEST_F(GameView, HousesCastleAndStonesStandOnTheLand) {
  constexpr int W = 480, H = 270;
  std::filesystem::create_directories(app.path("gen"));
  std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/gen/main.nut",
                             app.path("gen/main.nut"));
  for (const char *f : {"detail.dds", "foam.dds"})
    std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f,
                               app.path(f));
  std::filesystem::create_directories(app.path("meshes"));
  for (const auto &f : std::filesystem::directory_iterator(
           std::string(QM_TEXTURE_DIR) + "/meshes"))
    std::filesystem::copy_file(
        f.path(), app.path("meshes/" + f.path().filename().string()));
  for (const char *f : view_files)
    std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f,
                               app.path(f));
  if (!start(W, H, {}))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  set_error_message(nullptr);
  common_vb_writer.init(COMMON_VB_WRITER_SIZE);
  init_sky();
  init_land_render(0);
  scene = create_screen_render_target();

  gfx_quality = 0;
  load_gameobj_module(QM_MODULE_FILE);
  gameobj_module.init_inst_render();
  init_world_gen_vm();
  game_rnd_seed = 7;
  generate_world("game");
  close_world_gen_vm();
  ASSERT_STREQ(get_error_message(), "");
  set_sky_sun_dir(false, v_make(0.35f, 0.6f, -0.7f, 0.f));

  // The castle's middle, found across the world's seams from its first merlon
  // or curtain wall.
  int fx = -1, fz = -1, count = 0;
  float sx = 0, sz = 0;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) {
      const HD::Surface &s = HD::surface[hmap_idx(x, z)];
      if (s.ground_type != GT_HOUSE || s.house_piece < HP_MERLON_TOP)
        continue;
      if (fx < 0)
        fx = x, fz = z;
      sx += float(fx + ((x - fx + 384) & 255) - 128);
      sz += float(fz + ((z - fz + 384) & 255) - 128);
      count++;
    }
  ASSERT_GT(count, 100);
  const float cx = sx / float(count), cz = sz / float(count);
  const vec4f castle =
      v_make(cx, gameobj_module.get_land_height(cx, cz) + 4.f, cz, 0.f);

  // The player walks up to it from the south-west and looks at it.
  Player *player = gameobj_module.get_local_player();
  ASSERT_NE(player, nullptr);
  gameobj_module.place_local_player(
      player,
      v_make(cx - 30.f, -1000.f, cz - 34.f, 0.f)); // lifted onto the land
  vec4f eye =
      gameobj_module.get_local_player_eye(player) + v_make(0.f, 6.f, 0.f, 0.f);
  Camera cam = look_at(eye, castle, float(W) / float(H));

  land_request_full_update();
  land_step_update(eye);
  std::vector<uint32_t> bare = draw(cam, false, W, H);
  std::vector<uint32_t> with = draw(cam, true, W, H);
  savePng("game_view.png", with, W, H);
  EXPECT_STREQ(get_error_message(), "");

  // The castle, houses, stones and menhirs change a good part of the picture,
  // the castle's walls among them (2 units above the ground at its middle).
  const float p[4] = {cx, gameobj_module.get_land_height(cx, cz) + 2.f, cz,
                      1.f};
  float clip[4] = {};
  for (int j = 0; j < 4; j++)
    for (int i = 0; i < 4; i++)
      clip[j] += p[i] * cam.glob.m[i][j];
  ASSERT_GT(clip[3], 0.f);
  const int px = int((clip[0] / clip[3] * 0.5f + 0.5f) * W),
            py = int((0.5f - clip[1] / clip[3] * 0.5f) * H);
  ASSERT_TRUE(px >= 0 && px < W && py >= 0 && py < H);
  EXPECT_NE(with[size_t(py * W + px)] & 0xFFFFFF,
            bare[size_t(py * W + px)] & 0xFFFFFF);
  int changed = 0;
  for (size_t i = 0; i < with.size(); i++)
    changed += (with[i] & 0xFFFFFF) != (bare[i] & 0xFFFFFF);
  EXPECT_GT(changed, W * H / 20);
  for (uint32_t p : with)
    ASSERT_NE(p & 0xFFFFFF, 0xFF00FFu)
        << "sky, land and buildings cover the picture";
}
} // namespace
