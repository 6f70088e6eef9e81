#include "terrain/water_grid.h"

#include <cstring>

void WaterGrid::wrap_columns(int z)
{
  float *row = f + wg_idx(0, z);
  memcpy(row - 8, row + 248, 8 * sizeof(float));
  memcpy(row + 256, row, 8 * sizeof(float));
}

void WaterGrid::wrap_rows()
{
  memcpy(f, f + wg_idx(-8, 255), WG_STRIDE * sizeof(float));
  memcpy(f + wg_idx(-8, 256), f + wg_idx(-8, 0), WG_STRIDE * sizeof(float));
}

void WaterGrid::wrap()
{
  for (int z = 0; z < HMAP_SIZE; z++)
    wrap_columns(z);
  wrap_rows();
}

void WaterRing::wrap_columns(int z)
{
  float *r = row(z);
  memcpy(r - 8, r + 248, 8 * sizeof(float));
  memcpy(r + 256, r, 8 * sizeof(float));
}
