// The effects on real OpenGL without a display: every named effect of the shipped test/fx.nut
// (and a trail) in a grid after a fixed number of steps, written to $QM_TEST_TMP/fx_grid.png (a
// copy in docs/), checked cell by cell, and drawn again through the two 8-bit targets that serve
// where float targets cannot be blended, which must give the same picture.
#include <cmath>
#include <cstring>
#include <filesystem>

#include "../render/gl_picture.h"
#include "render/dyn_vb_writer.h"
#include "render/postfx.h"
#include "render/texture.h"
#include "support/matrix44.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "world_render/common_fx.h"
#include "world_render/fx_script.h"

namespace
{
constexpr int COLS = 5, ROWS = 3, CELL = 200, W = COLS * CELL, H = ROWS * CELL;
constexpr float CELL_UNITS = 5.f;  // world units across a cell
constexpr int STEPS = 40;
constexpr uint32_t BACKGROUND = 0xFF2E3A4C;

// Cell order: the named effects of test/fx.nut, then a trail made through the trail calls.
const char *const cell_names[COLS * ROWS] = {"fire",      "smoke",        "splash",        "sparks",    "magic_trail",
                                             "land_dust", "meteor_trail", "meteor_impact", "lightning", "trail",
                                             "fireball",  "fireball_burst", "waterball",   "storm",     "healing"};

// The world point at (u, v) of cell i, u and v in 0..1 from its bottom-left corner (x right, y up).
vec4f cell_point(int i, float u, float v)
{
  return v_make((float(i % COLS) + u) * CELL_UNITS, (float(ROWS - 1 - i / COLS) + v) * CELL_UNITS, 0.f, 0.f);
}

// A camera down -z looking at the grid (nearer than half the world, which wraps at 256), its
// field of view just covering it.
void set_grid_camera()
{
  const float dist = 100.f, cx = COLS * CELL_UNITS * 0.5f, cy = ROWS * CELL_UNITS * 0.5f;
  Matrix44 itm = m44_identity();
  m44_set_row(itm, 3, v_make(cx, cy, -dist, 1.f));
  const float ys = dist / cy, xs = dist / cx, zn = 1.f, zf = 512.f, q = zf / (zf - zn);
  Matrix44 proj = {};
  proj.m[0][0] = xs;
  proj.m[1][1] = ys;
  proj.m[2][2] = q;
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -q * zn;
  const Matrix44 glob = m44_mul(m44_inverse(itm), proj);
  set_vs_const(0, &glob.m[0][0], 4);
  set_common_fx_camera(itm);
}

// Runs the grid's effects for STEPS steps: lasting effects every step, the others timed so that
// they are in full swing at the end.
void run_grid()
{
  reset_common_fx();
  game_rnd_seed = 3;
  const float pi2 = 6.2831853f;
  vec4f prevMagic = cell_point(4, 0.5f, 0.75f), prevMeteor = cell_point(6, 0.1f, 1.f);
  // the balls fly left to right across their cells (about a tenth of their speed in the game)
  const vec4f ball_vel = v_make(0.8f * CELL_UNITS / (float(STEPS) * FX_STEP), 0, 0, 0);
  int trail = -1;
  for (int step = 0; step < STEPS; step++)
  {
    const float t = float(step) * FX_STEP;
    const vec4f zero = v_zero();
    call_fx_script("fire", cell_point(0, 0.5f, 0.12f), zero, zero, 1.3f);
    call_fx_script("smoke", cell_point(1, 0.5f, 0.08f), v_make(0.4f, 0, 0, 0), zero, 1.2f);
    if (step == STEPS - 8)
      call_fx_script("splash", cell_point(2, 0.5f, 0.25f), zero, zero, 1.4f);
    if (step == STEPS - 5)
      call_fx_script("sparks", cell_point(3, 0.5f, 0.3f), v_make(0, 6, 0, 0), v_make(1, 0.75f, 0.35f, 1), 40.f);
    const vec4f magic = cell_point(4, 0.5f + 0.3f * std::sin(t * 2.5f), 0.5f + 0.3f * std::cos(t * 2.5f));
    call_fx_script("magic_trail", prevMagic, magic, v_make(0.45f, 0.6f, 1.f, 1.f), 1.f);
    prevMagic = magic;
    call_fx_script("land_dust", cell_point(5, 0.5f, 0.15f), zero, zero, 2.5f);
    const float k = float(step) / float(STEPS - 1);
    const vec4f meteor = cell_point(6, 0.1f + 0.7f * k, 1.f - 0.75f * k);
    call_fx_script("meteor_trail", meteor, (meteor - prevMeteor) * (1.f / FX_STEP), zero, 1.f);
    prevMeteor = meteor;
    if (step == STEPS - 5)
      call_fx_script("meteor_impact", cell_point(7, 0.5f, 0.12f), zero, zero, 1.2f);
    if (step == STEPS - 5)
      call_fx_script("lightning", cell_point(8, 0.3f, 0.98f), cell_point(8, 0.6f, 0.1f), v_make(0.7f, 0.8f, 1, 1), 0.2f);
    // a trail: a wavy line drawn by an object flying left to right
    const vec4f head = cell_point(9, 0.1f + 0.8f * float(step % 20) / 19.f, 0.5f + 0.25f * std::sin(t * pi2));
    const vec4f side = v_make(0, 0.15f, 0, 0);
    if (step % 20 == 0)
    {
      if (trail >= 0)
        kill_trail_fx(trail);
      trail = add_trail_fx(head, zero, side, 0.3f, 0xFFFFC060);
    }
    else
    {
      set_trail_color(trail, vec4f_to_color(v_lerp(v_make(1, 0.3f, 0.9f, 1), v_make(1, 0.75f, 0.35f, 1), float(step % 20) / 19.f)));
      add_trail_point(trail, head, zero, side);
    }
    const float f = float(step) / float(STEPS - 1);
    call_fx_script("fireball", cell_point(10, 0.1f + 0.8f * f, 0.5f), ball_vel, zero, 0.f);
    if (step == STEPS - 6)
      call_fx_script("fireball_burst", cell_point(11, 0.5f, 0.3f), zero, zero, 2.f);
    call_fx_script("waterball", cell_point(12, 0.1f + 0.8f * f, 0.5f), ball_vel, zero, 0.f);
    call_fx_script("storm", cell_point(13, 0.5f, 0.f), v_make(0, 0.6f * CELL_UNITS, 0, 0), zero, 1.5f);
    call_fx_script("healing", cell_point(14, 0.5f, 0.1f), zero, zero, 0.f);
    update_common_fx(FX_STEP);
    update_fx_script(FX_STEP);
  }
}

float luma(uint32_t c) { return (0.299f * channel_of(c, 0) + 0.587f * channel_of(c, 1) + 0.114f * channel_of(c, 2)) / 255.f; }

struct CellStats
{
  int changed = 0;  // pixels that differ from the background
  int bright = 0;   // luma above 0.75
  int warm = 0;     // red well above blue
  int cool = 0;     // blue above red, brighter than the background
  int grey = 0;     // lighter than the background and less blue
};

CellStats cell_stats(const std::vector<uint32_t> &px, int i)
{
  CellStats s;
  const int x0 = (i % COLS) * CELL, y0 = (i / COLS) * CELL;
  const float bg = luma(BACKGROUND);
  for (int y = y0; y < y0 + CELL; y++)
    for (int x = x0; x < x0 + CELL; x++)
    {
      const uint32_t c = px[size_t(y * W + x)];
      const int r = channel_of(c, 0), b = channel_of(c, 2);
      int diff = 0;
      for (int ch = 0; ch < 3; ch++)
        diff += std::abs(channel_of(c, ch) - channel_of(BACKGROUND, ch));
      s.changed += diff > 24;
      s.bright += luma(c) > 0.75f;
      s.warm += r > b + 60;
      s.cool += b > r + 10 && luma(c) > bg + 0.15f;
      s.grey += luma(c) > bg + 0.05f && b - r < 12;  // lighter, and less blue than the background
    }
  return s;
}

class FxPicture : public GlPictureTest
{
protected:
  Texture *scene = nullptr;

