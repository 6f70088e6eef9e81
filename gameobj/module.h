#pragma once
// What the module's files share: object creation and deletion, the world queries, the player,
// the static objects and the building renderer. The names that the executable looks up are
// listed in module_api.cpp.
#include <squirrel.h>

#include "classes.h"
#include "gameobj_host/gameobj_module.h"
#include "support/matrix44.h"
#include "terrain/hmap_data.h"

// Objects.
BaseObject *new_gameobj_by_id(int id);  // listed and linked; null for an unknown or base id
void delete_gameobj(BaseObject *obj);   // unlinks and frees at once (not during list walks)
void delete_destroyed_gameobjs();       // frees everything in deleted_gameobjs
void remove_all_gameobj();
void update_gameobj(float dt);
void render_gameobj(float dt);
uint64_t get_gameobj_layout();
void **get_module_vtables();

// The land.
float get_land_height(float x, float z);
vec4f calc_land_norm(float x, float z);
// Height of the surface a body stands on at (x, z): the land, or the water on it.
float get_floor_height(float x, float z);

// The local player.
constexpr float PLAYER_EYE_HEIGHT = 1.7f;
constexpr float PLAYER_GRAVITY = 20.f;
Player *get_local_player();
void place_local_player(Player *p, vec4f pos);
void move_local_player(Player *p, float dt, float step_len, vec4f motion, const Matrix44 &basis, int dash_dir);
vec4f get_local_player_eye(Player *p);
void player_before_generate();
// Places the player after a world was generated and sends the world script WORLD_READY_EVENT.
void player_after_generate();
constexpr const char *WORLD_READY_EVENT = "world_ready";

// Mana: what the player begins with, can hold, and gets back each second.
constexpr float PLAYER_START_MANA = 300.f, PLAYER_MAX_MANA = 500.f, PLAYER_MANA_REGEN = 3.f;

// Stones and menhirs, then the mana balls.
void generate_objects();

// Mana in the world (mana.cpp): balls scattered at generation, each worth MANA_BALL_MANA, pulled to
// a player within MANA_BALL_PULL; PORTAL_MANA gathered opens the portal to a new world.
constexpr int NUM_MANA_BALLS = 24;
constexpr float MANA_BALL_MANA = 40.f, MANA_BALL_PULL = 6.f, PORTAL_MANA = 400.f;
void scatter_mana_balls();

// Reshaping the world around (x, z), each within its reach (shaping.cpp). create_hill adds a
// smooth round bump (negative heights dig) of the radius; open_fault a scarp across the
// direction, reaching 64 units along it and 128 across; blast_crater a bowl with a rim out to
// twice the radius, scorched inside; build_house stamps house `kind` (0..2) or the castle (-1);
// add_source_water pours (or, negative, drains) `amount` of water volume over the disc.
void create_hill(float x, float z, float radius, float height);
void open_fault(float x, float z, float dir_x, float dir_z, float height);
void blast_crater(float x, float z, float radius, float depth);
void build_house(float x, float z, int kind);
void add_source_water(float x, float z, float radius, float amount);
void add_water_globe(float x, float z, float amount);
// A spring (rate > 0) or drain (rate < 0) at `at` for a minute: a WaterSource object.
WaterSource *add_water_source(vec4f at, float rate);
constexpr float HILL_RADIUS = 9.f, HILL_HEIGHT = 8.f, PIT_RADIUS = 7.f, PIT_DEPTH = 6.f;
constexpr float CRATER_RADIUS = 6.f, CRATER_DEPTH = 0.8f, FAULT_HEIGHT = 8.f;

// The world-shaping spells (shaping_spells.cpp): name for scripts, title, missile class, cost and
// what it does.
struct ShapingSpell
{
  const char *name, *title;
  int missileClass, manaCost;
  const char *what;
  float minRange;  // a nearer target is moved out to this distance, so nothing is built on the caster
};
constexpr int NUM_SHAPING_SPELLS = 8;
extern const ShapingSpell shaping_spells[NUM_SHAPING_SPELLS];
int find_shaping_spell(const char *name);  // -1 when there is none
// The local player throws the spell at `target` when it has the mana (or the mana cheat is on);
// false otherwise, and nothing is spent.
bool cast_shaping_spell(int spell, vec4f target);
void toggle_mana_cheat();
bool mana_cheat_on();

// The spells in play (spells_ui.cpp): keys, the throw at the crosshair, the text line.
// pick_land_point: where the ray from `from` along `dir` first meets the land or the water, within
// 100 units.
bool pick_land_point(vec4f from, vec4f dir, vec4f &out);
void update_spells_ui(float dt);
bool update_spells_ui_mouse(float dt);
void draw_spells_ui(float dt);

// Script binding.
void bind_gameobj(HSQUIRRELVM v);

// Menus (keys and debug text until the interface runtime).
void open_main_menu();
void open_game_menu();
void close_game_menu();
void update_game_menu(float dt);
void draw_game_menu(float dt);

// Instanced meshes and the building renderer.
void init_inst_render();
void do_inst_render();
void render_building(const HeightmapData::Surface &s, int x, int z);
