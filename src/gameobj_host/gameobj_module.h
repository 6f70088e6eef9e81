#pragma once
// The executable's calls into the game object module, one function pointer per module function,
// named as the module names them. Every pointer is null until a module is bound (see
// gameobj_loader.h); callers go through the gameobj_* helpers below (or test the pointer), so an
// absent function is skipped.
#include <squirrel.h>

#include <cstdint>

#include "gui/gui_screen.h"
#include "gui/gui_style.h"
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"
#include "terrain/hmap_data.h"

class BaseObject;
class Player;
class Spell;

// Every name the module must provide, with the type the executable calls it with. Names of
// module-internal work (spells, effects, tooltips, the spell grid) that the executable only
// checks for are typed void().
#define QM_GAMEOBJ_FUNCS(X)                                                                        \
  X(toggle_mana_cheat, void, ())                                                                   \
  X(add_source_water, void, ())                                                                    \
  X(add_water_source, void, ())                                                                    \
  X(simulate_water, void, ())                                                                      \
  X(pick_lightning_target, void, ())                                                               \
  X(cast_lightning, void, ())                                                                      \
  X(apply_fireball, void, ())                                                                      \
  X(add_water_globe, void, ())                                                                     \
  X(create_hill, void, ())                                                                         \
  X(add_spell_to_grid, void, ())                                                                   \
  X(pick_up_spell, void, ())                                                                       \
  X(find_spell_in_grid, void, ())                                                                  \
  X(add_initial_spells, void, ())                                                                  \
  X(add_all_spells, void, ())                                                                      \
  X(init_spell_grid, void, ())                                                                     \
  X(spawn_monster, void, ())                                                                       \
  X(remove_all_monsters, void, ())                                                                 \
  X(toggle_monster_spawn, void, ())                                                                \
  X(spawn_monsters, void, ())                                                                      \
  X(init_inst_render, void, ())                                                                    \
  X(do_inst_render, void, ())                                                                      \
  X(render_gameobj_shadow, void, (float dt))                                                       \
  X(calc_land_norm, vec4f, (float x, float z))                                                     \
  X(generate_objects, void, ())                                                                    \
  /* The building renderer: the land hands it each house square's surface entry and unwrapped */ \
  /* position every frame instead of drawing the square as land.                              */ \
  X(render_building, void, (const HeightmapData::Surface &s, int x, int z))                        \
  X(spawn_fireball_fx, void, ())                                                                   \
  X(fireball_explode_fx, void, ())                                                                 \
  X(spawn_waterball_missile_fx, void, ())                                                          \
  X(spawn_magic_missile_fx, void, ())                                                              \
  X(spawn_water_source_fx, void, ())                                                               \
  X(spawn_water_sink_fx, void, ())                                                                 \
  X(spawn_meteor_fx, void, ())                                                                     \
  X(meteor_explode_fx, void, ())                                                                   \
  X(wyvern_death_fx, void, ())                                                                     \
  X(spawn_spellobj_fx, void, ())                                                                   \
  X(lightning_hit_fx, void, ())                                                                    \
  X(init_fx_data, void, ())                                                                        \
  X(hide_tooltip, void, ())                                                                        \
  X(show_tooltip, void, (const char *text))                                                       \
  X(update_tooltip, void, ())                                                                      \
  X(render_tooltip, void, ())                                                                      \
  X(init_tooltip, void, ())                                                                        \
  X(set_radio, void, ())                                                                           \
  X(get_radio, void, ())                                                                           \
  X(init_new_gui, void, ())                                                                        \
  X(init_map_ui, void, ())                                                                         \
  X(init_spells_ui, void, ())                                                                      \
  X(close_spells_ui, void, ())                                                                     \
  X(spells_ui_after_resize, void, ())                                                              \
  X(start_spell_pick_up_anim, void, ())                                                            \
  X(draw_spells_ui, void, (float dt))                                                              \
  X(update_spells_ui, void, (float dt))                                                            \
  X(update_spells_ui_mouse, bool, (float dt))                                                      \
  X(reset_game_ui_screen, void, ())                                                                \
  X(set_game_ui_screen, void, ())                                                                  \
  X(open_game_menu, void, ())                                                                      \
  X(open_main_menu, void, ())                                                                      \
  X(close_game_menu, void, ())                                                                     \
  X(update_game_menu, void, (float dt))                                                            \
  X(draw_game_menu, void, (float dt))                                                              \
  X(get_local_player, Player *, ())                                                                \
  X(get_land_height, float, (float x, float z))                                                    \
  X(are_any_monsters_alive, bool, ())                                                              \
  X(update_gameobj, void, (float dt))                                                              \
  X(render_gameobj, void, (float dt))                                                              \
  X(render_debug_vis_gameobj, void, (float dt))                                                    \
  X(remove_all_gameobj, void, ())                                                                  \
  X(init_gameobj, void, ())                                                                        \
  X(close_gameobj, void, ())                                                                       \
  X(delete_gameobj, void, (BaseObject * obj))                                                      \
  X(new_gameobj_by_id, BaseObject *, (int id))                                                     \
  X(bind_gameobj, void, (HSQUIRRELVM v))                                                           \
  /* The local player's operations: placement at a position; one step of motion (dt, step      */ \
  /* length, motion vector, the camera basis as a camera-to-world matrix, dash direction) after */ \
  /* which the eye position is read; the notices before and after a world is generated.        */ \
  X(place_local_player, void, (Player * player, vec4f pos))                                        \
  X(move_local_player, void,                                                                       \
    (Player * player, float dt, float step_len, vec4f motion, const Matrix44 &basis, int dash_dir))  \
  X(get_local_player_eye, vec4f, (Player * player))                                                \
  X(player_before_generate, void, ())                                                              \
  X(player_after_generate, void, ())                                                               \
  /* Size and layout hash of the module's classes: a reload with another value is refused.     */ \
  X(get_gameobj_layout, uint64_t, ())                                                              \
  X(link_gui, void, ())

