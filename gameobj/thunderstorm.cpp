// Thunderstorms: the thrown storm gathers clouds over a disc of the land, rains into the water
// there and strikes the creatures under it (other than the player) with lightning, or the land
// when there are none, until its time runs out.
#include <algorithm>
#include <cmath>

#include "combat.h"
#include "terrain/game_rnd.h"

namespace
{
float rnd_unit() { return game_rnd_unit(game_rnd()); }

// A strike from the clouds onto a creature under the storm, else onto a random point of the land.
void strike(ThunderstormObject &storm)
{
  GameObj *near[256], *pick[256];
  int count = find_gameobjs_near(storm.pos, storm.radius, near, 256), n = 0;
  for (int i = 0; i < count; i++)
    if (near[i] != local_player && !(near[i]->objFlags & OBJ_DESTROYED) && is_creature(near[i]))
      pick[n++] = near[i];
  GameObj *target = n > 0 ? pick[std::min(n - 1, int(rnd_unit() * float(n)))] : nullptr;
  vec4f to;
  if (target)
    to = storm.pos + ground_delta(storm.pos, target->pos) + v_make(0.f, v_extract_y(target->pos) - v_extract_y(storm.pos) + 0.8f, 0.f, 0.f);
  else
  {
    float a = 6.2831853f * rnd_unit(), r = storm.radius * std::sqrt(rnd_unit());
    float x = v_extract_x(storm.pos) + r * std::cos(a), z = v_extract_z(storm.pos) + r * std::sin(a);
    to = v_make(x, get_floor_height(x, z), z, 0.f);
  }
  vec4f from = v_make(v_extract_x(to) + 3.f * (rnd_unit() - 0.5f), v_extract_y(storm.pos) + STORM_CLOUD_HEIGHT,
                      v_extract_z(to) + 3.f * (rnd_unit() - 0.5f), 0.f);
  lightning_hit_fx(from, to);
  if (target)
    target->hurt(STORM_STRIKE_DAMAGE, local_player);
}
}  // namespace

void ThunderstormMissile::impact()
{
  auto *storm = static_cast<ThunderstormObject *>(new_gameobj_by_id(CLASS_ID_ThunderstormObject));
  storm->pos = pos;
  storm->radius = STORM_RADIUS;
  storm->life = STORM_LIFE;
  storm->nextStrike = 2.f;  // the clouds gather first
}

void ThunderstormObject::update(float dt)
{
  if (!(dt > 0.f))
    return;
  add_source_water(v_extract_x(pos), v_extract_z(pos), radius, STORM_RAIN_RATE * std::min(dt, life));
  spawn_spellobj_fx(pos, radius);
  nextStrike -= dt;
  if (nextStrike <= 0.f)
  {
    strike(*this);
    nextStrike = 1.5f + 2.f * rnd_unit();
  }
  life -= dt;
  if (life <= 0.f)
    destroy();
}
