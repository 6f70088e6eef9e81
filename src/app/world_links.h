#pragma once
// World generation and the terrain simulation as the game modes call them. Each entry is null
// until its subsystem is linked in (connect_world_links); the wrappers below skip a missing one,
// so the modes run on whatever parts of the world exist.
#include <xmmintrin.h>

#include "terrain/hmap_data.h"

struct WorldLinks
{
  void (*generate_world)(const char *name);
  void (*genDropletErosion)(unsigned droplets, HeightmapData::ErosionParams &params);
  void (*addWater)(float amount);
  void (*simWater)(float dt);
  __m128 (*calcSquareDepth)(__m128 pos, float half_size, bool with_water);
};

extern WorldLinks world_links;

// Points world_links at the subsystems built into this program.
void connect_world_links();

void world_generate(const char *name);
void world_sim_water(float dt);
void world_add_water(float amount);
void world_erode(unsigned droplets, HeightmapData::ErosionParams &params);
// Height of the highest surface point (water included) over the square of half size `half` around
// (x, z), minus y. Without the terrain queries the world counts as level with y (0).
float world_square_depth(float x, float y, float z, float half);
