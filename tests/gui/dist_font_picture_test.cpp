// Distance-field text and icons drawn by real OpenGL without a display (EGL; Mesa's software
// rasteriser on CI machines) from the shipped assets: a paragraph at five sizes, a line with an
// outline, big letters with an outline and with a shadow, and every icon at several sizes. Edges
// are checked to be sharp (at most two blended pixels), the outline and shadow to have their
// widths. The picture is written to $QM_TEST_TMP/dist_font_picture.png for a person to look at
// (docs/dist_font_picture.png is a copy).
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "gui/dist_icons.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/texture_cache.h"
#include "support/file_path.h"

namespace
{
constexpr int W = 960, H = 690;
constexpr int BIG_Y = 460, ICON_X = 24, ICON_Y = 630;
constexpr float ICON_STEP = 40;
constexpr uint32_t BG = 0xFF2A3F55, TEXT = 0xFFF4F0E0, OUTLINE = 0xFF000000, SHADOW = 0xFF101820;

int ch(uint32_t c, int i) { return int((c >> (16 - 8 * i)) & 255); }
bool near(uint32_t a, uint32_t b, int tol)
{
  for (int i = 0; i < 3; i++)
    if (std::abs(ch(a, i) - ch(b, i)) > tol)
      return false;
  return true;
}

// The part colours of each icon (red, green, blue, alpha parts).
struct IconColors
{
  const char *name;
  D3dColor c[4];
};
const IconColors icon_colors[] = {
  {"fireball", {0xFFD83A10, 0xFFFF9A20, 0xFFFFF0A0, 0}},
  {"waterball", {0xFF2070D0, 0xFF60B8FF, 0xFFE0F4FF, 0}},
  {"healing", {0xFF30A040, 0xFFF0FFF0, 0, 0}},
  {"lightning", {0xFFFFE040, 0, 0, 0}},
  {"meteor", {0xFFFF7020, 0xFF8A6A50, 0xFF5A4030, 0}},
  {"hill", {0xFF6AAA40, 0xFF7A5A38, 0xFFFFFFFF, 0}},
  {"pit", {0xFF7A5A38, 0xFFFFFFFF, 0, 0}},
  {"fault", {0xFF8A7060, 0xFFFFFFFF, 0, 0}},
  {"house", {0xFFC06040, 0xFFFFE090, 0, 0}},
  {"castle", {0xFFA0A0A8, 0xFF503828, 0, 0}},
  {"water_source", {0xFF3088E0, 0xFFFFFFFF, 0, 0}},
  {"water_sink", {0xFF2060A0, 0xFFFFFFFF, 0, 0}},
  {"thunderstorm", {0xFF9098A8, 0xFFFFE040, 0xFF60B8FF, 0}},
  {"portal", {0xFF9040E0, 0xFF40E0D0, 0xFFFFFFFF, 0}},
  {"mana", {0xFF3050E0, 0xFF80A0FF, 0xFFC0D0FF, 0}},
  {"health", {0xFFE02030, 0xFFFFC0C0, 0, 0}},
  {"back", {0xFFF4F0E0, 0, 0, 0}},
  {"close", {0xFFE04030, 0, 0, 0}},
  {"options", {0xFFC8C8D0, 0, 0, 0}},
  {"check", {0xFF40D060, 0, 0, 0}},
  {"arrow", {0xFFF4F0E0, 0, 0, 0}},
};

class DistFontPicture : public testing::Test
{
protected:
  GlBackend gl;
  std::string dir;
  char saved_path[sizeof(app_path)];
  std::vector<uint32_t> pixels;
  bool ready = false;

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_dist_font_picture_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    auto copy = [&](const std::string &from, const char *f) {
      std::filesystem::copy_file(from + "/" + f, dir + f, std::filesystem::copy_options::overwrite_existing);
    };
    for (const char *f : {"distfont.sh", "disticon.sh", "dist_common.inc", "sh_common.inc", "sh_math.inc"})
      copy(std::string(QM_SOURCE_DIR) + "/bin", f);
    for (const char *f : {"default_font.txt", "default_font.dds", "ui_icons.txt", "ui_icons.dds"})
      copy(QM_TEXTURE_DIR, f);
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
    if (!init_d3d(nullptr, W, H))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    ready = true;
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    init_dist_fonts();
    init_dist_icons();
  }
  void TearDown() override
  {
    if (ready)
    {
      close_dist_icons();
      close_dist_fonts();
      free_all_textures();
      common_vb_writer.close();
    }
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  uint32_t px(int x, int y) const { return pixels[size_t(y * W + x)]; }
  // Along row y from x in steps of dx: how many pixels match `a` before the first that does not,
  // how many blended ones follow, and the colour that comes next.
  struct Run
  {
    int length, blended;
    uint32_t next;
    int at;  // x of `next`
  };
  Run run(int x, int y, int dx, uint32_t a, const std::vector<uint32_t> &known) const
  {
    Run r = {0, 0, 0, x};
    while (near(px(r.at, y), a, 12))
      r.length++, r.at += dx;
    for (;;)
    {
      for (uint32_t k : known)
        if (near(px(r.at, y), k, 12))
        {
          r.next = k;
          return r;
        }
      r.blended++, r.at += dx;
    }
  }
  void savePicture() const
  {
    std::vector<uint8_t> rgb(size_t(W * H * 3));
    for (int i = 0; i < W * H; i++)
      for (int c = 0; c < 3; c++)
        rgb[size_t(i * 3 + c)] = uint8_t(ch(pixels[size_t(i)], c));
    const char *base = getenv("QM_TEST_TMP");
    std::string out = std::string(base ? base : "/tmp") + "/dist_font_picture.png";
    ASSERT_NE(stbi_write_png(out.c_str(), W, H, 3, rgb.data(), W * 3), 0) << out;
    printf("distance-field picture written to %s\n", out.c_str());
  }
};

TEST_F(DistFontPicture, ParagraphAtFiveSizesOutlineShadowAndEveryIcon)
{
  ASSERT_TRUE(default_font.load("default_font.txt"));
  ASSERT_TRUE(ui_icons.load("ui_icons.txt"));
  ASSERT_NE(default_font.state.shader, nullptr);
  ASSERT_NE(ui_icons.state.shader, nullptr);

  restore_back_buffer();
  clear_view(BG);
  start_dist_font_render();
  RenderBatch &b = gui_batch;
  b.clear();
  DistFont &f = default_font;
  const char *para = "The quick brown fox jumps over the lazy dog.\n"
                     "Hills rise, pits open, water flows \xE0 la carte.\n"
                     "0123456789 \xD7 (AVATAR To Wavy) \xC6\xD8\xC5 \xDF \xA9 #%&@?!";
  float y = 8;
  for (float size : {10.0f, 14.0f, 18.0f, 24.0f, 32.0f})
  {
    f.renderText(b, {10, y, 950, y}, 1 | 4, TEXT, size, para, -1, 0, 0, 0, 0, 0);
    y += 3 * float(f.lineHeight) * size / float(f.size) + 8;
  }
  // A line with a two-pixel outline: p4 = 3 grows the second layer by (3 + 1) / 2 pixels.
  f.renderText(b, {10, 400, 950, 400}, 1 | 4, TEXT, 40, "Outlined: Quenmoor 0.13 \xAB\xE9t\xE9\xBB", -1, 0, 0, 0, 3,
               OUTLINE);
  // Big letters: an outline, then a shadow moved by 5 % of the size (6 pixels) right and down.
  f.renderText(b, {20, BIG_Y, 100, BIG_Y}, 1 | 4, TEXT, 120, "I", -1, 0, 0, 0, 3, OUTLINE);
  f.renderText(b, {100, BIG_Y, 200, BIG_Y}, 1 | 4, TEXT, 120, "I", -1, 0, 5, 5, -1, SHADOW);
  f.renderText(b, {170, BIG_Y, 950, BIG_Y}, 1 | 4, TEXT, 120, "Wavy", -1, 0, 4, 4, 1, SHADOW);
  // Every icon at 32 pixels with a one-pixel outline and at 12 pixels; three at 90 to 120
  // pixels, one turned, with a shadow and outlines.
  const int n = int(sizeof(icon_colors) / sizeof(icon_colors[0]));
  auto icon = [&](int i, float x, float yc, float px_size, float turn, float q2, float q3, float q4) {
    const IconColors &c = icon_colors[i];
    const float sc = px_size / 64.0f;
    ui_icons.renderIcon(b, v_make(x, yc, std::cos(turn), std::sin(turn)), sc, ui_icons.getIconId(c.name), 0, q2,
                        q3, q4, OUTLINE, c.c[0], c.c[1], c.c[2], c.c[3]);
  };
  for (int i = 0; i < n; i++)
  {
    icon(i, ICON_X + ICON_STEP * float(i), ICON_Y, 32, 0, 0, 0, 1);
    icon(i, ICON_X + 16 * float(i), ICON_Y + 36, 12, 0, 0, 0, 0);
  }
  icon(0, 570, BIG_Y + 64, 120, 0, 3, 3, -1);
  icon(13, 720, BIG_Y + 64, 100, 0.5f, 0, 0, 1);
  icon(2, 870, BIG_Y + 64, 100, 0, 0, 0, 3);
  b.render();
  end_dist_font_render();
  EXPECT_LE(b.groups.size(), 2) << "text and icons group by state";

  pixels.assign(size_t(W * H), 0);
  ASSERT_TRUE(gl.readPixels(0, 0, W, H, pixels.data()));
  savePicture();

  // The outlined "I": from the stem's centre rightwards, text, at most two blended pixels, a
  // two-pixel outline, at most two blended pixels, background. The stem's centre is the centre of
  // its box.
  int count = 0;
  BatchRect box = f.calcTextBox("I", -1, count);
  const float s = 120.0f / float(f.size);
  const int cy = int(BIG_Y + (box.y1 - box.y0) * s * 0.5f);
  const int cx = int(20 + (box.x1 - box.x0) * s * 0.5f);
  ASSERT_TRUE(near(px(cx, cy), TEXT, 6)) << std::hex << px(cx, cy);
  for (int dx : {1, -1})
  {
    Run stem = run(cx, cy, dx, TEXT, {OUTLINE, BG});
    EXPECT_LE(stem.blended, 2) << "sharp glyph edge";
    EXPECT_EQ(stem.next, OUTLINE);
    Run outline = run(stem.at, cy, dx, OUTLINE, {BG, TEXT});
    EXPECT_GE(outline.length + outline.blended, 1);
    EXPECT_LE(outline.length + outline.blended, 4) << "a two-pixel outline";
    EXPECT_LE(outline.blended, 2);
    EXPECT_EQ(outline.next, BG);
  }
  // The shadowed "I": the shadow shows on the right (6 pixels), not on the left.
  const int sx = int(100 + (box.x1 - box.x0) * s * 0.5f);
  Run right = run(sx, cy, 1, TEXT, {SHADOW, BG});
  EXPECT_LE(right.blended, 2);
  EXPECT_EQ(right.next, SHADOW);
  Run shadow = run(right.at, cy, 1, SHADOW, {BG});
  EXPECT_NEAR(shadow.length + shadow.blended, 6, 2);
  Run left = run(sx, cy, -1, TEXT, {BG, SHADOW});
  EXPECT_LE(left.blended, 2);
  EXPECT_EQ(left.next, BG);
  // Icons: the healing plus in its second colour, the close cross in its colour, the space
  // between two icons in the background colour.
  auto icon_px = [&](int i, int dx, int dy) { return px(int(ICON_X + ICON_STEP * float(i)) + dx, ICON_Y + dy); };
  EXPECT_TRUE(near(icon_px(2, 0, 0), 0xF0FFF0, 8)) << std::hex << icon_px(2, 0, 0);
  EXPECT_TRUE(near(icon_px(17, 0, 0), 0xE04030, 8)) << std::hex << icon_px(17, 0, 0);
  EXPECT_TRUE(near(icon_px(1, 20, 0), BG, 6));
  EXPECT_TRUE(near(px(870, BIG_Y + 64), 0xF0FFF0, 8)) << "healing at 100 pixels";
  EXPECT_TRUE(near(px(870 + 50, BIG_Y + 64 + 50), BG, 6));
}
}  // namespace
