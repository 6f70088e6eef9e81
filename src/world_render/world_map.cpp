// The world map: three passes into a 512 x 512 target at every land upload. The ground colour
// (point-sampled, two by two pixels per sample), the water drawn as a mesh of the wet quads over
// it with alpha blending, then the light multiplied in.
#include "world_render/world_map.h"

#include <cmath>

#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/debug.h"
#include "terrain/hmap_data.h"
#include "world_render/land_render.h"
#include "world_render/land_textures.h"

Texture *HeightmapRenderer::mapTex = nullptr;

namespace
{
using HD = HeightmapData;

struct MapDevice
{
  VDecl water_decl;
  Shader *surf = nullptr, *water = nullptr, *light = nullptr;
  VertexBuffer *water_vb = nullptr;
  IndexBuffer *water_ib = nullptr;
  bool high = false;
};
MapDevice mdev;

const VsdElement map_water_desc[] = {
    {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
    {4, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},  // depth, foam
    {0, VSD_END, 0, 0, 0},
};

bool wet(int x, int z) { return HD::water[hmap_idx(x, z)].depth > MAP_WET_DEPTH; }

// Appends the two triangles of quad (x, z) with indices relative to vertex `base`.
uint16_t *emit_quad(uint16_t *p, int x, int z, int base)
{
  const int v = z * MAP_GRID + x - base;
  const uint16_t a = uint16_t(v), b = uint16_t(v + MAP_GRID), c = uint16_t(v + 1), d = uint16_t(v + MAP_GRID + 1);
  *p++ = a, *p++ = b, *p++ = c;
  *p++ = c, *p++ = b, *p++ = d;
  return p;
}

// The full-target passes: vs_c[16] maps the quad to texture coordinates at the map's pixel centres
// (half a texel of 512), vs_c[17] turns them north up: tc' = tc * (1, -1) + (0, 1).
void set_full_pass_constants()
{
  const float tc[4] = {0.5f, -0.5f, 0.5f + 0.5f / WORLD_MAP_SIZE, 0.5f + 0.5f / WORLD_MAP_SIZE};
  const float scale[4] = {1.f, -1.f, 0.f, 1.f};
  set_vs_const(16, tc, 1);
  set_vs_const(17, scale, 1);
}

void bind(int stage, Texture *t, bool linear)
{
  set_texture(stage, t);
  set_tex_filter(stage, linear);
  set_tex_address(stage, 0);
}

void map_pass_state()
{
  set_render_target(HeightmapRenderer::mapTex, 0, false);
  land_pass_state();
}

// Draws the wet quads four times, shifted by a whole world left and down, so that the edge of the
// map that lies half a sample beyond the grid shows the water across the seam.
void draw_water(const MapWaterBatches &b)
{
  // vs_c[18]: sample (x, z) to clip space, the sample at the centre of its two by two pixels.
  const float place[4] = {2.f / 256.f, 0.5f / 256.f - 1.f, 2.f / 256.f, 1.5f / 256.f - 1.f};
  set_vs_const(18, place, 1);
  set_vdecl(mdev.water_decl);
  set_shader(mdev.water);
  set_vb(0, mdev.water_vb, 0, sizeof(MapWaterVertex));
  set_ib(mdev.water_ib);
  set_blend_alpha();
  for (int copy = 0; copy < 4; copy++)
  {
    const float shift[4] = {copy & 1 ? -2.f : 0.f, copy & 2 ? -2.f : 0.f, 0.f, 0.f};
    set_vs_const(19, shift, 1);
    if (b.first_quads > 0)
      draw_indexed(D3DPT_TRIANGLELIST, 0, 0, MAP_GRID * MAP_GRID, 0, uint32_t(b.first_quads * 2));
    if (b.second_quads > 0)
      draw_indexed(D3DPT_TRIANGLELIST, MAP_SPLIT_VERTEX, 0, 3 * MAP_GRID, uint32_t(b.first_quads * 6),
                   uint32_t(b.second_quads * 2));
  }
}
}  // namespace

void world_map_uv(float x, float z, float &u, float &v)
{
  u = (x + 0.5f) / 256.f;
  v = 1.f - (z + 0.5f) / 256.f;
  u -= std::floor(u);
  v -= std::floor(v);
}

MapWaterBatches build_map_water_indices(uint16_t *out)
{
  MapWaterBatches b;
  uint16_t *p = out;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const bool second = z >= MAP_SPLIT_ROW;
    for (int x = 0; x < HMAP_SIZE; x++)
      if (wet(x, z) || wet(x + 1, z) || wet(x, z + 1) || wet(x + 1, z + 1))
      {
        p = emit_quad(p, x, z, second ? MAP_SPLIT_VERTEX : 0);
        (second ? b.second_quads : b.first_quads)++;
      }
  }
  return b;
}

