// The land's and the water's per-frame geometry around the camera, built on the CPU. Grid vertex
// (j, i) lies at the unwrapped world position (cx + j, cz + i) and reads the world at the wrapped
// sample, so the view spans the world's seam.
#include <algorithm>
#include <cmath>

#include "support/math_util.h"
#include "world_render/land_render.h"

namespace
{
using HD = HeightmapData;

bool in_view(int k, int j)
{
  const int a = 2 * k - LAND_QUADS, b = 2 * j - LAND_QUADS;
  return a * a + b * b <= LAND_VIEW_R2;
}

bool in_near_block(int k, int j)
{
  return k >= LAND_NEAR_FIRST && k < LAND_NEAR_FIRST + LAND_NEAR && j >= LAND_NEAR_FIRST &&
         j < LAND_NEAR_FIRST + LAND_NEAR;
}

bool is_house(int x, int z) { return HD::surface[hmap_idx(x, z)].ground_type == GT_HOUSE; }

void house(int x, int z)
{
  if (land_hooks.render_building)
    land_hooks.render_building(HD::surface[hmap_idx(x, z)], x, z);
}

// Two triangles of the quad whose first vertex is v in a grid `row` vertices wide, clockwise seen
// from above (the default culling keeps them).
uint16_t *emit_quad(uint16_t *p, int v, int row)
{
  p[0] = uint16_t(v);
  p[1] = uint16_t(v + row);
  p[2] = uint16_t(v + 1);
  p[3] = uint16_t(v + 1);
  p[4] = uint16_t(v + row);
  p[5] = uint16_t(v + row + 1);
  return p + 6;
}

int16_t pack16(float v, float scale)
{
  return int16_t(std::clamp(v * scale, 0.f, 32767.f));
}
}  // namespace

int build_near_field(int cx, int cz, const float *curh, LandInstance *out)
{
  int n = 0;
  for (int k = LAND_NEAR_FIRST; k < LAND_NEAR_FIRST + LAND_NEAR; k++)
    for (int j = LAND_NEAR_FIRST; j < LAND_NEAR_FIRST + LAND_NEAR; j++)
    {
      const int x = cx + j, z = cz + k;
      if (is_house(x, z))
      {
        house(x, z);
        continue;
      }
      LandInstance &o = out[n++];
      o.x = int16_t(x);
      o.z = int16_t(z);
      o.h[0] = curh[hmap_idx(x, z)];
      o.h[1] = curh[hmap_idx(x + 1, z)];
      o.h[2] = curh[hmap_idx(x, z + 1)];
      o.h[3] = curh[hmap_idx(x + 1, z + 1)];
    }
  return n;
}

void build_far_vertices(int cx, int cz, const float *curh, LandVertex *out)
{
  for (int i = 0; i < LAND_GRID; i++)
    for (int j = 0; j < LAND_GRID; j++)
    {
      LandVertex &v = *out++;
      v.x = int16_t(cx + j);
      v.z = int16_t(cz + i);
      v.h = curh[hmap_idx(cx + j, cz + i)];
    }
}

int build_far_indices(int cx, int cz, uint16_t *out)
{
  uint16_t *p = out;
  for (int k = 0; k < LAND_QUADS; k++)
    for (int j = 0; j < LAND_QUADS; j++)
    {
      if (!in_view(k, j) || in_near_block(k, j))
        continue;
      if (is_house(cx + j, cz + k))
        house(cx + j, cz + k);
      else
        p = emit_quad(p, k * LAND_GRID + j, LAND_GRID);
    }
  return int(p - out) / 6;
}

