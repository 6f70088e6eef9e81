// The menus on the interface runtime: the main menu over the attract flight (new game, options,
// quit) and the in-game menu over the paused world (resume, options, main menu, quit), with the
// options and the cheats reached from them. The screen shown is cur_game_screen; the executable's
// menu modes call in here to open, update, draw and close them.
#include "menu.h"

#include "app/game_mode.h"
#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "module.h"
#include "render/ui_render.h"
#include "support/debug.h"

namespace
{
MenuId opened_from = MENU_MAIN;
// The menu shown last, and whether a menu is open (between show_menu and close_game_menu).
MenuId last_shown = MENU_MAIN;
bool menu_open = false;
// The event the shown screen takes next (see update_game_menu).
InputEvent next_event;
bool has_next_event = false;
float style_scale = 0.f;  // the scale common_style was filled for

class MainMenuScreen final : public MenuScreen
{
public:
  MainMenuScreen()
  {
    MenuElement *p = makePanel(420, 400, "Quenmoor");
    addEntry("button", "New game", "arrow", 60, 110, 360, 166, p)->clickListeners.add([](BaseGuiElement *, int) {
      should_close_game_menu = true;
    });
    addEntry("button", "Options", "options", 60, 182, 360, 238, p)->clickListeners.add([](BaseGuiElement *, int) {
      show_menu(MENU_OPTIONS);
    });
    addEntry("button", "Quit", "close", 60, 254, 360, 310, p)->clickListeners.add([](BaseGuiElement *, int) {
      menu_request = MENU_REQUEST_QUIT;
    });
    addText("hint", "Arrows and Enter, or the mouse", 0, 340, 420, 380, p);
  }
};

class GameMenuScreen final : public MenuScreen
{
public:
  GameMenuScreen()
  {
    MenuElement *p = makePanel(420, 500, "Paused");
    addEntry("button", "Resume", "arrow", 60, 110, 360, 166, p)->clickListeners.add([](BaseGuiElement *, int) {
      should_close_game_menu = true;
    });
    addEntry("button", "Options", "options", 60, 182, 360, 238, p)->clickListeners.add([](BaseGuiElement *, int) {
      show_menu(MENU_OPTIONS);
    });
    addEntry("button", "Main menu", "back", 60, 254, 360, 310, p)->clickListeners.add([](BaseGuiElement *, int) {
      menu_request = MENU_REQUEST_MAIN_MENU;
    });
    addEntry("button", "Quit", "close", 60, 326, 360, 382, p)->clickListeners.add([](BaseGuiElement *, int) {
      menu_request = MENU_REQUEST_QUIT;
    });
    addEntry("button", "Cheats", "mana", 130, 408, 290, 446, p)->clickListeners.add([](BaseGuiElement *, int) {
      show_menu(MENU_CHEATS);
    });
    addText("hint", "Esc: resume", 0, 452, 420, 490, p);
  }
  void back() override { should_close_game_menu = true; }
};

BaseGuiScreen *create_main_menu_screen() { return new MainMenuScreen; }
BaseGuiScreen *create_game_menu_screen() { return new GameMenuScreen; }

BaseGuiScreen *&menu_slot(MenuId id)
{
  switch (id)
  {
  case MENU_MAIN:
    return main_menu_screen;
  case MENU_GAME:
    return game_menu_screen;
  case MENU_OPTIONS:
    return options_screen;
  default:
    return cheat_menu_screen;
  }
}

BaseGuiScreen *(*menu_create_fn(MenuId id))()
{
  switch (id)
  {
  case MENU_MAIN:
    return main_menu_screen_Class::createScreen;
  case MENU_GAME:
    return game_menu_screen_Class::createScreen;
  case MENU_OPTIONS:
    return options_screen_Class::createScreen;
  default:
    return cheat_menu_screen_Class::createScreen;
  }
}

// The menu screen shown now, or null when cur_game_screen is none of them.
MenuScreen *shown_menu()
{
  if (!cur_game_screen)
    return nullptr;
  for (MenuId id : {MENU_MAIN, MENU_GAME, MENU_OPTIONS, MENU_CHEATS})
    if (cur_game_screen == menu_slot(id))
      return static_cast<MenuScreen *>(cur_game_screen);
  return nullptr;
}

// The style follows the back buffer's height. Elements point into the sheets, so the screens
// go before the sheets do; the menu shown is made again at once. Never called while a screen
// delivers events.
void update_menu_style()
{
  const float s = menu_scale();
  if (s == style_scale)
    return;
  MenuScreen *shown = shown_menu();
  int shown_id = -1;
  for (MenuId id : {MENU_MAIN, MENU_GAME, MENU_OPTIONS, MENU_CHEATS})
  {
    BaseGuiScreen *&slot = menu_slot(id);
    if (slot && slot == shown)
      shown_id = id;
    delete_gui_screen(slot);
    slot = nullptr;
  }
  if (shown)
    cur_game_screen = nullptr;
  style_scale = s;
  fill_menu_style(s);
  if (shown_id >= 0)
    show_menu(MenuId(shown_id));
}
}  // namespace