void build_map_water_vertices(MapWaterVertex *out)
{
  for (int z = 0; z < MAP_GRID; z++)
    for (int x = 0; x < MAP_GRID; x++)
    {
      const HD::Water &w = HD::water[hmap_idx(x, z)];
      *out++ = {int16_t(x), int16_t(z), w.depth, w.foam};
    }
}

void init_world_map(bool high)
{
  close_world_map();
  mdev.high = high;
  mdev.water_decl = create_vdecl(map_water_desc);
  mdev.surf = create_shader("map_surf.sh", nullptr);
  mdev.water = create_shader("map_water.sh", nullptr);
  mdev.light = create_shader(high ? "map_light.sh" : "map_light_low.sh", nullptr);
  HeightmapRenderer::mapTex = create_render_target(WORLD_MAP_SIZE, WORLD_MAP_SIZE, 1);
  if (!HeightmapRenderer::mapTex)
    fatal("can't create world map texture");
  mdev.water_vb = create_vb(MAP_GRID * MAP_GRID * sizeof(MapWaterVertex), 0);
  if (!mdev.water_vb)
    fatal("Can't create map water VB");
  mdev.water_ib = create_ib(MAP_INDICES, 0);
  if (!mdev.water_ib)
    fatal("Can't create map water IB");
}

void close_world_map()
{
  release_texture(HeightmapRenderer::mapTex);
  HeightmapRenderer::mapTex = nullptr;
  for (Shader *s : {mdev.surf, mdev.water, mdev.light})
    destroy_shader(s);
  free_vb(mdev.water_vb);
  free_ib(mdev.water_ib);
  mdev = MapDevice();  // the declaration is shared and lives until the device closes
}

void update_world_map()
{
  if (!HeightmapRenderer::mapTex)
    return;
  map_pass_state();
  set_full_pass_constants();

  // Ground: the colour with the top colour over it.
  bind(0, land.colrTex, false);
  bind(1, land.topcTex, false);
  set_shader(mdev.surf);
  draw_postfx();

  auto *idx = static_cast<uint16_t *>(lock_ib(mdev.water_ib, 0, 0));
  G_ASSERT(idx);
  const MapWaterBatches b = build_map_water_indices(idx);
  unlock_ib(mdev.water_ib);
  if (b.first_quads + b.second_quads > 0)
  {
    auto *v = static_cast<MapWaterVertex *>(lock_vb(mdev.water_vb, 0, 0));
    G_ASSERT(v);
    build_map_water_vertices(v);
    unlock_vb(mdev.water_vb);
    draw_water(b);
  }

  // Light: normals (and the aperture at high quality) of the newest generation, multiplied in.
  bind(0, land.normGen[land.norm_new], true);
  bind(1, mdev.high ? land.aperGen[land.norm_new] : nullptr, true);
  set_full_pass_constants();
  set_shader(mdev.light);
  set_blend_multiply();
  draw_postfx();
  set_blend_none();

  for (int s = 0; s < 2; s++)
    set_texture(s, nullptr);
  restore_back_buffer();
  set_cull_mode(1);
}
