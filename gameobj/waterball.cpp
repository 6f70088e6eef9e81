// Waterballs: a globe of water flies straight from the caster and bursts on the first thing it
// meets, pouring its water onto the land there and putting out the fires around.
#include <algorithm>

#include "combat.h"

void Waterball::update(float dt)
{
  GameObj *hit = nullptr;
  const vec4f was = pos;
  if (fly_ball(*this, dt, hit))
  {
    impact();
    destroy();
    return;
  }
  spawn_waterball_missile_fx(pos, (pos - was) * (1.f / std::max(dt, 1e-3f)));
}

void Waterball::impact()
{
  water_burst_fx(pos);
  GameObj *near[256];
  int count = find_gameobjs_near(pos, WATERBALL_RADIUS, near, 256);
  for (int i = 0; i < count; i++)
    if (near[i]->classId == CLASS_ID_Explosion)
      near[i]->destroy();
  add_water_globe(v_extract_x(pos), v_extract_z(pos), WATERBALL_WATER);
}
