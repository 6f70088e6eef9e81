#pragma once
// The world as the game modes change it: generation by the world script, the development edits
// (erosion, water) and the water step, and the surface query of the camera.
//
// World generation is reached through `world_links`, which stays empty until the world script
// machine is started and connect_world_links points it at generate_world; until then generating
// leaves the world as it is.

struct WorldLinks
{
  void (*generate_world)(const char *name);
};

extern WorldLinks world_links;

// Points world_links at the subsystems built into this program.
void connect_world_links();

void world_generate(const char *name);
// Height of the highest surface point (water included) over the square of half size `half`
// around (x, z), minus y.
float world_square_depth(float x, float y, float z, float half);
