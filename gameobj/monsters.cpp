// What every creature shares (health, death, flight over the wrapping world) and the rules that
// bring them: the world's spawner with its clock and rising difficulty, waves of wyverns, flocks of
// birds, and the names the game, the cheats and the scripts use.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/app_globals.h"
#include "gameobj_host/proximity.h"
#include "module.h"
#include "script/sqbind.h"
#include "support/debug.h"
#include "terrain/game_rnd.h"

namespace
{
bool spawn_on = true;

// The first wave comes after a grace period; later ones more often and larger as the difficulty
// rises; the alive are capped.
constexpr float FIRST_WAVE = 40.f, WAVE_INTERVAL = 50.f, MIN_WAVE_INTERVAL = 15.f, FLOCK_CHECK = 30.f;
constexpr int MAX_WYVERNS_ALIVE = 6;
constexpr float WAVE_DISTANCE = 80.f, WAVE_ALTITUDE = 20.f, FLOCK_ALTITUDE = 10.f;

float rnd_unit() { return game_rnd_unit(game_rnd()); }

SpawnPoint *world_spawner()
{
  for (int i = 0; i < GameObj_list.size(); i++)
    if (GameObj_list[i]->classId == CLASS_ID_SpawnPoint && !(GameObj_list[i]->objFlags & OBJ_DESTROYED))
      return static_cast<SpawnPoint *>(GameObj_list[i]);
  return nullptr;
}

// Wyverns alive: neither destroyed nor falling to their death.
int live_wyverns()
{
  int n = 0;
  for (int i = 0; i < WyvernMonster_list.size(); i++)
    n += !(WyvernMonster_list[i]->objFlags & OBJ_DESTROYED) && !WyvernMonster_list[i]->dying;
  return n;
}

// Somewhere around the player (the world's middle without one), `dist` away at a random bearing.
vec4f around_player(float dist)
{
  vec4f c = local_player ? local_player->pos : v_make(128.f, 0.f, 128.f, 0.f);
  float a = rnd_unit() * 6.2831853f;
  float x = wrap_coord(v_extract_x(c) + dist * std::cos(a)), z = wrap_coord(v_extract_z(c) + dist * std::sin(a));
  return v_make(x, get_floor_height(x, z), z, 0.f);
}

int next_flock = 0;

void spawn_flock(vec4f at)
{
  int flock = ++next_flock;
  vec4f home = at + v_make(0.f, FLOCK_ALTITUDE, 0.f, 0.f);
  for (int i = 0; i < FLOCK_BIRDS; i++)
  {
    vec4f p = home + v_make(6.f * (rnd_unit() - 0.5f), 2.f * rnd_unit(), 6.f * (rnd_unit() - 0.5f), 0.f);
    auto *b = static_cast<BirdMonster *>(spawn_monster(CLASS_ID_BirdMonster, p));
    b->flock = flock;
    b->home = home;
    b->phase = rnd_unit() * 6.2831853f;
  }
}

int flock_count()
{
  int n = 0;
  for (int i = 0; i < BirdMonster_list.size(); i++)
  {
    bool first = true;
    for (int j = 0; j < i && first; j++)
      first = BirdMonster_list[j]->flock != BirdMonster_list[i]->flock;
    n += first;
  }
  return n;
}

void spawn_wave(float difficulty, int count)
{
  for (int i = 0; i < count; i++)
    spawn_monster(CLASS_ID_WyvernMonster, around_player(WAVE_DISTANCE + 10.f * rnd_unit()) +
                                              v_make(0.f, WAVE_ALTITUDE, 0.f, 0.f));
  debug("%d wyvern%s at difficulty %.1f", count, count == 1 ? "" : "s", difficulty);
  show_game_message(count == 1 ? "A wyvern is coming!" : "Wyverns are coming!", 3.f);
}
}  // namespace

float wrap_coord(float v)
{
  v = std::fmod(v, float(HMAP_SIZE));
  v = v < 0.f ? v + float(HMAP_SIZE) : v;
  return v < float(HMAP_SIZE) ? v : 0.f;  // -1e-9 + 256 rounds to 256
}

vec4f wrap_delta(vec4f a, vec4f b)
{
  vec4f d = b - a;
  return v_make(std::remainder(v_extract_x(d), float(HMAP_SIZE)), v_extract_y(d),
                std::remainder(v_extract_z(d), float(HMAP_SIZE)), 0.f);
}