  void startPicture()
  {
    if (!start(W, H, {"sh_common.inc", "sh_math.inc", "sh_postfx.inc", "fx_common.inc", "fx_part.inc", "effect.sh",
                      "blendPart.sh", "glowPart.sh", "postBlend.sh", "blendfx.dds", "glowfx.dds"}))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    std::filesystem::create_directories(app.path("test"));
    std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/test/fx.nut", app.path("test/fx.nut"),
                               std::filesystem::copy_options::overwrite_existing);
    set_error_message(nullptr);
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    // The targets the effects use, as the post-effects make them: the scene image, and either
    // a blendable float target or the two 8-bit ones.
    scene = create_screen_render_target();
    fp = create_render_target(0, 0, 5);
    postfx_rt = PostfxTargets();
    postfx_rt.scene = scene;
    postfx_rt.a = create_screen_render_target();
    postfx_rt.b = create_screen_render_target();
    useFloatTarget(true);
    init_fx_script();
    ASSERT_STREQ(get_error_message(), "");
  }
  Texture *fp = nullptr;
  // The effects pick their path when they start.
  void useFloatTarget(bool on)
  {
    close_common_fx();
    postfx_rt.fp = on ? fp : nullptr;
    init_common_fx();
  }
  void TearDown() override
  {
    if (ready)
    {
      close_fx_script();
      close_common_fx();
      for (Texture *t : {postfx_rt.scene, fp, postfx_rt.a, postfx_rt.b})
        if (t)
          release_texture(t);
      postfx_rt = PostfxTargets();
      common_vb_writer.close();
    }
    GlPictureTest::TearDown();
  }

