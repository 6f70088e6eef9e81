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

// The spell book (spell_book.cpp): every spell the player can cast, the world-shaping ones
// (shaping_spells.cpp) first, then the combat ones (combat_spells.cpp). Where the player aims:
// the eye, the view direction, and the land or water point under the crosshair when there is one.
struct SpellAim
{
  vec4f eye = v_zero(), dir = v_make(0.f, 0.f, 1.f, 0.f), land = v_zero();
  bool hasLand = false;
};
struct SpellInfo
{
  const char *name;   // for scripts and the settings, e.g. "hill"
  const char *title;  // for the player, e.g. "Hill"
  const char *icon;   // the interface icon's name in ui_icons.txt
  int manaCost;
  const char *what;   // one line on what it does, for the tooltip
  // Casts from the local player; false when it cannot (no target): nothing is spent then.
  bool (*cast)(const SpellInfo &spell, const SpellAim &aim);
  int missileClass;   // the missile it throws, CLASS_ID_NONE when none
  float minRange;     // a nearer land target is moved out to this distance (buildings)
};
constexpr int NUM_SHAPING_SPELLS = 8, NUM_COMBAT_SPELLS = 5;
constexpr int NUM_SPELLS = NUM_SHAPING_SPELLS + NUM_COMBAT_SPELLS;
extern const SpellInfo shaping_spells[NUM_SHAPING_SPELLS];
extern const SpellInfo combat_spells[NUM_COMBAT_SPELLS];
const SpellInfo &get_spell(int spell);  // 0 <= spell < NUM_SPELLS
int find_spell(const char *name);       // -1 when there is none
// The local player casts the spell when it has the mana (or the mana cheat is on) and the spell
// finds its target; false otherwise, and nothing is spent.
bool cast_spell(int spell, const SpellAim &aim);
// Aimed at a land point (scripts, tests).
bool cast_spell_at(int spell, vec4f land);
// The shaping spells' cast: throws the spell's missile at the aim's land point.
bool throw_shaping_missile(const SpellInfo &spell, const SpellAim &aim);
void toggle_mana_cheat();
bool mana_cheat_on();

// The spells in play (spells_ui.cpp): keys, the throw at the crosshair, the text line.
// pick_land_point: where the ray from `from` along `dir` first meets the land or the water, within
// 100 units.
bool pick_land_point(vec4f from, vec4f dir, vec4f &out);
void update_spells_ui(float dt);
bool update_spells_ui_mouse(float dt);
void draw_spells_ui(float dt);

// Hurting: what a spell or a monster does to an object (GameObj::hurt). The objects within
// `radius` of `at` on the ground (the world wraps), at most max_count of them into `out`.
int find_gameobjs_near(vec4f at, float radius, GameObj **out, int max_count);

// Script binding.
void bind_gameobj(HSQUIRRELVM v);

// Menus (menu*.cpp, options_menu.cpp, cheat_menu.cpp): screens on the interface runtime.
// init_new_gui loads their font and icons once; link_menus, after every bind, sets the screens'
// create functions and fills common_style.
void init_new_gui();
void link_menus();
void open_main_menu();
void open_game_menu();
void close_game_menu();
void update_game_menu(float dt);
void draw_game_menu(float dt);

// Instanced meshes and the building renderer.
void init_inst_render();
void do_inst_render();
void render_building(const HeightmapData::Surface &s, int x, int z);
