// Steps shared by the game modes: the common and development keys, the world step, the scene
// render and the camera basis.
#include <algorithm>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/mode_keys.h"
#include "app/screenshot.h"
#include "app/scene_links.h"
#include "app/world_links.h"
#include "gameobj_host/gameobj_module.h"
#include "platform/sdl_platform.h"
#include "render/d3d_matrix.h"
#include "render/device.h"
#include "support/splash.h"

SceneLinks scene_links = {};

void set_dev_erosion_params(HeightmapData::ErosionParams &p)
{
  p.Kq = 0.1f;
  p.Kw = 0.001f;
  p.Kr = 0.9f;
  p.Kd = 0.9f;
  p.Ki = 0.1f;
  p.minSlope = 0.05f;
  p.g = 20.f;
  p.depositBlend = 2.f;
  p.reactionTime = 100.f;
}

void land_mark_refresh()
{
  if (scene_links.land_mark_refresh)
    scene_links.land_mark_refresh();
}

void sky_step()
{
  if (scene_links.sky_step)
    scene_links.sky_step();
}

static void dev_erode()
{
  HeightmapData::ErosionParams params;
  set_dev_erosion_params(params);
  params.progress = show_splash;
  HeightmapData::genDropletErosion(DEV_EROSION_DROPS, params);
  // The eroded shape becomes the target and the land morphs into it.
  std::swap_ranges(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS, HeightmapData::target_hmap);
  land_mark_refresh();
  reset_update_time();
}

void handle_common_keys()
{
  if (!isAppActive)
    return;
  GameMode *mode = cur_game_mode;
  if (keyUp(KEY_PRINT_SCREEN))
    request_screenshot();
  if (keyDown(KEY_F1))
    show_fps = !show_fps;
  if (keyDown(KEY_F5))
  {
    if (getKeyState(VK_SHIFT_KEY))
      land_shadow_quality = (land_shadow_quality + 1) % 3;
    else
      use_postfx = !use_postfx;
  }
  if (keyDown(KEY_F6))
    use_ppaa = !use_ppaa;
  if (keyDown(KEY_F9))
    set_game_mode(mode == dev_mode ? play_mode : dev_mode);
  if (keyDown(KEY_ESCAPE) && mode != main_menu_mode)
    set_game_mode(game_menu_mode);

  bool ctrl = getKeyState(VK_CONTROL_KEY);
  if (mode != dev_mode && !ctrl)
    return;
  if (keyDown('G'))
  {
    world_generate(mode == main_menu_mode ? "main_menu" : "game");
    reset_update_time();
  }
  if (keyDown('H'))
    HeightmapData::addWater(1.f);
  if (keyDown('R'))
    dev_erode();
  if (ctrl && keyDown('M'))
    gameobj_call(gameobj_module.toggle_monster_spawn);
  if (ctrl && keyDown('N'))
    gameobj_call(gameobj_module.toggle_mana_cheat);
}

bool act_on_menu_request()
{
  const int request = menu_request;
  menu_request = MENU_REQUEST_NONE;
  if (request == MENU_REQUEST_QUIT)
    quit_requested = true;
  else if (request == MENU_REQUEST_MAIN_MENU && cur_game_mode != main_menu_mode)
  {
    // As at start-up: the menu's world, the flight starting at its player.
    go_to_main_menu();
    camera_to_local_player();
    return true;
  }
  return false;
}

void world_step(float dt)
{
  if (scene_links.land_step_update)
    scene_links.land_step_update();
  HeightmapData::updateHmap(dt);
  HeightmapData::simWater(dt);
  if (scene_links.update_common_fx)
    scene_links.update_common_fx(dt);
  gameobj_call(gameobj_module.update_gameobj, dt);
}

CameraBasis current_camera_basis()
{
  Matrix44 m = calc_camera_itm(camYaw, camPitch, camRoll, camPos);
  return {m44_row(m, 0), m44_row(m, 1), m44_row(m, 2)};
}

void scene_render(float yaw, float pitch, float dt)
{
  float f = dt * 20.f;
  f = f > 0 ? std::min(f, 1.f) : 0.f;
  set_camera_matrices(yaw, pitch, f);
  if (get_render_backend() && d3d_state.device)
  {
    set_view_tm(to_d3d_matrix(cur_view_tm));
    set_proj_tm(to_d3d_matrix(cur_proj_tm));
  }
  if (scene_links.sky_frame_update)
    scene_links.sky_frame_update(f);
  if (scene_links.land_frame_update)
    scene_links.land_frame_update(dt);
  vec4f frame_color = v_lerp(prev_frame_color, cur_frame_color, f);
  if (scene_links.render_scene)
    scene_links.render_scene(dt, f, frame_color);
}
