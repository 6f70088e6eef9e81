// Development mode: free fly camera with zoom on the middle button and the world-editing keys.
#include <algorithm>
#include <cmath>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/mode_keys.h"
#include "app/scene_links.h"

void DevGameMode::enter(GameMode *previous)
{
  camRoll = 0.f;
  mouseCaptured = false;
}

static float axis(bool neg, bool pos) { return (pos ? 1.f : 0.f) - (neg ? 1.f : 0.f); }

static void dev_fly(float dt)
{
  if (!isAppActive)
    return;
  float step = dev_fly_speed * dt;
  if (getKeyState(VK_SHIFT_KEY))
    step *= dev_shift_mul;
  float strafe = axis(getKeyState('A') || getKeyState(KEY_LEFT), getKeyState('D') || getKeyState(KEY_RIGHT));
  float forward = axis(getKeyState('S') || getKeyState(KEY_DOWN), getKeyState('W') || getKeyState(KEY_UP));
  float up = axis(getKeyState('C') || getKeyState(KEY_PAGE_DOWN), getKeyState('E') || getKeyState(KEY_PAGE_UP));
  float lift = axis(getKeyState('Z') || getKeyState(KEY_END), getKeyState('Q') || getKeyState(KEY_HOME));
  CameraBasis b = current_camera_basis();
  vec4f d = b.right * strafe + b.up * up + b.forward * forward + v_make(0.f, lift, 0.f, 0.f);
  camPos = camPos + d * step;
}

// The middle button zooms in while the window is active; otherwise (focus lost included) the zoom
// falls back to 1.
static void dev_zoom(float dt)
{
  if (isAppActive && getKeyState(MOUSE_BUTTON_MIDDLE))
    camZoom = std::min(cam_zoom_max, camZoom + cam_zoom_rate * dt);
  else
    camZoom = std::max(1.f, camZoom - cam_zoom_rate * dt);
}

void DevGameMode::update(float dt)
{
  camera_step_bookkeeping(dt);
  dev_fly(dt);
  dev_zoom(dt);
  camPos = v_set(camPos, 0, wrap_world_coord(v_extract_x(camPos)));
  camPos = v_set(camPos, 2, wrap_world_coord(v_extract_z(camPos)));
  set_camera_matrices(camYaw, camPitch, 1.f);
  handle_common_keys();
  sky_step();
  if (getKeyState(MOUSE_BUTTON_RIGHT) && scene_links.set_sun_dir)
    scene_links.set_sun_dir(current_camera_basis().forward);
  world_step(dt);
}

void DevGameMode::render(float dt)
{
  float f = std::clamp(dt * 20.f, 0.f, 1.f);
  float zoom = prevCamZoom + (camZoom - prevCamZoom) * f;
  camera_mouse_look(dev_mouse_sens / zoom);
  scene_render(camYaw, camPitch, dt);
}

void start_dev_mode_at(const float cam[5])
{
  constexpr float DEG = 3.14159265358979f / 180.f;
  set_game_mode(dev_mode);
  set_camera_pos(v_make(cam[0], cam[1], cam[2], 0.f));
  camYaw = std::fmod(cam[3] * DEG, TWO_PI);
  camPitch = std::clamp(cam[4] * DEG, -CAMERA_PITCH_LIMIT, CAMERA_PITCH_LIMIT);
}
