// The land and water renderer: device objects, the per-step and per-frame updates and the draws.
// The world textures and their passes live in land_textures.cpp, the geometry in
// land_geometry.cpp, the flow coordinates in land_flow.cpp.
#include "world_render/land_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/debug.h"
#include "support/splash.h"
#include "world_render/land_textures.h"
#include "world_render/sky.h"
#include "world_render/world_map.h"

LandState land;
LandHooks land_hooks;
float land_curh[HMAP_CELLS];
float land_depth_lerp[HMAP_CELLS];

namespace
{
using HD = HeightmapData;

constexpr int FAR_INDICES = LAND_QUADS * LAND_QUADS * 6;
constexpr int WATER_INDICES = LAND_GRID * LAND_GRID * 6;  // 393216, room for every quad
constexpr int HORIZON_INDICES = (HORIZON_GRID - 1) * (HORIZON_GRID - 1) * 6;

struct LandDevice
{
  VDecl inst_decl, far_decl, water_decl;
  Shader *land_sh = nullptr, *land_inst_sh = nullptr, *water_sh = nullptr, *horizon_sh = nullptr;
  VertexBuffer *patch_vb = nullptr, *inst_vb = nullptr, *far_vb = nullptr, *water_vb = nullptr,
               *horizon_vb = nullptr;
  IndexBuffer *patch_ib = nullptr, *far_ib = nullptr, *water_ib = nullptr, *horizon_ib = nullptr;
  int horizon_count = 0;
};
LandDevice dev;

const VsdElement inst_desc[] = {
    {0, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},   // patch vertex (u, v)
    {0, 1, VSDT_SHORT2, VSDU_POSITION, 0},   // square (x, z)
    {4, 1, VSDT_FLOAT4, VSDU_TEXCOORD, 1},   // corner heights
    {0, VSD_END, 0, 0, 0},
};
const VsdElement far_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 0},
    {0, VSD_END, 0, 0, 0},
};
const VsdElement water_high_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 0},   // level
    {8, 0, VSDT_FLOAT4, VSDU_TEXCOORD, 1},   // flow pairs
    {24, 0, VSDT_SHORT2, VSDU_TEXCOORD, 2},  // foam, depth
    {0, VSD_END, 0, 0, 0},
};
const VsdElement water_low_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 0},
    {8, 0, VSDT_SHORT2, VSDU_TEXCOORD, 2},
    {0, VSD_END, 0, 0, 0},
};

bool high() { return land.quality == 1; }
int water_stride() { return high() ? int(sizeof(WaterVertexHigh)) : int(sizeof(WaterVertexLow)); }

template <typename T>
T *lock_whole(VertexBuffer *vb)
{
  void *p = lock_vb(vb, 0, 0);
  G_ASSERT(p);
  return static_cast<T *>(p);
}

uint16_t *lock_whole(IndexBuffer *ib)
{
  void *p = lock_ib(ib, 0, 0);
  G_ASSERT(p);
  return static_cast<uint16_t *>(p);
}

void create_patch_mesh()
{
  auto *v = lock_whole<float>(dev.patch_vb);
  for (int k = 0; k < 25; k++)
  {
    v[k * 2] = float(k % 5) / 4.f;
    v[k * 2 + 1] = float(k / 5) / 4.f;
  }
  unlock_vb(dev.patch_vb);
  uint16_t *p = lock_whole(dev.patch_ib);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
    {
      const uint16_t q = uint16_t(r * 5 + c);
      const uint16_t tri[6] = {q, uint16_t(q + 5), uint16_t(q + 1), uint16_t(q + 1), uint16_t(q + 5),
                               uint16_t(q + 6)};
      std::memcpy(p, tri, sizeof(tri));
      p += 6;
    }
  unlock_ib(dev.patch_ib);
}

// The sky registers: vertex registers 30..42 (as the scene frame sets them) and pixel registers
// 0..11, where the land and water shaders read them; pixel register 14: the water's clock.
void set_light_constants()
{
  vec4f regs[SKY_REGISTERS];
  get_sky_registers(regs);
  set_vs_const(30, reinterpret_cast<const float *>(regs), SKY_REGISTERS);
  set_ps_const(0, reinterpret_cast<const float *>(regs), 12);
  // An hour's period keeps the shader's float time precise however long the game runs.
  const float clock[4] = {(float(land.steps % 72000) + land.frame_f) * LAND_STEP_DT, 0.f, 0.f, 0.f};
  set_ps_const(14, clock, 1);
}

