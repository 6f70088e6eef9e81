#include "app/world_links.h"

#include "app/main_loop.h"
#include "script/world_gen.h"
#include "script/world_gen_hooks.h"
#include "terrain/hmap_data.h"

WorldLinks world_links = {};

void connect_world_links()
{
  world_links.generate_world = &generate_world;
  world_gen_hooks.reset_update_time = reset_update_time;
}

void world_generate(const char *name)
{
  if (world_links.generate_world)
    world_links.generate_world(name);
}

float world_square_depth(float x, float y, float z, float half)
{
  return v_extract_x(HeightmapData::calcSquareDepth(v_make(x, y, z, 0.f), half, true));
}
