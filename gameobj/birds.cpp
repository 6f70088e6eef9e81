// Birds: the land's ambient life. Each flock wheels about a home in the sky that drifts over the
// world; a bird keeps near its flockmates (apart, together, the same way), and the whole flock
// takes flight away from the player, from spells and from wyverns that come near, or when one of
// them is hurt.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "module.h"
#include "world_render/fx_script.h"
#include "world_render/inst_objects.h"

namespace
{
constexpr float SPEED = 7.f, FLEE_SPEED = 15.f, ACCEL = 14.f, CLEAR = 1.5f, CEILING = 40.f;
constexpr float HOME_HEIGHT = 10.f, SEE = 12.f, KEEP_APART = 1.5f, FLEE_TIME = 4.f, FLEE_HOME = 45.f, HOME_DRIFT = 1.5f;
constexpr int MAX_SEEN = 48;

float flat_len(vec4f d) { return std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d)); }

// What a bird takes fright at: the living player, spells in flight, wyverns.
bool frightens(const GameObj *o)
{
  if (o->classId == CLASS_ID_Player)
    return player_alive(static_cast<const Player *>(o));
  if (o->classId == CLASS_ID_WyvernMonster)
    return true;
  switch (o->classId)
  {
    case CLASS_ID_Fireball: case CLASS_ID_Waterball: case CLASS_ID_FaultMissile: case CLASS_ID_HouseMissile:
    case CLASS_ID_MeteorMissile: case CLASS_ID_ThunderstormMissile: case CLASS_ID_HillMissile:
    case CLASS_ID_PitMissile: case CLASS_ID_WaterSourceMissile: case CLASS_ID_WaterSinkMissile:
    case CLASS_ID_CastleMissile: case CLASS_ID_MagicMissile: case CLASS_ID_WaterGlobe:
    case CLASS_ID_ThunderstormObject: case CLASS_ID_LightningBolt: case CLASS_ID_Explosion:
      return true;
    default: return false;
  }
}

// The whole flock flies off away from `from`, to a new home out of the way.
void scare_flock(int flock, vec4f at, vec4f from)
{
  vec4f away = wrap_delta(from, at);
  float len = flat_len(away);
  away = len > 1e-3f ? away * (1.f / len) : v_make(1.f, 0.f, 0.f, 0.f);
  float x = wrap_coord(v_extract_x(at) + FLEE_HOME * v_extract_x(away));
  float z = wrap_coord(v_extract_z(at) + FLEE_HOME * v_extract_z(away));
  vec4f home = v_make(x, get_floor_height(x, z) + HOME_HEIGHT, z, 0.f);
  for (int i = 0; i < BirdMonster_list.size(); i++)
  {
    BirdMonster *b = BirdMonster_list[i];
    if (b->flock == flock)
    {
      b->home = home;
      b->fleeTime = FLEE_TIME;
    }
  }
}
}  // namespace

