#include "gameobj_host/gameobj_module.h"

#include "gui/gui_behaviors.h"

GameObjModule gameobj_module = {};
bool should_close_game_menu = false;
int menu_request = MENU_REQUEST_NONE;
Player *local_player = nullptr;
bool spells_ui_active = false;
bool need_game_restart = false;
bool request_new_world = false;
int crosshair_type = 0;
Spell **spell_grid = nullptr;
int spell_grid_nx = 0, spell_grid_ny = 0;

#define QM_DEFINE_GUI_SCREEN(name)  \
  BaseGuiScreen *name = nullptr; \
  BaseGuiScreen *(*name##_Class::createScreen)() = nullptr;
QM_GUI_SCREENS(QM_DEFINE_GUI_SCREEN)
#undef QM_DEFINE_GUI_SCREEN
BaseGuiScreen *cur_game_screen = nullptr;
GuiStyle common_style, spells_style, tooltip_style;

void release_module_gui()
{
  cur_game_screen = nullptr;
#define QM_RELEASE_GUI_SCREEN(name) \
  delete_gui_screen(name);          \
  name = nullptr;                   \
  name##_Class::createScreen = nullptr;
  QM_GUI_SCREENS(QM_RELEASE_GUI_SCREEN)
#undef QM_RELEASE_GUI_SCREEN
  common_style.clear();
  spells_style.clear();
  tooltip_style.clear();
  unregister_module_behaviors();
}