void show_menu(MenuId id)
{
  last_shown = id;
  menu_open = true;
  if (id == MENU_MAIN || id == MENU_GAME)
    opened_from = id;
  BaseGuiScreen *&slot = menu_slot(id);
  if (!slot)
  {
    BaseGuiScreen *(*create)() = menu_create_fn(id);
    if (!create)
      return;
    slot = create();
  }
  if (cur_game_screen && cur_game_screen != slot)
    cur_game_screen->resetState();
  auto *menu = static_cast<MenuScreen *>(slot);
  cur_game_screen = menu;
  menu->refresh();
  menu->restyle();
  menu->setFocus(0);
  menu->pointerX = menu->pointerY = -1.f;
  menu->pointerLeads = false;
}

MenuId menu_opened_from() { return opened_from; }

// Leaving play: the spells screen lets go of the mouse and a spell held in the grid.
void open_main_menu()
{
  reset_game_ui_screen();
  show_menu(MENU_MAIN);
}

void open_game_menu()
{
  reset_game_ui_screen();
  show_menu(MENU_GAME);
}

void close_game_menu()
{
  menu_open = false;
  if (MenuScreen *menu = shown_menu())
  {
    menu->resetState();
    cur_game_screen = nullptr;
  }
}

static bool take_next_event(InputEvent *out)
{
  if (!has_next_event)
    return false;
  *out = next_event;
  has_next_event = false;
  return true;
}

void update_game_menu(float dt)
{
  MenuScreen *menu = shown_menu();
  if (!menu)
  {
    // The play step that opened the menu put the spells screen back after it: the menu again. Or
    // a module reload while a menu was open let the old screens go: the executable's mode says
    // which menu it is.
    if (menu_open)
      show_menu(last_shown);
    else if (cur_game_mode && cur_game_mode == main_menu_mode)
      show_menu(MENU_MAIN);
    else if (cur_game_mode && cur_game_mode == game_menu_mode)
      show_menu(MENU_GAME);
    menu = shown_menu();
  }
  if (!menu)
    return;
  update_menu_style();  // may make the screen again
  // The queue is handed over one event at a time, so that what follows a click that changed the
  // screen (a slow frame gathers several clicks into one step) goes to the new screen.
  if (bool (*queue)(InputEvent *) = gui_hooks.get_event)
  {
    gui_hooks.get_event = take_next_event;
    while (queue(&next_event))
    {
      has_next_event = true;
      shown_menu()->processInput();
    }
    has_next_event = false;
    gui_hooks.get_event = queue;
  }
  if (MenuScreen *now = shown_menu())
    now->restyle();
}

void draw_game_menu(float dt)
{
  if (!shown_menu())
    return;
  update_menu_style();  // may make the screen again
  MenuScreen *menu = shown_menu();
  menu->restyle();
  update_gui_animators(menu->root, dt);
  start_dist_font_render();
  gui_batch.clear();
  draw_gui_tree(gui_batch, menu->root);
  gui_batch.render();
  end_dist_font_render();
}

void link_menus()
{
  main_menu_screen_Class::createScreen = create_main_menu_screen;
  game_menu_screen_Class::createScreen = create_game_menu_screen;
  options_screen_Class::createScreen = create_options_screen;
  cheat_menu_screen_Class::createScreen = create_cheat_menu_screen;
  style_scale = 0.f;
  update_menu_style();
}

// The interface's text, icons and boxes; they stay loaded across reloads of the module.
void init_new_gui() { init_ui_assets(); }
