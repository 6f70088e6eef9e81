// The debug text drawn by real OpenGL without a display (EGL; Mesa's software rasteriser on CI
// machines) with the font.tga the build made: a sheet of every printable ASCII character and
// bytes above 127, the error message over the visual log, the splash at 0, 50 and 100 % and the
// statistics overlay, each frame read back and checked at chosen pixels. The frames are put
// together in $QM_TEST_TMP/debug_text_picture.png for a person to look at
// (docs/debug_text_picture.png is a copy).
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/stats_overlay.h"
#include "gui/debug_text.h"
#include "platform/timer.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/render_batch.h"
#include "render/shader.h"
#include "render/ui_render.h"
#include "support/file_path.h"
#include "support/splash.h"
#include "support/visual_log.h"

namespace
{
constexpr uint32_t SCENE = 0xFF304860;  // a stand-in for the scene behind the text
constexpr uint32_t SPLASH_BG = 0x000A28;

int ch(uint32_t c, int i) { return int((c >> (16 - 8 * i)) & 255); }  // 0 red, 1 green, 2 blue

// One frame read back: pixels 0xAARRGGBB, row 0 at the top.
struct Frame
{
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  // The pixel at (x, y) in the text's y-up coordinates.
  uint32_t at(int x, int y) const { return px[size_t((h - 1 - y) * w + x)] & 0xFFFFFF; }
  bool near(int x, int y, uint32_t want, int tol) const
  {
    const uint32_t got = at(x, y);
    for (int i = 0; i < 3; i++)
      if (std::abs(ch(got, i) - ch(want, i)) > tol)
        return false;
    return true;
  }
  // Pixels with every channel at least `min` inside the y-up rectangle.
  int bright(int x0, int y0, int x1, int y1, int min) const
  {
    int n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
      {
        const uint32_t c = at(x, y);
        n += ch(c, 0) >= min && ch(c, 1) >= min && ch(c, 2) >= min;
      }
    return n;
  }
};

class DebugTextPicture : public testing::Test
{
protected:
  GlBackend gl;
  std::string dir;
  char saved_path[sizeof(app_path)];
  bool ready = false;

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_debug_text_picture_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    for (const char *f : {"font.sh", "roundedBox.sh", "sh_common.inc", "sh_math.inc"})
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, dir + f,
                                 std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/font.tga", dir + "font.tga",
                               std::filesystem::copy_options::overwrite_existing);
    memcpy(saved_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());

    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    testing::internal::CaptureStdout();
    const bool ok = init_d3d(nullptr, 640, 360);
    if (ok)
    {
      common_vb_writer.init(COMMON_VB_WRITER_SIZE);
      init_debug_text();
      init_rounded_box_render();
    }
    testing::internal::GetCapturedStdout();
    if (!ok)
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    ready = true;
  }
  void TearDown() override
  {
    if (ready)
    {
      close_rounded_box_render();
      close_debug_text();
      common_vb_writer.close();
    }
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    clear_visual_log();
    set_error_message(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Draws one frame of w x h on the scene colour (the splash clears its own) and reads it back.
  Frame frame(int w, int h, const std::function<void()> &draw)
  {
    testing::internal::CaptureStdout();
    resize_d3d(w, h, false, false);
    update_debug_font_scale();
    testing::internal::GetCapturedStdout();
    restore_back_buffer();
    clear_view(SCENE);
    draw();
    Frame f;
    f.w = w;
    f.h = h;
    f.px.assign(size_t(w * h), 0);
    restore_back_buffer();
    EXPECT_TRUE(gl.readPixels(0, 0, w, h, f.px.data()));
    return f;
  }
};

// Pastes frames into one picture at their places (x, y from the top-left) and writes it.
void save_picture(int w, int h, const std::vector<std::pair<const Frame *, std::pair<int, int>>> &parts)
{
  std::vector<uint8_t> rgb(size_t(w * h * 3), 16);
  for (const auto &[f, at] : parts)
    for (int y = 0; y < f->h; y++)
      for (int x = 0; x < f->w; x++)
        for (int c = 0; c < 3; c++)
          rgb[size_t(((at.second + y) * w + at.first + x) * 3 + c)] = uint8_t(ch(f->px[size_t(y * f->w + x)], c));
  const char *base = getenv("QM_TEST_TMP");
  const std::string out = std::string(base ? base : "/tmp") + "/debug_text_picture.png";
  ASSERT_NE(stbi_write_png(out.c_str(), w, h, 3, rgb.data(), w * 3), 0) << out;
  printf("debug text picture written to %s\n", out.c_str());
}

// Statistics of a game running at about 60 frames a second with a few slow frames and steps.
void fake_statistics()
{
  init_timer();
  set_update_rate(20, 5);
  MainLoopState &s = main_loop;
  for (int i = 0; i < STAT_HISTORY; i++)
  {
    s.frame_hist[i] = 16667 + int(3000 * std::sin(i * 0.21)) + (i % 37 == 5 ? 52000 : 0);
    s.update_hist[i] = 2500 + int(1500 * std::sin(i * 0.13)) + (i % 53 == 11 ? 30000 : 0);
    s.gpu_hist[i] = i < 40 ? -1 : 45 + int(20 * std::sin(i * 0.3));
  }
  s.frame_hist_idx = 120;
  s.update_hist_idx = 80;
  s.frames_per_second = 60;
}
}  // namespace

