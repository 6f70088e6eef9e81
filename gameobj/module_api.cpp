// The module's two entry points: its functions by name and its table of class vtables.
#include <cstring>

#include "gameobj_host/gameobj_module.h"
#include "combat.h"
#include "module.h"

namespace
{
// Names whose content comes with the menus, spells, monsters and effects: present, no work yet.
void not_yet() {}
void not_yet_dt(float) {}

void init_gameobj() {}
void close_gameobj() { remove_all_gameobj(); }
// Rebuilds what the interface keeps in the executable after a bind: create functions, styles.
void link_gui() { link_menus(); }

struct NamedFunc
{
  const char *name;
  void *fn;
};

#define QM_F(name, fn) {name, reinterpret_cast<void *>(fn)}
const NamedFunc funcs[] = {
  QM_F("toggle_mana_cheat", toggle_mana_cheat),
  QM_F("add_source_water", add_source_water),
  QM_F("add_water_source", add_water_source),
  QM_F("simulate_water", not_yet),
  QM_F("pick_lightning_target", pick_lightning_target),
  QM_F("cast_lightning", cast_lightning),
  QM_F("apply_fireball", apply_fireball),
  QM_F("add_water_globe", add_water_globe),
  QM_F("create_hill", create_hill),
  QM_F("add_spell_to_grid", add_spell_to_grid),
  QM_F("pick_up_spell", pick_up_spell),
  QM_F("find_spell_in_grid", find_spell_in_grid),
  QM_F("add_initial_spells", add_initial_spells),
  QM_F("add_all_spells", add_all_spells),
  QM_F("init_spell_grid", init_spell_grid),
  QM_F("spawn_monster", spawn_monster),
  QM_F("remove_all_monsters", remove_all_monsters),
  QM_F("toggle_monster_spawn", toggle_monster_spawn),
  QM_F("spawn_monsters", spawn_monsters),
  QM_F("init_inst_render", init_inst_render),
  QM_F("do_inst_render", do_inst_render),
  QM_F("render_gameobj_shadow", render_gameobj_shadow),
  QM_F("calc_land_norm", calc_land_norm),
  QM_F("generate_objects", generate_objects),
  QM_F("render_building", render_building),
  QM_F("spawn_fireball_fx", spawn_fireball_fx),
  QM_F("fireball_explode_fx", fireball_explode_fx),
  QM_F("spawn_waterball_missile_fx", spawn_waterball_missile_fx),
  QM_F("spawn_magic_missile_fx", spawn_magic_missile_fx),
  QM_F("spawn_water_source_fx", spawn_water_source_fx),
  QM_F("spawn_water_sink_fx", spawn_water_sink_fx),
  QM_F("spawn_meteor_fx", spawn_meteor_fx),
  QM_F("meteor_explode_fx", meteor_explode_fx),
  QM_F("wyvern_death_fx", wyvern_death_fx),
  QM_F("spawn_spellobj_fx", spawn_spellobj_fx),
  QM_F("lightning_hit_fx", lightning_hit_fx),
  QM_F("init_fx_data", not_yet),
  QM_F("hide_tooltip", hide_tooltip),
  QM_F("show_tooltip", show_tooltip),
  QM_F("update_tooltip", update_tooltip),
  QM_F("render_tooltip", render_tooltip),
  QM_F("init_tooltip", init_tooltip),
  QM_F("set_radio", not_yet),
  QM_F("get_radio", not_yet),
  QM_F("init_new_gui", init_new_gui),
  QM_F("init_map_ui", init_map_ui),
  QM_F("init_spells_ui", init_spells_ui),
  QM_F("close_spells_ui", close_spells_ui),
  QM_F("spells_ui_after_resize", spells_ui_after_resize),
  QM_F("start_spell_pick_up_anim", start_spell_pick_up_anim),
  QM_F("draw_spells_ui", draw_play_ui),
  QM_F("update_spells_ui", update_play_ui),
  QM_F("update_spells_ui_mouse", update_spells_ui_mouse),
  QM_F("reset_game_ui_screen", reset_game_ui_screen),
  QM_F("set_game_ui_screen", set_game_ui_screen),
  QM_F("open_game_menu", open_game_menu),
  QM_F("open_main_menu", open_main_menu),
  QM_F("close_game_menu", close_game_menu),
  QM_F("update_game_menu", update_game_menu),
  QM_F("draw_game_menu", draw_game_menu),
  QM_F("get_local_player", get_local_player),
  QM_F("get_land_height", get_land_height),
  QM_F("are_any_monsters_alive", are_any_monsters_alive),
  QM_F("update_gameobj", update_gameobj),
  QM_F("render_gameobj", render_gameobj),
  QM_F("render_debug_vis_gameobj", not_yet_dt),
  QM_F("remove_all_gameobj", remove_all_gameobj),
  QM_F("init_gameobj", init_gameobj),
  QM_F("close_gameobj", close_gameobj),
  QM_F("delete_gameobj", delete_gameobj),
  QM_F("new_gameobj_by_id", new_gameobj_by_id),
  QM_F("bind_gameobj", bind_gameobj),
  QM_F("place_local_player", place_local_player),
  QM_F("move_local_player", move_local_player),
  QM_F("get_local_player_eye", get_local_player_eye),
  QM_F("player_before_generate", player_before_generate),
  QM_F("player_after_generate", player_after_generate),
  QM_F("get_gameobj_layout", get_gameobj_layout),
  QM_F("link_gui", link_gui),
};
#undef QM_F
}  // namespace

#define QM_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

QM_MODULE_ENTRY void *get_gameobj_func_by_name(const char *name)
{
  if (!name)
    return nullptr;
  for (const NamedFunc &f : funcs)
    if (!strcmp(f.name, name))
      return f.fn;
  return nullptr;
}

QM_MODULE_ENTRY void **get_gameobj_vtables(int *count)
{
  *count = NUM_GAMEOBJ_VTABLES;
  return get_module_vtables();
}

// Both sides agree on the root: BaseObject first, single inheritance.
static_assert(sizeof(BaseObject) == 2 * sizeof(void *) + 8);
