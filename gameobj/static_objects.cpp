// Stones and menhirs scattered over the world after it is generated: on dry land, off the house
// squares, drawn from the game's random generator (one seed, one placement).
#include <cmath>

#include "module.h"
#include "terrain/game_rnd.h"

using HD = HeightmapData;

namespace
{
constexpr int NUM_STONES = 48, NUM_MENHIRS1 = 16, NUM_MENHIRS2 = 16;
constexpr int MAX_TRIES = 16;  // per object; a world with little dry land gets fewer

float rnd_coord() { return game_rnd_unit(game_rnd()) * float(HMAP_SIZE - 1); }

bool good_place(float x, float z)
{
  int i = hmap_idx(int(x), int(z));
  for (int dz = 0; dz < 2; dz++)
    for (int dx = 0; dx < 2; dx++)
    {
      int j = hmap_idx(int(x) + dx, int(z) + dz);
      if (HD::surface[j].ground_type == GT_HOUSE || HD::water[j].depth > 0.01f)
        return false;
    }
  return std::isfinite(HD::hmap[i]);
}

void scatter(int class_id, int count, float min_scale, float max_scale)
{
  for (int n = 0; n < count; n++)
    for (int t = 0; t < MAX_TRIES; t++)
    {
      float x = rnd_coord(), z = rnd_coord();
      if (!good_place(x, z))
        continue;
      auto *o = static_cast<StaticObject *>(new_gameobj_by_id(class_id));
      o->pos = v_make(x, get_land_height(x, z), z, 0.f);
      o->yaw = game_rnd_unit(game_rnd()) * 6.2831853f;
      o->scale = min_scale + (max_scale - min_scale) * game_rnd_unit(game_rnd());
      break;
    }
}
}  // namespace

void generate_objects()
{
  scatter(CLASS_ID_Stone1StaticObject, NUM_STONES, 0.6f, 1.4f);
  scatter(CLASS_ID_Menhir1StaticObject, NUM_MENHIRS1, 0.9f, 1.2f);
  scatter(CLASS_ID_Menhir2StaticObject, NUM_MENHIRS2, 0.9f, 1.2f);
  scatter_mana_balls();
}