// Vertex register 16: world position to world-texture coordinate (1/256, 1/256, half a sample of
// the 256 textures, half a texel of the normals).
void set_world_mapping()
{
  const float c16[4] = {1.f / 256.f, 1.f / 256.f, 1.f / 512.f, 1.f / 2048.f};
  set_vs_const(16, c16, 1);
}

// The camera's cell: its position rounded (a position that is not finite counts as the origin).
void set_camera_cell(vec4f camera)
{
  const float x = v_extract_x(camera), z = v_extract_z(camera);
  const bool ok = std::isfinite(x) && std::isfinite(z) && std::fabs(x) < 30000.f && std::fabs(z) < 30000.f;
  land.cell_x = ok ? int(std::lround(x)) : 0;
  land.cell_z = ok ? int(std::lround(z)) : 0;
}

void bind_land_textures()
{
  set_texture(0, land.aperTex);
  set_texture(1, land.normTex);
  set_texture(2, land.colrTex);
  set_texture(3, land.topcTex);
  set_texture(4, land.detailTex);
  set_texture(6, land.noiseTex);
  for (int s : {0, 1, 2, 3, 4, 6})
  {
    set_tex_filter(s, true);
    set_tex_address(s, 0);
  }
}
}  // namespace

void init_land_render(int quality)
{
  close_land_render();
  land = LandState();
  land.quality = quality;
  show_splash("Compiling land shaders", 0.f);

  dev.inst_decl = create_vdecl(inst_desc);
  dev.far_decl = create_vdecl(far_desc);
  dev.water_decl = create_vdecl(high() ? water_high_desc : water_low_desc);

  const char *land_file = high() ? "dr_land.sh" : "land.sh";
  static const char inst_define[] = "INST\0 1\0";
  dev.land_sh = create_shader(land_file, nullptr);
  dev.land_inst_sh = create_shader(land_file, inst_define);
  dev.water_sh = create_shader(high() ? "dr_water.sh" : "water.sh", nullptr);
  dev.horizon_sh = create_shader("horizon.sh", nullptr);
  init_land_textures(high());
  init_world_map(high());

  dev.inst_vb = create_vb(LAND_NEAR * LAND_NEAR * sizeof(LandInstance), 0);
  dev.far_vb = create_vb(LAND_GRID * LAND_GRID * sizeof(LandVertex), 0);
  dev.horizon_vb = create_vb(HORIZON_GRID * HORIZON_GRID * sizeof(LandVertex), 0);
  if (!dev.far_vb || !dev.horizon_vb || !dev.inst_vb)
    fatal("Can't create land VB");
  dev.water_vb = create_vb(uint32_t(LAND_GRID * LAND_GRID * water_stride()), 0);
  if (!dev.water_vb)
    fatal("Can't create water VB");
  dev.patch_vb = create_vb(25 * 2 * sizeof(float), BUF_STATIC);
  dev.patch_ib = create_ib(96, BUF_STATIC);
  dev.far_ib = create_ib(FAR_INDICES, 0);
  dev.horizon_ib = create_ib(HORIZON_INDICES, BUF_STATIC);
  if (!dev.patch_vb || !dev.patch_ib || !dev.far_ib || !dev.horizon_ib)
    fatal("Can't create land IB");
  dev.water_ib = create_ib(WATER_INDICES, 0);
  if (!dev.water_ib)
    fatal("Can't create water IB");
  create_patch_mesh();
  dev.horizon_count = build_horizon_indices(lock_whole(dev.horizon_ib));
  unlock_ib(dev.horizon_ib);

  reset_flow();
  land_request_full_update();
}

void close_land_render()
{
  close_world_map();
  close_land_textures();
  for (Shader **s : {&dev.land_sh, &dev.land_inst_sh, &dev.water_sh, &dev.horizon_sh})
  {
    destroy_shader(*s);
    *s = nullptr;
  }
  for (VertexBuffer *vb : {dev.patch_vb, dev.inst_vb, dev.far_vb, dev.water_vb, dev.horizon_vb})
    free_vb(vb);
  for (IndexBuffer *ib : {dev.patch_ib, dev.far_ib, dev.water_ib, dev.horizon_ib})
    free_ib(ib);
  dev = LandDevice();  // declarations are shared and live until the device closes
}

void land_request_full_update()
{
  land.world_changed = true;
  land.full_update = true;
}

void land_step_update(vec4f camera)
{
  set_camera_cell(camera);
  if (high())
    step_flow(land.cell_x, land.cell_z);
  land.steps++;
  land.world_changed = true;
}

