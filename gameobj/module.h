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

// The spells in play (spells_ui.cpp, with the spells interface below).
// pick_land_point: where the ray from `from` along `dir` first meets the land or the water, within
// 100 units.
bool pick_land_point(vec4f from, vec4f dir, vec4f &out);
void update_spells_ui(float dt);
bool update_spells_ui_mouse(float dt);
void draw_spells_ui(float dt);

// Hurting: what a spell or a monster does to an object (GameObj::hurt). The live objects within
// `radius` of `at` on the ground (the world wraps), at most max_count of them into `out`, found
// through the proximity grid (objects are filed from their first update on).
int find_gameobjs_near(vec4f at, float radius, GameObj **out, int max_count);

// Script binding.
void bind_gameobj(HSQUIRRELVM v);

// Menus (menu*.cpp, options_menu.cpp, cheat_menu.cpp): screens on the interface runtime.
// init_new_gui loads the interface's font, icons and drawing once (init_ui_assets); link_menus, after every bind, sets the screens'
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

// Monsters (monsters.cpp, birds.cpp, wyverns.cpp, gatherers.cpp) and the player's health
// (health.cpp).
// Creates a monster of the class (BirdMonster, WyvernMonster or ManaGatherer) at `at`, ready to
// fly (or walk) and filed in the proximity grid; null for another class.
Monster *spawn_monster(int class_id, vec4f at);
// A wave of wyverns around the player and a flock of birds, now (the spawner's rules aside).
void spawn_monsters();
// Every bird and wyvern goes (the player's gatherers stay).
void remove_all_monsters();
// Ctrl-M: the spawner's waves and flocks on or off.
void toggle_monster_spawn();
bool monster_spawn_on();
// Wyverns alive: the monsters that fight (birds are the land's ambient life).
bool are_any_monsters_alive();
// Wyverns the world still holds: alive, and still to come.
int wyverns_left();
// After a world is generated: the spawner and the first bird flocks.
void generate_monsters();
// The difficulty of the world's clock: 1 at the start, rising by one every DIFFICULTY_TIME seconds.
float difficulty_at(float world_time);
float current_difficulty();
constexpr float DIFFICULTY_TIME = 90.f;
constexpr int WORLD_WYVERNS = 12, NUM_FLOCKS = 4, FLOCK_BIRDS = 7;
constexpr float BIRD_HEALTH = 5.f, WYVERN_HEALTH = 60.f, GATHERER_HEALTH = 40.f;
constexpr float WYVERN_BITE = 8.f;
void wyvern_death_fx(vec4f at);
// Blob shadows of the objects (high quality).
void render_gameobj_shadow(float dt);

// Flight over the wrapping world (monsters.cpp): `vel` turns towards `want` by at most `accel`
// a second, the creature moves, keeps between `clear` and `ceiling` above the land or water under
// it (looking ahead to climb before a slope), and its x and z wrap into the world.
void fly_step(Monster *m, vec4f want, float accel, float clear, float ceiling, float dt);
// b - a across the seams: x and z the short way round.
vec4f wrap_delta(vec4f a, vec4f b);
float wrap_coord(float v);
// Files a live object in the proximity grid by its ground square.
void file_in_proximity(GameObj *o);
// Drawn between steps: the position time_ik of the way from prevPos.
vec4f drawn_pos(const Monster *m);

// The player's health: what a new player has, how fast it comes back after a while unhurt, and
// how long the dead wait before starting again at the world's start place.
constexpr float PLAYER_MAX_HEALTH = 100.f, PLAYER_HEALTH_REGEN = 1.f, PLAYER_REGEN_DELAY = 5.f;
constexpr float PLAYER_RESPAWN_TIME = 5.f;
bool player_alive(const Player *p);
// A hurt's arithmetic on a health of `full` at most: a negative amount heals up to full, a
// positive one takes health down to 0 (true: it hurt); 0 or not a number does nothing.
bool take_health(float &health, float full, float amount);
void update_player_health(Player *p, float dt);
// A line for the player in the middle of the screen for a few seconds ("Wyverns are coming!").
void show_game_message(const char *text, float seconds);
// The play screen's per-step keys and its drawing: the spells' and the player's own (health,
// messages, making a gatherer with G).
void update_play_ui(float dt);
void draw_play_ui(float dt);
// The player makes a mana gatherer in front of it (GATHERER_COST mana; at most MAX_GATHERERS).
bool make_gatherer();
constexpr float GATHERER_COST = 100.f;
constexpr int MAX_GATHERERS = 4;
// Opens the world's portal near the player (mana gathered, or the world cleared of wyverns).
void open_world_portal(Player *p);
// Script names of the monsters (spawn_monster, make_gatherer, ...).
void bind_monsters(HSQUIRRELVM v);

