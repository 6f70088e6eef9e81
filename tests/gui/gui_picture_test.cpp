// An options screen on the interface runtime, drawn by real OpenGL without a display: buttons
// (one hovered, so its tooltip shows), two checkboxes (one clicked on; a listener hands the state
// to its tick), a radio group (one clicked on), a solid box with an icon, all styled by one style
// sheet, and the tooltip styled by its own. Input goes through the screen's processInput. The colours of each state are checked;
// the picture is written to $QM_TEST_TMP/gui_picture.png (docs/gui_picture.png is a copy).
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/app_globals.h"
#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "gui/gui_draw.h"
#include "gui_test_util.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/texture_cache.h"
#include "render/ui_render.h"
#include "support/file_path.h"

namespace
{
constexpr int W = 600, H = 440;
constexpr D3dColor BG = 0xFF0B1016, BUTTON = 0xFF34506E, BUTTON_HOVER = 0xFF4A7AA8, RADIO = 0xFF2A3C50,
                   RADIO_ON = 0xFFC8922E, TICK = 0xFF6BE08A, TIP = 0xFFF2E6C8, TIP_INK = 0xFF2A1E10;

int ch(uint32_t c, int i) { return int((c >> (16 - 8 * i)) & 255); }
bool near(uint32_t a, uint32_t b, int tol)
{
  for (int i = 0; i < 3; i++)
    if (std::abs(ch(a, i) - ch(b, i)) > tol)
      return false;
  return true;
}


GuiPropertyList &left_text(GuiPropertyList &l) { return l.add(new GuiProperty<int>(GUI_PROP_TEXT_ALIGN, 1)); }

void fill_styles(GuiStyle &s, GuiStyle &tip)
{
  auto sheet = [&](GuiStyle &st, GuiSelector *sel, GuiPropertyList &l) { st.addSheet(sel, l.take()); };
  sheet(s, new ClassSelector("panel"),
        GuiPropertyList().behaviors("solid_box tooltip_box").color(GUI_PROP_BACK_COLOR, 0xFF1E2A38)
          .color(GUI_PROP_EDGE_COLOR, 0xFF3C5068).num(GUI_PROP_EDGE_WIDTH, 1.5f).num(GUI_PROP_RADIUS, 14)
          .num(GUI_PROP_SHADOW_SIZE, 18).color(GUI_PROP_SHADOW_COLOR, 0x99000000));
  sheet(s, new ClassSelector("title"),
        GuiPropertyList().num(GUI_PROP_FONT_SIZE, 30).color(GUI_PROP_TEXT_COLOR, 0xFFF4E7C5));
  sheet(s, new ClassSelector("caption"),
        left_text(GuiPropertyList().num(GUI_PROP_FONT_SIZE, 18).color(GUI_PROP_TEXT_COLOR, 0xFFB8C4D0)));
  sheet(s, new ClassSelector("button"),
        GuiPropertyList().behaviors("solid_box button tooltip_box").color(GUI_PROP_BACK_COLOR, BUTTON)
          .color(GUI_PROP_EDGE_COLOR, 0xFF4C6C8E).num(GUI_PROP_EDGE_WIDTH, 1).num(GUI_PROP_RADIUS, 8)
          .num(GUI_PROP_FONT_SIZE, 22).color(GUI_PROP_TEXT_COLOR, 0xFFF4F0E0).num(GUI_PROP_SHADOW_SIZE, 6)
          .float4(GUI_PROP_PADDING, v_make(16, 6, 16, 6))
          .transition(new GuiTimedTransition(0.15f), {GUI_PROP_BACK_COLOR, GUI_PROP_EDGE_COLOR}));
  sheet(s, new ClassSelector("button", 2, GUI_PROP_HOVERED),
        GuiPropertyList().color(GUI_PROP_BACK_COLOR, BUTTON_HOVER).color(GUI_PROP_EDGE_COLOR, 0xFFBFD8F0));
  sheet(s, new ClassSelector("button", 3, GUI_PROP_PRESSED), GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xFF263C54));
  sheet(s, new ClassSelector("check"),
        left_text(GuiPropertyList().behaviors("solid_box checkbox").num(GUI_PROP_FONT_SIZE, 20)
                    .color(GUI_PROP_TEXT_COLOR, 0xFFF4F0E0).float4(GUI_PROP_PADDING, v_make(46, 4, 8, 4))));
  sheet(s, new ClassSelector("tick"),
        GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xFF0F1822).color(GUI_PROP_EDGE_COLOR, 0xFF5A7490)
          .num(GUI_PROP_EDGE_WIDTH, 1.5f).num(GUI_PROP_RADIUS, 5).float4(GUI_PROP_PADDING, v_zero()));
  sheet(s, new ClassSelector("tick", 2, GUI_PROP_CHECKED),
        GuiPropertyList().text(GUI_PROP_ICON, "check").color(GUI_PROP_TEXT_COLOR, TICK).num(GUI_PROP_ICON_SIZE, 26));
  sheet(s, new ClassSelector("radio"),
        GuiPropertyList().behaviors("solid_box radio_button").color(GUI_PROP_BACK_COLOR, RADIO).num(GUI_PROP_RADIUS, 6)
          .num(GUI_PROP_FONT_SIZE, 17).color(GUI_PROP_TEXT_COLOR, 0xFFE0E6EE));
  sheet(s, new ClassSelector("radio", 2, GUI_PROP_CHECKED),
        GuiPropertyList().color(GUI_PROP_BACK_COLOR, RADIO_ON).color(GUI_PROP_TEXT_COLOR, 0xFF1A1208));
  sheet(s, new ClassSelector("info"),
        left_text(GuiPropertyList().behaviors("solid_box tooltip_box").color(GUI_PROP_BACK_COLOR, 0xFF16202B)
                    .num(GUI_PROP_RADIUS, 8).num(GUI_PROP_FONT_SIZE, 19).num(GUI_PROP_ICON_SIZE, 30)
                    .color(GUI_PROP_TEXT_COLOR, 0xFF9CB8FF).text(GUI_PROP_ICON, "mana")));
  sheet(tip, new ClassSelector("tip"),
        left_text(GuiPropertyList().color(GUI_PROP_BACK_COLOR, TIP).color(GUI_PROP_EDGE_COLOR, 0xFF8A6A3A)
                    .num(GUI_PROP_EDGE_WIDTH, 1).num(GUI_PROP_RADIUS, 6).num(GUI_PROP_SHADOW_SIZE, 10)
                    .num(GUI_PROP_FONT_SIZE, 16).color(GUI_PROP_TEXT_COLOR, TIP_INK)
                    .float4(GUI_PROP_PADDING, v_make(10, 5, 10, 5))));
}

