// The menus until the interface runtime exists: a line of help drawn with the debug text, and
// Enter to start (main menu) or resume (in-game menu) through should_close_game_menu.
#include "app/input.h"
#include "gui/debug_text.h"
#include "module.h"
#include "platform/input_sink.h"
#include "render/device.h"

namespace
{
enum MenuKind
{
  MENU_NONE,
  MENU_MAIN,
  MENU_GAME
};
MenuKind open_menu = MENU_NONE;
}  // namespace

void open_main_menu() { open_menu = MENU_MAIN; }
void open_game_menu() { open_menu = MENU_GAME; }
void close_game_menu() { open_menu = MENU_NONE; }

void update_game_menu(float dt)
{
  if (open_menu != MENU_NONE && keyDown(VK_RETURN) && !getKeyState(VK_ALT_KEY))
    should_close_game_menu = true;
}

void draw_game_menu(float dt)
{
  if (open_menu == MENU_NONE)
    return;
  const char *text = open_menu == MENU_MAIN ? "Quenmoor\n\nEnter: new game\nAlt-F4: quit"
                                            : "Paused\n\nEnter: resume\nF9: development mode\nAlt-F4: quit";
  start_draw_text();
  draw_text(text, -1, d3d_wd / 2, d3d_ht / 2, 0, 0, 0xFFFFFFFFu);
  end_draw_text();
}
