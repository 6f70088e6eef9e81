// The world textures: point-list uploads into render targets, the normal and aperture passes and
// their cross-fades. Every pass draws without a depth surface and sets the depth, stencil,
// wireframe, colour-mask and blend state it needs.
#include "world_render/land_textures.h"

#include <algorithm>
#include <cstring>

#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/debug.h"
#include "world_render/land_render.h"
#include "world_render/sky.h"
#include "world_render/world_map.h"

namespace
{
using HD = HeightmapData;

struct UploadPoint  // one texel: (x, z) and its value (a float or a D3DCOLOR)
{
  int16_t x, z;
  uint32_t value;
};
static_assert(sizeof(UploadPoint) == 8);

struct TextureDevice
{
  VDecl float_decl, color_decl;
  VertexBuffer *point_vb = nullptr;
  Shader *load_float = nullptr, *load_color = nullptr, *calc_norm = nullptr, *interp = nullptr;
  Shader *calc_aper[3] = {};
};
TextureDevice tdev;

const VsdElement float_point_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 0},
    {0, VSD_END, 0, 0, 0},
};
const VsdElement color_point_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
    {0, VSD_END, 0, 0, 0},
};

// Draws one point per sample of the rectangle into `target`, 4096 per batch.
template <typename ValueFn>
void upload_points(Texture *target, Shader *sh, VDecl decl, int x0, int z0, int nx, int nz, ValueFn value)
{
  set_render_target(target, 0, false);
  set_shader(sh);
  set_vdecl(decl);
  set_vb(0, tdev.point_vb, 0, sizeof(UploadPoint));
  const int total = nx * nz;
  for (int start = 0; start < total; start += LAND_UPLOAD_BATCH)
  {
    const int n = std::min(LAND_UPLOAD_BATCH, total - start);
    auto *p = static_cast<UploadPoint *>(lock_vb(tdev.point_vb, 0, 0));
    G_ASSERT(p);
    for (int i = 0; i < n; i++)
    {
      const int x = x0 + (start + i) % nx, z = z0 + (start + i) / nx;
      p[i] = {int16_t(x), int16_t(z), value(hmap_idx(x, z))};
    }
    unlock_vb(tdev.point_vb);
    draw_prim(D3DPT_POINTLIST, 0, uint32_t(n));
  }
}

// A full-target pass of `sh` into `target` (size x size), reading stage 0.
void full_pass(Texture *target, Shader *sh, int size)
{
  set_render_target(target, 0, false);
  set_shader(sh);
  const float c16[4] = {0.5f, -0.5f, 0.5f / float(size) + 0.5f, 0.5f / float(size) + 0.5f};
  set_vs_const(16, c16, 1);
  draw_postfx();
}

void bind_levels()
{
  set_texture(0, land.hmapTex);
  set_tex_filter(0, true);
  set_tex_address(0, 0);
}

// The land shader's noise: 128 x 128 texels of four independent random bytes (a fixed sequence),
// read with linear filtering as smooth value noise.
Texture *create_noise_texture()
{
  constexpr int N = 128;
  Texture *t = create_managed_texture(N, N);
  int pitch = 0;
  auto *p = static_cast<uint8_t *>(t ? lock_texture(t, pitch, true) : nullptr);
  if (!p)
  {
    release_texture(t);
    return nullptr;
  }
  uint32_t state = 0x9E3779B9u;
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N * 4; x++)
    {
      state = state * 1664525u + 1013904223u;
      p[y * pitch + x] = uint8_t(state >> 24);
    }
  unlock_texture(t);
  return t;
}

void cross_fade(Texture *target, Texture *const gen[2], int size, float f)
{
  set_texture(0, gen[land.norm_new ^ 1]);
  set_texture(1, gen[land.norm_new]);
  for (int s = 0; s < 2; s++)
  {
    set_tex_filter(s, false);
    set_tex_address(s, 0);
  }
  const float c[4] = {f, f, f, f};
  set_ps_const(0, c, 1);
  full_pass(target, tdev.interp, size);
}
}  // namespace

// The state of every pass: one target (others the scene frame may have left are unbound), no
// depth, stencil, blending, alpha test, culling or wireframe, all channels written.
void land_pass_state()
{
  for (int i = 1; i < 4; i++)
    set_render_target(nullptr, i, false);
  set_zenable(false);
  set_zwrite(false);
  set_stencil_test(0, 0, 0);
  set_stencil_replace_bits(0);
  set_wireframe(false);
  set_color_write_mask(0xF);
  set_blend_none();
  set_atest(0);
  set_cull_mode(0);
}

