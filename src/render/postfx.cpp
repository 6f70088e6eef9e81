#include "render/postfx.h"

#include <utility>

#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "support/debug.h"
#include "support/splash.h"

PostfxTargets postfx_rt;
bool postfx_allow_fp_blend = true;

namespace
{
struct PostfxShaders
{
  Shader *main = nullptr, *none = nullptr, *edge = nullptr;
  Shader *rows_first = nullptr, *rows = nullptr;
  Shader *cols_first = nullptr, *cols = nullptr, *cols_final = nullptr;
  Shader *combine = nullptr;
};
PostfxShaders shaders;

// Each run-length direction doubles its step from 1 to 128: eight passes.
constexpr int MLAA_PASSES = 8;
constexpr uint32_t WRITE_ALL = 0xF, WRITE_BLUE_ALPHA = 0xC;
constexpr int ADDRESS_WRAP = 0, ADDRESS_CLAMP = 1;

void set_vs(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_vs_const(reg, c, 1);
}

void set_ps(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_ps_const(reg, c, 1);
}

// Stage `stage` reads `tex` texel by texel.
void bind_point(int stage, Texture *tex, int address)
{
  set_texture(stage, tex);
  set_tex_filter(stage, false);
  set_tex_address(stage, address);
}

// One full-screen pass into render target 0 without a depth surface.
void pass(Texture *target, Shader *shader, bool clear)
{
  set_render_target(target, 0, false);
  if (clear)
    clear_view_color(0);
  set_shader(shader);
  draw_postfx();
}

// Edge image into A, horizontal run lengths into C (red, green), vertical ones into C (blue,
// alpha), then the blend of the scene image into B, which becomes the scene image.
void run_mlaa()
{
  PostfxTargets &t = postfx_rt;
  const float w = float(d3d_wd), h = float(d3d_ht);

  bind_point(0, t.scene, ADDRESS_CLAMP);
  set_vs(17, 1.f / w, 1.f / h, 0.f, 0.f);
  pass(t.a, shaders.edge, false);

  bind_point(0, t.a, ADDRESS_CLAMP);
  for (int i = 0; i < MLAA_PASSES; i++)
  {
    const float s = float(1 << i);
    if (i > 0)
      bind_point(1, t.c, ADDRESS_CLAMP);
    set_vs(17, 1.f / w, 0.f, s / w, 0.f);
    set_ps(0, s / 255.f, 0.f, 0.f, 0.f);
    pass(t.b, i == 0 ? shaders.rows_first : shaders.rows, i == 0);
    std::swap(t.b, t.c);
  }

  for (int i = 0; i < MLAA_PASSES; i++)
  {
    const float s = float(1 << i);
    const bool last = i == MLAA_PASSES - 1;
    if (i > 0)
      bind_point(1, t.d, ADDRESS_CLAMP);
    set_vs(17, 0.f, 1.f / h, 0.f, s / h);
    set_ps(0, s / 255.f, 0.f, 0.f, 0.f);
    if (last)
      set_color_write_mask(WRITE_BLUE_ALPHA);
    pass(last ? t.c : t.b, i == 0 ? shaders.cols_first : last ? shaders.cols_final : shaders.cols, i == 0);
    std::swap(t.b, t.d);
  }
  set_color_write_mask(WRITE_ALL);

  bind_point(0, t.scene, ADDRESS_CLAMP);
  bind_point(1, t.a, ADDRESS_WRAP);
  bind_point(2, t.c, ADDRESS_WRAP);
  set_vs(17, 1.f / w, 1.f / h, 0.f, 0.f);
  set_ps(0, 1.f / w, 1.f / h, 0.f, 0.f);
  pass(t.b, shaders.combine, false);
  std::swap(t.b, t.scene);
}
}  // namespace

void create_scene_image()
{
  release_scene_image();
  postfx_rt.scene = create_screen_render_target();
  if (!postfx_rt.scene)
    fatal("can't create scene image texture");
}

void release_scene_image()
{
  release_texture(postfx_rt.scene);
  postfx_rt.scene = nullptr;
}

void init_postfx()
{
  close_postfx();
  show_splash("Creating post-effect textures", -1);
  PostfxTargets &t = postfx_rt;
  t.a = create_screen_render_target();
  t.b = create_screen_render_target();
  t.c = create_screen_render_target();
  t.d = create_screen_render_target();
  if (!t.a || !t.b || !t.c || !t.d)
    fatal("can't create textures for post-effect");
  if (postfx_allow_fp_blend)
  {
    t.fp = create_render_target(0, 0, 5);
    if (t.fp)
      debug("using FP blending for effects!");
  }

  show_splash("Compiling post-effect shaders", -1);
  static const char first[] = "FIRST\0 1\0";
  static const char final_[] = "FINAL\0 1\0";
  shaders.main = create_shader("postfx_main.sh", nullptr);
  shaders.none = create_shader("postfx_none.sh", nullptr);
  shaders.edge = create_shader("mlaa_edge.sh", nullptr);
  shaders.rows_first = create_shader("mlaa_rows.sh", first);
  shaders.rows = create_shader("mlaa_rows.sh", nullptr);
  shaders.cols_first = create_shader("mlaa_cols.sh", first);
  shaders.cols = create_shader("mlaa_cols.sh", nullptr);
  shaders.cols_final = create_shader("mlaa_cols.sh", final_);
  shaders.combine = create_shader("mlaa_combine.sh", nullptr);
}

void close_postfx()
{
  for (Shader *s : {shaders.main, shaders.none, shaders.edge, shaders.rows_first, shaders.rows, shaders.cols_first,
                    shaders.cols, shaders.cols_final, shaders.combine})
    destroy_shader(s);
  shaders = PostfxShaders();
  PostfxTargets &t = postfx_rt;
  for (Texture **tex : {&t.fp, &t.a, &t.c, &t.d, &t.b})
  {
    release_texture(*tex);
    *tex = nullptr;
  }
}

void render_postfx(vec4f frame_color, PostfxFlags flags)
{
  set_wireframe(false);
  set_cull_mode(0);
  set_blend_none();
  set_atest(0);
  set_color_write_mask(WRITE_ALL);
  const float w = float(d3d_wd), h = float(d3d_ht);
  set_vs(16, 0.5f, -0.5f, 0.5f / w + 0.5f, 0.5f / h + 0.5f);
  if (flags.ppaa)
    run_mlaa();

  restore_back_buffer();
  bind_point(0, postfx_rt.scene, ADDRESS_CLAMP);
  const bool plain = !flags.postfx || flags.wireframe;
  if (!plain)
    set_ps(0, 1.f / w, 1.f / h, w, h);
  float tint[4];
  _mm_storeu_ps(tint, frame_color.m);
  set_ps_const(1, tint, 1);
  set_shader(plain ? shaders.none : shaders.main);
  draw_postfx();

  set_cull_mode(1);
  for (int stage = 0; stage < 3; stage++)
  {
    set_tex_filter(stage, true);
    set_tex_address(stage, ADDRESS_CLAMP);
  }
}
