// Water step. The velocity phase reads only the previous state, so it runs on padded field
// copies (water_grid.h) with no order dependency. The depth phase moves water in place in
// visiting order; since the amount a cell sends depends only on its depth at the start of the
// phase and on the new velocities, every cell's four outflows are computed first, and then
// each cell's depth is rebuilt by adding and subtracting them in the order in which the visits
// would have touched it (inner cells: from the cell below, from the left, its own outflow,
// from the right, from above; border cells follow the wrap-around order). The results are bit
// for bit those of the plain in-place loop. The three passes run row by row a few rows apart,
// so that each row's data is still in cache when the next pass uses it, and the rows they
// hand on live in small rings (WaterRing). The copy of the previous state into the grids runs
// two rows ahead; on the sixteen-wide path it rides along inside the velocity rows, where its
// shuffles and memory traffic overlap the arithmetic (the other passes are faster on their
// own: measured inside the velocity loop, they slowed the step down).
#include <algorithm>
#include <cstring>
#include <xmmintrin.h>

#include "support/math_util.h"
#include "terrain/hmap_data.h"
#include "terrain/simd_dispatch.h"
#include "terrain/water_grid.h"

using HD = HeightmapData;

namespace
{
WaterScratch scratch;

inline float bilinear(const WaterGrid &g, float px, float pz)
{
  int i = ifloor(px), j = ifloor(pz);
  float fx = px - float(i), fz = pz - float(j);
  const float *p = g.f + wg_idx(i & 255, j & 255);
  float a = p[0] + (p[1] - p[0]) * fx;
  float b = p[WG_STRIDE] + (p[WG_STRIDE + 1] - p[WG_STRIDE]) * fx;
  return a + (b - a) * fz;
}

// ---- plain row kernels --------------------------------------------------------------------

void load_previous_plain(WaterScratch &w)
{
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int i = hmap_idx(x, z), k = wg_idx(x, z);
      const HD::Water &p = HD::tmpw[i];
      w.h.f[k] = HD::hmap[i];
      w.d.f[k] = p.depth;
      w.vx.f[k] = p.vel_x;
      w.vz.f[k] = p.vel_z;
      w.foam.f[k] = p.foam;
    }
}

void velocity_row_plain(WaterScratch &w, const WaterStepConsts &c, int z)
{
  const float dt = c.dt;
  const int S = WG_STRIDE;
  for (int x = 0; x < HMAP_SIZE; x++)
  {
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k, *D = w.d.f + k, *VX = w.vx.f + k, *VZ = w.vz.f + k, *F = w.foam.f + k;
    const float lc = H[0] + D[0], le = H[1] + D[1], ln = H[S] + D[S];
    const float pu = (lc - le) * dt * 10;
    const float pv = (lc - ln) * dt * 10;

    const float ubx = float(x) - VX[0] * dt;
    const float ubz = float(z) - dt * (VZ[0] + VZ[1] + VZ[-S] + VZ[1 - S]) / 4;
    float u = bilinear(w.vx, ubx, ubz) * c.damp + pu;
    float out = std::min(D[0], lc - H[1]);
    float in = std::min(D[1], le - H[0]);
    const bool bu = (u >= 0 && out <= 0) || (u < 0 && in <= 0);
    if (bu)
      u = 0;

    const float vbx = float(x) - dt * (VX[-1] + VX[0] + VX[S] + VX[S - 1]) / 4;
    const float vbz = float(z) - VZ[0] * dt;
    float v = bilinear(w.vz, vbx, vbz) * c.damp + pv;
    out = std::min(D[0], lc - H[S]);
    in = std::min(D[S], ln - H[0]);
    const bool bv = (v >= 0 && out <= 0) || (v < 0 && in <= 0);
    if (bv)
      v = 0;

    float f = c.keep * (2 * (bilinear(w.foam, ubx, ubz) + bilinear(w.foam, vbx, vbz)) + F[S] + F[-1] + F[1] + F[-S]) / 8 +
              3.2f * (pu * pu + pv * pv);
    if (bu)
      f += 0.01f;
    if (bv)
      f += 0.01f;
    w.u.row(z)[x] = u;
    w.v.row(z)[x] = v;
    w.f.row(z)[x] = f < 1 ? f : 1;
  }
}

