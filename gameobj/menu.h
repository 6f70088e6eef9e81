#pragma once
// What the menu files share: the screens they make and the switch between them.
#include "menu_widgets.h"

// The menu screens a screen may lead to.
enum MenuId
{
  MENU_MAIN,
  MENU_GAME,
  MENU_OPTIONS,
  MENU_CHEATS,
};
// Shows a menu screen (made on first use) as cur_game_screen, its focus on the first entry.
void show_menu(MenuId id);
// The menu that Back leads to from the options and the cheats: the one they were opened from.
MenuId menu_opened_from();

BaseGuiScreen *create_options_screen();
BaseGuiScreen *create_cheat_menu_screen();
