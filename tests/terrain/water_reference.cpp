#include "water_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/math_util.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
float depth_snapshot[HMAP_CELLS];

float ht(int x, int z) { return HD::hmap[hmap_idx(x, z)]; }
const HD::Water &prev(int x, int z) { return HD::tmpw[hmap_idx(x, z)]; }
float level(int x, int z) { return ht(x, z) + prev(x, z).depth; }

template <class F>
float bilinear(float px, float pz, F field)
{
  int fi = ifloor(px), fj = ifloor(pz);
  float fx = px - float(fi), fz = pz - float(fj);
  int i = fi & 255, j = fj & 255;
  float a = field(i, j) + (field(i + 1, j) - field(i, j)) * fx;
  float b = field(i, j + 1) + (field(i + 1, j + 1) - field(i, j + 1)) * fx;
  return a + (b - a) * fz;
}
}  // namespace

void ref_sim_water(float dt)
{
  const float damp = std::max(0.f, 1 - 0.03f * dt);
  const float keep = std::max(0.f, 1 - 5 * dt);
  const float out_rate = 4 * dt;
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
  auto velx = [](int x, int z) { return prev(x, z).vel_x; };
  auto velz = [](int x, int z) { return prev(x, z).vel_z; };
  auto foam = [](int x, int z) { return prev(x, z).foam; };
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const HD::Water &p = prev(x, z);
      float lc = level(x, z), le = level(x + 1, z), ln = level(x, z + 1);
      float pu = (lc - le) * dt * 10;
      float pv = (lc - ln) * dt * 10;

      float ubx = float(x) - p.vel_x * dt;
      float ubz = float(z) - dt * (velz(x, z) + velz(x + 1, z) + velz(x, z - 1) + velz(x + 1, z - 1)) / 4;
      float u = bilinear(ubx, ubz, velx) * damp + pu;
      float out = std::min(p.depth, lc - ht(x + 1, z));
      float in = std::min(prev(x + 1, z).depth, le - ht(x, z));
      bool bu = (u >= 0 && out <= 0) || (u < 0 && in <= 0);
      if (bu)
        u = 0;

      float vbx = float(x) - dt * (velx(x - 1, z) + velx(x, z) + velx(x, z + 1) + velx(x - 1, z + 1)) / 4;
      float vbz = float(z) - p.vel_z * dt;
      float v = bilinear(vbx, vbz, velz) * damp + pv;
      out = std::min(p.depth, lc - ht(x, z + 1));
      in = std::min(prev(x, z + 1).depth, ln - ht(x, z));
      bool bv = (v >= 0 && out <= 0) || (v < 0 && in <= 0);
      if (bv)
        v = 0;

      float f = keep * (2 * (bilinear(ubx, ubz, foam) + bilinear(vbx, vbz, foam)) + foam(x, z + 1) + foam(x - 1, z) +
                        foam(x + 1, z) + foam(x, z - 1)) /
                  8 +
                3.2f * (pu * pu + pv * pv);
      if (bu)
        f += 0.01f;
      if (bv)
        f += 0.01f;
      f = f < 1 ? f : 1;
      HD::Water &w = HD::water[hmap_idx(x, z)];
      w.vel_x = u;
      w.vel_z = v;
      w.foam = f;
    }

  for (int i = 0; i < HMAP_CELLS; i++)
    depth_snapshot[i] = HD::water[i].depth;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      int i = hmap_idx(x, z);
      float d = depth_snapshot[i];
      if (!(d > 0))
        continue;
      float lv = HD::hmap[i] + d;
      const int nb[4] = {hmap_idx(x - 1, z), hmap_idx(x, z - 1), hmap_idx(x + 1, z), hmap_idx(x, z + 1)};
      float o[4] = {-HD::water[nb[0]].vel_x, -HD::water[nb[1]].vel_z, HD::water[i].vel_x, HD::water[i].vel_z};
      for (int k = 0; k < 4; k++)
        if (o[k] < 0 || lv < HD::hmap[nb[k]])
          o[k] = 0;
      float total = o[0] + o[1] + o[2] + o[3];
      float amount = total * out_rate;
      if (amount > 0.001f)
      {
        amount = std::min(amount, d);
        float k = amount / total;
        HD::water[i].depth -= amount;
        for (int n = 0; n < 4; n++)
          HD::water[nb[n]].depth += k * o[n];
      }
    }
}

float ref_square_max(float x, float z, float hs, bool with_water)
{
  auto surf = [&](int i, int j) {
    int idx = hmap_idx(i, j);
    return with_water ? HD::hmap[idx] + HD::water[idx].depth : HD::hmap[idx];
  };
  x = fmodf(x, 256);
  z = fmodf(z, 256);
  float x0 = x - hs, x1 = x + hs, z0 = z - hs, z1 = z + hs;
  float m = bilinear(x0, z0, surf);
  auto take = [&](float v) {
    if (v > m)
      m = v;
  };
  take(bilinear(x1, z0, surf));
  take(bilinear(x0, z1, surf));
  take(bilinear(x1, z1, surf));
  for (int gx = ifloor(x0) + 1; gx <= ifloor(x1); gx++)
  {
    take(bilinear(float(gx), z0, surf));
    take(bilinear(float(gx), z1, surf));
  }
  for (int gz = ifloor(z0) + 1; gz <= ifloor(z1); gz++)
  {
    take(bilinear(x0, float(gz), surf));
    take(bilinear(x1, float(gz), surf));
  }
  for (int gz = ifloor(z0) + 1; gz <= ifloor(z1); gz++)
    for (int gx = ifloor(x0) + 1; gx <= ifloor(x1); gx++)
      take(surf(gx, gz));
  return m;
}
