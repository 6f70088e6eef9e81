// The spells that shape the world: what each costs and does, throwing one from the player as a
// missile, the missiles' flight and what each does where it lands, and the water sources they
// leave.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "module.h"
#include "terrain/game_rnd.h"
#include "world_render/fx_script.h"
#include "world_render/inst_objects.h"

namespace
{
constexpr float MISSILE_GRAVITY = 20.f, MISSILE_SPEED = 30.f, MIN_FLIGHT_TIME = 0.5f;
constexpr float WATER_SOURCE_RATE = 4.f, WATER_SOURCE_LIFE = 60.f, WATER_SOURCE_RADIUS = 2.5f;

// The named effects of the effect script around the missiles.
void fx(const char *name, vec4f a, vec4f b = v_zero(), vec4f c = v_zero(), float d = 0.f)
{
  call_fx_script(name, a, b, c, d);
}

vec4f trail_color(int class_id)
{
  switch (class_id)
  {
    case CLASS_ID_HillMissile: return v_make(0.5f, 1.f, 0.4f, 1.f);
    case CLASS_ID_PitMissile: return v_make(0.9f, 0.6f, 0.3f, 1.f);
    case CLASS_ID_FaultMissile: return v_make(1.f, 0.45f, 0.25f, 1.f);
    case CLASS_ID_WaterSourceMissile: return v_make(0.35f, 0.7f, 1.f, 1.f);
    case CLASS_ID_WaterSinkMissile: return v_make(0.3f, 0.35f, 1.f, 1.f);
    default: return v_make(1.f, 0.85f, 0.5f, 1.f);  // houses and the castle
  }
}

// Dust over the land that moves, around (x, z).
void land_dust(vec4f at, float radius)
{
  for (int k = 0; k < 12; k++)
    fx("land_dust", at, v_zero(), v_zero(), radius);
}

// A missile of class `id` thrown from `from` so that it lands at `to` after a time that grows
// with the distance.
Missile *launch(int id, vec4f from, vec4f to)
{
  auto *m = static_cast<Missile *>(new_gameobj_by_id(id));
  if (!m)
    return nullptr;
  vec4f d = to - from;
  float dist = std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_y(d) * v_extract_y(d) +
                         v_extract_z(d) * v_extract_z(d));
  float t = std::max(MIN_FLIGHT_TIME, dist / MISSILE_SPEED);
  m->start = m->pos = from;
  m->target = to;
  m->flightTime = t;
  m->vel = d * (1.f / t) + v_make(0.f, 0.5f * MISSILE_GRAVITY * t, 0.f, 0.f);
  return m;
}
}  // namespace

