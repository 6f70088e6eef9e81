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

// Stones and menhirs.
void generate_objects();

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
