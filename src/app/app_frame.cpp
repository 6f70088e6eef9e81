#include "app/app_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/game_mode.h"
#include "app/input.h"
#include "app/scene_links.h"
#include "app/stats_overlay.h"
#include "gameobj_host/gameobj_module.h"
#include "gui/debug_text.h"
#include "render/device.h"
#include "support/debug.h"

static constexpr D3dColor WHITE = 0xFFFFFFFF, HINT = 0x66FFFFFF;

// Debug text over the frame: the error message; with show_fps the mode's help and the statistics,
// else the hint line; in the development mode with the right button held, the sun's angle from
// the vertical in degrees.
static void draw_frame_text()
{
  if (!debug_text_ready())
    return;
  start_draw_text();
  draw_error_message();
  const int line = text_line_height();
  if (show_fps)
  {
    draw_text(game_mode_help_text(), -1, line, d3d_ht - line, -1, 1, WHITE);
    draw_stats_overlay();
  }
  else
    draw_text("F1: help/stats", -1, 2, d3d_ht - 3 * line, -1, 1, HINT);
  if (cur_game_mode == dev_mode && getKeyState(MOUSE_BUTTON_RIGHT) && scene_links.get_sun_dir)
  {
    const float up = std::clamp(v_extract_y(scene_links.get_sun_dir()), -1.f, 1.f);
    char angle[16];
    snprintf(angle, sizeof(angle), "%3d", int(std::lround(std::acos(up) * 180.0 / 3.14159265358979)));
    draw_text(angle, -1, 0, d3d_ht, -1, 1, WHITE);
  }
  end_draw_text();
}

void app_render_frame(float dt)
{
  // Modes without a 3D view (and frames before the scene renderers start) show black.
  restore_back_buffer();
  clear_view(0xFF000000);
  game_mode_render(dt);
  restore_back_buffer();
  game_mode_render_gui(dt);
  draw_frame_text();
}

void app_after_device_reset()
{
  if (debug_text_ready())
    update_debug_font_scale();
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
  add(!scene_links.render_scene, "the world (the window stays black while it runs underneath)");
  add(!gameobj_module.render_gameobj, "objects (no game object module)");
  add(!scene_links.render_common_fx, "effects");
  add(!gameobj_module.draw_game_menu, "menus (no game object module)");
  if (*list)
    debug("not drawn yet: %s", list);
}
