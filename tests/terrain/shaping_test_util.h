#pragma once
// Shared set-up of the shaping tests: the global generator, the noise tables and the world arrays
// are saved and restored around each test.
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "terrain/hmap_data.h"
#include "terrain/noise.h"

struct SavedWorld
{
  uint64_t seed = game_rnd_seed;
  std::array<uint8_t, 512> perm = noise_perm;
  std::array<float, 512> jitter = feature_jitter;
  std::vector<float> hmap{HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS};
  std::vector<HeightmapData::Surface> surface{HeightmapData::surface, HeightmapData::surface + HMAP_CELLS};

  SavedWorld(uint64_t test_seed = 777)
  {
    game_rnd_seed = test_seed;
    reseed_noise();
    HeightmapData::reset();
  }
  ~SavedWorld()
  {
    game_rnd_seed = seed;
    noise_perm = perm;
    feature_jitter = jitter;
    memcpy(HeightmapData::hmap, hmap.data(), sizeof(HeightmapData::hmap));
    memcpy(HeightmapData::surface, surface.data(), sizeof(HeightmapData::surface));
  }
};

// The generator state after n draws from s.
inline uint64_t advance_rnd(uint64_t s, int n)
{
  for (int i = 0; i < n; i++)
    game_rnd_step(s);
  return s;
}

inline uint32_t surface_flags(const HeightmapData::Surface &s)
{
  uint32_t w;
  memcpy(&w, reinterpret_cast<const char *>(&s) + 8, 4);
  return w;
}
