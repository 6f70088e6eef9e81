#pragma once
// Padded single-field copies of the world used by the water step. Row r (-1..256) and column c
// (-16..271) of a field live at (r + 1) * WG_STRIDE + WG_PAD + c; the padding repeats the wrapped
// rows and columns (-8..-1 and 256..263; the columns beyond are loaded but never used), so
// neighbour reads at x +- 1, z +- 1 and bilinear corners (i + 1, j + 1) of wrapped cells are plain
// loads. Rows are 64-byte aligned at column 0, so sixteen-wide code reads whole cache lines.
#include <cstring>

#include "terrain/hmap_data.h"

constexpr int WG_PAD = 16;
constexpr int WG_STRIDE = WG_PAD + 256 + WG_PAD;
constexpr int WG_ROWS = 258;
constexpr int WG_SIZE = WG_STRIDE * WG_ROWS;

inline int wg_idx(int x, int z) { return (z + 1) * WG_STRIDE + WG_PAD + x; }

// Fills the column padding of one padded row (`r` points at column 0): columns -8..-1 repeat
// 248..255 and columns 256..263 repeat 0..7.
inline void wrap_row_columns(float *r)
{
  memcpy(r - 8, r + 248, 8 * sizeof(float));
  memcpy(r + 256, r, 8 * sizeof(float));
}

struct alignas(64) WaterGrid
{
  float f[WG_SIZE];
  float &at(int x, int z) { return f[wg_idx(x, z)]; }
  float at(int x, int z) const { return f[wg_idx(x, z)]; }
  // Fills the padding from rows and columns 0..255.
  void wrap();
  // Fills the column padding of row z.
  void wrap_columns(int z) { wrap_row_columns(f + wg_idx(0, z)); }
  // Fills the padding rows -1 and 256 (their column padding included).
  void wrap_rows();
};

// A few padded rows of a field that the water step produces and uses within a few rows: slots
// for rows 0, 1, 254 and 255 (used again when the step wraps around) and four for the rows
// between. row(z) points at column 0; columns -16..-1 and 256..271 are the padding.
struct alignas(64) WaterRing
{
  static constexpr int SLOTS = 8;
  float f[SLOTS * WG_STRIDE];
  static int slot(int z)
  {
    z &= 255;
    return z < 2 ? z : z >= 254 ? z - 252 : 4 + (z & 3);
  }
  float *row(int z) { return f + slot(z) * WG_STRIDE + WG_PAD; }
  const float *row(int z) const { return f + slot(z) * WG_STRIDE + WG_PAD; }
  // Fills the column padding of row z.
  void wrap_columns(int z) { wrap_row_columns(row(z)); }
};

// Scratch of one water step.
struct WaterScratch
{
  WaterGrid h, d, vx, vz, foam;        // previous state; d is also the depth snapshot
  int next_row;                        // rows 254, 255 and 0 .. next_row - 1 are in the grids
  WaterRing u, v, f;                   // new velocities and foam
  WaterRing amount, fw, fs, fe, fn;    // what each cell sends in the depth phase
};

struct WaterStepConsts
{
  float dt, damp, keep, out_rate;
};

// Fills the padding of freshly copied row z of the previous state.
void water_wrap_loaded_row(WaterScratch &w, int z);

// Eight-wide row kernels (water_sim_avx2.cpp); the plain ones are in water_sim.cpp.
// Splits rows z0 .. z1 - 1 of the previous state into tmpw and the grids.
void water_load_rows_avx2(WaterScratch &w, int z0, int z1);
void water_velocity_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_velocity_block_avx2(WaterScratch &w, const WaterStepConsts &c, int x, int z);  // cells x .. x + 7
void water_outflows_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_settle_row_avx2(const WaterScratch &w, int z);

// Sixteen-wide row kernels (water_sim_avx512.cpp), the same work as the eight-wide ones.
void water_load_rows_avx512(WaterScratch &w, int z0, int z1);
// Also splits row load_z (>= 0) of the previous state, as water_load_rows_avx512 does, when it
// is the next row to split (w.next_row).
void water_velocity_row_avx512(WaterScratch &w, const WaterStepConsts &c, int z, int load_z);
void water_outflows_row_avx512(WaterScratch &w, const WaterStepConsts &c, int z);
void water_settle_row_avx512(const WaterScratch &w, int z);
