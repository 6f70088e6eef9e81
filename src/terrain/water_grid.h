#pragma once
// Padded single-field copies of the world used by the water step. Row r (-1..256) and column c
// (-8..263) of a field live at (r + 1) * WG_STRIDE + 8 + c; the padding repeats the wrapped
// rows and columns, so neighbour reads at x +- 1, z +- 1 and bilinear corners (i + 1, j + 1) of
// wrapped cells are plain loads.
#include "terrain/hmap_data.h"

constexpr int WG_STRIDE = 272;
constexpr int WG_ROWS = 258;
constexpr int WG_SIZE = WG_STRIDE * WG_ROWS;

inline int wg_idx(int x, int z) { return (z + 1) * WG_STRIDE + 8 + x; }

struct alignas(32) WaterGrid
{
  float f[WG_SIZE];
  float &at(int x, int z) { return f[wg_idx(x, z)]; }
  float at(int x, int z) const { return f[wg_idx(x, z)]; }
  // Fills the padding from rows and columns 0..255.
  void wrap();
  // Fills the column padding of row z.
  void wrap_columns(int z);
  // Fills the padding rows -1 and 256 (their column padding included).
  void wrap_rows();
};

// A few padded rows of a field that the water step produces and uses within a few rows: slots
// for rows 0, 1, 254 and 255 (used again when the step wraps around) and four for the rows
// between. row(z) points at column 0; columns -8..-1 and 256..263 are the padding.
struct alignas(32) WaterRing
{
  static constexpr int SLOTS = 8;
  float f[SLOTS * WG_STRIDE];
  static int slot(int z)
  {
    z &= 255;
    return z < 2 ? z : z >= 254 ? z - 252 : 4 + (z & 3);
  }
  float *row(int z) { return f + slot(z) * WG_STRIDE + 8; }
  const float *row(int z) const { return f + slot(z) * WG_STRIDE + 8; }
  // Fills the column padding of row z.
  void wrap_columns(int z);
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

// Eight-wide row kernels (water_sim_avx2.cpp); the plain ones are in water_sim.cpp.
// Splits rows z0 .. z1 - 1 of the previous state into tmpw and the grids.
void water_load_rows_avx2(WaterScratch &w, int z0, int z1);
void water_velocity_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_velocity_block_avx2(WaterScratch &w, const WaterStepConsts &c, int x, int z);  // cells x .. x + 7
// Sixteen-wide velocity phase (water_sim_avx512.cpp).
void water_velocity_row_avx512(WaterScratch &w, const WaterStepConsts &c, int z);
void water_outflows_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_settle_row_avx2(const WaterScratch &w, int z);
