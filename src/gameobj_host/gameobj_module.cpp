#include "gameobj_host/gameobj_module.h"

GameObjModule gameobj_module = {};
bool should_close_game_menu = false;
Player *local_player = nullptr;
bool spells_ui_active = false;
bool need_game_restart = false;
int crosshair_type = 0;
Spell **spell_grid = nullptr;
int spell_grid_nx = 0, spell_grid_ny = 0;
