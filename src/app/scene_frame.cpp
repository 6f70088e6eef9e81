#include "app/scene_frame.h"

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/scene_links.h"
#include "gameobj_host/gameobj_module.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/postfx.h"
#include "render/shader.h"
#include "render/texture.h"
#include "world_render/land_render.h"
#include "world_render/shadows.h"
#include "world_render/sky.h"

namespace
{
constexpr uint32_t WIREFRAME_CLEAR = 0xB4B4B4B4, GBUFFER_CLEAR = 0x00FFFFFF;
constexpr uint32_t STENCIL_SURFACE = 1, STENCIL_HORIZON = 2;
constexpr float DEPTH_FAR = CAMERA_ZFAR;  // the deferred depth is view depth / 512
constexpr int CLAMP = 1;

Shader *calc_light_shader = nullptr, *final_shader = nullptr;

void set_vs_vec(int reg, vec4f v)
{
  alignas(16) float f[4];
  _mm_store_ps(f, v.m);
  set_vs_const(reg, f, 1);
}

void set_ps_vec(int reg, vec4f v)
{
  alignas(16) float f[4];
  _mm_store_ps(f, v.m);
  set_ps_const(reg, f, 1);
}

// VS 5 (fog), VS 30 (sun and scalar), VS 31..42 (the sky registers).
void set_vs_light_registers(const vec4f sky[SKY_REGISTERS])
{
  set_vs_vec(5, v_make(use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f));
  set_vs_const(30, reinterpret_cast<const float *>(sky), SKY_REGISTERS);
}

// VS 16: the full-screen quad's mapping to texel centres; VS 17..19: the camera's rows scaled so
// that camera + depth * (x r17 + y r18 + r19) is the world position of clip (x, y) at view depth
// / 512.
void set_screen_registers()
{
  const float mapping[4] = {0.5f, -0.5f, 0.5f / float(d3d_wd) + 0.5f, 0.5f / float(d3d_ht) + 0.5f};
  set_vs_const(16, mapping, 1);
  const float scale[3] = {DEPTH_FAR / cur_proj_tm.m[0][0], DEPTH_FAR / cur_proj_tm.m[1][1], DEPTH_FAR};
  float rows[3][4];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++)
      rows[r][c] = cur_view_itm.m[r][c] * scale[r];
  set_vs_const(17, &rows[0][0], 3);
}

void stencil_off()
{
  set_stencil_test(0, 0, 0);
  set_stencil_replace_bits(0);
}

void debug_and_effects(float dt, float f)
{
  start_draw_debug_vis();
  gameobj_call(gameobj_module.render_debug_vis_gameobj, dt);
  end_draw_debug_vis();
  if (scene_links.render_common_fx)
    scene_links.render_common_fx(dt, f);
}

void forward_path(float dt, float f, const vec4f sky[SKY_REGISTERS])
{
  set_vs_light_registers(sky);
  set_render_target(postfx_rt.scene, 0, true);
  set_zenable(true);
  set_zwrite(true);
  if (use_wireframe)
  {
    clear_view(WIREFRAME_CLEAR);
    set_wireframe(true);
  }
  else
    clear_view_z();

  set_stencil_test(0xFF, STENCIL_SURFACE, D3DCMP_ALWAYS);
  set_stencil_replace_bits(STENCIL_SURFACE);
  draw_land();
  gameobj_call(gameobj_module.render_gameobj, dt);
  draw_water(f);

  stencil_off();
  set_wireframe(false);
  set_zenable(false);
  set_zwrite(false);
  if (!use_wireframe)
  {
    set_stencil_test(0xFF, 0, D3DCMP_EQUAL);
    render_sky(cur_view_itm);
  }
  stencil_off();
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  debug_and_effects(dt, f);
  set_wireframe(false);
}

