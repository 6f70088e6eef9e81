#pragma once
// Plain droplet erosion: one float at a time, colours as r, g, b, a floats. The optimised
// HeightmapData::genDropletErosion must reproduce it bit for bit.
#include <cstdint>

#include "terrain/hmap_data.h"

struct RefErosionStats
{
  uint64_t total_steps = 0, long_paths = 0, random_dirs = 0;
  float last_load = 0;  // sediment the last droplet left in its final deposit
  int last_ix = 0, last_iz = 0;
};

RefErosionStats ref_droplet_erosion(unsigned droplets, const HeightmapData::ErosionParams &p);
