// Water step. The velocity phase reads only the previous state, so it runs on padded field
// copies (water_grid.h) with no order dependency. The depth phase moves water in place in
// visiting order; since the amount a cell sends depends only on its depth at the start of the
// phase and on the new velocities, every cell's four outflows are computed first, and then
// each cell's depth is rebuilt by adding and subtracting them in the order in which the visits
// would have touched it (for inner cells: from the cell below, from the left, its own outflow,
// from the right, from above; border cells follow the wrap-around order). The results are bit
// for bit those of the plain in-place loop.
#include <algorithm>
#include <cstring>
#include <immintrin.h>

#include "support/math_util.h"
#include "terrain/hmap_data.h"
#include "terrain/simd_dispatch.h"
#include "terrain/water_grid.h"

using HD = HeightmapData;

namespace
{
struct StepConsts
{
  float dt, damp, keep, out_rate;
};

// Previous state (depth doubles as the depth snapshot of the depth phase: the velocity phase
// does not change depths), new velocities and foam, and the outflows of the depth phase.
WaterGrid g_h, g_d, g_vx, g_vz, g_foam;
WaterGrid g_u, g_v, g_f;
WaterGrid g_amount, g_fw, g_fs, g_fe, g_fn;

inline float bilinear(const WaterGrid &g, float px, float pz)
{
  int i = ifloor(px), j = ifloor(pz);
  float fx = px - float(i), fz = pz - float(j);
  const float *p = g.f + wg_idx(i & 255, j & 255);
  float a = p[0] + (p[1] - p[0]) * fx;
  float b = p[WG_STRIDE] + (p[WG_STRIDE + 1] - p[WG_STRIDE]) * fx;
  return a + (b - a) * fz;
}

// ---- plain paths --------------------------------------------------------------------------

void load_previous_plain()
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int i = hmap_idx(x, z), k = wg_idx(x, z);
      const HD::Water &w = HD::tmpw[i];
      g_h.f[k] = HD::hmap[i];
      g_d.f[k] = w.depth;
      g_vx.f[k] = w.vel_x;
      g_vz.f[k] = w.vel_z;
      g_foam.f[k] = w.foam;
    }
}

void velocity_phase_plain(const StepConsts &c)
{
  const float dt = c.dt;
  const int S = WG_STRIDE;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int k = wg_idx(x, z);
      const float *H = g_h.f + k, *D = g_d.f + k, *VX = g_vx.f + k, *VZ = g_vz.f + k, *F = g_foam.f + k;
      const float lc = H[0] + D[0], le = H[1] + D[1], ln = H[S] + D[S];
      const float pu = (lc - le) * dt * 10;
      const float pv = (lc - ln) * dt * 10;

      const float ubx = float(x) - VX[0] * dt;
      const float ubz = float(z) - dt * (VZ[0] + VZ[1] + VZ[-S] + VZ[1 - S]) / 4;
      float u = bilinear(g_vx, ubx, ubz) * c.damp + pu;
      float out = std::min(D[0], lc - H[1]);
      float in = std::min(D[1], le - H[0]);
      const bool bu = (u >= 0 && out <= 0) || (u < 0 && in <= 0);
      if (bu)
        u = 0;

      const float vbx = float(x) - dt * (VX[-1] + VX[0] + VX[S] + VX[S - 1]) / 4;
      const float vbz = float(z) - VZ[0] * dt;
      float v = bilinear(g_vz, vbx, vbz) * c.damp + pv;
      out = std::min(D[0], lc - H[S]);
      in = std::min(D[S], ln - H[0]);
      const bool bv = (v >= 0 && out <= 0) || (v < 0 && in <= 0);
      if (bv)
        v = 0;

      float f = c.keep * (2 * (bilinear(g_foam, ubx, ubz) + bilinear(g_foam, vbx, vbz)) + F[S] + F[-1] + F[1] + F[-S]) / 8 +
                3.2f * (pu * pu + pv * pv);
      if (bu)
        f += 0.01f;
      if (bv)
        f += 0.01f;
      g_u.f[k] = u;
      g_v.f[k] = v;
      g_f.f[k] = f < 1 ? f : 1;
    }
}

void outflows_plain(const StepConsts &c)
{
  const int S = WG_STRIDE;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int k = wg_idx(x, z);
      const float *H = g_h.f + k;
      const float d = g_d.f[k];
      const float lv = H[0] + d;
      float ow = -g_u.f[k - 1], os = -g_v.f[k - S], oe = g_u.f[k], on = g_v.f[k];
      if (ow < 0 || lv < H[-1])
        ow = 0;
      if (os < 0 || lv < H[-S])
        os = 0;
      if (oe < 0 || lv < H[1])
        oe = 0;
      if (on < 0 || lv < H[S])
        on = 0;
      const float total = ow + os + oe + on;
      float amount = total * c.out_rate;
      if (d > 0 && amount > 0.001f)
      {
        amount = std::min(amount, d);
        const float kk = amount / total;
        g_amount.f[k] = amount;
        g_fw.f[k] = kk * ow;
        g_fs.f[k] = kk * os;
        g_fe.f[k] = kk * oe;
        g_fn.f[k] = kk * on;
      }
      else
      {
        // Nothing moves: adding -0 and subtracting +0 leave every value as it is.
        g_amount.f[k] = 0.f;
        g_fw.f[k] = g_fs.f[k] = g_fe.f[k] = g_fn.f[k] = -0.f;
      }
    }
}

