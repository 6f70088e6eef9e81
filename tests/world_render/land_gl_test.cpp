// The land and water renderer on real OpenGL without a display: the world textures read back
// against the arrays while the world changes (across its seam too), and pictures of the "game"
// world of seed 7 drawn through a small test frame, checked at chosen pixels and written to
// $QM_TEST_TMP for a person to look at (docs/ keeps copies).
#include <cmath>
#include <cstring>
#include <filesystem>

#include "../render/gl_picture.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/matrix44.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "world_render/land_render.h"
#include "world_render/sky.h"

using HD = HeightmapData;

namespace
{
const char *const land_files[] = {
    "sky.nut",        "sky.sh",       "sh_common.inc",    "sh_math.inc",  "sh_postfx.inc", "load_float.sh",
    "load_color.sh",  "interp_tex.sh", "land_tex.inc",    "calc_norm.sh", "calc_norm_low.sh", "calc_aper.sh",
    "land_common.inc", "land_light.inc", "gbuffer.inc", "land.sh",      "dr_land.sh",    "water_common.inc",
    "water.sh",       "dr_water.sh",  "horizon.sh",   "map_common.inc", "map_surf.sh", "map_water.sh",
    "map_light.sh",   "map_light_low.sh",
};

struct Camera
{
  Matrix44 itm, glob;
  vec4f pos;
};

// A camera at `pos` looking along yaw (radians from +z towards +x) and pitch (down negative),
// 74 degrees of vertical field of view.
Camera make_camera(vec4f pos, float yaw, float pitch, int w, int h)
{
  vec4f fwd = v_make(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch), 0.f);
  vec4f right = v_make(std::cos(yaw), 0.f, -std::sin(yaw), 0.f);
  Camera c;
  c.pos = pos;
  m44_set_row(c.itm, 0, right);
  m44_set_row(c.itm, 1, v_cross3(fwd, right));
  m44_set_row(c.itm, 2, fwd);
  m44_set_row(c.itm, 3, v_set(pos, 3, 1.f));
  const float ys = 1.f / std::tan(74.f * 3.14159265f / 360.f), xs = ys * float(h) / float(w);
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

class LandGl : public GlPictureTest
{
protected:
  Texture *scene = nullptr;

  bool open(int w, int h, int quality)
  {
    std::filesystem::create_directories(app.path("gen"));
    std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/gen/main.nut", app.path("gen/main.nut"));
    for (const char *f : {"detail.dds", "foam.dds"})
      std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f, app.path(f));
    for (const char *f : land_files)
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, app.path(f));
    if (!start(w, h, {}))
      return false;
    set_error_message(nullptr);
    init_sky();
    init_land_render(quality);
    scene = create_render_target(uint32_t(w), uint32_t(h), 1);
    return true;
  }
  void TearDown() override
  {
    if (ready)
    {
      release_texture(scene);
      close_land_render();
      close_sky();
    }
    GlPictureTest::TearDown();
  }

  template <typename T>
  static std::vector<T> read_texture(Texture *t)
  {
    int pitch = 0;
    void *p = lock_texture(t, pitch, false);
    EXPECT_TRUE(p);
    EXPECT_EQ(pitch, int(HMAP_SIZE * sizeof(T)));
    std::vector<T> out(HMAP_CELLS);
    if (p)
      std::memcpy(out.data(), p, sizeof(T) * HMAP_CELLS);
    unlock_texture(t);
    return out;
  }

  // Every texel of the level and colour textures against the arrays; the first difference.
  static void expect_world_uploaded(const char *when)
  {
    std::vector<float> level = read_texture<float>(land.hmapTex);
    std::vector<uint32_t> color = read_texture<uint32_t>(land.colrTex);
    std::vector<uint32_t> top = read_texture<uint32_t>(land.topcTex);
    for (int i = 0; i < HMAP_CELLS; i++)
    {
      const float want = HD::hmap[i] + HD::water[i].depth;
      ASSERT_EQ(std::memcmp(&level[size_t(i)], &want, 4), 0)
          << when << ": level of (" << (i & 255) << ", " << (i >> 8) << ") " << level[size_t(i)] << " != " << want;
      ASSERT_EQ(color[size_t(i)], HD::surface[i].color) << when << ": colour " << i;
      ASSERT_EQ(top[size_t(i)], HD::surface[i].top_color) << when << ": top colour " << i;
    }
  }
};

