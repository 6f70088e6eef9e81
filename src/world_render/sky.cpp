#include "world_render/sky.h"

#include <algorithm>
#include <cmath>

#include "render/device.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/debug.h"
#include "world_render/sky_script.h"

SkyState sky;

// A white sky without a sun (docs/sky.md gives the meaning of each vector).
const vec4f sky_default_vectors[SKY_SCRIPT_VECTORS] = {
    {{1.f, 1.f, 1.f, 0.f}},       // horizon
    {{0.f, 0.f, 0.f, 0.f}},       // zenith minus horizon
    {{0.45f, 0.15f, 0.06f, 0.f}}, // gradient rate
    {{0.f, 0.f, 0.f, 0.f}},       // sun colour
    {{1.f, 0.f, 0.f, 0.f}},       // disc, halo, glow brightness
    {{0.346021f, 0.f, 0.f, 0.f}}, // disc radius, halo sharpness, glow height
    {{1.f, 0.f, 0.f, 0.f}},       // sky brightness, stars, fade below the horizon
    {{3.f, 6.f, 15.f, 0.f}},      // fog density
    {{2.f, 0.f, 0.f, 0.f}},
    {{2.f, 0.f, 0.f, 0.f}},
};

namespace
{
// Device objects.
VDecl sky_vdecl;
VertexBuffer *sky_vb = nullptr;
IndexBuffer *sky_ib = nullptr;
Shader *sky_shader = nullptr;

constexpr float MIN_SUN_LENGTH = 1e-6f;

// dir normalised (w 0); `keep` when dir is shorter than 1e-6 or not finite.
vec4f safe_normalize(vec4f dir, vec4f keep)
{
  dir = v_set(dir, 3, 0.f);
  const float len = std::sqrt(v_extract_x(v_length3_sq(dir)));
  if (!std::isfinite(len) || len < MIN_SUN_LENGTH)
    return keep;
  return dir * (1.f / len);
}

// The two derived vectors, per component: V0 + V1 exp(-V2 / 0.2) and V0 + V1 exp(-V2).
void derive_vectors()
{
  float v0[4], v1[4], v2[4], low[4], high[4];
  _mm_storeu_ps(v0, sky.cur[0].m);
  _mm_storeu_ps(v1, sky.cur[1].m);
  _mm_storeu_ps(v2, sky.cur[2].m);
  for (int i = 0; i < 4; i++)
  {
    low[i] = v0[i] + v1[i] * std::exp(-v2[i] / 0.2f);
    high[i] = v0[i] + v1[i] * std::exp(-v2[i]);
  }
  sky.cur[10] = {_mm_loadu_ps(low)};
  sky.cur[11] = {_mm_loadu_ps(high)};
}

// Current and previous vectors take the target (and the suns the target sun when `sun`).
void jump_to_target(bool sun)
{
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
    sky.prev[i] = sky.cur[i] = sky.target[i];
  if (sun)
    sky.prev_sun = sky.cur_sun = sky.target_sun;
  derive_vectors();
}

const VsdElement sky_vertex_desc[] = {
    {0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
    {0, VSD_END, 0, 0, 0},
};
}  // namespace

vec4f sky_default_sun() { return v_make(0.f, 0.316228f, 0.948683f, 0.f); }

float sky_sun_angle(vec4f dir)
{
  const float y = std::clamp(v_extract_y(dir), -1.f, 1.f);
  return std::acos(y) * (180.f / 3.14159265f);
}

void init_sky()
{
  close_sky();
  sky = SkyState();
  sky.target_sun = sky.prev_sun = sky.cur_sun = sky_default_sun();

  sky_vdecl = create_vdecl(sky_vertex_desc);
  sky_vb = create_vb(4 * 12, 0);
  sky_ib = create_ib(6, BUF_STATIC);
  G_ASSERT(sky_vb);
  G_ASSERT(sky_ib);
  uint16_t *ip = static_cast<uint16_t *>(lock_ib(sky_ib, 0, 0));
  G_ASSERT(ip);
  const uint16_t indices[6] = {0, 2, 1, 1, 2, 3};
  std::copy(indices, indices + 6, ip);
  unlock_ib(sky_ib);
  sky_shader = create_shader("sky.sh", nullptr);

  init_sky_script();
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
    sky.target[i] = sky_default_vectors[i];
  sky_script_colors(sky.target_sun, sky.target);
  jump_to_target(false);
}

void close_sky()
{
  close_sky_script();
  free_vb(sky_vb);
  free_ib(sky_ib);
  sky_vb = nullptr;
  sky_ib = nullptr;
  destroy_shader(sky_shader);
  sky_shader = nullptr;
  sky_vdecl = VDecl();  // declarations are shared and live until the device closes
}

void set_sky_sun_dir(bool deferred, vec4f dir)
{
  sky.target_sun = safe_normalize(dir, sky.target_sun);
  sky_script_colors(sky.target_sun, sky.target);
  if (!deferred)
    jump_to_target(true);
}

void morph_sky(float t)
{
  sky.cur_sun = safe_normalize(v_lerp(sky.prev_sun, sky.target_sun, t), sky.cur_sun);
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
    sky.cur[i] = v_lerp(sky.prev[i], sky.target[i], t);
  derive_vectors();
}

void commit_sky()
{
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
    sky.prev[i] = sky.target[i];
  sky.prev_sun = sky.target_sun;
}

bool update_sky_script()
{
  bool loaded = false;
  if (!reload_sky_script(loaded))
    return false;
  if (loaded && sky_script_colors(sky.target_sun, sky.target))
    jump_to_target(false);
  return true;
}

vec4f get_sky_sun_dir() { return sky.cur_sun; }

void get_sky_registers(vec4f out[SKY_REGISTERS])
{
  out[0] = v_set(sky.cur_sun, 3, SKY_COS_20);
  for (int i = 0; i < SKY_VECTORS; i++)
    out[1 + i] = sky.cur[i];
}

void render_sky(const Matrix44 &view_itm)
{
  if (!sky_vb || !sky_shader)
    return;
  float *vp = static_cast<float *>(lock_vb(sky_vb, 0, 0));
  G_ASSERT(vp);
  const float aspect = d3d_ht > 0 ? float(d3d_wd) / float(d3d_ht) : 1.f;
  for (int i = 0; i < 4; i++)
  {
    const float px = (i & 1 ? 10.f : -10.f) * aspect, py = i & 2 ? 10.f : -10.f;
    vec4f p = m44_row(view_itm, 0) * px + m44_row(view_itm, 1) * py + m44_row(view_itm, 2) * 10.f +
              m44_row(view_itm, 3);
    vp[i * 3 + 0] = v_extract_x(p);
    vp[i * 3 + 1] = v_extract_y(p);
    vp[i * 3 + 2] = v_extract_z(p);
  }
  unlock_vb(sky_vb);

  set_vdecl(sky_vdecl);
  set_vb(0, sky_vb, 0, 12);
  set_ib(sky_ib);
  set_shader(sky_shader);
  vec4f regs[SKY_REGISTERS];
  get_sky_registers(regs);
  set_ps_const(0, reinterpret_cast<const float *>(regs), SKY_REGISTERS);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}
