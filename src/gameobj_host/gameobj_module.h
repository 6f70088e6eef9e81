#pragma once
// The executable's calls into the game object module, one function pointer per module function,
// named as the module names them. Every pointer is null until a module is bound; callers go
// through the gameobj_* helpers below (or test the pointer), so an absent function is skipped.
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"
#include "terrain/hmap_data.h"

struct GameObjModule
{
  // Menus and the spells interface.
  void (*open_main_menu)();
  void (*open_game_menu)();
  void (*close_game_menu)();
  void (*update_game_menu)(float dt);
  void (*draw_game_menu)(float dt);
  void (*update_spells_ui)(float dt);
  bool (*update_spells_ui_mouse)(float dt);  // true: the interface owns the mouse
  void (*draw_spells_ui)(float dt);
  void (*close_spells_ui)();
  void (*spells_ui_after_resize)();

  // Objects.
  void (*update_gameobj)(float dt);
  void (*render_gameobj)(float dt);
  void (*render_gameobj_shadow)(float dt);
  void (*render_debug_vis_gameobj)(float dt);
  void (*remove_all_gameobj)();
  void (*toggle_monster_spawn)();
  void (*toggle_mana_cheat)();
  // The building renderer: draws the house piece of a house square (the land hands it the square's
  // surface entry and unwrapped position every frame instead of drawing it as land).
  void (*render_building)(const HeightmapData::Surface &s, int x, int z);

  // The local player (null when there is none) and its two operations used by the camera:
  // placement at a position, and one step of motion (dt, step length, motion vector, the camera
  // basis as a camera-to-world matrix, dash direction) after which the eye position is read.
  void *(*get_local_player)();
  void (*place_local_player)(void *player, vec4f pos);
  void (*move_local_player)(void *player, float dt, float step_len, vec4f motion, const Matrix44 &basis,
                            int dash_dir);
  vec4f (*get_local_player_eye)(void *player);
};

extern GameObjModule gameobj_module;

// Set by the module's menus to start or resume a game; cleared by the executable once acted on.
QM_EXPORT extern bool should_close_game_menu;

// The module's local player, or null (also when no module is bound).
inline void *gameobj_local_player()
{
  return gameobj_module.get_local_player ? gameobj_module.get_local_player() : nullptr;
}

// Calls fn(args...) when the module provides fn; otherwise does nothing.
template <typename Fn, typename... Args>
inline void gameobj_call(Fn fn, Args... args)
{
  if (fn)
    fn(args...);
}
