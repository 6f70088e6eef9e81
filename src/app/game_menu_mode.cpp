// The in-game menu: the module's menu over a paused world; closing it resumes the mode it was
// opened from.
#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "gameobj_host/gameobj_module.h"

void GameMenuMode::enter(GameMode *previous)
{
  returnMode = previous;
  mouseCaptured = false;
  shouldHideMouse = false;
  gameobj_call(gameobj_module.open_game_menu);
}

void GameMenuMode::leave(GameMode *next) { gameobj_call(gameobj_module.close_game_menu); }

void GameMenuMode::update(float dt)
{
  camera_step_bookkeeping(dt);
  handle_common_keys();
  set_camera_matrices(camYaw, camPitch, 1.f);
  gameobj_call(gameobj_module.update_game_menu, dt);
  land_mark_refresh();
  if (cur_game_mode == this && !act_on_menu_request() && take_close_game_menu())
    set_game_mode(returnMode ? returnMode : main_menu_mode);
}

// Paused: no interpolation between steps.
void GameMenuMode::render(float dt) { scene_render(camYaw, camPitch, 0.05f); }

void GameMenuMode::renderGui(float dt) { gameobj_call(gameobj_module.draw_game_menu, dt); }
