// Flow coordinates: two texture-coordinate pairs per cell that travel with the water. Each step
// traces every cell back along the water's velocity and takes the coordinates found there; each
// pair is reset to a fresh pattern every 40 steps, the two half a cycle apart, and the water
// shader cross-fades them so that neither the stretching nor the reset shows.
#include <cmath>

#include "support/math_util.h"
#include "terrain/game_rnd.h"
#include "world_render/land_render.h"

FlowCell land_flow_uv[2][HMAP_CELLS];

namespace
{
using HD = HeightmapData;

// b brought within half the world of a (the coordinates repeat every 256 units, as the water
// pattern does), so that interpolating across a seam or a reset edge never averages far values.
float near_to(float a, float b)
{
  const float d = b - a;
  return a + d - 256.f * std::round(d / 256.f);
}

// Bilinear interpolation of a flow buffer at (px, pz), wrapping.
FlowCell sample(const FlowCell *buf, float px, float pz)
{
  const int x = ifloor(px), z = ifloor(pz);
  const float fx = px - float(x), fz = pz - float(z);
  const FlowCell &c00 = buf[hmap_idx(x, z)], &c10 = buf[hmap_idx(x + 1, z)];
  const FlowCell &c01 = buf[hmap_idx(x, z + 1)], &c11 = buf[hmap_idx(x + 1, z + 1)];
  auto mix4 = [&](float a, float b, float c, float d) {
    b = near_to(a, b);
    c = near_to(a, c);
    d = near_to(a, d);
    return (a * (1.f - fx) + b * fx) * (1.f - fz) + (c * (1.f - fx) + d * fx) * fz;
  };
  return {mix4(c00.u0, c10.u0, c01.u0, c11.u0), mix4(c00.v0, c10.v0, c01.v0, c11.v0),
          mix4(c00.u1, c10.u1, c01.u1, c11.u1), mix4(c00.v1, c10.v1, c01.v1, c11.v1)};
}

// Pair `pair` of every cell becomes its offset from the camera's cell rotated by a random angle
// and shifted by a random offset; written into both buffers so that the frames of this step do
// not slide from the old pattern to the new one.
void reset_pair(int pair, int cell_x, int cell_z)
{
  const float a = game_rnd_unit(game_rnd()) * 6.2831853f;
  const float ox = game_rnd_unit(game_rnd()) * 256.f;
  const float oz = game_rnd_unit(game_rnd()) * 256.f;
  const float c = std::cos(a), s = std::sin(a);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int j = ((x - cell_x + 128) & 255) - 128, i = ((z - cell_z + 128) & 255) - 128;
      const float u = float(j) * c - float(i) * s + ox, v = float(j) * s + float(i) * c + oz;
      for (FlowCell *buf : {land_flow_uv[0], land_flow_uv[1]})
      {
        FlowCell &cell = buf[hmap_idx(x, z)];
        (pair ? cell.u1 : cell.u0) = u;
        (pair ? cell.v1 : cell.v0) = v;
      }
    }
}
}  // namespace

void reset_flow()
{
  for (FlowCell *buf : {land_flow_uv[0], land_flow_uv[1]})
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
        buf[hmap_idx(x, z)] = {float(x), float(z), float(z), float(x)};
  land.flow_counter = 0;
  land.flow_cur = 0;
}

void step_flow(int cell_x, int cell_z)
{
  land.flow_cur ^= 1;
  const FlowCell *prev = land_flow_uv[land.flow_cur ^ 1];
  FlowCell *cur = land_flow_uv[land.flow_cur];
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const float vx = (HD::water[hmap_idx(x - 1, z)].vel_x + HD::water[hmap_idx(x, z)].vel_x) * 0.5f;
      const float vz = (HD::water[hmap_idx(x, z - 1)].vel_z + HD::water[hmap_idx(x, z)].vel_z) * 0.5f;
      float px = float(x) - vx * LAND_STEP_DT, pz = float(z) - vz * LAND_STEP_DT;
      if (!std::isfinite(px) || !std::isfinite(pz))
        px = float(x), pz = float(z);
      cur[hmap_idx(x, z)] = sample(prev, px, pz);
    }
  if (land.flow_counter == FLOW_CYCLE / 2 - 1)
    reset_pair(0, cell_x, cell_z);
  else if (land.flow_counter == FLOW_CYCLE - 1)
    reset_pair(1, cell_x, cell_z);
  land.flow_counter = (land.flow_counter + 1) % FLOW_CYCLE;
}

float flow_pair_weight(int counter, float f) { return 1.f - std::fabs((float(counter) + f - 20.f) * 0.05f); }
