#include "app/gui_links.h"

#include "app/input.h"
#include "gameobj_host/gameobj_module.h"
#include "gui/gui_behaviors.h"
#include "gui/gui_screen.h"

void connect_gui_links()
{
  gui_hooks.get_event = getEvent;
  gui_hooks.mouse_pos = getMousePos;
  gui_hooks.show_tooltip = [](const char *text) { gameobj_call(gameobj_module.show_tooltip, text); };
  gui_hooks.hide_tooltip = [] { gameobj_call(gameobj_module.hide_tooltip); };
  register_std_behaviors();
}
