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

// Scratch of one water step.
struct WaterScratch
{
  WaterGrid h, d, vx, vz, foam;        // previous state; d is also the depth snapshot
  WaterGrid u, v, f;                   // new velocities and foam
  WaterGrid amount, fw, fs, fe, fn;    // what each cell sends in the depth phase
};

struct WaterStepConsts
{
  float dt, damp, keep, out_rate;
};

// Eight-wide row kernels (water_sim_avx2.cpp); the plain ones are in water_sim.cpp.
void water_load_previous_avx2(WaterScratch &w);
void water_velocity_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_outflows_row_avx2(WaterScratch &w, const WaterStepConsts &c, int z);
void water_settle_row_avx2(const WaterScratch &w, int z);
