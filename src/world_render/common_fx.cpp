// The effects' life (init, reset, step) and their drawing: particles as instanced quads, trails
// and bolts as triangle lists, all into the effect target(s), then composited onto the scene.
#include "world_render/common_fx.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/d3d_types.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/postfx.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/debug.h"

CommonFxState common_fx;

namespace
{
enum FxShader
{
  SH_EFFECT,
  SH_BLEND_PART,
  SH_GLOW_PART,
  SH_POST_BLEND,
  SH_COUNT
};
const char *const shader_files[SH_COUNT] = {"effect.sh", "blendPart.sh", "glowPart.sh", "postBlend.sh"};

struct FxRender
{
  Texture *blendTex = nullptr, *glowTex = nullptr;
  Shader *shaders[2][SH_COUNT] = {};  // [single target][which]
  VDecl effectDecl, partDecl;
  VertexBuffer *cornerVb = nullptr;
  IndexBuffer *ib = nullptr;
  bool singleRt = false;
  Matrix44 viewItm = {};
} fx;

struct EffectVertex
{
  float x, y, z;
  D3dColor color;
  float u, v;
};
static_assert(sizeof(EffectVertex) == 24);

inline EffectVertex effect_vertex(vec4f p, D3dColor c, float u, float v)
{
  return {v_extract_x(p), v_extract_y(p), v_extract_z(p), c, u, v};
}

vec4f camera_pos() { return m44_row(fx.viewItm, 3); }

void write_particles(const ParticlePool &pool, float t, float f)
{
  DynVBWriter &w = common_vb_writer;
  const vec4f cam = camera_pos();
  for (const Particle &p : pool.parts)
  {
    uint8_t rec[40];
    if (!make_particle_instance(p, t, f, cam, rec))
      continue;
    void *ptr = w.alloc(40, 1);
    G_ASSERT(ptr);
    memcpy(ptr, rec, 40);
  }
}

vec4f point_at(const TrailPoint &p, float f) { return p.prevPos + (p.pos - p.prevPos) * f; }

void write_trail(const TrailSlot &tr, float f)
{
  DynVBWriter &w = common_vb_writer;
  if (w.spaceLeft() < tr.count * 144)
    w.flush(false);
  const TrailPoint &q = tr.pts[tr.head];
  const vec4f raw = point_at(q, f);
  const vec4f P = wrap_offset(raw, camera_pos());
  const vec4f L = P - raw;
  const vec4f R = m44_row(fx.viewItm, 0) * tr.headSize, U = m44_row(fx.viewItm, 1) * tr.headSize;
  D3dColor C = q.color;
  EffectVertex *v = static_cast<EffectVertex *>(w.alloc(6 * sizeof(EffectVertex), 2));
  v[0] = effect_vertex(P - R + U, C, 0.f, 0.25f);
  v[1] = effect_vertex(P - R - U, C, 0.f, 0.5f);
  v[2] = effect_vertex(P + R + U, C, 0.125f, 0.25f);
  v[3] = effect_vertex(P - R - U, C, 0.f, 0.5f);
  v[4] = effect_vertex(P + R - U, C, 0.125f, 0.5f);
  v[5] = effect_vertex(P + R + U, C, 0.125f, 0.25f);
  if (tr.count < 2)
    return;
  float u = f * 0.0625f;
  vec4f top = P + q.side, bottom = P - q.side;
  for (int k = 1, j = (tr.head + 1) % TRAIL_POINTS; k < tr.count; k++, j = (j + 1) % TRAIL_POINTS)
  {
    const TrailPoint &o = tr.pts[j];
    const vec4f P2 = point_at(o, f) + L;
    const vec4f top2 = P2 + o.side, bottom2 = P2 - o.side;
    const D3dColor C2 = o.color;
    EffectVertex *s = static_cast<EffectVertex *>(w.alloc(6 * sizeof(EffectVertex), 2));
    s[0] = effect_vertex(top, C, u, 0.f);
    s[1] = effect_vertex(bottom, C, u, 0.25f);
    s[2] = effect_vertex(top2, C2, u + 0.0625f, 0.f);
    s[3] = effect_vertex(bottom, C, u, 0.25f);
    s[4] = effect_vertex(bottom2, C2, u + 0.0625f, 0.25f);
    s[5] = effect_vertex(top2, C2, u + 0.0625f, 0.f);
    top = top2;
    bottom = bottom2;
    C = C2;
    u += 0.0625f;
  }
}

// The bolt's half-width across the view at point k: along the segment leaving it (the last point
// uses the one arriving), zero where the segment points at the camera.
vec4f bolt_side(const LightningBolt &b, int k, vec4f offset, vec4f cam)
{
  const int n = b.points.size();
  const vec4f p = b.points[k].pos + offset;
  const vec4f dir = k + 1 < n ? b.points[k + 1].pos - b.points[k].pos : b.points[k].pos - b.points[k - 1].pos;
  const vec4f c = v_cross3(p - cam, dir);
  const float len2 = v_extract_x(v_dot3(c, c));
  if (!(len2 > 1e-20f))
    return v_zero();
  return c * (v_extract_x(v_rsqrt_est(v_splats(len2))) * b.width);
}

D3dColor bolt_color(D3dColor c, float r, int i, int n)
{
  float h = std::clamp((0.5f - std::fabs(2.f * r - float(i) / float(n - 1) - 0.5f)) * 20.f, 0.f, 1.f);
  h = h * h * (3.f - 2.f * h);
  return vec4f_to_color(color_to_vec4f(c) * h);
}

void write_bolt(const LightningBolt &b, float t)
{
  DynVBWriter &w = common_vb_writer;
  const int n = b.points.size();
  const float r = std::min((b.age + t) / b.life, 1.f);
  const vec4f cam = camera_pos();
  const vec4f offset = wrap_offset(b.points[0].pos, cam) - b.points[0].pos;
  vec4f prevSide = bolt_side(b, 0, offset, cam);
  D3dColor prevColor = bolt_color(b.points[0].color, r, 0, n);
  for (int i = 1; i < n; i++)
  {
    const BoltPoint &a = b.points[i - 1], &e = b.points[i];
    const vec4f side = bolt_side(b, i, offset, cam);
    const D3dColor color = bolt_color(e.color, r, i, n);
    const vec4f pa = a.pos + offset, pe = e.pos + offset;
    EffectVertex *v = static_cast<EffectVertex *>(w.alloc(6 * sizeof(EffectVertex), 2));
    v[0] = effect_vertex(pa + prevSide, prevColor, a.u, 0.75f);
    v[1] = effect_vertex(pa - prevSide, prevColor, a.u, 1.f);
    v[2] = effect_vertex(pe + side, color, e.u, 0.75f);
    v[3] = effect_vertex(pa - prevSide, prevColor, a.u, 1.f);
    v[4] = effect_vertex(pe - side, color, e.u, 1.f);
    v[5] = effect_vertex(pe + side, color, e.u, 0.75f);
    prevSide = side;
    prevColor = color;
  }
}

Shader *fx_shader(FxShader which) { return fx.shaders[fx.singleRt ? 1 : 0][which]; }
}  // namespace