vec4f drawn_pos(const Monster *m)
{
  float k = std::clamp(time_ik, 0.f, 1.f);
  return m->prevPos + wrap_delta(m->prevPos, m->pos) * k;
}

void fly_step(Monster *m, vec4f want, float accel, float clear, float ceiling, float dt)
{
  if (!(dt > 0.f))
    return;
  vec4f dv = want - m->vel;
  float len = std::sqrt(v_extract_x(v_dot3(dv, dv)));
  if (!std::isfinite(len))
    dv = v_zero(), len = 0.f;
  float most = accel * dt;
  m->vel = m->vel + (len > most ? dv * (most / len) : dv);
  vec4f p = m->pos + m->vel * dt;
  float x = wrap_coord(v_extract_x(p)), z = wrap_coord(v_extract_z(p)), y = v_extract_y(p);
  if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(y))
  {
    // Nothing sensible to keep: back where it was, at rest.
    m->vel = v_zero();
    return;
  }
  // Climb early before rising ground: the floor half a second ahead counts too, gently.
  float floor = get_floor_height(x, z);
  float ahead = get_floor_height(x + 0.5f * v_extract_x(m->vel), z + 0.5f * v_extract_z(m->vel));
  if (y < ahead + clear && v_extract_y(m->vel) < 4.f)
    m->vel = v_set(m->vel, 1, v_extract_y(m->vel) + 30.f * dt);
  if (y < floor + clear)
  {
    y = floor + clear;
    m->vel = v_set(m->vel, 1, std::max(0.f, v_extract_y(m->vel)));
  }
  if (y > floor + ceiling)
  {
    y = floor + ceiling;
    m->vel = v_set(m->vel, 1, std::min(0.f, v_extract_y(m->vel)));
  }
  m->prevPos = m->pos;
  m->pos = v_make(x, y, z, 0.f);
  // Drawn from the old place to the new one the short way round, even across a seam.
  m->prevPos = m->pos - wrap_delta(m->prevPos, m->pos);
  file_in_proximity(m);
}

void Monster::hurt(float amount, GameObj *by)
{
  if (dying || (objFlags & OBJ_DESTROYED) || !take_health(health, maxHealth, amount))
    return;
  sinceHurt = 0.f;
  if (health <= 0.f)
  {
    dying = true;
    die(by);
  }
}

void Monster::onDestroy() { remove_proximity_object(this); }

Monster *spawn_monster(int class_id, vec4f at)
{
  float health;
  switch (class_id)
  {
    case CLASS_ID_BirdMonster: health = BIRD_HEALTH; break;
    case CLASS_ID_WyvernMonster: health = WYVERN_HEALTH * (1.f + 0.15f * (current_difficulty() - 1.f)); break;
    case CLASS_ID_ManaGatherer: health = GATHERER_HEALTH; break;
    default: return nullptr;
  }
  float x = v_extract_x(at), z = v_extract_z(at), y = v_extract_y(at);
  if (!std::isfinite(x) || !std::isfinite(z))
    x = z = 0.f;
  x = wrap_coord(x), z = wrap_coord(z);
  float floor = get_floor_height(x, z);
  if (!std::isfinite(y) || y < floor)
    y = floor;
  auto *m = static_cast<Monster *>(new_gameobj_by_id(class_id));
  m->pos = m->prevPos = v_make(x, y, z, 0.f);
  m->health = m->maxHealth = health;
  if (class_id == CLASS_ID_ManaGatherer)
    static_cast<ManaGatherer *>(m)->home = static_cast<ManaGatherer *>(m)->goal = m->pos;
  if (class_id == CLASS_ID_BirdMonster)  // a flock of its own, about where it is
  {
    static_cast<BirdMonster *>(m)->flock = ++next_flock;
    static_cast<BirdMonster *>(m)->home = m->pos;
  }
  file_in_proximity(m);
  return m;
}

void spawn_monsters()
{
  spawn_wave(current_difficulty(), 2);
  spawn_flock(around_player(30.f));
}

void remove_all_monsters()
{
  for (int i = 0; i < GameObj_list.size(); i++)
  {
    GameObj *o = GameObj_list[i];
    if (o->classId == CLASS_ID_WyvernMonster || o->classId == CLASS_ID_BirdMonster)
      o->destroy();
  }
}

void toggle_monster_spawn()
{
  spawn_on = !spawn_on;
  show_game_message(spawn_on ? "Monsters come" : "No more monsters come", 2.f);
}

