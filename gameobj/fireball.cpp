// Fireballs: a ball of fire flies straight from the caster and bursts on the first creature,
// stone, building, land or water it meets, hurting everything around; on dry land the burst
// leaves a fire that burns what stands in it until it burns out or water reaches it.
#include <algorithm>
#include <cmath>

#include "combat.h"
#include "gameobj_host/proximity.h"

namespace
{
constexpr float FIRE_RADIUS = 1.5f, WET_DEPTH = 0.05f;

bool wet_at(vec4f p) { return get_floor_height(v_extract_x(p), v_extract_z(p)) - get_land_height(v_extract_x(p), v_extract_z(p)) > WET_DEPTH; }
}  // namespace

void Fireball::update(float dt)
{
  GameObj *hit = nullptr;
  const vec4f was = pos;
  if (fly_ball(*this, dt, hit))
  {
    apply_fireball(pos, hit, local_player);
    destroy();
    return;
  }
  spawn_fireball_fx(pos, (pos - was) * (1.f / std::max(dt, 1e-3f)));
}

int apply_fireball(vec4f at, GameObj *direct, GameObj *by)
{
  fireball_explode_fx(at);
  GameObj *near[256];
  int count = find_gameobjs_near(at, FIREBALL_RADIUS, near, 256), hurt = 0;
  for (int i = 0; i < count; i++)
  {
    GameObj *o = near[i];
    if (o->objFlags & OBJ_DESTROYED)
      continue;
    float dy = v_extract_y(o->pos) - v_extract_y(at);
    vec4f d = ground_delta(at, o->pos);
    float dist = std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d) + dy * dy);
    if (o != direct && dist > FIREBALL_RADIUS)
      continue;
    // Full at the heart of the burst, half at its edge.
    o->hurt(o == direct ? FIREBALL_DAMAGE : FIREBALL_DAMAGE * (1.f - 0.5f * dist / FIREBALL_RADIUS), by);
    hurt++;
  }
  // A burst on (or just over) dry land sets it alight.
  float floor = get_floor_height(v_extract_x(at), v_extract_z(at));
  if (v_extract_y(at) - floor < 1.5f && !wet_at(at))
    start_fire(v_set(at, 1, floor));
  return hurt;
}

void start_fire(vec4f at)
{
  auto *f = static_cast<Explosion *>(new_gameobj_by_id(CLASS_ID_Explosion));
  f->pos = at;
  f->life = FIRE_LIFE;
  f->radius = FIRE_RADIUS;
  // Filed in the proximity grid where it stays, so that water finds it.
  float x = v_extract_x(at), z = v_extract_z(at);
  update_proximity(f, v_make(x - f->radius, z - f->radius, x + f->radius, z + f->radius));
}

void Explosion::update(float dt)
{
  life -= dt;
  if (life <= 0.f || wet_at(pos))
  {
    destroy();
    return;
  }
  fire_fx(pos);
  GameObj *near[64];
  int count = find_gameobjs_near(pos, radius, near, 64);
  for (int i = 0; i < count; i++)
    if (near[i] != this && !(near[i]->objFlags & OBJ_DESTROYED) &&
        v_extract_y(near[i]->pos) - v_extract_y(pos) < 2.f)
      near[i]->hurt(FIRE_DAMAGE_RATE * dt, nullptr);
}
