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
};
