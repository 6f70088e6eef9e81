#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "mode_test_util.h"

namespace
{
constexpr float PI = 3.14159265358979f;

void expect_row(const Matrix44 &m, int r, float x, float y, float z, float w, float eps = 1e-5f)
{
  EXPECT_NEAR(m.m[r][0], x, eps) << "row " << r;
  EXPECT_NEAR(m.m[r][1], y, eps) << "row " << r;
  EXPECT_NEAR(m.m[r][2], z, eps) << "row " << r;
  EXPECT_NEAR(m.m[r][3], w, eps) << "row " << r;
}

using Camera = ModeTest;
}  // namespace

TEST_F(Camera, CameraToWorldRowsForYawPitchRoll)
{
  // Yaw 0, pitch 0 looks along +z with x right and y up.
  Matrix44 m = calc_camera_itm(0, 0, 0, v_make(10, 20, 30, 0));
  expect_row(m, 0, 1, 0, 0, 0);
  expect_row(m, 1, 0, 1, 0, 0);
  expect_row(m, 2, 0, 0, 1, 0);
  expect_row(m, 3, 10, 20, 30, 1);

  // A quarter turn of yaw: right becomes +z, forward -x.
  m = calc_camera_itm(PI / 2, 0, 0, v_zero());
  expect_row(m, 0, 0, 0, 1, 0);
  expect_row(m, 1, 0, 1, 0, 0);
  expect_row(m, 2, -1, 0, 0, 0);

  // Pitch up 30 degrees at yaw 0: forward (0, 0.5, 0.866), up (0, 0.866, -0.5).
  m = calc_camera_itm(0, PI / 6, 0, v_zero());
  expect_row(m, 1, 0, 0.8660254f, -0.5f, 0);
  expect_row(m, 2, 0, 0.5f, 0.8660254f, 0);

  // A quarter roll: right = -up0, up = right0.
  m = calc_camera_itm(0, 0, PI / 2, v_zero());
  expect_row(m, 0, 0, -1, 0, 0);
  expect_row(m, 1, 1, 0, 0, 0);
  expect_row(m, 2, 0, 0, 1, 0);
}

TEST_F(Camera, ViewProjectionAndRowSumsAgainstHandValues)
{
  d3d_wd = 1600, d3d_ht = 900;
  camYaw = PI / 2;
  set_camera_pos(v_make(10, 20, 30, 0));
  set_camera_matrices(camYaw, 0, 1);

  // The view is the inverse of the camera-to-world matrix.
  expect_row(cur_view_tm, 0, 0, 0, -1, 0);
  expect_row(cur_view_tm, 1, 0, 1, 0, 0);
  expect_row(cur_view_tm, 2, 1, 0, 0, 0);
  expect_row(cur_view_tm, 3, -30, -20, 10, 1, 1e-4f);

  // 74 degrees vertically: y scale 1 / tan(37 deg); x scale follows the 16:9 aspect.
  const float ys = 1.3270448216f, xs = 0.7464627122f;
  expect_row(cur_proj_tm, 0, xs, 0, 0, 0);
  expect_row(cur_proj_tm, 1, 0, ys, 0, 0);
  expect_row(cur_proj_tm, 2, 0, 0, 1.0001954f, 1);
  expect_row(cur_proj_tm, 3, 0, 0, -0.10001954f, 0);

  expect_row(cur_glob_tm, 0, 0, 0, -1.0001954f, -1);
  expect_row(cur_glob_tm, 1, 0, ys, 0, 0);
  expect_row(cur_glob_tm, 2, xs, 0, 0, 0);
  expect_row(cur_glob_tm, 3, -30 * xs, -20 * ys, 10 * 1.0001954f - 0.10001954f, 10, 1e-4f);
  EXPECT_NEAR(v_extract_x(cur_glob_rk), xs, 1e-5f);
  EXPECT_NEAR(v_extract_y(cur_glob_rk), ys, 1e-5f);
  EXPECT_NEAR(v_extract_z(cur_glob_rk), 1.0001954f, 1e-5f);
  EXPECT_NEAR(v_extract_w(cur_glob_rk), 1.f, 1e-6f);

  // A point 5 units ahead of the camera lands in the middle of the screen.
  float p[4] = {5, 20, 30, 1}, q[4] = {};
  for (int j = 0; j < 4; j++)
    for (int k = 0; k < 4; k++)
      q[j] += p[k] * cur_glob_tm.m[k][j];
  EXPECT_NEAR(q[0] / q[3], 0, 1e-5f);
  EXPECT_NEAR(q[1] / q[3], 0, 1e-5f);
  EXPECT_NEAR(q[3], 5, 1e-4f);

  // Zoom 2 halves the field of view: y scale 1 / tan(18.5 deg).
  Matrix44 z2 = calc_camera_proj(2, 1600, 900);
  EXPECT_NEAR(z2.m[1][1], 2.9886849f, 1e-5f);
}

