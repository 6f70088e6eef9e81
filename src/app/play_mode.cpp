// Play mode: first-person control of the player through the game object module, with double-tap
// dashes forward and backward.
#include <algorithm>
#include <cmath>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/mode_keys.h"
#include "app/world_links.h"
#include "gameobj_host/gameobj_module.h"

void PlayGameMode::enter(GameMode *previous) { reset_fly_control(); }

static float axis(bool neg, bool pos) { return (pos ? 1.f : 0.f) - (neg ? 1.f : 0.f); }

static void play_motion(float dt)
{
  fwdTapTimer = std::max(0.f, fwdTapTimer - dt);
  backTapTimer = std::max(0.f, backTapTimer - dt);
  camRoll *= std::max(0.f, 1.f - roll_decay * dt);
  if (!isAppActive)
  {
    mouseCaptured = false;
    shouldHideMouse = false;
    return;
  }
  if (keyDown('S') || keyDown(KEY_DOWN))
  {
    dashDir = backTapTimer > 0.f ? -1 : 0;
    backTapTimer = double_tap_time;
  }
  if (keyDown('W') || keyDown(KEY_UP) || keyDown('Z'))
  {
    dashDir = fwdTapTimer > 0.f ? 1 : 0;
    fwdTapTimer = double_tap_time;
  }
  float strafe = axis(getKeyState('A') || getKeyState(KEY_LEFT) || getKeyState('Q'),
                      getKeyState('D') || getKeyState(KEY_RIGHT));
  float forward = axis(getKeyState('S') || getKeyState(KEY_DOWN),
                       getKeyState('W') || getKeyState(KEY_UP) || getKeyState('Z')) +
                  float(dashDir);
  float vertical = axis(getKeyState('X') || getKeyState('C') || getKeyState(KEY_PAGE_DOWN),
                        getKeyState(KEY_SPACE) || getKeyState(KEY_PAGE_UP));
  float step = play_move_speed * dt;
  if (dashDir != 0 || getKeyState(VK_SHIFT_KEY))
    step *= play_fast_mul;

  CameraBasis b = current_camera_basis();
  vec4f dir = b.right * strafe + b.forward * forward + v_make(0.f, vertical, 0.f, 0.f);
  float len = v_extract_x(v_length3(dir));
  vec4f motion = len > 0.f ? dir * (step / len) : v_zero();

  if (Player *player = gameobj_local_player())
  {
    Matrix44 basis = calc_camera_itm(camYaw, camPitch, camRoll, camPos);
    gameobj_call(gameobj_module.move_local_player, player, dt, step, motion, basis, dashDir);
    if (gameobj_module.get_local_player_eye)
      camPos = gameobj_module.get_local_player_eye(player);
  }
  float mx = v_extract_x(motion), mz = v_extract_z(motion);
  moveSpeedH = sqrtf(mx * mx + mz * mz);
}

void PlayGameMode::update(float dt)
{
  camera_step_bookkeeping(dt);
  play_motion(dt);
  camPos = v_set(camPos, 0, wrap_world_coord(v_extract_x(camPos)));
  camPos = v_set(camPos, 2, wrap_world_coord(v_extract_z(camPos)));
  set_camera_matrices(camYaw, camPitch, 1.f);
  handle_common_keys();
  sky_step();
  world_step(dt);
  gameobj_call(gameobj_module.update_spells_ui, dt);
  if (request_new_world)
  {
    // Through the portal: the next world of the random generator, the player at its start.
    request_new_world = false;
    world_generate("game");
    camera_to_local_player();
    camPitch = 0.f;
    reset_fly_control();
  }
}

void PlayGameMode::render(float dt)
{
  float f = std::clamp(dt * 20.f, 0.f, 1.f);
  if (gameobj_module.update_spells_ui_mouse && gameobj_module.update_spells_ui_mouse(dt))
    mouseCaptured = false;  // the spells interface owns the mouse
  else
  {
    float turned = camera_mouse_look(play_mouse_sens);
    camRoll += turned * (prevMoveSpeedH + (moveSpeedH - prevMoveSpeedH) * f) * turn_roll;
  }
  scene_render(camYaw, camPitch, dt);
}

void PlayGameMode::renderGui(float dt) { gameobj_call(gameobj_module.draw_spells_ui, dt); }