TEST_F(LandGl, UploadedTexturesHoldTheWorldAsItChanges)
{
  if (!open(64, 64, 1))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  HD::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const int x = i & 255, z = i >> 8;
    HD::hmap[i] = HD::target_hmap[i] = std::sin(float(x) * 0.1f) * 7.f + float(z) * 0.03f + 1e-5f * float(i);
    HD::water[i] = HD::tmpw[i] = {x < 40 ? 1.5f + float(z % 7) * 0.1f : 0.f, 0.f, 0.f, 0.f};
    HD::surface[i].color = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    HD::surface[i].top_color = uint32_t(i * 40503u);
  }
  const vec4f cam = v_make(2.f, 30.f, 253.f, 1.f);  // beside the seam
  land_frame_update(0.f, cam, 2);
  expect_world_uploaded("first upload");

  // A hill raised across the corner seam and a water source there; a few steps later the
  // textures follow the arrays again.
  for (int dz = -6; dz <= 6; dz++)
    for (int dx = -6; dx <= 6; dx++)
    {
      HD::target_hmap[hmap_idx(dx, dz)] += 12.f - float(dx * dx + dz * dz) * 0.2f;
      HD::water[hmap_idx(dx + 3, dz - 2)].depth += 2.f;
      HD::surface[hmap_idx(dx, dz)].color = 0xFF102030u;
    }
  for (int step = 0; step < 3; step++)
  {
    land_step_update(cam);
    HD::updateHmap(LAND_STEP_DT);
    HD::simWater(LAND_STEP_DT);
    land_frame_update(0.02f, cam, 2);
  }
  EXPECT_NE(HD::hmap[hmap_idx(255, 255)], HD::target_hmap[hmap_idx(255, 255)]) << "still moving";
  expect_world_uploaded("after three steps");
  EXPECT_STREQ(get_error_message(), "");
}

struct Shot
{
  const char *name;
  vec4f pos;
  float yaw, pitch;
};
// High over the middle, over the shore of the western lake, low along the river running north at x 125.
const Shot shots[3] = {
    {"overview", v_make(128.f, 110.f, 20.f, 1.f), 0.f, -0.75f},
    {"shore", v_make(70.f, 20.f, 150.f, 1.f), -1.4f, -0.25f},
    {"river", v_make(123.f, -9.f, 4.f, 1.f), 0.08f, -0.32f},
};
constexpr int PW = 480, PH = 270;

// Pictures of the "game" world of seed 7 through a test frame of each path: the forward path
// (low quality) draws sky, land and water into one image; the deferred path (high quality) fills
// the targets D, B and A, draws the horizon ring and the sky, and resolves the targets with
// tests/world_render/data/land_resolve.sh.
class LandPicture : public LandGl
{
protected:
  Texture *gbuf[4] = {};  // D, B, A, C

  bool open_world(int quality)
  {
    std::filesystem::copy_file(std::string(QM_TEST_DATA_DIR) + "/land_resolve.sh", app.path("land_resolve.sh"));
    if (!open(PW, PH, quality))
      return false;
    for (Texture *&t : gbuf)
      t = create_render_target(PW, PH, 1);
    init_world_gen_vm();
    game_rnd_seed = 7;
    generate_world("game");
    close_world_gen_vm();
    set_sky_sun_dir(false, v_make(0.25f, 0.5f, -0.8f, 0.f));
    land_request_full_update();
    // Two seconds of play: the water runs, makes foam and carries the flow pattern.
    for (int step = 0; step < 40; step++)
    {
      land_step_update(shots[1].pos);
      HD::updateHmap(LAND_STEP_DT);
      HD::simWater(LAND_STEP_DT);
    }
    return true;
  }
  void TearDown() override
  {
    for (Texture *t : gbuf)
      release_texture(t);
    LandGl::TearDown();
  }

  void camera_constants(const Camera &cam)
  {
    set_vs_const(0, &cam.glob.m[0][0], 4);
    set_vs_const(4, cam.itm.m[3], 1);
  }

  void draw_sky(const Camera &cam)
  {
    set_zenable(false);
    set_zwrite(false);
    render_sky(cam.itm);
  }

  std::vector<uint32_t> forward(const Camera &cam)
  {
    set_render_target(scene, 0, true);
    clear_view(0xFFFF00FF);
    camera_constants(cam);
    draw_sky(cam);
    set_zenable(true);
    set_zwrite(true);
    draw_land();
    draw_water(0.f);
    return read(PW, PH);
  }