void set_common_fx_camera(const Matrix44 &view_itm) { fx.viewItm = view_itm; }

void reset_common_fx()
{
  clear_particles_and_bolts();
  for (int i = 0; i < MAX_TRAILS; i++)
  {
    TrailSlot &tr = common_fx.trails[i];
    tr.count = 0;
    tr.head = 0;
    tr.stopping = false;
    tr.nextFree = i + 1 < MAX_TRAILS ? i + 1 : -1;
  }
  common_fx.trailFreeHead = 0;
}

void init_common_fx()
{
  reset_common_fx();
  fx.blendTex = get_texture("blendfx.dds");
  fx.glowTex = get_texture("glowfx.dds");
  for (int i = 0; i < SH_COUNT; i++)
  {
    fx.shaders[0][i] = create_shader(shader_files[i], "");
    fx.shaders[1][i] = create_shader(shader_files[i], "SINGLE_RT\0 1\0");
  }
  const VsdElement effect[] = {{0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
                               {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
                               {16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},
                               {0, VSD_END, 0, 0, 0}};
  const VsdElement part[] = {{0, 0, VSDT_SHORT2, VSDU_POSITION, 10},
                             {0, 1, VSDT_FLOAT3, VSDU_POSITION, 0},
                             {12, 1, VSDT_FLOAT2, VSDU_POSITION, 1},
                             {20, 1, VSDT_D3DCOLOR, VSDU_COLOR, 0},
                             {24, 1, VSDT_FLOAT4, VSDU_TEXCOORD, 0},
                             {0, VSD_END, 0, 0, 0}};
  fx.effectDecl = create_vdecl(effect);
  fx.partDecl = create_vdecl(part);
  fx.singleRt = postfx_rt.fp != nullptr;
  const int16_t corners[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
  const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
  fx.cornerVb = create_static_vb(corners, sizeof(corners));
  fx.ib = create_static_ib(idx, 6);
  if (!fx.cornerVb || !fx.ib)
    fatal("can't create particle VB");
}

void close_common_fx()
{
  for (auto &set : fx.shaders)
    for (Shader *&s : set)
    {
      if (s)
        destroy_shader(s);
      s = nullptr;
    }
  if (fx.cornerVb)
    free_vb(fx.cornerVb);
  if (fx.ib)
    free_ib(fx.ib);
  free_texture(fx.blendTex);
  free_texture(fx.glowTex);
  fx = FxRender();
  reset_common_fx();
  for (ParticlePool *pool : {&common_fx.blend, &common_fx.glow})
    pool->parts.clear();
  common_fx.bolts.clear();
}

void update_common_fx(float dt)
{
  update_particle_pool(common_fx.blend, dt);
  update_particle_pool(common_fx.glow, dt);
  update_trails(dt);
  update_lightning(dt);
}

void render_common_fx(float t, float f)
{
  if (!fx.cornerVb)
    return;
  // 1. The effect target(s), depth-tested against the scene, cleared to nothing.
  if (fx.singleRt)
    set_render_target(postfx_rt.fp, 0, true);
  else
  {
    set_render_target(postfx_rt.b, 0, true);
    set_render_target(postfx_rt.a, 1, false);
  }
  clear_view_color(0);
  set_blend_additive();
  set_cull_mode(0);
  set_zwrite(false);
  set_tex_filter(0, true);
  set_tex_address(0, 0, 3);  // the ribbons and bolts run along u

  // 2. Particles: one instanced quad per record.
  DynVBWriter &w = common_vb_writer;
  set_vdecl(fx.partDecl);
  set_vb(0, fx.cornerVb, 0, 4);
  set_vb(1, w.vb, 0, 40);
  set_ib(fx.ib);
  set_vs_const(16, &fx.viewItm.m[0][0], 3);
  set_shader(fx_shader(SH_BLEND_PART));
  set_texture(0, fx.blendTex);
  w.start(inst_dyn_vb_render, inst_render_param(4, 2));
  write_particles(common_fx.blend, t, f);
  w.flush(true);
  set_shader(fx_shader(SH_GLOW_PART));
  set_texture(0, fx.glowTex);
  w.start(inst_dyn_vb_render, inst_render_param(4, 2));
  write_particles(common_fx.glow, t, f);
  w.flush(true);
  set_vb(1, nullptr, 0, 0);
  set_instancing(0);

  // 3. Trails, then bolts, as triangle lists.
  set_vdecl(fx.effectDecl);
  set_vb(0, w.vb, 0, sizeof(EffectVertex));
  set_shader(fx_shader(SH_EFFECT));
  w.start(std_dyn_vb_render, D3DPT_TRIANGLELIST);
  for (const TrailSlot &tr : common_fx.trails)
    if (tr.count > 0)
      write_trail(tr, f);
  for (const LightningBolt &b : common_fx.bolts)
    write_bolt(b, t);
  w.flush(true);
  set_vb(0, nullptr, 0, 0);

  // 4. Back to the scene image.
  set_blend_none();
  set_cull_mode(1);
  set_zwrite(true);
  set_render_target(postfx_rt.scene, 0, true);
  if (!fx.singleRt)
    set_render_target(nullptr, 1, false);

  // 5. The composite over the scene.
  set_shader(fx_shader(SH_POST_BLEND));
  set_texture(0, fx.singleRt ? postfx_rt.fp : postfx_rt.b);
  set_tex_address(0, 3);
  if (!fx.singleRt)
  {
    set_texture(1, postfx_rt.a);
    set_tex_address(1, 3);
  }
  const float mapping[4] = {0.5f, -0.5f, 0.5f / float(d3d_wd) + 0.5f, 0.5f / float(d3d_ht) + 0.5f};
  set_vs_const(16, mapping, 1);
  set_zenable(false);
  set_wireframe(false);  // the composite covers the screen: never as lines (the post-effects follow)
  set_blend_prealpha();
  draw_postfx();
  set_blend_none();
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_texture(0, nullptr);
  set_texture(1, nullptr);
}
