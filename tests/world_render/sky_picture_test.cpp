// The shipped sky ("sky.nut" and "sky.sh") drawn by real OpenGL without a display at six sun
// angles, checked at chosen pixels and written side by side to $QM_TEST_TMP/sky_strip.png for a
// person to look at (docs/sky_strip.png is a copy).
#include <cmath>

#include "../render/gl_picture.h"
#include "support/visual_log.h"
#include "support/matrix44.h"
#include "world_render/sky.h"

namespace
{
constexpr int W = 200, H = 128;
constexpr float PI = 3.14159265f;
constexpr float PITCH = 0.42f;  // the camera looks up 24 degrees

struct Camera
{
  Matrix44 itm;   // camera to world
  Matrix44 glob;  // world to clip
};

// A camera at height 10 looking along `yaw` (radians from +z towards +x), pitched up by `pitch`,
// with the game's 74-degree vertical field of view.
Camera make_camera(float yaw, float pitch)
{
  vec4f fwd = v_make(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch), 0.f);
  vec4f right = v_make(std::cos(yaw), 0.f, -std::sin(yaw), 0.f);
  Camera c;
  m44_set_row(c.itm, 0, right);
  m44_set_row(c.itm, 1, v_cross3(fwd, right));
  m44_set_row(c.itm, 2, fwd);
  m44_set_row(c.itm, 3, v_make(0.f, 10.f, 0.f, 1.f));
  const float ys = 1.f / std::tan(74.f * PI / 360.f), xs = ys * float(H) / float(W);
  const float zn = 0.1f, zf = 512.f, q = zf / (zf - zn);
  Matrix44 proj = {};
  proj.m[0][0] = xs;
  proj.m[1][1] = ys;
  proj.m[2][2] = q;
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -q * zn;
  c.glob = m44_mul(m44_inverse(c.itm), proj);
  return c;
}

// Direction with the given angle from the zenith (degrees) and compass heading (radians).
vec4f sun_dir(float angle, float heading)
{
  const float a = angle * PI / 180.f;
  return v_make(std::sin(a) * std::sin(heading), std::cos(a), std::sin(a) * std::cos(heading), 0.f);
}

struct Shot
{
  const char *name;
  float angle;    // of the sun from the zenith
  float heading;  // of the sun
  float yaw;      // of the camera
};

// The camera faces east in the morning and west in the evening, the sun a little off centre.
const Shot shots[6] = {
    {"night", 118.f, 1.4f, 1.57f},  {"dawn", 93.f, 1.45f, 1.57f},      {"morning", 68.f, 1.8f, 1.57f},
    {"noon", 12.f, 2.6f, 3.14f},    {"afternoon", 52.f, -1.9f, -1.57f}, {"dusk", 87.5f, -1.45f, -1.57f},
};

Camera camera(int i) { return make_camera(shots[i].yaw, PITCH); }

float luma(uint32_t c) { return (0.299f * channel_of(c, 0) + 0.587f * channel_of(c, 1) + 0.114f * channel_of(c, 2)) / 255.f; }

class SkyPicture : public GlPictureTest
{
protected:
  void SetUp() override
  {
    if (!start(W, H, {"sky.nut", "sky.sh", "sh_common.inc", "sh_math.inc"}))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    set_error_message(nullptr);
    init_sky();
  }
  void TearDown() override
  {
    if (ready)
      close_sky();
    GlPictureTest::TearDown();
  }

  // The sky alone as the scene would draw it: depth and stencil off, default culling.
  std::vector<uint32_t> draw(const Camera &cam)
  {
    restore_back_buffer();
    clear_view(0xFFFF00FF);
    set_zenable(false);
    set_zwrite(false);
    set_vs_const(0, &cam.glob.m[0][0], 4);
    set_vs_const(4, cam.itm.m[3], 1);
    render_sky(cam.itm);
    return read(W, H);
  }
  // Where a direction lands on the screen (pixels, row 0 at the top).
  static void project(const Camera &cam, vec4f dir, int &x, int &y)
  {
    vec4f p = m44_row(cam.glob, 0) * v_extract_x(dir) + m44_row(cam.glob, 1) * v_extract_y(dir) +
              m44_row(cam.glob, 2) * v_extract_z(dir);
    x = int((v_extract_x(p) / v_extract_w(p) * 0.5f + 0.5f) * W);
    y = int((0.5f - v_extract_y(p) / v_extract_w(p) * 0.5f) * H);
  }
};