  std::vector<uint32_t> deferred(const Camera &cam)
  {
    Texture *D = gbuf[0], *B = gbuf[1], *A = gbuf[2], *C = gbuf[3];
    const Matrix44 view = m44_inverse(cam.itm);
    const float depth_col[4] = {view.m[0][2] / 512.f, view.m[1][2] / 512.f, view.m[2][2] / 512.f,
                                view.m[3][2] / 512.f};
    set_render_target(D, 0, true);
    clear_view(0x00FFFFFF);
    set_render_target(B, 1, false);
    set_render_target(A, 2, false);
    camera_constants(cam);
    set_vs_const(6, depth_col, 1);
    set_zenable(true);
    set_zwrite(true);
    set_stencil_test(0xFF, 1, D3DCMP_ALWAYS);
    set_stencil_replace_bits(1);
    draw_land();
    copy_texture(D, C);
    set_render_target(nullptr, 2, false);
    draw_water(0.f);
    set_render_target(nullptr, 1, false);

    set_render_target(scene, 0, true);
    clear_view_color(0xFFFF00FF);
    set_zwrite(false);
    set_stencil_test(0xFF, 2, D3DCMP_ALWAYS);
    set_stencil_replace_bits(2);
    draw_horizon();
    set_stencil_replace_bits(0);
    set_stencil_test(0xFF, 0, D3DCMP_EQUAL);
    draw_sky(cam);

    set_stencil_test(1, 1, D3DCMP_EQUAL);
    set_texture(8, D);
    set_texture(9, B);
    set_texture(10, A);
    for (int s = 8; s < 11; s++)
    {
      set_tex_filter(s, false);
      set_tex_address(s, 1);
    }
    const float ys = 1.f / std::tan(74.f * 3.14159265f / 360.f), xs = ys * float(PH) / float(PW);
    float rows[3][4];
    for (int c = 0; c < 4; c++)
    {
      rows[0][c] = cam.itm.m[0][c] * 512.f / xs;
      rows[1][c] = cam.itm.m[1][c] * 512.f / ys;
      rows[2][c] = cam.itm.m[2][c] * 512.f;
    }
    set_vs_const(17, &rows[0][0], 3);
    const float c16[4] = {0.5f, -0.5f, 0.5f / PW + 0.5f, 0.5f / PH + 0.5f};
    set_vs_const(16, c16, 1);
    set_shader(resolve);
    draw_postfx();
    set_stencil_test(0, 0, 0);
    for (int s = 8; s < 11; s++)
      set_texture(s, nullptr);
    return read(PW, PH);
  }

  Shader *resolve = nullptr;

  // Draws the three shots, writes them one above the other into `file` and checks them.
  void shoot(const char *file, bool high)
  {
    if (high)
      resolve = create_shader("land_resolve.sh", nullptr);
    std::vector<uint32_t> strip(size_t(PW * PH * 3));
    std::vector<uint32_t> px[3];
    for (int i = 0; i < 3; i++)
    {
      const Camera cam = make_camera(shots[i].pos, shots[i].yaw, shots[i].pitch, PW, PH);
      land_frame_update(0.f, cam.pos, 2);
      px[i] = high ? deferred(cam) : forward(cam);
      std::memcpy(&strip[size_t(i * PH * PW)], px[i].data(), px[i].size() * 4);
    }
    if (resolve)
      destroy_shader(resolve);
    savePng(file, strip, PW, PH * 3);
    EXPECT_STREQ(get_error_message(), "");
    for (int i = 0; i < 3; i++)
      for (uint32_t p : px[i])
        ASSERT_NE(p & 0xFFFFFF, 0xFF00FFu) << shots[i].name << ": sky and land cover the picture";

    // Over the shore: deep water reads blue, the dry grass beside it green.
    const Camera cam = make_camera(shots[1].pos, shots[1].yaw, shots[1].pitch, PW, PH);
    int wet = 0, dry = 0;
    for (int z = 130; z < 200; z++)
      for (int x = 20; x < 70; x++)
      {
        const int i = hmap_idx(x, z);
        int sx, sy;
        if (!project(cam, v_make(float(x), HD::hmap[i] + HD::water[i].depth, float(z), 1.f), sx, sy))
          continue;
        const uint32_t c = px[1][size_t(sy * PW + sx)];
        if (HD::water[i].depth > 1.f && wet < 20)
        {
          wet++;
          EXPECT_GT(channel_of(c, 2), channel_of(c, 0) + 12) << "water at (" << x << ", " << z << ")";
        }
        if (HD::water[i].depth == 0.f && HD::surface[i].top_color >> 24 > 200 && dry < 20 &&
            ((HD::surface[i].top_color >> 8) & 255) > ((HD::surface[i].top_color >> 16) & 255) + 30)
        {
          dry++;
          EXPECT_GT(channel_of(c, 1), channel_of(c, 2)) << "grass at (" << x << ", " << z << ")";
        }
      }
    EXPECT_EQ(wet, 20);
    EXPECT_GT(dry, 5);
  }

  // Where a world point lands in the picture; false when behind the camera or off the picture's
  // inner part (away from silhouettes at its border).
  static bool project(const Camera &cam, vec4f p, int &x, int &y)
  {
    vec4f c = m44_row(cam.glob, 0) * v_extract_x(p) + m44_row(cam.glob, 1) * v_extract_y(p) +
              m44_row(cam.glob, 2) * v_extract_z(p) + m44_row(cam.glob, 3);
    const float w = v_extract_w(c);
    if (w < 1.f)
      return false;
    x = int((v_extract_x(c) / w * 0.5f + 0.5f) * PW);
    y = int((0.5f - v_extract_y(c) / w * 0.5f) * PH);
    return x >= 8 && x < PW - 8 && y >= PH / 2 && y < PH - 8;
  }
};

TEST_F(LandPicture, GameWorldLowQuality)
{
  if (!open_world(0))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  shoot("land_low.png", false);
}

TEST_F(LandPicture, GameWorldHighQuality)
{
  if (!open_world(1))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  shoot("land_high.png", true);
}
}  // namespace