  std::vector<uint32_t> draw()
  {
    run_grid();
    EXPECT_STREQ(get_error_message(), "");
    set_render_target(scene, 0, true);
    set_viewport(0, 0, W, H);
    clear_view(BACKGROUND);
    set_grid_camera();
    render_common_fx(0.025f, 0.5f);
    return read(W, H);
  }
};

TEST_F(FxPicture, EveryNamedEffectInAGrid)
{
  startPicture();
  const std::vector<uint32_t> px = draw();
  savePng("fx_grid.png", px, W, H);

  CellStats s[COLS * ROWS];
  for (int i = 0; i < COLS * ROWS; i++)
  {
    s[i] = cell_stats(px, i);
    EXPECT_GT(s[i].changed, 1000) << cell_names[i];
  }
  EXPECT_GT(s[0].warm, 1500) << "fire";
  EXPECT_GT(s[0].bright, 150) << "fire";
  EXPECT_GT(s[1].changed, 4000) << "smoke";
  EXPECT_GT(s[1].grey, 500) << "smoke";
  EXPECT_GT(s[2].cool, 400) << "splash";
  EXPECT_GT(s[3].warm, 60) << "sparks";
  EXPECT_GT(s[4].cool, 500) << "magic trail";
  EXPECT_GT(s[5].changed, 4000) << "land dust";
  EXPECT_GT(s[6].warm, 400) << "meteor trail";
  EXPECT_GT(s[7].warm, 3000) << "meteor impact";
  EXPECT_GT(s[8].cool, 300) << "lightning";
  EXPECT_GT(s[8].bright, 100) << "lightning";
  EXPECT_GT(s[9].warm, 100) << "trail";
  EXPECT_GT(s[10].warm, 500) << "fireball";
  EXPECT_GT(s[11].warm, 2000) << "fireball burst";
  EXPECT_GT(s[12].cool, 800) << "waterball";
  EXPECT_GT(s[13].grey, 3000) << "storm";
  EXPECT_GT(s[14].changed, 3000) << "healing";
  // Nothing of the effects lands in the gaps the camera sees outside the cells' contents: the
  // top corners of the picture stay the background.
  EXPECT_EQ(px[0], BACKGROUND);
  EXPECT_EQ(px[W - 1], BACKGROUND);
}

TEST_F(FxPicture, TwoEightBitTargetsGiveTheSamePicture)
{
  startPicture();
  const std::vector<uint32_t> single = draw();
  useFloatTarget(false);
  const std::vector<uint32_t> two = draw();
  // Blend sprites are kept at a quarter in 8 bits: their colour steps by 4, and where more than
  // four full layers pile up (the cores of smoke and dust) the coverage saturates first and the
  // colour comes out lighter. Elsewhere the two agree.
  double sum = 0;
  int large = 0;
  for (size_t i = 0; i < single.size(); i++)
    for (int ch = 0; ch < 3; ch++)
    {
      const int d = std::abs(channel_of(single[i], ch) - channel_of(two[i], ch));
      sum += d;
      large += d > 24;
    }
  printf("mean difference %.3f, %d pixels differ by more than 24\n", sum / double(single.size() * 3), large);
  EXPECT_LT(sum / double(single.size() * 3), 1.5);
  EXPECT_LT(large, int(single.size()) / 50);
}
}  // namespace
