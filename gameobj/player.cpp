// The local player: walks over the land and the water, rises and sinks on request, falls under
// gravity, and never ends a step below the surface under it. The camera sits at its eye.
#include <algorithm>
#include <cmath>

#include "module.h"
#include "script/world_script.h"
#include "support/debug.h"

namespace
{
// A walker keeps to the ground down slopes of up to 1.5 units of drop per unit of way (56
// degrees), plus a small step; steeper, it leaves the ground and falls.
constexpr float STICK_SLOPE = 1.5f, STICK_STEP = 0.2f;

bool finite3(vec4f v)
{
  return std::isfinite(v_extract_x(v)) && std::isfinite(v_extract_y(v)) && std::isfinite(v_extract_z(v));
}

// Puts the feet on the floor when below it or less than stick_drop above it.
void settle(Player *p, float x, float y, float z, float stick_drop)
{
  float floor = get_floor_height(x, z);
  if (y <= floor || y - floor < stick_drop)
  {
    y = floor;
    p->vy = 0.f;
    p->onGround = true;
  }
  else
    p->onGround = false;
  p->pos = v_make(wrap_coord(x), y, wrap_coord(z), 0.f);
  file_in_proximity(p);
}

float land_at(int x, int z) { return HeightmapData::hmap[hmap_idx(x, z)]; }

bool dry_and_open(int x, int z)
{
  for (int dz = -3; dz <= 3; dz++)
    for (int dx = -3; dx <= 3; dx++)
    {
      int i = hmap_idx(x + dx, z + dz);
      if (HeightmapData::surface[i].ground_type == GT_HOUSE || HeightmapData::water[i].depth > 0.01f ||
          !std::isfinite(HeightmapData::hmap[i]))
        return false;
    }
  return true;
}

// How good (x, z) is to begin on, or -inf where one cannot: dry level ground off the buildings,
// a little above its surroundings (a view rather than a wall; a peak earns no more than a knoll),
// buildings in sight for a bonus.
float start_place_score(int x, int z)
{
  if (!dry_and_open(x, z))
    return -INFINITY;
  const float h = land_at(x, z);
  for (int dz = -2; dz <= 2; dz += 2)
    for (int dx = -2; dx <= 2; dx += 2)
      if (std::fabs(land_at(x + dx, z + dz) - h) > 1.f)
        return -INFINITY;
  constexpr int RING = 16;
  constexpr float RADIUS = 20.f;
  float ring_sum = 0.f;
  int walls = 0;
  for (int k = 0; k < RING; k++)
  {
    float c = std::cos(float(k) * 6.2831853f / float(RING)), s = std::sin(float(k) * 6.2831853f / float(RING));
    float r = land_at(x + int(std::lround(RADIUS * c)), z + int(std::lround(RADIUS * s)));
    ring_sum += r;
    walls += r > h + 8.f;
    walls += land_at(x + int(std::lround(0.4f * RADIUS * c)), z + int(std::lround(0.4f * RADIUS * s))) > h + 4.f;
  }
  float score = std::clamp(h - ring_sum / float(RING), -10.f, 3.f) - 2.f * float(walls);
  for (int dz = -28; dz <= 28; dz += 4)
    for (int dx = -28; dx <= 28; dx += 4)
      if (dx * dx + dz * dz >= 100 && HeightmapData::surface[hmap_idx(x + dx, z + dz)].ground_type == GT_HOUSE)
        return score + 5.f;
  return score;
}

// The best starting place of the world on a 2-cell lattice (no random draws, so the objects
// scattered after it do not depend on it); the world's centre when nothing qualifies.
void choose_start_place(float &x, float &z)
{
  float best = -INFINITY;
  x = z = float(HMAP_SIZE / 2);
  for (int cz = 0; cz < HMAP_SIZE; cz += 2)
    for (int cx = 0; cx < HMAP_SIZE; cx += 2)
    {
      float s = start_place_score(cx, cz);
      if (s > best)
      {
        best = s;
        x = float(cx) + 0.5f;
        z = float(cz) + 0.5f;
      }
    }
}
}  // namespace

void Player::onDestroy()
{
  if (local_player == this)
    local_player = nullptr;
}

Player *get_local_player() { return local_player; }

void place_local_player(Player *p, vec4f eye)
{
  if (!p || !finite3(eye))
    return;
  p->vy = 0.f;
  settle(p, v_extract_x(eye), v_extract_y(eye) - PLAYER_EYE_HEIGHT, v_extract_z(eye), 0.f);
}

void move_local_player(Player *p, float dt, float step_len, vec4f motion, const Matrix44 &basis, int dash_dir)
{
  if (!p || !(dt > 0.f))
    return;
  if (!finite3(motion) || !player_alive(p))
    motion = v_zero();  // the fallen lie where they fell
  float x = v_extract_x(p->pos) + v_extract_x(motion);
  float z = v_extract_z(p->pos) + v_extract_z(motion);
  float y = v_extract_y(p->pos);
  float rise = v_extract_y(motion);
  bool flying = rise != 0.f;
  if (flying)
  {
    y += rise;
    p->vy = 0.f;
  }
  else
  {
    p->vy -= PLAYER_GRAVITY * dt;
    y += p->vy * dt;
  }
  float way = std::sqrt(v_extract_x(motion) * v_extract_x(motion) + v_extract_z(motion) * v_extract_z(motion));
  settle(p, x, y, z, p->onGround && !flying ? STICK_STEP + STICK_SLOPE * way : 0.f);
}

vec4f get_local_player_eye(Player *p)
{
  return p ? p->pos + v_make(0.f, PLAYER_EYE_HEIGHT, 0.f, 0.f) : v_zero();
}

void player_before_generate()
{
  // remove_all_gameobj ran before: a player still listed here was made by someone else and is
  // kept; nothing to prepare.
}

void player_after_generate()
{
  if (!local_player)
  {
    local_player = static_cast<Player *>(new_gameobj_by_id(CLASS_ID_Player));
    float x, z;
    choose_start_place(x, z);
    local_player->pos = v_make(x, 0.f, z, 0.f);
    local_player->mana = PLAYER_START_MANA;
    local_player->health = PLAYER_MAX_HEALTH;
  }
  Player *p = local_player;
  p->vy = 0.f;
  settle(p, v_extract_x(p->pos), -1e30f, v_extract_z(p->pos), 0.f);
  p->startPos = p->pos;
  generate_objects();
  generate_monsters();
  debug("local player at (%.1f, %.1f, %.1f), %d objects", v_extract_x(p->pos), v_extract_y(p->pos),
        v_extract_z(p->pos), GameObj_list.size());
  world_script_str_event(WORLD_READY_EVENT);
}

void Player::update(float dt)
{
  if (!(dt > 0.f))
    return;
  mana = std::min(PLAYER_MAX_MANA, mana + PLAYER_MANA_REGEN * dt);
  update_player_health(this, dt);
}