TestElement *labelled(const char *cls, const char *text, float x0, float y0, float x1, float y1, BaseGuiElement *parent,
                      const char *tip = nullptr)
{
  auto *e = new TestElement(cls, x0, y0, x1, y1, parent);
  e->setText(GUI_PROP_TEXT, text, false);
  if (tip)
    e->setText(GUI_PROP_TOOLTIP, tip, false);
  return e;
}

struct GuiPicture : testing::Test
{
  GlBackend gl;
  std::string dir;
  char saved_path[sizeof(app_path)];
  bool ready = false;

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_gui_picture_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    auto copy = [&](const std::string &from, const char *f) {
      std::filesystem::copy_file(from + "/" + f, dir + f, std::filesystem::copy_options::overwrite_existing);
    };
    for (const char *f : {"distfont.sh", "disticon.sh", "dist_common.inc", "roundedBox.sh", "sh_common.inc", "sh_math.inc"})
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
    init_rounded_box_render();
  }
  void TearDown() override
  {
    if (ready)
    {
      close_rounded_box_render();
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
};

TEST_F(GuiPicture, OptionsScreenWithEveryBehaviorAndAStyledTooltip)
{
  ASSERT_TRUE(default_font.load("default_font.txt"));
  ASSERT_TRUE(ui_icons.load("ui_icons.txt"));
  FakeInput::install();
  GuiStyle style, tip_style;
  fill_styles(style, tip_style);

  BaseGuiScreen screen;
  screen.style = &style;
  auto *panel = new TestElement("panel", 30, 24, 570, 416);
  screen.setRoot(panel);
  labelled("title", "Options", 0, 12, 540, 60, panel);
  TestElement *buttons[3] = {labelled("button", "New game", 30, 80, 250, 124, panel, "Start over on a new world"),
                             labelled("button", "Resume", 30, 136, 250, 180, panel),
                             labelled("button", "Quit", 30, 192, 250, 236, panel, "Leave the world; it is kept")};
  buttons[1]->setText(GUI_PROP_ICON, "arrow");
  buttons[2]->setText(GUI_PROP_ICON, "close");
  TestElement *checks[2] = {labelled("check", "Sound", 290, 80, 510, 116, panel),
                            labelled("check", "Music", 290, 124, 510, 160, panel)};
  TestElement *ticks[2];
  for (int i = 0; i < 2; i++)
  {
    // The tick shows the box's state: the box's change listener hands it over.
    TestElement *t = ticks[i] = new TestElement("tick", 8, 5, 34, 31, checks[i]);
    checks[i]->changeListeners.add([t](bool on) { t->setBool(GUI_PROP_CHECKED, on); });
  }
  labelled("caption", "Shadows", 290, 172, 510, 196, panel);
  auto *group = new TestElement("group", 290, 202, 510, 240, panel);
  TestElement *radios[3] = {labelled("radio", "Low", 0, 0, 70, 38, group), labelled("radio", "Soft", 75, 0, 145, 38, group),
                            labelled("radio", "Sharp", 150, 0, 220, 38, group)};
  labelled("info", "Mana 120 / 200", 30, 300, 510, 350, panel, "Mana refills over time");
  screen.restyle();

  auto centre = [](const BaseGuiElement *e) { return std::pair((e->rect[0] + e->rect[2]) / 2, (e->rect[1] + e->rect[3]) / 2); };
  auto click = [&](const BaseGuiElement *e) {
    auto [x, y] = centre(e);
    FakeInput::post(INPUT_MOUSE_MOVE, x, y);
    FakeInput::post(INPUT_BUTTON_DOWN, x, y);
    FakeInput::post(INPUT_BUTTON_UP, x, y);
  };
  click(checks[0]);
  click(radios[2]);
  auto [mx, my] = centre(buttons[2]);
  FakeInput::post(INPUT_MOUSE_MOVE, mx + 60, my + 6);
  screen.processInput();
  screen.restyle();
  update_gui_animators(panel, 1.0f);  // the hover transition has ended
  ASSERT_FALSE(FakeInput::tooltips.empty());
  ASSERT_EQ(FakeInput::tooltips.back(), "show:Leave the world; it is kept");

  // The tooltip, placed under the pointer and sized to its text.
  const char *tip_text = FakeInput::tooltips.back().c_str() + 5;
  int glyphs = 0;
  const BatchRect box = default_font.calcTextBox(tip_text, -1, glyphs);
  const float tip_w = (box.x1 - box.x0) * 16.0f / float(default_font.size) + 22;
  TestElement tip("tip", mx + 64, my + 30, mx + 64 + tip_w, my + 30 + 30);
  tip.setText(GUI_PROP_TEXT, tip_text);
  tip_style.restyle(&tip, false);
  tip.layout(0, 0, W, H);

  restore_back_buffer();
  clear_view(BG);
  start_dist_font_render();
  gui_batch.clear();
  draw_gui_tree(gui_batch, panel);
  draw_gui_tree(gui_batch, &tip);
  gui_batch.render();
  end_dist_font_render();
  std::vector<uint32_t> px(size_t(W * H));
  ASSERT_TRUE(gl.readPixels(0, 0, W, H, px.data()));
  std::vector<uint8_t> rgb(size_t(W * H * 3));
  for (int i = 0; i < W * H; i++)
    for (int c = 0; c < 3; c++)
      rgb[size_t(i * 3 + c)] = uint8_t(ch(px[size_t(i)], c));
  const char *base = getenv("QM_TEST_TMP");
  const std::string out = std::string(base ? base : "/tmp") + "/gui_picture.png";
  ASSERT_NE(stbi_write_png(out.c_str(), W, H, 3, rgb.data(), W * 3), 0) << out;

  // Each state in its colour, read beside the left edge at mid-height (no text there).
  auto edge_px = [&](const BaseGuiElement *e) { return px[size_t(int(centre(e).second) * W + int(e->rect[0]) + 5)]; };
  auto count = [&](const BaseGuiElement *e, D3dColor c, int tol) {
    int n = 0;
    for (int y = int(e->rect[1]); y < int(e->rect[3]); y++)
      for (int x = int(e->rect[0]); x < int(e->rect[2]); x++)
        n += near(px[size_t(y * W + x)], c, tol);
    return n;
  };
  EXPECT_TRUE(buttons[2]->getBool(GUI_PROP_HOVERED));
  EXPECT_TRUE(near(edge_px(buttons[2]), BUTTON_HOVER, 6)) << std::hex << edge_px(buttons[2]);
  EXPECT_TRUE(near(edge_px(buttons[1]), BUTTON, 6)) << std::hex << edge_px(buttons[1]);
  EXPECT_TRUE(checks[0]->getBool(GUI_PROP_CHECKED));
  EXPECT_GT(count(ticks[0], TICK, 24), 40) << "the tick shows in the checked box";
  EXPECT_EQ(count(ticks[1], TICK, 24), 0);
  EXPECT_TRUE(near(edge_px(radios[2]), RADIO_ON, 6)) << std::hex << edge_px(radios[2]);
  for (int i : {0, 1})
    EXPECT_TRUE(near(edge_px(radios[i]), RADIO, 6)) << i;
  EXPECT_TRUE(near(edge_px(&tip), TIP, 6)) << std::hex << edge_px(&tip);
  EXPECT_GT(count(&tip, TIP_INK, 40), 60) << "the tooltip's text is drawn";
  EXPECT_TRUE(near(px[size_t(5 * W + 5)], BG, 4)) << "nothing outside the panel";
}
}  // namespace