TEST_F(SkyPicture, SixSunAnglesLookLikeASky)
{
  std::vector<uint32_t> strip(size_t(W * 6 * H));
  std::vector<uint32_t> pics[6];
  vec4f regs[6][SKY_REGISTERS];
  for (int i = 0; i < 6; i++)
  {
    const Shot &s = shots[i];
    set_sky_sun_dir(false, sun_dir(s.angle, s.heading));
    get_sky_registers(regs[i]);
    pics[i] = draw(camera(i));
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++)
        strip[size_t(y * W * 6 + i * W + x)] = pics[i][size_t(y * W + x)];
  }
  savePng("sky_strip.png", strip, W * 6, H);
  EXPECT_STREQ(get_error_message(), "") << "the shipped script runs without errors";

  for (int i = 0; i < 6; i++)
    for (uint32_t p : pics[i])
      ASSERT_NE(p & 0xFFFFFF, 0xFF00FFu) << shots[i].name << ": the quad covers the screen";

  // Pixels by direction: elevation in degrees, heading in radians.
  auto at = [&](int i, float elevation, float heading) {
    int x, y;
    project(camera(i), sun_dir(90.f - elevation, heading), x, y);
    EXPECT_TRUE(x >= 0 && x < W && y >= 0 && y < H) << shots[i].name << " " << elevation << " " << heading;
    return pics[i][size_t(std::clamp(y, 0, H - 1) * W + std::clamp(x, 0, W - 1))];
  };
  // High up over the camera's heading, and low on the side away from the sun.
  auto high = [&](int i) { return at(i, 55.f, shots[i].yaw); };
  auto low = [&](int i) {
    const float away = shots[i].heading > shots[i].yaw ? -0.75f : 0.75f;
    return at(i, 3.f, shots[i].yaw + away);
  };
  for (int i : {2, 3, 4})
  {
    EXPECT_GT(channel_of(high(i), 2), channel_of(high(i), 0) + 80) << shots[i].name << ": a blue sky above";
    EXPECT_GT(luma(low(i)), luma(high(i)) + 0.1f) << shots[i].name << ": paler towards the horizon";
  }
  const float noon = luma(high(3));
  EXPECT_LT(luma(high(0)), 0.15f * noon) << "night is dark";
  EXPECT_GT(channel_of(high(0), 2), channel_of(high(0), 0) + 5) << "and blue, not grey or brown";

  // Dawn and dusk: warm by the sun along the horizon, brighter there than above or away.
  for (int i : {1, 5})
  {
    uint32_t warm = at(i, 2.f, shots[i].heading);
    EXPECT_GT(channel_of(warm, 0), channel_of(warm, 2) + 60) << shots[i].name << ": warm glow by the sun";
    EXPECT_GT(luma(warm), luma(high(i)) + 0.1f) << shots[i].name;
    EXPECT_GT(luma(warm), luma(low(i)) + 0.05f) << shots[i].name;
  }

  // The sun's disc in the morning, the afternoon and at dusk: the brightest spot, with a halo
  // around it; the setting sun is orange.
  for (int i : {2, 4, 5})
  {
    const float e = 90.f - shots[i].angle, h = shots[i].heading;
    const uint32_t disc = at(i, e, h), halo = at(i, e + 3.f, h), away = at(i, e + 3.f, h + 0.6f);
    EXPECT_GT(luma(disc), 0.8f) << shots[i].name << ": the disc is bright";
    EXPECT_GT(luma(disc), luma(halo) + 0.02f) << shots[i].name;
    EXPECT_GT(luma(halo), luma(away) + 0.02f) << shots[i].name << ": a halo around it";
  }
  const uint32_t dusk_disc = at(5, 90.f - shots[5].angle, shots[5].heading);
  EXPECT_GT(channel_of(dusk_disc, 0), channel_of(dusk_disc, 2) + 80) << "the setting sun is orange";

  // The light registers agree with the picture: white sun at noon, warm at dusk, none at night;
  // the zenith register is the blue of the sky above.
  auto sun = [&](int i) { return regs[i][4]; };
  EXPECT_GT(v_extract_z(sun(3)), 0.85f) << "noon light is nearly white";
  EXPECT_GT(v_extract_x(sun(5)), 1.5f * v_extract_z(sun(5))) << "dusk light is warm";
  EXPECT_LT(v_extract_x(sun(0)), 0.05f) << "no sunlight at night";
  EXPECT_GT(v_extract_z(regs[3][12]), 1.5f * v_extract_x(regs[3][12])) << "zenith register is blue at noon";
  EXPECT_LT(v_extract_z(regs[0][12]), 0.15f) << "and dark at night";
}
}  // namespace