void build_water_vertices(int cx, int cz, const float *curh, const float *depth, float f, int quality,
                          void *out)
{
  const bool high = quality == 1;
  const float e = high ? WATER_WET_HIGH : WATER_WET_LOW;
  const float sink = high ? 0.f : 0.1f;
  const FlowCell *prev = land_flow_uv[land.flow_cur ^ 1], *cur = land_flow_uv[land.flow_cur];
  auto *lo = static_cast<WaterVertexLow *>(out);
  auto *hi = static_cast<WaterVertexHigh *>(out);
  for (int i = 0; i < LAND_GRID; i++)
    for (int j = 0; j < LAND_GRID; j++)
    {
      const int x = cx + j, z = cz + i, idx = hmap_idx(x, z);
      const float d = depth[idx];
      float level;
      if (d > e)
        level = curh[idx] + d - sink;
      else
      {
        // A dry vertex takes the average level of its wet neighbours, never above the ground, so
        // the water's edge runs into the shore.
        float sum = 0.f;
        int wet = 0;
        for (int dz = -1; dz <= 1; dz++)
          for (int dx = -1; dx <= 1; dx++)
          {
            const int n = hmap_idx(x + dx, z + dz);
            if ((dx || dz) && depth[n] > e)
            {
              sum += curh[n] + depth[n];
              wet++;
            }
          }
        level = (wet ? std::min(sum / float(wet), curh[idx]) : curh[idx]) - sink;
      }
      const float foam = HD::tmpw[idx].foam + (HD::water[idx].foam - HD::tmpw[idx].foam) * f;
      if (high)
      {
        WaterVertexHigh &v = *hi++;
        v.x = int16_t(x);
        v.z = int16_t(z);
        v.level = level;
        v.flow[0] = prev[idx].u0 + (cur[idx].u0 - prev[idx].u0) * f;
        v.flow[1] = prev[idx].v0 + (cur[idx].v0 - prev[idx].v0) * f;
        v.flow[2] = prev[idx].u1 + (cur[idx].u1 - prev[idx].u1) * f;
        v.flow[3] = prev[idx].v1 + (cur[idx].v1 - prev[idx].v1) * f;
        v.foam = pack16(foam, 32767.f);
        v.depth = pack16(d, 1024.f);
      }
      else
      {
        WaterVertexLow &v = *lo++;
        v.x = int16_t(x);
        v.z = int16_t(z);
        v.level = level;
        v.foam = pack16(foam, 32767.f);
        v.depth = pack16(d - sink, 1024.f);  // the column above the lowered surface's ground
      }
    }
}

int build_water_indices(int cx, int cz, float wet, uint16_t *out)
{
  auto dry = [&](int x, int z) {
    const int idx = hmap_idx(x, z);
    return HD::water[idx].depth <= wet && HD::tmpw[idx].depth <= wet;
  };
  uint16_t *p = out;
  for (int k = 0; k < LAND_QUADS; k++)
    for (int j = 0; j < LAND_QUADS; j++)
    {
      if (!in_view(k, j))
        continue;
      const int x = cx + j, z = cz + k;
      if (dry(x, z) && dry(x + 1, z) && dry(x, z + 1) && dry(x + 1, z + 1))
        continue;
      p = emit_quad(p, k * LAND_GRID + j, LAND_GRID);
    }
  return int(p - out) / 6;
}

int build_horizon_indices(uint16_t *out)
{
  uint16_t *p = out;
  for (int k = 0; k < HORIZON_GRID - 1; k++)
    for (int j = 0; j < HORIZON_GRID - 1; j++)
    {
      const int a = 2 * k - (HORIZON_GRID - 1), b = 2 * j - (HORIZON_GRID - 1);
      if (a * a + b * b > HORIZON_INNER_R2)
        p = emit_quad(p, k * HORIZON_GRID + j, HORIZON_GRID);
    }
  return int(p - out) / 6;
}

void build_horizon_vertices(int cell_x, int cell_z, const float *curh, const float *depth, LandVertex *out)
{
  const int span = (HORIZON_GRID - 1) * HORIZON_SPACING / 2;  // 382: the ring is centred
  const int x0 = ifloor(float(cell_x - span - 1) / HORIZON_SPACING) * HORIZON_SPACING;
  const int z0 = ifloor(float(cell_z - span - 1) / HORIZON_SPACING) * HORIZON_SPACING;
  for (int i = 0; i < HORIZON_GRID; i++)
    for (int j = 0; j < HORIZON_GRID; j++)
    {
      const int x = x0 + j * HORIZON_SPACING, z = z0 + i * HORIZON_SPACING, idx = hmap_idx(x, z);
      float level = curh[idx] + depth[idx];
      const float dist = std::sqrt(float((x - cell_x) * (x - cell_x) + (z - cell_z) * (z - cell_z)));
      if (dist > 128.f)
      {
        // The ring bends away towards the horizon.
        const float t = (dist - 128.f) / 256.f;
        level -= t * t * 128.f;
      }
      LandVertex &v = *out++;
      v.x = int16_t(x);
      v.z = int16_t(z);
      v.h = level;
    }
}