TEST_F(Camera, ViewStaysTheInverseWithRollAndPitch)
{
  Matrix44 itm = calc_camera_itm(1.1f, -0.4f, 0.3f, v_make(100, 7, 200, 0));
  Matrix44 id = m44_mul(itm, m44_inverse(itm));
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      EXPECT_NEAR(id.m[i][j], i == j ? 1.f : 0.f, 1e-4f);
}

TEST_F(Camera, InterpolationTakesTheShortWayAcrossTheSeam)
{
  prevCamPos = v_make(255.9f, 5, 0.1f, 0);
  camPos = v_make(0.1f, 7, 255.9f, 0);
  vec4f half = interp_cam_pos(prevCamPos, camPos, 0.5f);
  EXPECT_NEAR(v_extract_x(half), 256.0f, 1e-3f);  // 0.1 further on, not back across the world
  EXPECT_NEAR(v_extract_y(half), 6.f, 1e-5f);
  EXPECT_NEAR(v_extract_z(half), 0.0f, 1e-3f);
  vec4f end = interp_cam_pos(prevCamPos, camPos, 1.f);
  EXPECT_NEAR(v_extract_x(end), 256.1f, 1e-3f);

  // Through the matrices as the renderer sees them.
  set_camera_matrices(0, 0, 0.5f);
  EXPECT_NEAR(cur_view_itm.m[3][0], 256.0f, 1e-3f);

  // The boundary of the half-open range and far-off values.
  EXPECT_EQ(wrap_seam_delta(128.f), 128.f);
  EXPECT_EQ(wrap_seam_delta(-128.f), 128.f);
  EXPECT_NEAR(wrap_seam_delta(-255.8f), 0.2f, 1e-4f);
  EXPECT_NEAR(wrap_seam_delta(1000.f), 1000.f - 1024.f, 1e-3f);
  EXPECT_EQ(wrap_seam_delta(NAN), 0.f);
  EXPECT_EQ(wrap_world_coord(-1e-9f), 0.f);
  EXPECT_NEAR(wrap_world_coord(-0.5f), 255.5f, 1e-5f);
  EXPECT_NEAR(wrap_world_coord(513.25f), 1.25f, 1e-5f);
}

TEST_F(Camera, FractionIsClampedAfterAStall)
{
  prevCamPos = v_make(0, 0, 0, 0);
  camPos = v_make(1, 0, 0, 0);
  set_camera_matrices(0, 0, 3.f);
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], 1.f);
  set_camera_matrices(0, 0, -1.f);
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], 0.f);
}