void BirdMonster::update(float dt)
{
  age += dt;
  sinceHurt += dt;
  fleeTime = std::max(0.f, fleeTime - dt);
  if (dying)
    return;
  // The home drifts on a slow curve of the flock's own, at a height over the land there.
  float a = 0.05f * age + float(flock) * 2.4f;
  float hx = wrap_coord(v_extract_x(home) + HOME_DRIFT * dt * std::cos(a));
  float hz = wrap_coord(v_extract_z(home) + HOME_DRIFT * dt * std::sin(a));
  home = v_make(hx, get_floor_height(hx, hz) + HOME_HEIGHT, hz, 0.f);

  GameObj *seen[MAX_SEEN];
  int n = find_gameobjs_near(pos, SEE, seen, MAX_SEEN);
  vec4f apart = v_zero(), mates_vel = v_zero(), mates_at = v_zero();
  int mates = 0;
  for (int i = 0; i < n; i++)
  {
    GameObj *o = seen[i];
    if (o == this)
      continue;
    vec4f d = wrap_delta(pos, o->pos);
    if (o->classId == CLASS_ID_BirdMonster && static_cast<BirdMonster *>(o)->flock == flock)
    {
      float dist = std::sqrt(v_extract_x(v_dot3(d, d)));
      if (dist < KEEP_APART && dist > 1e-4f)
        apart = apart - d * ((KEEP_APART - dist) / dist);
      mates_vel = mates_vel + static_cast<BirdMonster *>(o)->vel;
      mates_at = mates_at + d;
      mates++;
    }
    else if (fleeTime <= 0.f && std::fabs(v_extract_y(d)) < SEE && frightens(o))
      scare_flock(flock, pos, o->pos);
  }
  // Wheel about the home: towards it, and around it.
  vec4f to_home = wrap_delta(pos, home);
  float dist_home = flat_len(to_home);
  vec4f around = v_make(-v_extract_z(to_home), 0.f, v_extract_x(to_home), 0.f) * (1.f / std::max(dist_home, 1.f));
  vec4f want = around * SPEED + to_home * (std::min(dist_home, 20.f) * 0.25f / std::max(dist_home, 1.f)) * SPEED;
  want = want + v_make(0.f, 0.5f * v_extract_y(to_home), 0.f, 0.f);
  if (mates > 0)
    want = want + (mates_vel * (1.f / float(mates)) - vel) * 0.5f + mates_at * (0.4f / float(mates));
  want = want + apart * 4.f;
  float speed = fleeTime > 0.f ? FLEE_SPEED : SPEED;
  float len = std::sqrt(v_extract_x(v_dot3(want, want)));
  if (len > speed)
    want = want * (speed / len);
  fly_step(this, want, fleeTime > 0.f ? 2.f * ACCEL : ACCEL, CLEAR, CEILING, dt);
  // Wings beat faster climbing and fleeing; gliding when falling.
  float beat = 9.f + (fleeTime > 0.f ? 6.f : 0.f) + std::max(0.f, v_extract_y(vel)) * 2.f;
  phase += dt * (v_extract_y(vel) < -2.f ? 2.f : beat);
}

void BirdMonster::die(GameObj *)
{
  // A puff of feathers, and the flock takes flight.
  call_fx_script("sparks", pos, v_make(0.f, 1.f, 0.f, 0.f), v_make(0.8f, 0.75f, 0.65f, 1.f), 10.f);
  scare_flock(flock, pos, pos - vel);
  destroy();
}

namespace
{
// The bird's body along its flight: forward by the velocity, banked into the turn by its sideways
// push, scaled to a raven.
Matrix44 bird_tm(const BirdMonster *b, vec4f at)
{
  vec4f f = b->vel;
  float len = std::sqrt(v_extract_x(v_dot3(f, f)));
  f = len > 1e-3f ? f * (1.f / len) : v_make(0.f, 0.f, 1.f, 0.f);
  vec4f r = v_cross3(v_make(0.f, 1.f, 0.f, 0.f), f);
  float rl = std::sqrt(v_extract_x(v_dot3(r, r)));
  r = rl > 1e-3f ? r * (1.f / rl) : v_make(1.f, 0.f, 0.f, 0.f);
  vec4f u = v_cross3(f, r);
  Matrix44 tm = {};
  m44_set_row(tm, 0, r);
  m44_set_row(tm, 1, u);
  m44_set_row(tm, 2, f);
  m44_set_row(tm, 3, v_set(at, 3, 1.f));
  return tm;
}
}  // namespace

void BirdMonster::render()
{
  if (!bird_body_inst.mesh)
    return;
  MorphInstData d;
  make_simple_inst(bird_tm(this, drawn_pos(this)), sinceHurt < 0.2f ? 0xFFFF6060u : 0xFF808080u, d.base);
  // Morph weight 2r - 1: the wings from up (r 0.2) through spread to down (r 1).
  float w = 0.6f + 0.4f * std::sin(phase);
  uint32_t r = uint32_t(std::lround(std::clamp(w, 0.f, 1.f) * 255.f));
  d.morph = r << 16;
  memcpy(bird_body_inst.addInstance(), &d, sizeof(d));
}

void BirdMonster::renderShadow() { bird_body_inst.renderShadowBalls(bird_tm(this, drawn_pos(this)), 1.f); }