void init_land_textures(bool high)
{
  close_land_textures();
  tdev.float_decl = create_vdecl(float_point_desc);
  tdev.color_decl = create_vdecl(color_point_desc);
  tdev.load_float = create_shader("load_float.sh", nullptr);
  tdev.load_color = create_shader("load_color.sh", nullptr);
  tdev.calc_norm = create_shader(high ? "calc_norm.sh" : "calc_norm_low.sh", nullptr);
  tdev.interp = create_shader("interp_tex.sh", nullptr);
  bool ok = true;
  if (high)
  {
    static const char *const variants[3] = {"QUALITY\0 0\0", "QUALITY\0 1\0", "QUALITY\0 2\0"};
    for (int q = 0; q < 3; q++)
      tdev.calc_aper[q] = create_shader("calc_aper.sh", variants[q]);
    for (Texture **t : {&land.aperTex, &land.aperGen[0], &land.aperGen[1]})
      ok = (*t = create_render_target(HMAP_SIZE, HMAP_SIZE, 1)) && ok;
  }
  for (Texture **t : {&land.normTex, &land.normGen[0], &land.normGen[1]})
    ok = (*t = create_render_target(LAND_NORM_SIZE, LAND_NORM_SIZE, 1)) && ok;
  ok = (land.colrTex = create_render_target(HMAP_SIZE, HMAP_SIZE, 1)) && ok;
  ok = (land.topcTex = create_render_target(HMAP_SIZE, HMAP_SIZE, 1)) && ok;
  ok = (land.hmapTex = create_render_target(HMAP_SIZE, HMAP_SIZE, 6)) && ok;
  ok = (land.detailTex = get_texture("detail.dds", false)) && ok;
  if (high)
    ok = (land.foamTex = get_texture("foam.dds", false)) && ok;
  ok = (land.noiseTex = create_noise_texture()) && ok;
  if (!ok)
    fatal("can't create land textures");
  tdev.point_vb = create_vb(LAND_UPLOAD_BATCH * sizeof(UploadPoint), 0);
  if (!tdev.point_vb)
    fatal("Can't create color VB");
}

void close_land_textures()
{
  for (Texture **t : {&land.noiseTex, &land.hmapTex, &land.normTex, &land.aperTex, &land.colrTex, &land.topcTex, &land.normGen[0],
                      &land.normGen[1], &land.aperGen[0], &land.aperGen[1]})
  {
    release_texture(*t);
    *t = nullptr;
  }
  for (Texture **t : {&land.detailTex, &land.foamTex})
  {
    free_texture(*t);
    *t = nullptr;
  }
  for (Shader *s : {tdev.load_float, tdev.load_color, tdev.calc_norm, tdev.interp, tdev.calc_aper[0],
                    tdev.calc_aper[1], tdev.calc_aper[2]})
    destroy_shader(s);
  free_vb(tdev.point_vb);
  tdev = TextureDevice();
}

void upload_world_rect(int x0, int z0, int nx, int nz)
{
  G_ASSERT(nx > 0 && nz > 0);
  G_ASSERT(x0 >= 0 && z0 >= 0 && x0 + nx <= HMAP_SIZE && z0 + nz <= HMAP_SIZE);
  land_pass_state();
  upload_points(land.hmapTex, tdev.load_float, tdev.float_decl, x0, z0, nx, nz, [](int i) {
    uint32_t bits;
    const float level = HD::hmap[i] + HD::water[i].depth;
    std::memcpy(&bits, &level, 4);
    return bits;
  });
  upload_points(land.colrTex, tdev.load_color, tdev.color_decl, x0, z0, nx, nz,
                [](int i) { return HD::surface[i].color; });
  upload_points(land.topcTex, tdev.load_color, tdev.color_decl, x0, z0, nx, nz,
                [](int i) { return HD::surface[i].top_color; });
}

void upload_world(int shadow_quality, bool both)
{
  upload_world_rect(0, 0, HMAP_SIZE, HMAP_SIZE);
  bind_levels();
  vec4f sun[SKY_REGISTERS];
  get_sky_registers(sun);
  set_ps_const(0, reinterpret_cast<const float *>(sun), 1);
  for (int pass = 0; pass < (both ? 2 : 1); pass++)
  {
    // The older generation takes the new normals and becomes the newest.
    land.norm_new ^= 1;
    full_pass(land.normGen[land.norm_new], tdev.calc_norm, LAND_NORM_SIZE);
    if (land.aperGen[0])
      full_pass(land.aperGen[land.norm_new], tdev.calc_aper[std::clamp(shadow_quality, 0, 2)], HMAP_SIZE);
  }
  update_world_map();
  set_texture(0, nullptr);
  restore_back_buffer();
  set_cull_mode(1);
}

void cross_fade_world(float f)
{
  if (!land.normTex)
    return;
  land_pass_state();
  cross_fade(land.normTex, land.normGen, LAND_NORM_SIZE, f);
  if (land.aperTex)
    cross_fade(land.aperTex, land.aperGen, HMAP_SIZE, f);
  set_texture(0, nullptr);
  set_texture(1, nullptr);
  restore_back_buffer();
  set_cull_mode(1);
}
