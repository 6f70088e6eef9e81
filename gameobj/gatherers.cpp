// Mana gatherers: creatures the player makes (G, for mana). A gatherer wanders about where it was
// made, stops to draw mana from the land with its petals open (grass and soil give most, rock and
// sand less, water and buildings nothing), and sends each ball's worth to the player as a mana
// ball that flies to it from anywhere. Wyverns hunt them; a hurt gatherer runs to the player.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/camera.h"
#include "module.h"
#include "terrain/game_rnd.h"
#include "world_render/fx_script.h"
#include "world_render/inst_objects.h"

using HD = HeightmapData;

namespace
{
constexpr float WALK = 2.f, RUN = 5.f, RANGE = 10.f, GATHER_RATE = 2.5f, REST = 6.f, AFRAID = 4.f;
constexpr float SHELTER = 6.f, MAKE_DISTANCE = 3.f, EYE_HEIGHT = 1.85f, BALL_HEIGHT = 2.4f;

float flat_len(vec4f d) { return std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d)); }

// Mana a second from the ground at `at`, per unit of the gathering rate.
float land_mana(vec4f at)
{
  int i = hmap_idx(int(v_extract_x(at)), int(v_extract_z(at)));
  const HD::Surface &s = HD::surface[i];
  if (HD::water[i].depth > 0.2f || s.ground_type == GT_HOUSE)
    return 0.f;
  float k = s.ground_type == GT_SOIL ? 1.f : 0.5f;
  return s.surface_type == ST_GRASS ? 1.5f * k : k;
}

// A place to walk to within RANGE of home, on dry ground when one of a few tries finds it.
vec4f next_goal(const ManaGatherer *g)
{
  vec4f best = g->home;
  for (int t = 0; t < 4; t++)
  {
    float a = game_rnd_unit(game_rnd()) * 6.2831853f, r = RANGE * game_rnd_unit(game_rnd());
    float x = wrap_coord(v_extract_x(g->home) + r * std::cos(a)), z = wrap_coord(v_extract_z(g->home) + r * std::sin(a));
    best = v_make(x, 0.f, z, 0.f);
    if (land_mana(best) > 0.f)
      break;
  }
  return best;
}
}  // namespace

void ManaGatherer::update(float dt)
{
  age += dt;
  sinceHurt += dt;
  Player *pl = local_player;
  const bool afraid = sinceHurt < AFRAID && pl && player_alive(pl);
  if (afraid)
    goal = pl->pos;
  vec4f to = wrap_delta(pos, goal);
  float dist = flat_len(to);
  bool walking = dist > (afraid ? SHELTER : 0.3f);  // near the player, not in its face
  if (!walking && !afraid)
  {
    rest -= dt;
    if (rest <= 0.f)
    {
      goal = next_goal(this);
      rest = REST;
    }
  }
  vel = walking ? v_set(to, 1, 0.f) * ((afraid ? RUN : WALK) / dist) : v_zero();
  float x = wrap_coord(v_extract_x(pos) + v_extract_x(vel) * dt), z = wrap_coord(v_extract_z(pos) + v_extract_z(vel) * dt);
  prevPos = pos;
  pos = v_make(x, get_floor_height(x, z), z, 0.f);
  prevPos = pos - wrap_delta(prevPos, pos);
  file_in_proximity(this);

  // Petals open while it stands and gathers; the eye watches the player.
  float mana = walking ? 0.f : land_mana(pos);
  phase += ((mana > 0.f ? 1.f : 0.f) - phase) * std::min(1.f, 2.f * dt);
  stored += GATHER_RATE * mana * dt;
  if (pl)
  {
    vec4f d = wrap_delta(pos, pl->pos);
    look = std::atan2(v_extract_x(d), v_extract_z(d));
  }
  if (stored >= MANA_BALL_MANA && pl && player_alive(pl))
  {
    stored -= MANA_BALL_MANA;
    auto *b = static_cast<ManaBall *>(new_gameobj_by_id(CLASS_ID_ManaBall));
    b->pos = pos + v_make(0.f, BALL_HEIGHT, 0.f, 0.f);
    b->sent = true;
    call_fx_script("sparks", b->pos, v_make(0.f, 1.5f, 0.f, 0.f), v_make(0.5f, 0.8f, 1.f, 1.f), 10.f);
  }
}

void ManaGatherer::die(GameObj *)
{
  call_fx_script("sparks", pos + v_make(0.f, 1.5f, 0.f, 0.f), v_make(0.f, 3.f, 0.f, 0.f), v_make(0.4f, 0.7f, 1.f, 1.f),
                 30.f);
  call_fx_script("smoke", pos + v_make(0.f, 1.f, 0.f, 0.f), v_zero(), v_zero(), 1.f);
  show_game_message("A mana gatherer was destroyed", 3.f);
  destroy();
}

bool make_gatherer()
{
  Player *p = local_player;
  if (!p || !player_alive(p) || ManaGatherer_list.size() >= MAX_GATHERERS)
    return false;
  if (!mana_cheat_on() && p->mana < GATHERER_COST)
    return false;
  // In front of the player, along the view on the ground.
  vec4f f = m44_row(cur_view_itm, 2);
  float l = flat_len(f);
  f = l > 1e-3f ? v_make(v_extract_x(f) / l, 0.f, v_extract_z(f) / l, 0.f) : v_make(0.f, 0.f, 1.f, 0.f);
  if (!spawn_monster(CLASS_ID_ManaGatherer, p->pos + f * MAKE_DISTANCE))
    return false;
  if (!mana_cheat_on())
    p->mana -= GATHERER_COST;
  return true;
}

namespace
{
Matrix44 yaw_tm(float yaw, vec4f at)
{
  float c = std::cos(yaw), s = std::sin(yaw);
  Matrix44 tm = {};
  m44_set_row(tm, 0, v_make(c, 0.f, -s, 0.f));
  m44_set_row(tm, 1, v_make(0.f, 1.f, 0.f, 0.f));
  m44_set_row(tm, 2, v_make(s, 0.f, c, 0.f));
  m44_set_row(tm, 3, v_set(at, 3, 1.f));
  return tm;
}
}  // namespace

void ManaGatherer::render()
{
  if (!gatherer_body_inst.mesh)
    return;
  const vec4f at = drawn_pos(this);
  const uint32_t color = sinceHurt < 0.25f ? 0xFFFF6060u : 0xFF808080u;
  MorphInstData d;
  make_simple_inst(yaw_tm(0.f, at), color, d.base);
  // Open petals breathe a little.
  float open = std::clamp(phase * (0.85f + 0.15f * std::sin(3.f * age)), 0.f, 1.f);
  d.morph = uint32_t(std::lround(128.f + 127.f * open)) << 16;
  memcpy(gatherer_body_inst.addInstance(), &d, sizeof(d));
  SimpleInstData e;
  make_simple_inst(yaw_tm(look, at + v_make(0.f, EYE_HEIGHT, 0.f, 0.f)), 0xFF808080u, e);
  memcpy(gatherer_eye_inst.addInstance(), &e, sizeof(e));
}

void ManaGatherer::renderShadow() { gatherer_body_inst.renderShadowBalls(yaw_tm(0.f, drawn_pos(this)), 1.f); }
