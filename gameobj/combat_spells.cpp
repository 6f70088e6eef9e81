// The spells that fight: fireball, waterball, lightning, thunderstorm and healing. Their table,
// their casts, and what their objects share: the straight flight of the balls and what stops it.
#include <algorithm>
#include <cmath>

#include "combat.h"

namespace
{
float length3(vec4f v)
{
  return std::sqrt(v_extract_x(v) * v_extract_x(v) + v_extract_y(v) * v_extract_y(v) +
                   v_extract_z(v) * v_extract_z(v));
}

// Where a spell leaves the player's hand: a little below the eye and out along the aim.
vec4f hand(Player *p, vec4f dir) { return get_local_player_eye(p) - v_make(0.f, 0.3f, 0.f, 0.f) + dir; }

// The direction of the aim (unit length), or false when it has none.
bool aim_dir(const SpellAim &aim, vec4f &dir)
{
  float len = length3(aim.dir);
  if (!(len > 1e-6f) || !std::isfinite(len))
    return false;
  dir = aim.dir * (1.f / len);
  return true;
}

bool cast_ball(const SpellInfo &s, const SpellAim &aim)
{
  Player *p = local_player;
  vec4f dir;
  if (!p || !aim_dir(aim, dir))
    return false;
  float lift = 0.f;
  if (aim.hasLand)
  {
    // Straight at the land point, aimed a little high so that the drop brings it there.
    vec4f d = aim.land - hand(p, dir);
    float len = length3(d);
    if (len > 1.f && std::isfinite(len))
    {
      dir = d * (1.f / len);
      float t = len / BALL_SPEED;
      lift = 0.5f * BALL_DROP * t;
    }
  }
  Missile *m = throw_ball(s.missileClass, dir);
  if (m)
    m->vel = m->vel + v_make(0.f, lift, 0.f, 0.f);
  return m != nullptr;
}

bool cast_lightning_spell(const SpellInfo &, const SpellAim &aim)
{
  Player *p = local_player;
  vec4f dir;
  GameObj *target = p && aim_dir(aim, dir) ? pick_lightning_target(aim) : nullptr;
  if (!target)
    return false;
  cast_lightning(hand(p, dir), target, p);
  return true;
}

bool cast_healing(const SpellInfo &, const SpellAim &)
{
  Player *p = local_player;
  if (!p)
    return false;
  auto *aura = static_cast<HealingAura *>(new_gameobj_by_id(CLASS_ID_HealingAura));
  aura->target.set(p);
  aura->pos = p->pos;
  aura->life = HEALING_TIME;
  aura->rate = HEALING_AMOUNT / HEALING_TIME;
  return true;
}
}  // namespace

const SpellInfo combat_spells[NUM_COMBAT_SPELLS] = {
  {"fireball", "Fireball", "fireball", 25, "Hurls a ball of fire that bursts where it hits.", cast_ball,
    CLASS_ID_Fireball, 0.f},
  {"waterball", "Waterball", "waterball", 20, "Throws a globe of water: puts out fire, adds water.", cast_ball,
    CLASS_ID_Waterball, 0.f},
  {"lightning", "Lightning", "lightning", 40, "Strikes the creature under the crosshair.", cast_lightning_spell,
    CLASS_ID_NONE, 0.f},
  {"thunderstorm", "Thunderstorm", "thunderstorm", 120, "Brings a storm: rain and lightning strikes.",
    throw_shaping_missile, CLASS_ID_ThunderstormMissile, 0.f},
  {"healing", "Healing", "healing", 50, "Restores your health.", cast_healing, CLASS_ID_NONE, 0.f},
};

bool is_creature(const GameObj *o)
{
  switch (o->classId)
  {
    case CLASS_ID_Player:
    case CLASS_ID_Monster:
    case CLASS_ID_WyvernMonster:
    case CLASS_ID_BirdMonster:
    case CLASS_ID_ManaGatherer: return true;
    default: return false;
  }
}

bool stops_balls(const GameObj *o)
{
  switch (o->classId)
  {
    case CLASS_ID_StaticObject:
    case CLASS_ID_Stone1StaticObject:
    case CLASS_ID_Stone2StaticObject:
    case CLASS_ID_Stone3StaticObject:
    case CLASS_ID_Menhir1StaticObject:
    case CLASS_ID_Menhir2StaticObject:
    case CLASS_ID_Tree1StaticObject:
    case CLASS_ID_Tree2StaticObject:
    case CLASS_ID_Bush1StaticObject:
    case CLASS_ID_CastleObject:
    case CLASS_ID_CastleGate:
    case CLASS_ID_CastleTower: return true;
    default: return is_creature(o);
  }
}

vec4f ground_delta(vec4f a, vec4f b)
{
  auto wrapped = [](float d) { return d - 256.f * std::floor(d / 256.f + 0.5f); };
  return v_make(wrapped(v_extract_x(b) - v_extract_x(a)), 0.f, wrapped(v_extract_z(b) - v_extract_z(a)), 0.f);
}

bool in_hit_box(const GameObj *o, vec4f p)
{
  vec4f d = ground_delta(o->pos, p);
  float dy = v_extract_y(p) - v_extract_y(o->pos);
  return v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d) <= HIT_REACH * HIT_REACH &&
         dy >= -HIT_REACH && dy <= HIT_HEIGHT;
}

Missile *throw_ball(int id, vec4f dir)
{
  Player *p = local_player;
  if (!p)
    return nullptr;
  auto *m = static_cast<Missile *>(new_gameobj_by_id(id));
  m->start = m->pos = hand(p, dir);
  m->vel = dir * BALL_SPEED;
  m->flightTime = BALL_RANGE / BALL_SPEED;
  return m;
}

bool fly_ball(Missile &m, float dt, GameObj *&hit)
{
  hit = nullptr;
  m.age += dt;
  m.vel = m.vel - v_make(0.f, BALL_DROP * dt, 0.f, 0.f);
  const vec4f was = m.pos, to = was + m.vel * dt;
  // Walk the step's path in short pieces, so that nothing is flown through.
  const float len = length3(to - was);
  const int pieces = std::clamp(int(std::ceil(len / 0.4f)), 1, 256);
  GameObj *near[64];
  const int count = find_gameobjs_near((was + to) * 0.5f, 0.5f * len + HIT_REACH + 0.1f, near, 64);
  for (int k = 1; k <= pieces; k++)
  {
    const vec4f p = was + (to - was) * (float(k) / float(pieces));
    for (int i = 0; i < count; i++)
    {
      GameObj *o = near[i];
      if (o != local_player && !(o->objFlags & OBJ_DESTROYED) && stops_balls(o) && in_hit_box(o, p))
      {
        m.pos = p;
        hit = o;
        return true;
      }
    }
    const float floor = get_floor_height(v_extract_x(p), v_extract_z(p));
    if (v_extract_y(p) <= floor)
    {
      m.pos = v_set(p, 1, floor);
      return true;
    }
  }
  m.pos = to;
  return m.age >= m.flightTime;
}
