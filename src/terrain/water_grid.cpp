#include "terrain/water_grid.h"

#include <cstring>

void WaterGrid::wrap_rows()
{
  memcpy(f, f + wg_idx(-WG_PAD, 255), WG_STRIDE * sizeof(float));
  memcpy(f + wg_idx(-WG_PAD, 256), f + wg_idx(-WG_PAD, 0), WG_STRIDE * sizeof(float));
}

void WaterGrid::wrap()
{
  for (int z = 0; z < HMAP_SIZE; z++)
    wrap_columns(z);
  wrap_rows();
}

void water_wrap_loaded_row(WaterScratch &w, int z)
{
  for (WaterGrid *g : {&w.h, &w.d, &w.vx, &w.vz, &w.foam})
  {
    g->wrap_columns(z);
    if (z == 0 || z == HMAP_SIZE - 1)
      memcpy(g->f + wg_idx(-WG_PAD, z == 0 ? HMAP_SIZE : -1), g->f + wg_idx(-WG_PAD, z), WG_STRIDE * sizeof(float));
  }
}