#define QM_SHAPING(name, title, cls, cost, what, min_range) \
  {name, title, name, cost, what, throw_shaping_missile, CLASS_ID_##cls, min_range}
const SpellInfo shaping_spells[NUM_SHAPING_SPELLS] = {
  QM_SHAPING("hill", "Hill", HillMissile, 20, "Raises a round hill where it lands.", 0.f),
  QM_SHAPING("pit", "Pit", PitMissile, 20, "Digs a round pit where it lands.", 0.f),
  QM_SHAPING("fault", "Fault", FaultMissile, 40, "Splits the land across your line of sight: the far side rises.", 0.f),
  QM_SHAPING("water_source", "Water source", WaterSourceMissile, 30, "Opens a spring that pours water for a minute.",
             0.f),
  QM_SHAPING("water_sink", "Water sink", WaterSinkMissile, 30, "Opens a drain that swallows water for a minute.", 0.f),
  QM_SHAPING("house", "House", HouseMissile, 50, "Builds a house on levelled ground.", 7.f),
  QM_SHAPING("castle", "Castle", CastleMissile, 150, "Builds a castle with four towers.", 15.f),
  QM_SHAPING("meteor", "Meteor", MeteorMissile, 80, "Calls down a meteor that blasts a crater.", 0.f),
};
#undef QM_SHAPING

bool throw_shaping_missile(const SpellInfo &s, const SpellAim &aim)
{
  Player *p = local_player;
  vec4f target = aim.land;
  if (!p || !aim.hasLand || !std::isfinite(v_extract_x(target)) || !std::isfinite(v_extract_z(target)))
    return false;
  vec4f from = get_local_player_eye(p) - v_make(0.f, 0.3f, 0.f, 0.f);
  float dx = v_extract_x(target) - v_extract_x(from), dz = v_extract_z(target) - v_extract_z(from);
  float d = std::sqrt(dx * dx + dz * dz);
  if (d < s.minRange)
  {
    // Out along the throw (straight ahead of the world's z axis when thrown at the feet).
    float ux = d > 1e-3f ? dx / d : 0.f, uz = d > 1e-3f ? dz / d : 1.f;
    float x = v_extract_x(from) + ux * s.minRange, z = v_extract_z(from) + uz * s.minRange;
    target = v_make(x, get_floor_height(x, z), z, 0.f);
  }
  // Let go at arm's length, so the stone does not fill the view.
  if (d > 1e-3f)
    from = from + v_make(dx / d, 0.f, dz / d, 0.f) * std::min(1.2f, 0.5f * d);
  return launch(s.missileClass, from, target) != nullptr;
}

WaterSource *add_water_source(vec4f at, float rate)
{
  auto *w = static_cast<WaterSource *>(new_gameobj_by_id(CLASS_ID_WaterSource));
  w->pos = at;
  w->rate = rate;
  w->radius = WATER_SOURCE_RADIUS;
  w->life = WATER_SOURCE_LIFE;
  return w;
}

void Missile::update(float dt)
{
  age += dt;
  if (age >= flightTime)
  {
    pos = target;
    impact();
    destroy();
    return;
  }
  vec4f was = pos;
  pos = start + vel * age - v_make(0.f, 0.5f * MISSILE_GRAVITY * age * age, 0.f, 0.f);
  if (classId == CLASS_ID_MeteorMissile)
    spawn_meteor_fx(pos, (pos - was) * (1.f / std::max(dt, 1e-3f)));
  else
    spawn_magic_missile_fx(was, pos, trail_color(classId));
}

void Missile::render()
{
  if (!stone1_inst.mesh)
    return;
  // A tumbling stone.
  float a = 7.f * age, c = std::cos(a) * 0.25f, s = std::sin(a) * 0.25f;
  Matrix44 tm = {};
  m44_set_row(tm, 0, v_make(c, s, 0.f, 0.f));
  m44_set_row(tm, 1, v_make(-s, c, 0.f, 0.f));
  m44_set_row(tm, 2, v_make(0.f, 0.f, 0.25f, 0.f));
  m44_set_row(tm, 3, v_set(pos, 3, 1.f));
  SimpleInstData d;
  make_simple_inst(tm, 0xFFC0E0FFu, d);
  memcpy(stone1_inst.addInstance(), &d, sizeof(d));
}

void HillMissile::impact()
{
  create_hill(v_extract_x(pos), v_extract_z(pos), HILL_RADIUS, HILL_HEIGHT);
  land_dust(pos, HILL_RADIUS);
}

void PitMissile::impact()
{
  create_hill(v_extract_x(pos), v_extract_z(pos), PIT_RADIUS, -PIT_DEPTH);
  land_dust(pos, PIT_RADIUS);
}

void MeteorMissile::impact()
{
  blast_crater(v_extract_x(pos), v_extract_z(pos), CRATER_RADIUS, CRATER_DEPTH);
  meteor_explode_fx(pos);
  land_dust(pos, 2.f * CRATER_RADIUS);
}

void HouseMissile::impact()
{
  build_house(v_extract_x(pos), v_extract_z(pos), int(game_rnd() % 3u));
  land_dust(pos, 5.f);
}

void CastleMissile::impact()
{
  build_house(v_extract_x(pos), v_extract_z(pos), -1);
  land_dust(pos, 10.f);
}

void WaterSourceMissile::impact()
{
  add_water_source(pos, WATER_SOURCE_RATE);
  fx("splash", pos, v_zero(), v_zero(), 1.f);
}

void WaterSinkMissile::impact()
{
  add_water_source(pos, -WATER_SOURCE_RATE);
  fx("splash", pos, v_zero(), v_zero(), 0.7f);
}

void FaultMissile::impact()
{
  // The scarp runs across the throw: the land beyond the line rises.
  vec4f d = target - start;
  open_fault(v_extract_x(pos), v_extract_z(pos), v_extract_x(d), v_extract_z(d), FAULT_HEIGHT);
  land_dust(pos, 16.f);
}

void WaterSource::update(float dt)
{
  add_source_water(v_extract_x(pos), v_extract_z(pos), radius, rate * dt);
  // A splash every half second where the water wells up (or swirls down).
  if (std::floor(2.f * life) != std::floor(2.f * (life - dt)))
  {
    if (rate > 0.f)
      spawn_water_source_fx(pos);
    else
      spawn_water_sink_fx(pos);
  }
  life -= dt;
  if (life <= 0.f)
    destroy();
}