void settle_depths_plain()
{
  const int S = WG_STRIDE;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int k = wg_idx(x, z);
      float dep = g_d.f[k];
      dep = dep + g_fn.f[k - S];
      dep = dep + g_fe.f[k - 1];
      dep = dep - g_amount.f[k];
      dep = dep + g_fw.f[k + 1];
      dep = dep + g_fs.f[k + S];
      HD::Water &w = HD::water[hmap_idx(x, z)];
      w.depth = dep;
      w.vel_x = g_u.f[k];
      w.vel_z = g_v.f[k];
      w.foam = g_f.f[k];
    }
}

// Border cells: the visits that touch them wrap around, so their order differs from inner
// cells. Rebuilt from the visiting times of the five events.
void settle_border_cell(int x, int z)
{
  struct Event
  {
    int time;
    float value;
  };
  Event ev[5] = {
    {z * 256 + x, -g_amount.at(x, z)},
    {(z > 0 ? z - 1 : 255) * 256 + x, g_fn.at(x, z - 1)},
    {z * 256 + (x > 0 ? x - 1 : 255), g_fe.at(x - 1, z)},
    {z * 256 + (x < 255 ? x + 1 : 0), g_fw.at(x + 1, z)},
    {(z < 255 ? z + 1 : 0) * 256 + x, g_fs.at(x, z + 1)},
  };
  std::sort(ev, ev + 5, [](const Event &a, const Event &b) { return a.time < b.time; });
  float dep = g_d.at(x, z);
  for (const Event &e : ev)
    dep = e.time == z * 256 + x ? dep - g_amount.at(x, z) : dep + e.value;
  HD::water[hmap_idx(x, z)].depth = dep;
}

void settle_border_depths()
{
  for (int x = 0; x < HMAP_SIZE; x++)
  {
    settle_border_cell(x, 0);
    settle_border_cell(x, 255);
  }
  for (int z = 1; z < HMAP_SIZE - 1; z++)
  {
    settle_border_cell(0, z);
    settle_border_cell(255, z);
  }
}
}  // namespace

// The eight-wide paths live in water_sim_avx2.cpp.
void water_load_previous_avx2(WaterGrid &h, WaterGrid &d, WaterGrid &vx, WaterGrid &vz, WaterGrid &foam);
void water_velocity_phase_avx2(const WaterGrid &h, const WaterGrid &d, const WaterGrid &vx, const WaterGrid &vz,
                               const WaterGrid &foam, WaterGrid &u, WaterGrid &v, WaterGrid &f, float dt, float damp,
                               float keep);
void water_outflows_avx2(const WaterGrid &h, const WaterGrid &d, const WaterGrid &u, const WaterGrid &v,
                         WaterGrid &amount, WaterGrid &fw, WaterGrid &fs, WaterGrid &fe, WaterGrid &fn, float out_rate);
void water_settle_avx2(const WaterGrid &d, const WaterGrid &amount, const WaterGrid &fw, const WaterGrid &fs,
                       const WaterGrid &fe, const WaterGrid &fn, const WaterGrid &u, const WaterGrid &v,
                       const WaterGrid &f);

void HeightmapData::simWater(float dt)
{
  const StepConsts c{dt, std::max(0.f, 1 - 0.03f * dt), std::max(0.f, 1 - 5 * dt), 4 * dt};
  const bool wide = terrain_use_avx2();
  memcpy(tmpw, water, sizeof(water));
  if (wide)
    water_load_previous_avx2(g_h, g_d, g_vx, g_vz, g_foam);
  else
    load_previous_plain();
  for (WaterGrid *g : {&g_h, &g_d, &g_vx, &g_vz, &g_foam})
    g->wrap();

  if (wide)
    water_velocity_phase_avx2(g_h, g_d, g_vx, g_vz, g_foam, g_u, g_v, g_f, c.dt, c.damp, c.keep);
  else
    velocity_phase_plain(c);
  g_u.wrap();
  g_v.wrap();

  if (wide)
    water_outflows_avx2(g_h, g_d, g_u, g_v, g_amount, g_fw, g_fs, g_fe, g_fn, c.out_rate);
  else
    outflows_plain(c);
  for (WaterGrid *g : {&g_amount, &g_fw, &g_fs, &g_fe, &g_fn})
    g->wrap();

  if (wide)
    water_settle_avx2(g_d, g_amount, g_fw, g_fs, g_fe, g_fn, g_u, g_v, g_f);
  else
    settle_depths_plain();
  settle_border_depths();
}

void HeightmapData::addWater(float amount)
{
  for (Water &w : water)
    w.depth += amount;
}