void deferred_path(float dt, float f, const vec4f sky[SKY_REGISTERS])
{
  const PostfxTargets &rt = postfx_rt;
  // 1. The surface targets D, B, A.
  set_vs_vec(6, v_make(cur_view_tm.m[0][2] / DEPTH_FAR, cur_view_tm.m[1][2] / DEPTH_FAR,
                       cur_view_tm.m[2][2] / DEPTH_FAR, cur_view_tm.m[3][2] / DEPTH_FAR));
  set_render_target(rt.d, 0, true);
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  clear_view(GBUFFER_CLEAR);
  set_render_target(rt.b, 1, false);
  set_render_target(rt.a, 2, false);

  // 2. Land and objects.
  set_stencil_test(0xFF, STENCIL_SURFACE, D3DCMP_ALWAYS);
  set_stencil_replace_bits(STENCIL_SURFACE);
  draw_land();
  gameobj_call(gameobj_module.render_gameobj, dt);

  // 3. The water reads the ground's depth from a copy of D.
  copy_texture(rt.d, rt.c);
  set_texture(8, rt.c);
  set_tex_address(8, CLAMP);
  set_tex_filter(8, false);
  set_render_target(nullptr, 2, false);
  draw_water(f);
  set_render_target(nullptr, 1, false);

  // 4, 5. The targets become inputs.
  set_texture(8, rt.d);
  set_texture(9, rt.b);
  set_texture(10, rt.a);
  for (int s = 9; s <= 11; s++)
  {
    set_tex_address(s, CLAMP);
    set_tex_filter(s, false);
  }
  set_wireframe(false);
  stencil_off();
  set_zenable(false);
  set_zwrite(false);

  // 6. Object shadows into the scene image (white where nothing shades).
  set_stencil_test(0xFF, 0, D3DCMP_NOTEQUAL);
  set_render_target(rt.scene, 0, true);
  set_ps_vec(0, sky[0]);
  set_screen_registers();
  ShadowView view = {cur_glob_tm, cur_glob_rk, m44_row(cur_view_itm, 3), sky[0]};
  start_render_shadows(view);
  if (use_obj_shadows)
    gameobj_call(gameobj_module.render_gameobj_shadow, dt);
  end_render_shadows();

  // 7. Lighting into C.
  set_render_target(rt.c, 0, true);
  set_texture(11, rt.scene);
  set_ps_const(1, reinterpret_cast<const float *>(sky + 1), SKY_REGISTERS - 1);
  set_shader(calc_light_shader);
  draw_postfx();

  // 8. The horizon ring.
  set_render_target(rt.scene, 0, true);
  if (use_wireframe)
  {
    clear_view_color(WIREFRAME_CLEAR);
    set_wireframe(true);
  }
  set_zenable(true);
  set_stencil_test(0xFF, STENCIL_HORIZON, D3DCMP_ALWAYS);
  set_stencil_replace_bits(STENCIL_HORIZON);
  draw_horizon();
  set_wireframe(false);
  set_zenable(false);
  set_stencil_replace_bits(0);

  // 9. The sky on open pixels.
  if (!use_wireframe)
  {
    set_stencil_test(0xFF, 0, D3DCMP_EQUAL);
    render_sky(cur_view_itm);
  }

  // 10. The lit surfaces, hazed, onto the scene image (the horizon set its own VS 16).
  set_texture(11, rt.c);
  set_screen_registers();
  set_ps_vec(16, m44_row(cur_view_itm, 3));
  set_ps_vec(17, v_make(use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f));
  set_shader(final_shader);
  set_stencil_test(STENCIL_SURFACE, STENCIL_SURFACE, D3DCMP_EQUAL);
  draw_postfx();
  stencil_off();
  for (int s = 8; s <= 11; s++)
    set_texture(s, nullptr);

  // 11. Debug drawing and effects, forward into the scene image.
  set_vs_light_registers(sky);
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  debug_and_effects(dt, f);
  set_wireframe(false);
}
}  // namespace

void init_scene_frame(int quality)
{
  if (quality != 1)
    return;
  calc_light_shader = create_shader("dr_calc_light.sh", nullptr);
  final_shader = create_shader("dr_final.sh", nullptr);
}

void close_scene_frame()
{
  if (final_shader)
    destroy_shader(final_shader);
  if (calc_light_shader)
    destroy_shader(calc_light_shader);
  final_shader = calc_light_shader = nullptr;
}

void render_scene(float dt, float f, vec4f frame_color)
{
  set_vs_const(0, &cur_glob_tm.m[0][0], 4);
  set_vs_vec(4, m44_row(cur_view_itm, 3));
  vec4f sky[SKY_REGISTERS];
  get_sky_registers(sky);
  if (gfx_quality == 1 && final_shader)
    deferred_path(dt, f, sky);
  else
    forward_path(dt, f, sky);
  render_postfx(frame_color, {use_postfx, use_ppaa, use_wireframe});
}
