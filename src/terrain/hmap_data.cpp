// Storage of the world arrays and the whole-world operations on heights.
#include "terrain/hmap_data.h"

#include <cmath>
#include <cstring>

// The five arrays are defined in one block so that they lie in memory in a fixed order (hmap,
// tmpw, water, target_hmap, surface) whatever the compiler does with the order of separate
// definitions. Each is a plain global symbol under the member's mangled name, exported by the
// executable, zero at start-up.
static_assert(HMAP_CELLS * sizeof(float) == 262144);
static_assert(HMAP_CELLS * sizeof(HeightmapData::Water) == 1048576);
static_assert(HMAP_CELLS * sizeof(HeightmapData::Surface) == 786432);

#define QM_WORLD_ARRAY(sym, bytes)  \
  "  .globl " sym "\n"              \
  "  .type " sym ", @object\n"      \
  "  .size " sym ", " #bytes "\n"   \
  "  .balign 64\n"                  \
  sym ":\n"                         \
  "  .skip " #bytes "\n"

asm(".pushsection .bss.quenmoor_world,\"aw\",@nobits\n"
    QM_WORLD_ARRAY("_ZN13HeightmapData4hmapE", 262144)
    QM_WORLD_ARRAY("_ZN13HeightmapData4tmpwE", 1048576)
    QM_WORLD_ARRAY("_ZN13HeightmapData5waterE", 1048576)
    QM_WORLD_ARRAY("_ZN13HeightmapData11target_hmapE", 262144)
    QM_WORLD_ARRAY("_ZN13HeightmapData7surfaceE", 786432)
    ".popsection\n");

void HeightmapData::reset()
{
  memset(hmap, 0, sizeof(hmap));
  memset(target_hmap, 0, sizeof(target_hmap));
  Surface s;
  memset(&s, 0, sizeof(s));
  s.color = 0xFF808080u;
  s.top_color = 0;
  s.ground_type = GT_ROCK;
  for (Surface &e : surface)
    e = s;
  memset(water, 0, sizeof(water));
}

// A NaN sample never becomes a bound, wherever it lies (the first sample included); a world
// made only of NaN reports 0..0.
void HeightmapData::calcHtRange(float &min, float &max)
{
  int i = 0;
  while (i < HMAP_CELLS && std::isnan(hmap[i]))
    i++;
  if (i == HMAP_CELLS)
  {
    min = max = 0;
    return;
  }
  float lo = hmap[i], hi = hmap[i];
  for (i++; i < HMAP_CELLS; i++)
  {
    float v = hmap[i];
    if (v < lo)
      lo = v;
    else if (v > hi)
      hi = v;
  }
  min = lo;
  max = hi;
}

float HeightmapData::recenterHt()
{
  float lo, hi;
  calcHtRange(lo, hi);
  float ofs = -(lo + hi) / 2;
  for (float &h : hmap)
    h += ofs;
  return (hi - lo) / 2;
}
