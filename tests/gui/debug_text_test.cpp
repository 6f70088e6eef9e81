// The debug text on the recording device with a made-up font.tga of 8-pixel cells: font loading
// and its fatal errors, the glyph table, measuring, the vertices of text, rectangles and
// outlines, batch items, the visual log, the error message and the splash.
#include "gui/debug_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/recording_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "support/file_path.h"
#include "support/splash.h"
#include "support/visual_log.h"

namespace
{
constexpr int CELL = 8;
// Ink width of code c in the made-up font (0: empty cell): columns 1 .. width of its cell.
int ink_width(int c) { return c > 32 && c != 127 ? 1 + c % 6 : 0; }

std::vector<uint8_t> font_tga(int w, int h)
{
  std::vector<uint8_t> f(18, 0);
  f[2] = 2, f[16] = 32, f[17] = 0x28;
  f[12] = uint8_t(w), f[13] = uint8_t(w >> 8), f[14] = uint8_t(h), f[15] = uint8_t(h >> 8);
  const int cw = w / 16, chh = h / 16;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
    {
      const int c = (y / chh) * 16 + x / cw, col = x % cw;
      const bool on = (x == 0 && y == 0) || (col >= 1 && col <= ink_width(c));
      f.insert(f.end(), {255, 255, 255, uint8_t(on ? 255 : 0)});
    }
  return f;
}

struct Vtx
{
  int x, y;
  uint32_t color;
  int u, v;
};

// The vertices of the one draw since the log was cleared (the writer's buffer keeps them).
std::vector<Vtx> last_draw(RecordingBackend &rb)
{
  std::vector<std::string> draws = rb.callsStartingWith("DrawPrimitive(");
  EXPECT_LE(draws.size(), 1u);
  std::vector<Vtx> out;
  unsigned type = 0, start = 0, prims = 0;
  if (draws.empty() || sscanf(draws.back().c_str(), "DrawPrimitive(%u, %u, %u)", &type, &start, &prims) != 3)
    return out;
  const FontVertex *v = reinterpret_cast<const FontVertex *>(rb.buffers[common_vb_writer.vb->buffer].data());
  for (unsigned i = 0; i < prims * 3; i++)
    out.push_back({v[i].x, v[i].y, v[i].color, v[i].u, v[i].v});
  return out;
}

class DebugText : public testing::Test
{
protected:
  RecordingBackend rb;
  std::string dir;
  char saved_path[sizeof(app_path)];

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_debug_text_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    for (const char *f : {"font.sh", "sh_common.inc", "sh_math.inc"})
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, dir + f,
                                 std::filesystem::copy_options::overwrite_existing);
    writeFont(font_tga(16 * CELL, 16 * CELL));
    memcpy(saved_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());
    set_render_backend(&rb);
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
  }
  void TearDown() override
  {
    close_debug_text();
    common_vb_writer.abandon();
    common_vb_writer.close();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    std::filesystem::remove_all(dir);
    clear_visual_log();
    set_error_message(nullptr);
  }
  void writeFont(const std::vector<uint8_t> &f)
  {
    std::ofstream(dir + "font.tga", std::ios::binary).write(reinterpret_cast<const char *>(f.data()), long(f.size()));
  }
  void init()
  {
    testing::internal::CaptureStdout();
    init_debug_text();
    testing::internal::GetCapturedStdout();
  }
  // Runs `draw_fn` between start_draw_text and end_draw_text and returns the vertices drawn.
  template <class F>
  std::vector<Vtx> draw(F &&draw_fn)
  {
    rb.clearLog();
    start_draw_text();
    draw_fn();
    end_draw_text();
    return last_draw(rb);
  }
};

// The quad's lower-left and upper-right corners (vertices 0 and 2 of its six).
struct Quad
{
  int x0, y0, x1, y1, u0, v0, u1, v1;
  uint32_t color;
};
std::vector<Quad> quads(const std::vector<Vtx> &v)
{
  std::vector<Quad> q;
  for (size_t i = 0; i + 5 < v.size(); i += 6)
    q.push_back({v[i].x, v[i].y, v[i + 2].x, v[i + 2].y, v[i].u, v[i].v, v[i + 2].u, v[i + 2].v, v[i].color});
  return q;
}
}  // namespace