TEST_F(Camera, FirstFrameAfterTheMouseEntersDoesNotTurn)
{
  moveMouse(700, 100);  // far from the centre (400, 300)
  EXPECT_EQ(camera_mouse_look(0.002f), 0.f);
  EXPECT_EQ(camYaw, 0.f);
  EXPECT_EQ(camPitch, 0.f);
  EXPECT_TRUE(mouseCaptured);
  EXPECT_TRUE(shouldHideMouse);
  ASSERT_FALSE(fake_input.warps.empty());
  EXPECT_EQ(fake_input.warps.back(), std::make_pair(400, 300));

  // A warp that produced no motion event must not spin the camera either.
  camera_mouse_look(0.002f);
  EXPECT_EQ(camYaw, 0.f);

  // Now a real movement: right lowers the yaw, down lowers the pitch.
  moveMouse(450, 310);
  float turned = camera_mouse_look(0.002f);
  EXPECT_NEAR(turned, 0.1f, 1e-6f);
  EXPECT_NEAR(camYaw, -0.1f, 1e-6f);
  EXPECT_NEAR(camPitch, -0.02f, 1e-6f);

  // Leaving the window (or losing activation) drops the capture.
  fake_input.over = false;
  update_mouse_over();
  camera_mouse_look(0.002f);
  EXPECT_FALSE(mouseCaptured);
  EXPECT_FALSE(shouldHideMouse);
}

TEST_F(Camera, PitchAndYawStayWithinLimits)
{
  moveMouse(400, 300);
  camera_mouse_look(0.002f);
  for (int i = 0; i < 50; i++)
  {
    moveMouse(799, 0);  // right and up as far as the window goes
    camera_mouse_look(0.01f);
    EXPECT_GT(camYaw, -TWO_PI);
    EXPECT_LT(camYaw, TWO_PI);
  }
  EXPECT_EQ(camPitch, CAMERA_PITCH_LIMIT);
  // The view never tips over: the camera's up keeps pointing upwards.
  EXPECT_GT(cosf(camPitch), 0.f);
  Matrix44 m = calc_camera_itm(camYaw, camPitch, 0, v_zero());
  EXPECT_GT(m.m[1][1], 0.f);

  for (int i = 0; i < 50; i++)
  {
    moveMouse(0, 599);
    camera_mouse_look(0.01f);
    EXPECT_GT(camYaw, -TWO_PI);
    EXPECT_LT(camYaw, TWO_PI);
  }
  EXPECT_EQ(camPitch, -CAMERA_PITCH_LIMIT);
}

TEST_F(Camera, FrameColourAlphaFadesToZeroAndColourStays)
{
  cur_frame_color = v_make(0.25f, 0.5f, 0.75f, 1.f);
  camera_step_bookkeeping(0.05f);
  EXPECT_FLOAT_EQ(v_extract_w(prev_frame_color), 1.f);
  EXPECT_NEAR(v_extract_w(cur_frame_color), 0.95f, 1e-6f);  // (1 - 0.025) * 1 - 0.025
  camera_step_bookkeeping(0.05f);
  EXPECT_NEAR(v_extract_w(cur_frame_color), 0.975f * 0.95f - 0.025f, 1e-6f);
  for (int i = 0; i < 60; i++)
    camera_step_bookkeeping(0.05f);
  EXPECT_EQ(v_extract_w(cur_frame_color), 0.f);
  EXPECT_FLOAT_EQ(v_extract_x(cur_frame_color), 0.25f);
  EXPECT_FLOAT_EQ(v_extract_y(cur_frame_color), 0.5f);
  EXPECT_FLOAT_EQ(v_extract_z(cur_frame_color), 0.75f);
}

TEST_F(Camera, PlayLookRollsWithSpeedUnlessTheSpellsInterfaceOwnsTheMouse)
{
  set_game_mode(play_mode);
  moveMouse(400, 300);
  play_mode->render(0.f);  // captures
  moveSpeedH = prevMoveSpeedH = 5.f;
  moveMouse(500, 300);
  play_mode->render(0.f);
  EXPECT_NEAR(camYaw, -0.2f, 1e-6f);
  EXPECT_NEAR(camRoll, 0.2f * 5.f * 0.2f, 1e-6f);

  // The interface takes the mouse: no turn, capture dropped, cursor visibility left alone.
  gameobj_module.update_spells_ui_mouse = [](float) { return true; };
  moveMouse(700, 300);
  play_mode->render(0.f);
  EXPECT_NEAR(camYaw, -0.2f, 1e-6f);
  EXPECT_FALSE(mouseCaptured);
  EXPECT_TRUE(shouldHideMouse);
  set_game_mode(nullptr);
}
