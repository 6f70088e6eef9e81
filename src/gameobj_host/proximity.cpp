#include "gameobj_host/proximity.h"

#include <cmath>

DynArray<GameObj *, DefaultAllocator> proximity[NUM_PROXIMITY_BINS];

namespace
{
// The cells an interval [lo, hi] covers on one axis of a grid of `cells` cells of `size` units
// whose boundaries lie at `shift` + k * size: the first cell and how many (0 when inverted, at
// most `cells`, so that each wrapped cell comes once; every cell when an end is not usable).
struct CellSpan
{
  int first, count;
};

CellSpan cell_span(float lo, float hi, float shift, float size, int cells)
{
  if (!(std::fabs(lo) <= PROXIMITY_MAX_COORD && std::fabs(hi) <= PROXIMITY_MAX_COORD))
    return {0, cells};
  int a = int(std::floor((lo + shift) / size)), b = int(std::floor((hi + shift) / size));
  if (b < a)
    return {a, 0};
  return {a, b - a + 1 < cells ? b - a + 1 : cells};
}

bool valid_bin(int bin) { return bin >= 0 && bin < NUM_PROXIMITY_BINS; }

// Erases the object from the bin by moving the last entry into its place; nothing when absent.
void erase_from_bin(GameObj *obj, int bin)
{
  DynArray<GameObj *, DefaultAllocator> &b = proximity[bin];
  for (int i = 0; i < b.size(); i++)
    if (b[i] == obj)
    {
      b.fastErase(i, 1);
      return;
    }
}
}  // namespace

int proximity_bin_of_rect(vec4f rect)
{
  float x0 = v_extract_x(rect), z0 = v_extract_y(rect), x1 = v_extract_z(rect), z1 = v_extract_w(rect);
  for (float c : {x0, z0, x1, z1})
    if (!(std::fabs(c) <= PROXIMITY_MAX_COORD))
      return PROXIMITY_OVERFLOW_BIN;
  auto cell = [](float v, float shift, float size) { return int(std::floor((v + shift) / size)); };
  int fx = cell(x0, 0.f, 8.f), fz = cell(z0, 0.f, 8.f);
  if (fx == cell(x1, 0.f, 8.f) && fz == cell(z1, 0.f, 8.f))
    return (fz & (PROXIMITY_FINE_CELLS - 1)) * PROXIMITY_FINE_CELLS + (fx & (PROXIMITY_FINE_CELLS - 1));
  int cx = cell(x0, 4.f, 16.f), cz = cell(z0, 4.f, 16.f);
  if (cx == cell(x1, 4.f, 16.f) && cz == cell(z1, 4.f, 16.f))
    return PROXIMITY_COARSE_BASE + (cz & (PROXIMITY_COARSE_CELLS - 1)) * PROXIMITY_COARSE_CELLS +
           (cx & (PROXIMITY_COARSE_CELLS - 1));
  return PROXIMITY_OVERFLOW_BIN;
}

void update_proximity(GameObj *obj, vec4f rect)
{
  int bin = proximity_bin_of_rect(rect);
  int &cur = gameobj_proximity_bin(obj);
  if (bin == cur)
    return;
  if (valid_bin(cur))
    erase_from_bin(obj, cur);
  proximity[bin].push_back(obj);
  cur = bin;
}

void remove_proximity_object(GameObj *obj)
{
  if (!obj)
    return;
  int &cur = gameobj_proximity_bin(obj);
  if (valid_bin(cur))
    erase_from_bin(obj, cur);
  cur = -1;
}

void release_proximity()
{
  for (DynArray<GameObj *, DefaultAllocator> &b : proximity)
    b.clear();
}

void ProximityQuery::proximityQuery(vec4f rect, bool skipOverflow)
{
  bins.resize(0);
  float x0 = v_extract_x(rect), z0 = v_extract_y(rect), x1 = v_extract_z(rect), z1 = v_extract_w(rect);
  auto collect = [&](float shift, float size, int cells, int base) {
    CellSpan sx = cell_span(x0, x1, shift, size, cells), sz = cell_span(z0, z1, shift, size, cells);
    for (int j = 0; j < sz.count; j++)
      for (int i = 0; i < sx.count; i++)
      {
        int bin = base + ((sz.first + j) & (cells - 1)) * cells + ((sx.first + i) & (cells - 1));
        if (!proximity[bin].empty())
          bins.push_back(bin);
      }
  };
  collect(0.f, 8.f, PROXIMITY_FINE_CELLS, 0);
  collect(4.f, 16.f, PROXIMITY_COARSE_CELLS, PROXIMITY_COARSE_BASE);
  if (!skipOverflow && !proximity[PROXIMITY_OVERFLOW_BIN].empty())
    bins.push_back(PROXIMITY_OVERFLOW_BIN);
  curBin = 0;
  curIndex = -1;
}