#define QM_GAMEOBJ_FUNC_FIELD(name, ret, args) ret(*name) args;
struct GameObjModule
{
  QM_GAMEOBJ_FUNCS(QM_GAMEOBJ_FUNC_FIELD)
};
#undef QM_GAMEOBJ_FUNC_FIELD

extern GameObjModule gameobj_module;

// Set by the module's menus to start or resume a game; cleared by the executable once acted on.
QM_EXPORT extern bool should_close_game_menu;
// Set by the module's menus for the other ways out of a menu; the menu modes act on it and set
// it back to MENU_REQUEST_NONE.
enum MenuRequest
{
  MENU_REQUEST_NONE,
  MENU_REQUEST_MAIN_MENU,  // leave the game for the main menu
  MENU_REQUEST_QUIT,       // end the program
};
QM_EXPORT extern int menu_request;
// The module's local player, or null; kept by the module.
QM_EXPORT extern Player *local_player;
// Kept by the module's spells interface and menus (read by the executable's modes later):
// whether the spells interface is shown, a restart request, the crosshair drawn, and the spell
// grid (nx * ny cells, row by row, null cells empty).
QM_EXPORT extern bool spells_ui_active;
// Set by the module when the player walks into the world's portal: play mode generates a new
// "game" world (the next of the random generator) and clears it.
QM_EXPORT extern bool request_new_world;
QM_EXPORT extern bool need_game_restart;
QM_EXPORT extern int crosshair_type;
QM_EXPORT extern Spell **spell_grid;
QM_EXPORT extern int spell_grid_nx, spell_grid_ny;

// The interface the module builds on the GUI runtime: the screen shown now, the six game screens
// with the module's functions that create them (such as main_menu_screen_Class::createScreen,
// set by the module when it binds), and the three style sheets it fills.
#define QM_GUI_SCREENS(X) X(main_menu_screen) X(game_menu_screen) X(options_screen) X(spells_screen) \
  X(tooltip_screen) X(cheat_menu_screen)
#define QM_DECLARE_GUI_SCREEN(name)                  \
  QM_EXPORT extern BaseGuiScreen *name;              \
  struct QM_EXPORT name##_Class                      \
  {                                                  \
    static BaseGuiScreen *(*createScreen)();         \
  };
QM_GUI_SCREENS(QM_DECLARE_GUI_SCREEN)
#undef QM_DECLARE_GUI_SCREEN
QM_EXPORT extern BaseGuiScreen *cur_game_screen;
QM_EXPORT extern GuiStyle common_style, spells_style, tooltip_style;
// When the module goes (unbind): no current screen, the six screens destroyed and their create
// functions cleared, the three styles emptied, the module's behaviors forgotten.
void release_module_gui();

// The module's local player, or null (also when no module is bound).
inline Player *gameobj_local_player()
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