void outflows_row_plain(WaterScratch &w, const WaterStepConsts &c, int z)
{
  const int S = WG_STRIDE;
  const float *U = w.u.row(z), *V = w.v.row(z), *Vs = w.v.row(z - 1);
  float *A = w.amount.row(z), *FW = w.fw.row(z), *FS = w.fs.row(z), *FE = w.fe.row(z), *FN = w.fn.row(z);
  for (int x = 0; x < HMAP_SIZE; x++)
  {
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k;
    const float d = w.d.f[k];
    const float lv = H[0] + d;
    float ow = -U[x - 1], os = -Vs[x], oe = U[x], on = V[x];
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
      A[x] = amount;
      FW[x] = kk * ow;
      FS[x] = kk * os;
      FE[x] = kk * oe;
      FN[x] = kk * on;
    }
    else
    {
      // Nothing moves: adding -0 and subtracting +0 leave every value as it is.
      A[x] = 0.f;
      FW[x] = FS[x] = FE[x] = FN[x] = -0.f;
    }
  }
}

void settle_row_plain(const WaterScratch &w, int z)
{
  const float *FNs = w.fn.row(z - 1), *FE = w.fe.row(z), *A = w.amount.row(z), *FW = w.fw.row(z),
              *FSn = w.fs.row(z + 1), *U = w.u.row(z), *V = w.v.row(z), *F = w.f.row(z);
  for (int x = 0; x < HMAP_SIZE; x++)
  {
    float dep = w.d.at(x, z);
    dep = dep + FNs[x];
    dep = dep + FE[x - 1];
    dep = dep - A[x];
    dep = dep + FW[x + 1];
    dep = dep + FSn[x];
    HD::Water &out = HD::water[hmap_idx(x, z)];
    out.depth = dep;
    out.vel_x = U[x];
    out.vel_z = V[x];
    out.foam = F[x];
  }
}

// Border cells: the visits that touch them wrap around, so their order differs from inner
// cells. Events: 0 own outflow, 1 from below, 2 from the left, 3 from the right, 4 from above.
// The order depends only on which borders the cell lies on; it is found once per kind by
// sorting the visiting times.
struct BorderOrder
{
  int ev[5];
};

BorderOrder border_order(int x, int z)
{
  const int t[5] = {z * 256 + x, (z > 0 ? z - 1 : 255) * 256 + x, z * 256 + (x > 0 ? x - 1 : 255),
                    z * 256 + (x < 255 ? x + 1 : 0), (z < 255 ? z + 1 : 0) * 256 + x};
  BorderOrder o{{0, 1, 2, 3, 4}};
  std::sort(o.ev, o.ev + 5, [&t](int a, int b) { return t[a] < t[b]; });
  return o;
}

void settle_border_cell(const WaterScratch &w, int x, int z, const BorderOrder &o)
{
  const float in[5] = {0, w.fn.row(z - 1)[x], w.fe.row(z)[x - 1], w.fw.row(z)[x + 1], w.fs.row(z + 1)[x]};
  float dep = w.d.at(x, z);
  for (int e : o.ev)
    dep = e == 0 ? dep - w.amount.row(z)[x] : dep + in[e];
  HD::water[hmap_idx(x, z)].depth = dep;
}

// Orders of the four corners.
struct BorderOrders
{
  BorderOrder c00 = border_order(0, 0), c10 = border_order(255, 0), c01 = border_order(0, 255),
              c11 = border_order(255, 255);
};
const BorderOrders border_orders;

// The first and last cell of row z (1..254), in their visiting orders written out (those of
// border_order(0, z) and border_order(255, z)): the first cell is visited before its left
// neighbour at the end of the row, the last cell after its right neighbour at the start.
void settle_border_columns(const WaterScratch &w, int z)
{
  const float *FNs = w.fn.row(z - 1), *FE = w.fe.row(z), *A = w.amount.row(z), *FW = w.fw.row(z),
              *FSn = w.fs.row(z + 1);
  const int e = HMAP_SIZE - 1;
  float dep = w.d.at(0, z);
  dep = dep + FNs[0];
  dep = dep - A[0];
  dep = dep + FW[1];
  dep = dep + FE[e];
  dep = dep + FSn[0];
  HD::water[hmap_idx(0, z)].depth = dep;
  dep = w.d.at(e, z);
  dep = dep + FNs[e];
  dep = dep + FW[0];
  dep = dep + FE[e - 1];
  dep = dep - A[e];
  dep = dep + FSn[e];
  HD::water[hmap_idx(e, z)].depth = dep;
}

