// Mana in the world and the way out of it: balls of mana scattered over the land fly to a player
// who comes near and give their mana; once the player has gathered enough, a portal opens near
// it, and walking into the portal asks the game for a new world.
#include <algorithm>
#include <cmath>

#include "module.h"
#include "terrain/game_rnd.h"
#include "world_render/fx_script.h"

namespace
{
constexpr float BALL_HOVER = 1.2f, BALL_SPEED = 12.f, PORTAL_ENTER_RADIUS = 1.8f, PORTAL_DISTANCE = 8.f;

float distance(vec4f a, vec4f b)
{
  vec4f d = a - b;
  return std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_y(d) * v_extract_y(d) +
                   v_extract_z(d) * v_extract_z(d));
}

// The player's middle, what balls fly to and portals take in.
vec4f player_middle(Player *p) { return p->pos + v_make(0.f, 0.5f * PLAYER_EYE_HEIGHT, 0.f, 0.f); }

}  // namespace

// The portal opens a few steps from the player, on the floor there.
void open_world_portal(Player *p)
{
  if (!WorldPortal_list.empty())
    return;
  auto *w = static_cast<WorldPortal *>(new_gameobj_by_id(CLASS_ID_WorldPortal));
  float x = v_extract_x(p->pos) + PORTAL_DISTANCE, z = v_extract_z(p->pos);
  w->pos = v_make(x, get_floor_height(x, z), z, 0.f);
}

void scatter_mana_balls()
{
  for (int n = 0; n < NUM_MANA_BALLS; n++)
  {
    float x = game_rnd_unit(game_rnd()) * float(HMAP_SIZE), z = game_rnd_unit(game_rnd()) * float(HMAP_SIZE);
    auto *b = static_cast<ManaBall *>(new_gameobj_by_id(CLASS_ID_ManaBall));
    b->pos = v_make(x, get_floor_height(x, z) + BALL_HOVER, z, 0.f);
    b->age = game_rnd_unit(game_rnd()) * 6.f;
  }
}

void ManaBall::update(float dt)
{
  age += dt;
  drawn = false;
  Player *p = local_player;
  if (!p)
    return;
  // Distances across the seam: the player's copy nearest to the ball.
  vec4f to = player_middle(p);
  vec4f d = to - pos;
  float dx = std::remainder(v_extract_x(d), float(HMAP_SIZE)), dz = std::remainder(v_extract_z(d), float(HMAP_SIZE));
  to = pos + v_make(dx, v_extract_y(d), dz, 0.f);
  float dist = distance(to, pos);
  if (dist < 1.f)
  {
    p->mana = std::min(PLAYER_MAX_MANA, p->mana + MANA_BALL_MANA);
    p->manaGathered += MANA_BALL_MANA;
    call_fx_script("sparks", pos, v_make(0.f, 2.f, 0.f, 0.f), v_make(0.6f, 0.8f, 1.f, 1.f), 12.f);
    destroy();
    if (p->manaGathered >= PORTAL_MANA)
      open_world_portal(p);
    return;
  }
  if (dist < MANA_BALL_PULL || sent)
  {
    pos = pos + (to - pos) * (std::min(1.f, BALL_SPEED * dt / dist));
    if (sent)  // over the land on its way
      pos = v_set(pos, 1, std::max(v_extract_y(pos), get_floor_height(v_extract_x(pos), v_extract_z(pos)) + 0.5f));
  }
  else
    pos = v_set(pos, 1, get_floor_height(v_extract_x(pos), v_extract_z(pos)) + BALL_HOVER +
                          0.25f * std::sin(2.f * age));
}

void ManaBall::render()
{
  // One wisp a step, drawn with the frame that follows it.
  if (drawn)
    return;
  drawn = true;
  call_fx_script("magic_trail", pos, pos + v_make(0.f, 0.3f, 0.f, 0.f), v_make(0.5f, 0.75f, 1.f, 1.f), 0.8f);
}

void WorldPortal::update(float dt)
{
  age += dt;
  drawn = false;
  Player *p = local_player;
  if (!p)
    return;
  float dx = std::remainder(v_extract_x(p->pos) - v_extract_x(pos), float(HMAP_SIZE));
  float dz = std::remainder(v_extract_z(p->pos) - v_extract_z(pos), float(HMAP_SIZE));
  float dy = v_extract_y(p->pos) - v_extract_y(pos);
  if (dx * dx + dz * dz < PORTAL_ENTER_RADIUS * PORTAL_ENTER_RADIUS && dy > -1.f && dy < 4.f)
    request_new_world = true;
}

void WorldPortal::render()
{
  if (drawn)
    return;
  drawn = true;
  // A ring of violet wisps turning about a column of light.
  for (int k = 0; k < 6; k++)
  {
    float a = 2.f * age + float(k) * 1.0471976f;
    vec4f at = pos + v_make(1.5f * std::cos(a), 0.3f + 0.5f * float(k), 1.5f * std::sin(a), 0.f);
    call_fx_script("magic_trail", at, at + v_make(0.f, 0.4f, 0.f, 0.f), v_make(0.8f, 0.45f, 1.f, 1.f), 1.f);
  }
  call_fx_script("magic_trail", pos, pos + v_make(0.f, 3.5f, 0.f, 0.f), v_make(0.95f, 0.85f, 1.f, 1.f), 1.4f);
}