TEST_F(DebugText, GlyphTableScaleAndFontErrors)
{
  init();
  EXPECT_EQ(debug_font.cellW, CELL);
  EXPECT_EQ(debug_font.cellH, CELL);
  EXPECT_EQ(text_style.scale, 1);  // 360 / (8 x 30)
  const DebugGlyph &l = debug_font.glyphs['L'], &space = debug_font.glyphs[' '], &hi = debug_font.glyphs[0xC1];
  EXPECT_EQ(l.x0, 12 * CELL + 1);
  EXPECT_EQ(l.x1, 12 * CELL + 1 + ink_width('L'));
  EXPECT_EQ(l.y0, 5 * CELL);  // the cell's bottom row edge: glyphs stand upright in y-up text
  EXPECT_EQ(l.y1, 4 * CELL);
  EXPECT_EQ(space.x1 - space.x0, CELL / 2);
  EXPECT_EQ(hi.x0, 1 * CELL + 1);  // byte 0xC1 is cell 193: row 12, column 1
  EXPECT_EQ(hi.y1, 12 * CELL);

  EXPECT_EQ(debug_font_scale_for(1080, 8), 4);
  EXPECT_EQ(debug_font_scale_for(200, 8), 1);
  EXPECT_EQ(debug_font_scale_for(2160, 16), 4);

  writeFont(font_tga(128, 200));
  EXPECT_EXIT(init_debug_text(), testing::ExitedWithCode(100),
              "expected 16x16 font grid in font.tga, got 128x200 image");
  std::vector<uint8_t> f = font_tga(128, 128);
  f[16] = 24;
  writeFont(f);
  EXPECT_EXIT(init_debug_text(), testing::ExitedWithCode(100), "can't load font.tga: unsupported TGA format");
  std::filesystem::remove(dir + "font.tga");
  EXPECT_EXIT(init_debug_text(), testing::ExitedWithCode(100), "can't load font.tga");
}

TEST_F(DebugText, MeasuringText)
{
  init();
  auto size = [](const char *t, int len = -1) {
    int w = -1, h = -1;
    calc_text_size(t, len, w, h);
    return std::pair(w, h);
  };
  const int adv_a = ink_width('A') + 1, adv_b = ink_width('B') + 1;
  EXPECT_EQ(size(nullptr), std::pair(0, 0));
  EXPECT_EQ(size(""), std::pair(0, 0));
  EXPECT_EQ(size("AB\n"), std::pair(adv_a + adv_b, CELL));  // one line: no height for the empty last one
  EXPECT_EQ(size("A\nAB"), std::pair(adv_a + adv_b, 2 * CELL));
  EXPECT_EQ(size("ABAB", 2), std::pair(adv_a + adv_b, CELL));
  text_style.scale = 2;
  text_style.lineSpacing = 3;
  text_style.charSpacing = 1;
  EXPECT_EQ(size("AB\nA"), std::pair(2 * (adv_a + adv_b) + 2, 2 * CELL + 3 + 2 * CELL));
  text_style = TextStyle();
}

TEST_F(DebugText, TextVerticesShadowFirstAlignedAndUpright)
{
  init();
  const int wl = ink_width('L'), adv = wl + 1;
  // "L" with its bottom-left at (10, 20), colour alpha 0x80.
  std::vector<Quad> q = quads(draw([] { draw_text("L", -1, 10, 20, -1, -1, 0x80FF2000); }));
  ASSERT_EQ(q.size(), 2u);
  const DebugGlyph &g = debug_font.glyphs['L'];
  EXPECT_EQ(q[0].color, 0x40000000u);  // shadow: black at half the alpha, one pixel right and down
  EXPECT_EQ(q[0].x0, 11);
  EXPECT_EQ(q[0].y0, 19);
  EXPECT_EQ(q[1].color, 0x80FF2000u);
  EXPECT_EQ(q[1].x0, 10);
  EXPECT_EQ(q[1].y0, 20);
  EXPECT_EQ(q[1].x1, 10 + wl);
  EXPECT_EQ(q[1].y1, 20 + CELL);
  EXPECT_EQ(q[1].u0, g.x0);  // the foot of the glyph (its cell's bottom) at the quad's bottom
  EXPECT_EQ(q[1].v0, g.y0);
  EXPECT_EQ(q[1].u1, g.x1);
  EXPECT_EQ(q[1].v1, g.y1);

  // Centred and right-aligned, top- and centre-aligned; a space advances without a quad; a
  // newline goes down one line and back to the block's left edge.
  q = quads(draw([] { draw_text("L", -1, 100, 100, 0, 1, 0xFFFFFFFF); }));
  EXPECT_EQ(q[1].x0, 100 - adv / 2);
  EXPECT_EQ(q[1].y1, 100);
  q = quads(draw([] { draw_text("L L\nL", -1, 100, 100, 1, 0, 0xFFFFFFFF); }));
  ASSERT_EQ(q.size(), 6u);
  const int w = 2 * adv + CELL / 2 + 1;
  EXPECT_EQ(q[1].x0, 100 - w);
  EXPECT_EQ(q[3].x0, 100 - w + adv + CELL / 2 + 1);
  EXPECT_EQ(q[1].y0, 100);  // a block of two lines centred on y = 100
  EXPECT_EQ(q[5].x0, 100 - w);
  EXPECT_EQ(q[5].y0, 100 - CELL);

  // Bytes above 127 are cells 128..255.
  q = quads(draw([] { draw_text("\xC1", -1, 0, 0, -1, -1, 0xFFFFFFFF); }));
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(q[1].u0, debug_font.glyphs[0xC1].x0);
  EXPECT_EQ(q[1].v1, 12 * CELL);

  // Nothing is drawn outside start and end.
  rb.clearLog();
  draw_text("L", -1, 0, 0, -1, -1, 0xFFFFFFFF);
  common_vb_writer.flush(true);
  EXPECT_TRUE(rb.callsStartingWith("DrawPrimitive").empty());
}