// The spells interface.
// The spell grid (spell_grid.cpp): the executable's spell_grid of SPELL_GRID_NX by SPELL_GRID_NY
// cells holds the player's Spell objects; keys 1 to 9 choose the cells of the first row. A
// spell's own cell is its place in the book, so the grid starts in book order.
constexpr int SPELL_GRID_NX = 9, SPELL_GRID_NY = 2;
void init_spell_grid();   // an empty grid (the cells' spells stay objects, out of the grid)
void close_spell_grid();  // gives back the cells
Spell *new_spell(int spell);          // a spell object (out of the grid, at the origin); null for a bad index
int find_spell_in_grid(int spell);    // its cell, -1 when the player lacks it
int add_spell_to_grid(Spell *s);      // into its own cell or the first free one; the cell or -1
// A spell found in the world goes into the grid (a known one melts away); false when no cell is
// free, and it stays where it lies.
bool pick_up_spell(Spell *s);
void add_initial_spells();            // hill, pit, water source and sink, house, fireball
void add_all_spells();                // every spell of the book the player lacks
// The spells a new player lacks, laid across the world 30 to 110 units from the start.
void place_spells_to_find();
// On a world without any spell object (a new game): the initial spells and the ones to find.
void start_player_spells();

// The spells screen (spells_ui.cpp): the grid at the bottom, the mana bar over it, the map in a
// corner, the crosshair. Tab opens the grid to the mouse (drag spells between cells, tooltips);
// otherwise the mouse looks and its left button throws the chosen spell at the crosshair.
void init_spells_ui();
void close_spells_ui();
void spells_ui_after_resize();
void set_game_ui_screen();    // the spells screen becomes the current one
void reset_game_ui_screen();  // no capture, no hover, a held spell back in its cell, the grid closed
// A picked-up spell's icon flies from world point `from` (where it lay) to its cell.
void start_spell_pick_up_anim(int cell, vec4f from);
// The screen position of world point `p` in the last frame's camera; false behind the eye.
bool world_to_screen(vec4f p, float &x, float &y);

// Tooltips (tooltip.cpp): a box of text beside the mouse while it rests on an element with one.
// Any screen's tooltip query lands in show_tooltip / hide_tooltip; update_tooltip places the box
// at the pointer, render_tooltip adds it to gui_batch (the screen draws the batch).
void init_tooltip();
void show_tooltip(const char *text);
void hide_tooltip();
void update_tooltip();
void render_tooltip();

// The map in the screen's corner (map_ui.cpp): the world map centred on the player, with the
// player, the missiles and their targets, the spells to find, the mana balls and the portal.
// Adds it to gui_batch as a square of `size` pixels with its top-left corner at (x, y).
void init_map_ui();
void draw_map_ui(float x, float y, float size);

// The interface's drawing resources (ui_assets.cpp): the shaders of boxes, images, text and
// icons, the font and the icons, made once for the device whoever asks first.
void init_ui_assets();
void close_ui_assets();

// The world's events (triggers.cpp): the script functions add_time_trigger(event, delay, period)
// and add_sensor(event, x, z, radius).
void bind_triggers(HSQUIRRELVM v);

// The module's named effects (combat_fx.cpp), each a function of the effect script
// (bin/test/fx.nut): the balls in flight and their bursts, the shaping missiles' trails, springs
// and drains, the meteor, a storm's clouds and rain over its disc, and lightning bolts.
void spawn_fireball_fx(vec4f pos, vec4f vel);
void fireball_explode_fx(vec4f at);
void spawn_waterball_missile_fx(vec4f pos, vec4f vel);
void spawn_magic_missile_fx(vec4f from, vec4f to, vec4f color);
void spawn_water_source_fx(vec4f at);
void spawn_water_sink_fx(vec4f at);
void spawn_meteor_fx(vec4f pos, vec4f vel);
void meteor_explode_fx(vec4f at);
void spawn_spellobj_fx(vec4f ground, float radius);
void lightning_hit_fx(vec4f from, vec4f to);
