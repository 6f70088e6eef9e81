#include "app/world_links.h"

#include "terrain/hmap_data.h"

WorldLinks world_links = {};

void connect_world_links() {}

void world_generate(const char *name)
{
  if (world_links.generate_world)
    world_links.generate_world(name);
}

float world_square_depth(float x, float y, float z, float half)
{
  return v_extract_x(HeightmapData::calcSquareDepth(v_make(x, y, z, 0.f), half, true));
}