TEST_F(DebugTextPicture, TextSplashErrorMessageAndOverlay)
{
  const uint32_t white = 0xFFFFFFFF;
  // The sheet: every printable ASCII character, bytes above 127, colours, scales and boxes.
  Frame sheet = frame(640, 360, [&] {
    start_draw_text();
    std::string ascii;
    for (int c = 32; c < 127; c++)
      ascii += char(c);
    const int L = text_line_height();
    draw_text("Debug text", -1, 8, 352, -1, 1, 0xFFFFD040);
    for (int row = 0; row < 3; row++)
      draw_text(ascii.substr(size_t(row * 32), 32).c_str(), -1, 8, 352 - (2 + row) * L, -1, 1, white);
    draw_text("caf\xE9, na\xEFve, \xC6r\xF8, Gr\xF6\xDF" "e, 12 \x80, \xBD \xBE, \xA9 \xAB\xBB, \x93quoted\x94", -1, 8,
              352 - 6 * L, -1, 1, white);
    draw_text("left\ntwo lines", -1, 8, 200, -1, 1, 0xFF80FF80);
    draw_text("centred\nblock", -1, 320, 200, 0, 1, 0xFF80C0FF);
    draw_text("right\naligned", -1, 632, 200, 1, 1, 0xFFFF9060);
    push_text_style();
    text_style.scale = 4;
    draw_text("L", -1, 40, 40, -1, -1, white);
    draw_text("Ag", -1, 120, 40, -1, -1, 0xC0FFFFFF);
    pop_text_style();
    draw_rect(400, 40, 460, 100, 0xFF203040);
    draw_box(480, 40, 540, 100, 0xFFFFD040);
    draw_rect(560, 40, 620, 100, 0x80FFFFFF);
    end_draw_text();
    // Text and an interface box in one batch: the box (y-down pixels) lands where it should.
    RenderBatch &b = gui_batch;
    b.clear();
    batch_text(b, "batched text,", -1, 400, 142, 1, 0, 0xFFFFFFFF);
    render_rounded_box(b, {420, 200, 620, 236}, v_splats(8), 0xFF2060C0, 1, 0, 0, 0, 0xFFFFFFFF, -1);
    batch_text(b, "then a box", -1, 520, 142, 0, 0, 0xFFFFFFFF);
    set_ui_screen_mapping();
    set_blend_prealpha();
    set_cull_mode(0);
    set_zenable(false);
    b.render();
    b.clear();
    set_blend_none();
  });

  // The error message over the visual log.
  Frame error = frame(640, 360, [&] {
    visual_log("visual log: the oldest line is the highest");
    visual_log("world script reloaded");
    visual_log("the newest line is at the bottom");
    set_error_message("Error in world gen script:\nthe index 'heigth' does not exist\n  at generate_world "
                      "(gen/main.nut:42)");
    start_draw_text();
    draw_visual_log();
    draw_error_message();
    end_draw_text();
  });

  // The splash at 0, 50 and 100 %, drawn by show_splash as world generation does.
  Frame splash[3];
  const float progress[3] = {0.f, 0.5f, 1.f};
  for (int i = 0; i < 3; i++)
    splash[i] = frame(426, 240, [&] {
      show_splash(i == 2 ? "Done" : "Calculating erosion", progress[i]);
      // show_splash presented the frame; draw it again to read it before a present.
      draw_splash_screen();
    });

  fake_statistics();
  Frame overlay = frame(1280, 360, [&] {
    start_draw_text();
    draw_stats_overlay();
    end_draw_text();
  });

  // Without GPU samples the panel has no GPU block; updates averaging below 1 ms are drawn on
  // the 1 ms scale (2 ms full height), not on their own average.
  for (int i = 0; i < STAT_HISTORY; i++)
    main_loop.gpu_hist[i] = -1, main_loop.update_hist[i] = 500;
  main_loop.update_hist_idx = 0;
  Frame quiet = frame(1280, 360, [&] {
    start_draw_text();
    draw_stats_overlay();
    end_draw_text();
  });

  save_picture(1280, 360 + 240 + 360, {{&sheet, {0, 0}},
                                       {&error, {640, 0}},
                                       {&splash[0], {0, 360}},
                                       {&splash[1], {427, 360}},
                                       {&splash[2], {854, 360}},
                                       {&overlay, {0, 600}}});

  // Sheet. The big "L" stands upright: its foot (just above the baseline, 4 of 16 cell rows up)
  // reaches right, its top does not.
  const int lx = 40 + 4 * 3;  // right of the L's stem
  EXPECT_GT(sheet.bright(lx, 40 + 4 * 4, lx + 12, 40 + 4 * 6, 200), 20) << "the foot of the L";
  EXPECT_EQ(sheet.bright(lx, 40 + 4 * 9, lx + 12, 40 + 4 * 14, 120), 0) << "nothing right of the L's top";
  for (int row = 0; row < 4; row++)  // three rows of ASCII and the line of bytes above 127
    EXPECT_GT(sheet.bright(8, 352 - (3 + row + (row == 3)) * 16, 300, 352 - (2 + row + (row == 3)) * 16, 200), 150)
        << "text row " << row;
  EXPECT_TRUE(sheet.near(430, 70, 0x203040, 2)) << "filled rectangle";
  EXPECT_TRUE(sheet.near(480, 70, 0xFFD040, 2)) << "outline, left strip";
  EXPECT_TRUE(sheet.near(540, 70, 0xFFD040, 2)) << "outline, right strip at x1";
  EXPECT_TRUE(sheet.near(510, 70, SCENE, 2)) << "inside the outline";
  EXPECT_TRUE(sheet.near(590, 70, 0x98A4B0, 3)) << "half-transparent white rectangle";
  EXPECT_TRUE(sheet.near(430, 142, 0x2060C0, 2)) << "rounded box batched after text";
  EXPECT_GT(sheet.bright(300, 134, 400, 150, 200), 40) << "batched text before the box";
  EXPECT_GT(sheet.bright(480, 134, 560, 150, 200), 40) << "batched text over the box";

  // Error message: the dark red band 12 cells high at the top, yellow text in it; the visual log
  // below, oldest line highest.
  EXPECT_TRUE(error.near(5, 175, 0x5B0E13, 3)) << "error band";
  EXPECT_TRUE(error.near(5, 160, SCENE, 2)) << "below the band";
  int yellow = 0;
  for (int y = 168; y < 360; y++)
    for (int x = 0; x < 640; x++)
      yellow += ch(error.at(x, y), 0) > 240 && ch(error.at(x, y), 1) > 220 && ch(error.at(x, y), 2) < 40;
  EXPECT_GT(yellow, 500) << "error text";
  EXPECT_GT(error.bright(32, 96, 640, 128, 200), 300) << "oldest log line";
  EXPECT_GT(error.bright(32, 32, 640, 64, 200), 300) << "newest log line";

  // Splash: background, message, and a bar 106 pixels wide from x 160, y 12 to 36.
  for (int i = 0; i < 3; i++)
  {
    EXPECT_TRUE(splash[i].near(5, 5, SPLASH_BG, 1)) << i;
    EXPECT_GT(splash[i].bright(100, 52, 326, 68, 200), 40) << "message " << i;
  }
  EXPECT_TRUE(splash[0].near(163, 24, 0x000000, 1)) << "empty bar";
  EXPECT_TRUE(splash[1].near(170, 24, 0x32960A, 1)) << "half bar, filled part";
  EXPECT_TRUE(splash[1].near(260, 24, 0x000000, 1)) << "half bar, empty part";
  EXPECT_TRUE(splash[2].near(264, 24, 0x32960A, 1)) << "full bar";

  // Overlay: the panel shade, a slow frame's red bar, the newest frame's bright green bar, the
  // GPU block only with samples, the update graph's 1 ms scale.
  EXPECT_TRUE(overlay.near(1090, 140, 0x243648, 2)) << "panel";
  EXPECT_TRUE(overlay.near(680 + 5 * 3 + 1, 50, 0x360000, 2)) << "slow frame, old";
  EXPECT_TRUE(overlay.near(680 + 119 * 3 + 1, 5, 0x007F00, 2)) << "newest frame";
  EXPECT_GT(overlay.bright(1104, 150, 1280, 196, 200), 40) << "GPU block";
  EXPECT_EQ(quiet.bright(1104, 150, 1280, 196, 200), 0) << "no GPU block without samples";
  EXPECT_GT(quiet.bright(1104, 250, 1280, 330, 200), 40) << "frame and update blocks";
  EXPECT_TRUE(quiet.near(199 * 3 + 1, 20, 0x007F00, 2)) << "update bar: 500 us of 2 ms is 22 of 90 pixels";
  EXPECT_FALSE(quiet.near(199 * 3 + 1, 25, 0x007F00, 30)) << "update bar top";
}
