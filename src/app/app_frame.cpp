#include "app/app_frame.h"

#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/game_mode.h"
#include "app/scene_links.h"
#include "gameobj_host/gameobj_module.h"
#include "render/device.h"
#include "support/debug.h"

// Debug text over the frame: the mode's help with show_fps, else the hint line.
static void draw_frame_text()
{
  if (!scene_links.draw_text || !scene_links.text_line_height)
    return;
  float line = scene_links.text_line_height();
  if (show_fps)
    scene_links.draw_text(line, float(d3d_ht) - line, game_mode_help_text(), -1, 1, 0xFFFFFFFFu);
  else
    scene_links.draw_text(2.f, float(d3d_ht) - 3.f * line, "F1: help/stats", -1, 1, 0x66FFFFFFu);
}

void app_render_frame(float dt)
{
  // Until the scene renderers draw into the back buffer, the frame is cleared here first.
  restore_back_buffer();
  clear_view(0xFF000000);
  game_mode_render(dt);
  restore_back_buffer();
  game_mode_render_gui(dt);
  draw_frame_text();
}

void app_after_device_reset()
{
  // The debug-font scale follows here once the debug text exists.
  if (scene_links.land_mark_refresh)
    scene_links.land_mark_refresh();
  gameobj_call(gameobj_module.spells_ui_after_resize);
}

void log_what_is_not_drawn()
{
  char list[256] = "";
  auto add = [&](bool missing, const char *what) {
    if (missing)
      snprintf(list + strlen(list), sizeof(list) - strlen(list), "%s%s", *list ? ", " : "", what);
  };
  add(!scene_links.land_frame_update, "land and water");
  add(!scene_links.render_scene, "sky, objects, effects and post-effects");
  add(!scene_links.draw_text, "help and statistics text");
  add(!gameobj_module.draw_game_menu, "menus (no game object module)");
  if (*list)
    debug("not drawn yet: %s; the window stays black while the world runs underneath", list);
}