// Rows 0 and 255, corners included. Between the corners, the visiting orders are written out
// (those of border_order(x, 0) and border_order(x, 255)): row 0 receives from row 255 last, at
// the end of the sweep, and row 255 received from row 0 first.
void settle_border_rows(const WaterScratch &w)
{
  const BorderOrders &b = border_orders;
  settle_border_cell(w, 0, 0, b.c00);
  settle_border_cell(w, 255, 0, b.c10);
  settle_border_cell(w, 0, 255, b.c01);
  settle_border_cell(w, 255, 255, b.c11);
  {
    const float *FNs = w.fn.row(255), *FE = w.fe.row(0), *A = w.amount.row(0), *FW = w.fw.row(0), *FSn = w.fs.row(1);
    for (int x = 1; x < HMAP_SIZE - 1; x++)
    {
      float dep = w.d.at(x, 0);
      dep = dep + FE[x - 1];
      dep = dep - A[x];
      dep = dep + FW[x + 1];
      dep = dep + FSn[x];
      dep = dep + FNs[x];
      HD::water[hmap_idx(x, 0)].depth = dep;
    }
  }
  const float *FNs = w.fn.row(254), *FE = w.fe.row(255), *A = w.amount.row(255), *FW = w.fw.row(255), *FSn = w.fs.row(0);
  for (int x = 1; x < HMAP_SIZE - 1; x++)
  {
    float dep = w.d.at(x, 255);
    dep = dep + FSn[x];
    dep = dep + FNs[x];
    dep = dep + FE[x - 1];
    dep = dep - A[x];
    dep = dep + FW[x + 1];
    HD::water[hmap_idx(x, 255)].depth = dep;
  }
}
}  // namespace

void HeightmapData::simWater(float dt)
{
  const WaterStepConsts c{dt, std::max(0.f, 1 - 0.03f * dt), std::max(0.f, 1 - 5 * dt), 4 * dt};
  WaterScratch &w = scratch;
  const bool wide = terrain_use_avx2(), w16 = terrain_use_avx512();
  auto velocity_row = wide ? water_velocity_row_avx2 : velocity_row_plain;
  auto outflows_row = !wide ? outflows_row_plain : w16 ? water_outflows_row_avx512 : water_outflows_row_avx2;
  auto settle_row = !wide ? settle_row_plain : w16 ? water_settle_row_avx512 : water_settle_row_avx2;

  // The previous state: tmpw and the field grids. The wide paths split it row by row two rows
  // ahead of the velocity phase, while the rows are still in cache (a lookup reaching beyond
  // the neighbourhood splits all the rest first); the plain path splits it all at once.
  if (wide)
  {
    auto load_rows = w16 ? water_load_rows_avx512 : water_load_rows_avx2;
    load_rows(w, HMAP_SIZE - 2, HMAP_SIZE);
    load_rows(w, 0, 2);
    w.next_row = 2;
  }
  else
  {
    load_previous_plain(w);
    for (WaterGrid *g : {&w.h, &w.d, &w.vx, &w.vz, &w.foam})
      g->wrap();
    w.next_row = HMAP_SIZE - 2;
  }

  // Row z's outflows need the new velocities of rows z - 1 and z; row z's depths need the
  // outflows of rows z - 1 .. z + 1. Row 255 goes first, so that row 0's outflows follow at
  // once; rows 0 and 255 settle last. The rows in between live in a few ring slots.
  // load_z: the row of the previous state to split along with row z's velocities (-1: none).
  auto velocity = [&](int z, int load_z) {
    if (w16)
      water_velocity_row_avx512(w, c, z, load_z);
    else
    {
      if (load_z >= 0 && w.next_row == load_z)
      {
        water_load_rows_avx2(w, load_z, load_z + 1);
        w.next_row = load_z + 1;
      }
      velocity_row(w, c, z);
    }
    w.u.wrap_columns(z);
  };
  auto outflows = [&](int z) {
    outflows_row(w, c, z);
    w.fw.wrap_columns(z);
    w.fe.wrap_columns(z);
  };
  velocity(255, -1);
  for (int z = 0; z < HMAP_SIZE - 1; z++)
  {
    velocity(z, z + 2 < HMAP_SIZE - 2 ? z + 2 : -1);
    outflows(z);
    if (z >= 2)
    {
      settle_row(w, z - 1);
      settle_border_columns(w, z - 1);
    }
  }
  outflows(255);
  settle_row(w, 254);
  settle_border_columns(w, 254);
  settle_row(w, 255);
  settle_row(w, 0);
  settle_border_rows(w);
  if (wide)
    _mm_sfence();  // tmpw was written with streaming stores
}

void HeightmapData::addWater(float amount)
{
  for (Water &w : water)
    w.depth += amount;
}
