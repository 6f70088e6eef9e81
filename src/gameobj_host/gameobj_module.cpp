#include "gameobj_host/gameobj_module.h"

GameObjModule gameobj_module = {};
bool should_close_game_menu = false;
Player *local_player = nullptr;
