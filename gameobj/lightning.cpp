// Lightning: the player's bolt goes to the creature nearest the line of sight.
#include <cmath>

#include "combat.h"

namespace
{
constexpr float AIM_CONE_COS = 0.985f;  // about 10 degrees off the line of sight

// The middle of a creature, where bolts land.
vec4f middle(const GameObj *o) { return o->pos + v_make(0.f, 0.8f, 0.f, 0.f); }

// Whether the land or the water rises above the straight line from a to b.
bool hidden_by_land(vec4f a, vec4f b)
{
  for (int k = 1; k < 32; k++)
  {
    vec4f p = a + (b - a) * (float(k) / 32.f);
    if (v_extract_y(p) < get_floor_height(v_extract_x(p), v_extract_z(p)))
      return true;
  }
  return false;
}
}  // namespace

GameObj *pick_lightning_target(const SpellAim &aim)
{
  float len = std::sqrt(v_extract_x(v_dot3(aim.dir, aim.dir)));
  if (!(len > 1e-6f) || !std::isfinite(len))
    return nullptr;
  const vec4f dir = aim.dir * (1.f / len);
  GameObj *near[256], *best = nullptr;
  float best_cos = AIM_CONE_COS;
  int count = find_gameobjs_near(aim.eye, LIGHTNING_RANGE, near, 256);
  for (int i = 0; i < count; i++)
  {
    GameObj *o = near[i];
    if (o == local_player || (o->objFlags & OBJ_DESTROYED) || !is_creature(o))
      continue;
    // The creature's copy nearest the eye (the world wraps).
    vec4f to = ground_delta(aim.eye, middle(o)) + v_make(0.f, v_extract_y(middle(o)) - v_extract_y(aim.eye), 0.f, 0.f);
    float dist = std::sqrt(v_extract_x(v_dot3(to, to)));
    if (!(dist > 0.f) || dist > LIGHTNING_RANGE)
      continue;
    float c = v_extract_x(v_dot3(to, dir)) / dist;
    if (c > best_cos && !hidden_by_land(aim.eye, aim.eye + to))
    {
      best_cos = c;
      best = o;
    }
  }
  return best;
}

void cast_lightning(vec4f from, GameObj *target, GameObj *by)
{
  vec4f to = from + ground_delta(from, middle(target)) +
             v_make(0.f, v_extract_y(middle(target)) - v_extract_y(from), 0.f, 0.f);
  lightning_hit_fx(from, to);
  target->hurt(LIGHTNING_DAMAGE, by);
}
