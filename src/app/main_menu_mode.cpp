// The main menu: an attract flight over the world "main_menu" behind the module's menu. The
// heading wanders with 1D noise; the pitch follows the terrain ahead.
#include <algorithm>
#include <cmath>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/world_links.h"
#include "gameobj_host/gameobj_module.h"
#include "terrain/noise.h"

AttractFlight attract_flight;

void MainMenuMode::enter(GameMode *previous)
{
  // Float 5 units above the highest surface point near the origin.
  float d = world_square_depth(0.f, -5.f, 0.f, 5.f);
  set_camera_pos(v_make(0.f, d, 0.f, 0.f));
  camYaw = camPitch = camRoll = prevCamRoll = 0.f;
  attract_flight = AttractFlight{};
  mouseCaptured = false;
  shouldHideMouse = false;
  gameobj_call(gameobj_module.open_main_menu);
}

void MainMenuMode::leave(GameMode *next) { gameobj_call(gameobj_module.close_game_menu); }

// Sum of six octaves of 1D noise, each at twice the frequency (shifted by 0.5) and half the weight.
static float attract_heading_noise(float t)
{
  float u = 0.1f * t;
  float s = noise1(u);
  float w = 1.f;
  for (int k = 1; k <= 5; k++)
  {
    u = 2.f * u + 0.5f;
    w *= 0.5f;
    s += w * noise1(u);
  }
  return s;
}

static float clamp_turn(float v, float limit) { return std::clamp(v, -limit, limit); }

void MainMenuMode::update(float dt)
{
  AttractFlight &a = attract_flight;
  camera_step_bookkeeping(dt);
  a.prevYaw = a.yaw;
  a.prevPitch = a.pitch;
  a.time += dt;
  handle_common_keys();
  if (cur_game_mode != this)
  {
    // A key switched modes: the new mode owns the camera and the menu is closed; the world
    // still takes its step.
    world_step(dt);
    return;
  }

  // Along the forward axis of this step's own orientation.
  float cp = cosf(a.pitch);
  vec4f fwd = v_make(-cp * sinf(a.yaw), sinf(a.pitch), cp * cosf(a.yaw), 0.f);
  camPos = camPos + fwd * (10.f * dt);

  float want_yaw = 0.04f * attract_heading_noise(a.time);

  float want_pitch = 0.f;
  vec4f ahead = camPos + fwd * 10.f;
  float c = world_square_depth(v_extract_x(ahead), v_extract_y(ahead) - 5.f, v_extract_z(ahead), 10.f);
  if (c > 0.f || c < -10.f)
  {
    c = std::max(c, -10.f);
    want_pitch = atan2f(c + 10.f * v_extract_y(fwd), 10.f) - a.pitch;
  }

  float limit = 0.5f * dt;
  a.yawRate += (clamp_turn(want_yaw, limit) - a.yawRate) * 0.2f;
  a.pitchRate += (clamp_turn(want_pitch, limit) - a.pitchRate) * 0.2f;
  a.yaw += a.yawRate;
  a.pitch += a.pitchRate;
  camYaw = a.yaw;
  camPitch = a.pitch;
  camRoll = -10.f * a.yawRate;

  // Never into the ground.
  float g = world_square_depth(v_extract_x(camPos), v_extract_y(camPos) - 0.5f, v_extract_z(camPos), 0.5f);
  if (g > 0.f)
    camPos = v_set(camPos, 1, v_extract_y(camPos) + g);
  camPos = v_set(camPos, 0, wrap_world_coord(v_extract_x(camPos)));
  camPos = v_set(camPos, 2, wrap_world_coord(v_extract_z(camPos)));

  gameobj_call(gameobj_module.update_game_menu, dt);
  act_on_menu_request();
  land_mark_refresh();
  sky_step();
  world_step(dt);
  if (take_close_game_menu())
  {
    // The new game begins where the module put the player in the new world, looking level, not
    // at the flight's place in the menu's world.
    world_generate("game");
    camera_to_local_player();
    camPitch = attract_flight.pitch = attract_flight.prevPitch = 0.f;
    set_game_mode(play_mode);
  }
}

void MainMenuMode::render(float dt)
{
  const AttractFlight &a = attract_flight;
  float f = std::clamp(dt * 20.f, 0.f, 1.f);
  scene_render(a.prevYaw + (a.yaw - a.prevYaw) * f, a.prevPitch + (a.pitch - a.prevPitch) * f, dt);
}

void MainMenuMode::renderGui(float dt) { gameobj_call(gameobj_module.draw_game_menu, dt); }