TEST_F(DebugText, RectanglesOutlinesAndBatchItems)
{
  init();
  std::vector<Quad> q = quads(draw([] { draw_box(10, 20, 30, 40, 0xFF00FF00); }));
  ASSERT_EQ(q.size(), 4u);
  const int want[4][4] = {{10, 20, 11, 40}, {30, 20, 31, 40}, {10, 20, 31, 21}, {10, 40, 31, 41}};
  for (int i = 0; i < 4; i++)
  {
    EXPECT_EQ((std::vector<int>{q[i].x0, q[i].y0, q[i].x1, q[i].y1}),
              (std::vector<int>{want[i][0], want[i][1], want[i][2], want[i][3]}))
        << "strip " << i;
    EXPECT_EQ(q[i].u0, -1);  // the clamped corner texel, opaque white
    EXPECT_EQ(q[i].v1, -1);
  }

  RenderBatch batch;
  batch_text(batch, "L L", -1, 10, 20, -1, -1, 0xFFFFFFFF);
  batch_rect(batch, 0, 0, 50, 10, 0xFF000000);
  int items = 0;
  for (const RenderBatch::Group &gr : batch.groups)
    for (RenderBatch::Item *it = gr.first; it; it = it->next, items++)
      EXPECT_EQ(gr.state, get_font_batch_state());
  EXPECT_EQ(items, 3);  // two characters and the rectangle
  const RenderBatch::Item *first = batch.groups[0].first;
  EXPECT_EQ(first->primCount, 4);
  EXPECT_EQ(first->rect.y1, float(360 - 19));  // y-down: the shadow's bottom edge
  EXPECT_EQ(first->rect.y0, float(360 - 20 - CELL));
  batch.clear();
}

TEST_F(DebugText, VisualLogAndErrorMessage)
{
  init();
  EXPECT_TRUE(quads(draw([] { draw_error_message(); })).empty());
  visual_log("first");
  visual_log("second");
  std::vector<Quad> q = quads(draw([] { draw_visual_log(); }));
  ASSERT_EQ(q.size(), 2u * (5 + 6));
  EXPECT_EQ(q[1].x0, 2 * CELL);  // the oldest line is the highest
  EXPECT_EQ(q[1].y0, 2 * 2 * CELL);
  EXPECT_EQ(q[11].y0, 2 * CELL);
  EXPECT_EQ(q[1].x1 - q[1].x0, 2 * ink_width('f'));  // scale 2, and the style is restored after
  EXPECT_EQ(text_style.scale, 1);

  set_error_message("Bad");
  testing::internal::CaptureStdout();
  q = quads(draw([] { draw_error_message(); }));
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(q.size(), 1u + 2 * 3);
  EXPECT_EQ((std::vector<int>{q[0].x0, q[0].y0, q[0].x1, q[0].y1}), (std::vector<int>{0, 360 - 12 * CELL, 640, 360}));
  EXPECT_EQ(q[0].color, 0xCC660000u);
  EXPECT_EQ(q[2].color, 0xFFFFEE00u);
  EXPECT_EQ(q[2].y1, 360 - CELL);  // top-aligned one cell below the top
}

TEST_F(DebugText, SplashBarFollowsTheProgress)
{
  init();
  // Rectangles of the splash frame that show_splash draws (texture coordinate -1), in order.
  auto rects = [&](float progress) {
    rb.clearLog();
    show_splash("Wait", progress);
    EXPECT_EQ(rb.callsStartingWith("Present").size(), 1u);
    std::vector<Quad> out;
    for (const Quad &q : quads(last_draw(rb)))
      if (q.u0 == -1)
        out.push_back(q);
    return out;
  };
  EXPECT_TRUE(rects(-1).empty());
  EXPECT_TRUE(rects(NAN).empty());
  const int bw = 640 / 4, x = (640 - bw) / 2, y = 360 / 4 - 3 * CELL;
  for (float p : {0.0f, 0.5f, 1.0f, 7.0f})
  {
    std::vector<Quad> r = rects(p);
    ASSERT_EQ(r.size(), 2u + 4u) << p;  // trough, fill, the frame's four strips
    EXPECT_EQ((std::vector<int>{r[0].x0, r[0].y0, r[0].x1, r[0].y1}), (std::vector<int>{x, y, x + bw, y + 3 * CELL / 2}));
    EXPECT_EQ(r[1].x1 - r[1].x0, int(std::lround(bw * std::fmin(p, 1.0f)))) << p;
    EXPECT_EQ(r[1].color, 0xFF32960Au);
  }
  EXPECT_STREQ(last_splash_message(), "Wait");
}
