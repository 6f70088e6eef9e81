#include "app/camera.h"

#include <algorithm>
#include <cmath>

#include "app/app_globals.h"
#include "app/input.h"
#include "render/device.h"

vec4f camPos = {}, prevCamPos = {};
float camYaw = 0, camPitch = 0, camRoll = 0, prevCamRoll = 0;
float camZoom = 1, prevCamZoom = 1;
bool mouseCaptured = false;
float fwdTapTimer = 0, backTapTimer = 0;
int dashDir = 0;
float moveSpeedH = 0, prevMoveSpeedH = 0;

vec4f cur_frame_color = {}, prev_frame_color = {};

Matrix44 cur_view_tm = m44_identity(), cur_view_itm = m44_identity(), cur_glob_tm = m44_identity();
vec4f cur_glob_rk = {};
Matrix44 cur_proj_tm = m44_identity();

float dev_fly_speed = 5.55f, dev_mouse_sens = 0.002f, dev_shift_mul = 6.f, cam_zoom_max = 8.f,
      cam_zoom_rate = 20.f;
float play_move_speed = 8.f, play_fast_mul = 2.f, play_mouse_sens = 0.002f, double_tap_time = 0.2f,
      turn_roll = 0.2f, roll_decay = 4.f;

void set_camera_pos(vec4f p)
{
  camPos = p;
  prevCamPos = p;
}

void camera_step_bookkeeping(float dt)
{
  prevCamPos = camPos;
  prevCamRoll = camRoll;
  prevMoveSpeedH = moveSpeedH;
  prevCamZoom = camZoom;
  prev_frame_color = cur_frame_color;
  float a = v_extract_w(cur_frame_color);
  a = std::max(0.f, (1.f - 0.5f * dt) * a - 0.5f * dt);
  cur_frame_color = v_set(cur_frame_color, 3, a);
}

float wrap_seam_delta(float d)
{
  if (!std::isfinite(d))
    return 0.f;
  if (d > 128.f || d <= -128.f)
  {
    d -= WORLD_WRAP * std::floor((d + 128.f) / WORLD_WRAP);  // now in [-128, 128)
    if (d <= -128.f)
      d += WORLD_WRAP;
  }
  return d;
}

float wrap_world_coord(float v)
{
  if (!std::isfinite(v))
    return 0.f;
  v -= WORLD_WRAP * std::floor(v / WORLD_WRAP);
  // A tiny negative input can round up to exactly 256.
  return v >= WORLD_WRAP ? 0.f : v;
}

vec4f interp_cam_pos(vec4f prev, vec4f cur, float f)
{
  vec4f d = cur - prev;
  d = v_set(d, 0, wrap_seam_delta(v_extract_x(d)));
  d = v_set(d, 2, wrap_seam_delta(v_extract_z(d)));
  return prev + d * f;
}

Matrix44 calc_camera_itm(float yaw, float pitch, float roll, vec4f pos)
{
  float sy = sinf(yaw), cy = cosf(yaw);
  float sp = sinf(pitch), cp = cosf(pitch);
  float sr = sinf(roll), cr = cosf(roll);
  vec4f right0 = v_make(cy, 0, sy, 0);
  vec4f up0 = v_make(sp * sy, cp, -sp * cy, 0);
  vec4f fwd = v_make(-cp * sy, sp, cp * cy, 0);
  Matrix44 m;
  m44_set_row(m, 0, right0 * cr - up0 * sr);
  m44_set_row(m, 1, right0 * sr + up0 * cr);
  m44_set_row(m, 2, fwd);
  m44_set_row(m, 3, v_set(pos, 3, 1.f));
  return m;
}

Matrix44 calc_camera_proj(float zoom, int wd, int ht)
{
  if (!(zoom > 0))
    zoom = 1.f;
  float fov = CAMERA_FOV / zoom;
  float ys = 1.f / tanf(fov * 0.5f);
  float xs = (wd > 0 && ht > 0) ? ys * float(ht) / float(wd) : ys;
  Matrix44 p = {};
  p.m[0][0] = xs;
  p.m[1][1] = ys;
  p.m[2][2] = 1.0001954f;
  p.m[2][3] = 1.f;
  p.m[3][2] = -0.10001954f;
  return p;
}

vec4f calc_glob_rk(const Matrix44 &g)
{
  vec4f r = v_zero();
  for (int i = 0; i < 3; i++)
    r = r + vec4f{_mm_andnot_ps(_mm_set1_ps(-0.f), m44_row(g, i).m)};
  return r;
}

void set_camera_matrices(float yaw, float pitch, float f)
{
  f = (f > 0) ? std::min(f, 1.f) : 0.f;
  float roll = prevCamRoll + (camRoll - prevCamRoll) * f;
  float zoom = prevCamZoom + (camZoom - prevCamZoom) * f;
  cur_view_itm = calc_camera_itm(yaw, pitch, roll, interp_cam_pos(prevCamPos, camPos, f));
  cur_view_tm = m44_inverse(cur_view_itm);
  cur_proj_tm = calc_camera_proj(zoom, d3d_wd, d3d_ht);
  cur_glob_tm = m44_mul(cur_view_tm, cur_proj_tm);
  cur_glob_rk = calc_glob_rk(cur_glob_tm);
}

float camera_mouse_look(float sens)
{
  if (!isMouseOver() || !isAppActive)
  {
    mouseCaptured = false;
    shouldHideMouse = false;
    return 0.f;
  }
  float turned = 0.f;
  int cx = d3d_wd / 2, cy = d3d_ht / 2;
  if (mouseCaptured)
  {
    float mx, my;
    getMousePos(&mx, &my);
    turned = sens * (mx - float(cx));
    camYaw -= turned;
    camPitch -= sens * (my - float(cy));
    if (camYaw >= TWO_PI)
      camYaw -= TWO_PI;
    else if (camYaw <= -TWO_PI)
      camYaw += TWO_PI;
    camPitch = std::clamp(camPitch, -CAMERA_PITCH_LIMIT, CAMERA_PITCH_LIMIT);
  }
  setMousePos(float(cx), float(cy));
  mouseCaptured = true;
  shouldHideMouse = true;
  return turned;
}
