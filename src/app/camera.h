#pragma once
// The camera: orientation and position of the current and the previous step, the interpolation
// between them (across the seam of the wrapping world), the view and projection matrices, the
// full-screen frame colour with its fade, and mouse look. Exported under these names for the
// game object module.
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"

constexpr float WORLD_WRAP = 256.f;
// Vertical field of view at zoom 1 (74 degrees).
constexpr float CAMERA_FOV = 1.2915436464758039f;
constexpr float CAMERA_ZNEAR = 0.1f, CAMERA_ZFAR = 512.f;
// Pitch limit: the largest float below pi/2, so that the view never tips over the vertical
// (cos of the limit stays positive).
constexpr float CAMERA_PITCH_LIMIT = 1.57079625f;
constexpr float TWO_PI = 6.2831853071795865f;

// Camera state of the current step and the previous one.
extern vec4f camPos, prevCamPos;
extern float camYaw, camPitch, camRoll, prevCamRoll;
extern float camZoom, prevCamZoom;
// The mouse was re-centred last time: the next offset from the centre is a valid delta.
extern bool mouseCaptured;
// Play-mode motion.
extern float fwdTapTimer, backTapTimer;
extern int dashDir;
extern float moveSpeedH, prevMoveSpeedH;

// Full-screen tint; its alpha fades every step.
QM_EXPORT extern vec4f cur_frame_color;
extern vec4f prev_frame_color;

// View (world-to-camera), inverse view (camera-to-world), view-projection, and the sum of the
// absolute values of the first three rows of the view-projection.
QM_EXPORT extern Matrix44 cur_view_tm, cur_view_itm, cur_glob_tm;
QM_EXPORT extern vec4f cur_glob_rk;
// The projection of the last camera set-up (its [0][0] and [1][1] are the x and y scales).
extern Matrix44 cur_proj_tm;

// Fly constants (adjustable).
extern float dev_fly_speed, dev_mouse_sens, dev_shift_mul, cam_zoom_max, cam_zoom_rate;
extern float play_move_speed, play_fast_mul, play_mouse_sens, double_tap_time, turn_roll, roll_decay;

// Sets the camera position of the current and the previous step (no interpolation jump).
void set_camera_pos(vec4f p);

// The bookkeeping at the start of every mode's update: previous values take the current ones,
// the frame colour's alpha fades by dt.
void camera_step_bookkeeping(float dt);

// A difference of world x or z brought into (-128, 128]: the shortest way across the seam.
float wrap_seam_delta(float d);
// A world x or z brought into [0, 256).
float wrap_world_coord(float v);
// prev + (cur - prev) * f, x and z taking the shortest way across the seam.
vec4f interp_cam_pos(vec4f prev, vec4f cur, float f);

// Camera-to-world matrix for yaw, pitch, roll (radians) at a position.
Matrix44 calc_camera_itm(float yaw, float pitch, float roll, vec4f pos);
// Left-handed perspective for the zoom and back-buffer size.
Matrix44 calc_camera_proj(float zoom, int wd, int ht);
// Sum of the absolute values of rows 0..2.
vec4f calc_glob_rk(const Matrix44 &glob);

// Builds and stores cur_view_itm, cur_view_tm, cur_proj_tm, cur_glob_tm and cur_glob_rk for the
// given orientation, interpolating position, roll and zoom with f (clamped to [0, 1]).
void set_camera_matrices(float yaw, float pitch, float f);

// Mouse look with sensitivity `sens` (radians per pixel); returns the amount subtracted from the
// yaw. Runs only while the mouse is over the window and the application is active.
float camera_mouse_look(float sens);
