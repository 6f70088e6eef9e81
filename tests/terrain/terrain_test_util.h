#pragma once
// Worlds for the terrain tests.
#include <cstdint>
#include <cstring>

#include "terrain/hmap_data.h"
#include "terrain/noise.h"

// A rough, generated-like world: fractal noise heights with sharp detail, varied colours, some
// grass and overlays.
inline void make_rough_world(uint64_t seed, float amplitude = 40)
{
  HeightmapData::reset();
  game_rnd_seed = seed;
  reseed_noise();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      int i = hmap_idx(x, z);
      float n = tiled_fractal_noise2(float(x) / 32, float(z) / 32, 8, 6, nullptr, 0.55f);
      HeightmapData::hmap[i] = n * amplitude;
      HeightmapData::Surface &s = HeightmapData::surface[i];
      uint32_t r = game_rnd();
      s.color = 0xFF000000u | (r & 0x00FFFFFFu);
      s.surface_type = (r >> 24) % 5;
      s.top_color = s.surface_type ? 0x80FFFFFFu : 0;
      s.ground_type = GT_SOIL;
    }
  memcpy(HeightmapData::target_hmap, HeightmapData::hmap, sizeof(HeightmapData::hmap));
}

inline uint32_t float_bits(float f)
{
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}