bool monster_spawn_on() { return spawn_on; }

bool are_any_monsters_alive() { return live_wyverns() > 0; }

int wyverns_left()
{
  SpawnPoint *s = world_spawner();
  return live_wyverns() + (s ? WORLD_WYVERNS - s->wyvernsSent : 0);
}

float difficulty_at(float world_time) { return 1.f + std::max(0.f, world_time) / DIFFICULTY_TIME; }

float current_difficulty()
{
  SpawnPoint *s = world_spawner();
  return difficulty_at(s ? s->worldTime : 0.f);
}

void generate_monsters()
{
  auto *s = static_cast<SpawnPoint *>(new_gameobj_by_id(CLASS_ID_SpawnPoint));
  s->nextWave = FIRST_WAVE;
  s->nextFlock = FLOCK_CHECK;
  // Flocks drawn from the game's generator after the other objects: one in sight of the start,
  // the others anywhere.
  spawn_flock(around_player(35.f));
  for (int f = 1; f < NUM_FLOCKS; f++)
  {
    float x = rnd_unit() * float(HMAP_SIZE), z = rnd_unit() * float(HMAP_SIZE);
    spawn_flock(v_make(x, get_floor_height(x, z), z, 0.f));
  }
}

void SpawnPoint::update(float dt)
{
  worldTime += dt;
  if (spawn_on && worldTime >= nextWave && wyvernsSent < WORLD_WYVERNS)
  {
    float d = difficulty_at(worldTime);
    int count = std::min({1 + int(d) / 2, WORLD_WYVERNS - wyvernsSent,
                          MAX_WYVERNS_ALIVE - live_wyverns()});
    if (count > 0)
    {
      spawn_wave(d, count);
      wyvernsSent += count;
    }
    nextWave = worldTime + std::max(MIN_WAVE_INTERVAL, WAVE_INTERVAL - 5.f * d);
  }
  if (spawn_on && worldTime >= nextFlock)
  {
    nextFlock = worldTime + FLOCK_CHECK;
    if (flock_count() < NUM_FLOCKS)
      spawn_flock(around_player(60.f + 40.f * rnd_unit()));
  }
  // Every wyvern of the world sent and killed: the world is cleared and its portal opens.
  if (!cleared && wyvernsSent >= WORLD_WYVERNS && !are_any_monsters_alive() && local_player)
  {
    cleared = true;
    open_world_portal(local_player);
    show_game_message("The wyverns are slain: the portal is open", 5.f);
  }
}

// --- scripts ----------------------------------------------------------------------------------
namespace
{
int monster_class(const char *name)
{
  static const struct
  {
    const char *name;
    int id;
  } classes[] = {{"BirdMonster", CLASS_ID_BirdMonster},
                 {"WyvernMonster", CLASS_ID_WyvernMonster},
                 {"ManaGatherer", CLASS_ID_ManaGatherer}};
  for (const auto &c : classes)
    if (name && strcmp(name, c.name) == 0)
      return c.id;
  return CLASS_ID_NONE;
}

// spawn_monster(class name, x, y, z): true when made; y below the floor puts it on the floor.
bool script_spawn_monster(const char *name, float x, float y, float z)
{
  int id = monster_class(name);
  if (id == CLASS_ID_NONE)
    sqbind::throw_error("no such monster");
  return spawn_monster(id, v_make(x, y, z, 0.f)) != nullptr;
}

float script_get_health() { return local_player ? local_player->health : 0.f; }
float script_difficulty() { return current_difficulty(); }
}  // namespace

void bind_monsters(HSQUIRRELVM v)
{
  SqObject root = sqbind::root_table(v);
  sqbind::bind_function(v, root, "spawn_monster", &script_spawn_monster);
  sqbind::bind_function(v, root, "spawn_monsters", &spawn_monsters);
  sqbind::bind_function(v, root, "remove_all_monsters", &remove_all_monsters);
  sqbind::bind_function(v, root, "toggle_monster_spawn", &toggle_monster_spawn);
  sqbind::bind_function(v, root, "are_any_monsters_alive", &are_any_monsters_alive);
  sqbind::bind_function(v, root, "make_gatherer", &make_gatherer);
  sqbind::bind_function(v, root, "get_health", &script_get_health);
  sqbind::bind_function(v, root, "get_difficulty", &script_difficulty);
  sqbind::bind_function(v, root, "get_wyverns_left", &wyverns_left);
}
