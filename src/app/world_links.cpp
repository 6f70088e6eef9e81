#include "app/world_links.h"

WorldLinks world_links = {};

void connect_world_links()
{
}

void world_generate(const char *name)
{
  if (world_links.generate_world)
    world_links.generate_world(name);
}

void world_sim_water(float dt)
{
  if (world_links.simWater)
    world_links.simWater(dt);
}

void world_add_water(float amount)
{
  if (world_links.addWater)
    world_links.addWater(amount);
}

void world_erode(unsigned droplets, HeightmapData::ErosionParams &params)
{
  if (world_links.genDropletErosion)
    world_links.genDropletErosion(droplets, params);
}

float world_square_depth(float x, float y, float z, float half)
{
  if (!world_links.calcSquareDepth)
    return 0.f;
  return _mm_cvtss_f32(world_links.calcSquareDepth(_mm_setr_ps(x, y, z, 0.f), half, true));
}