void land_frame_update(float dt, vec4f camera, int shadow_quality)
{
  if (!dev.far_vb)
    return;
  const float f = std::isfinite(dt) ? std::clamp(dt * 20.f, 0.f, 1.f) : 0.f;
  land.frame_f = f;
  if (land.world_changed)
  {
    upload_world(shadow_quality, land.full_update);
    land.world_changed = land.full_update = false;
  }
  cross_fade_world(f);

  HD::morphHmap(dt, land_curh);
  set_camera_cell(camera);
  const int cx = land.cell_x - 128, cz = land.cell_z - 128;

  land.near_count = build_near_field(cx, cz, land_curh, lock_whole<LandInstance>(dev.inst_vb));
  unlock_vb(dev.inst_vb);
  build_far_vertices(cx, cz, land_curh, lock_whole<LandVertex>(dev.far_vb));
  unlock_vb(dev.far_vb);
  land.far_quads = build_far_indices(cx, cz, lock_whole(dev.far_ib));
  unlock_ib(dev.far_ib);

  for (int i = 0; i < HMAP_CELLS; i++)
    land_depth_lerp[i] = HD::tmpw[i].depth + (HD::water[i].depth - HD::tmpw[i].depth) * f;
  if (high())
  {
    build_horizon_vertices(land.cell_x, land.cell_z, land_curh, land_depth_lerp,
                           lock_whole<LandVertex>(dev.horizon_vb));
    unlock_vb(dev.horizon_vb);
  }
  build_water_vertices(cx, cz, land_curh, land_depth_lerp, f, land.quality, lock_whole<uint8_t>(dev.water_vb));
  unlock_vb(dev.water_vb);
  land.water_quads = build_water_indices(cx, cz, high() ? WATER_WET_HIGH : WATER_WET_LOW, lock_whole(dev.water_ib));
  unlock_ib(dev.water_ib);
}

void draw_land()
{
  if (!dev.far_vb)
    return;
  bind_land_textures();
  set_world_mapping();
  set_light_constants();

  set_vdecl(dev.inst_decl);
  set_shader(dev.land_inst_sh);
  set_vb(0, dev.patch_vb, 0, 8);
  set_vb(1, dev.inst_vb, 0, sizeof(LandInstance));
  set_ib(dev.patch_ib);
  if (land.near_count > 0)
  {
    set_instancing(land.near_count);
    draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 25, 0, 32);
    set_instancing(0);
  }
  set_vb(1, nullptr, 0, 0);

  set_vdecl(dev.far_decl);
  set_shader(dev.land_sh);
  set_vb(0, dev.far_vb, 0, sizeof(LandVertex));
  set_ib(dev.far_ib);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_GRID * LAND_GRID, 0, uint32_t(land.far_quads * 2));
}

void draw_water(float f)
{
  if (!dev.water_vb)
    return;
  set_light_constants();
  set_texture(4, land.detailTex);
  set_tex_filter(4, true);
  set_tex_address(4, 0);
  set_world_mapping();
  if (high())
  {
    set_texture(0, land.aperTex);
    set_texture(5, land.foamTex);
    set_tex_filter(5, true);
    set_tex_address(5, 0);
    const float w = flow_pair_weight(land.flow_counter, f);
    const float weight[8] = {w, w, w, w, w, w, w, w};
    set_ps_const(12, weight, 2);
  }
  set_vdecl(dev.water_decl);
  set_shader(dev.water_sh);
  set_vb(0, dev.water_vb, 0, uint32_t(water_stride()));
  set_ib(dev.water_ib);
  set_blend_alpha();
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_GRID * LAND_GRID, 0, uint32_t(land.water_quads * 2));
  set_blend_none();
  if (high())
  {
    // The horizon that follows in the deferred path reads the levels.
    set_texture(1, land.hmapTex);
    set_tex_filter(1, true);
    set_tex_address(1, 0);
  }
}

void draw_horizon()
{
  if (!dev.horizon_vb || !high())
    return;
  set_light_constants();
  set_world_mapping();
  set_texture(1, land.hmapTex);
  set_texture(2, land.colrTex);
  set_texture(3, land.topcTex);
  for (int s = 1; s < 4; s++)
  {
    set_tex_filter(s, true);
    set_tex_address(s, 0);
  }
  set_vdecl(dev.far_decl);
  set_shader(dev.horizon_sh);
  set_vb(0, dev.horizon_vb, 0, sizeof(LandVertex));
  set_ib(dev.horizon_ib);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, HORIZON_GRID * HORIZON_GRID, 0, uint32_t(dev.horizon_count * 2));
}
