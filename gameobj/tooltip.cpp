// Tooltips: the screens' tooltip queries (show_tooltip, hide_tooltip, through the interface's
// hooks) leave the text here; the tooltip screen draws it in a box beside the mouse, kept inside
// the back buffer, with the tooltip style's look.
#include <algorithm>
#include <cstdio>

#include "app/input.h"
#include "gui/dist_font.h"
#include "gui/gui_draw.h"
#include "module.h"
#include "render/device.h"

namespace
{
char text[GUI_TEXT_MAX + 1] = "";

class TooltipSelector final : public GuiSelector
{
public:
  bool matches(BaseGuiElement *) override { return true; }
  int specificity() override { return 0; }
};

// The text's ink box in pixels at the font size.
void text_size(float font_size, float &w, float &h)
{
  int count = 0;
  BatchRect r = default_font.calcTextBox(text, -1, count);
  float s = default_font.size > 0 ? font_size / float(default_font.size) : 0.f;
  w = (r.x1 - r.x0) * s;
  h = (r.y1 - r.y0) * s;
}

float font_size_for_screen() { return std::clamp(float(d3d_ht) * 0.03f, 11.f, 22.f); }
}  // namespace

void init_tooltip()
{
  tooltip_style.clear();
  tooltip_style.addSheet(new TooltipSelector, GuiPropertyList()
                                                 .color(GUI_PROP_BACK_COLOR, 0xE0181410u)
                                                 .color(GUI_PROP_EDGE_COLOR, 0xFFC8A050u)
                                                 .num(GUI_PROP_EDGE_WIDTH, 1.5f)
                                                 .num(GUI_PROP_RADIUS, 5.f)
                                                 .num(GUI_PROP_SHADOW_SIZE, 6.f)
                                                 .color(GUI_PROP_TEXT_COLOR, 0xFFF4ECD8u)
                                                 .add(new GuiProperty<int>(GUI_PROP_TEXT_ALIGN, 1 | 4))
                                                 .take());
  if (!tooltip_screen)
  {
    tooltip_screen = new BaseGuiScreen;
    tooltip_screen->setRoot(new BaseGuiElement);
  }
  tooltip_screen->style = &tooltip_style;
  tooltip_screen->root->setText(GUI_PROP_TEXT, "");
  text[0] = 0;
}

void show_tooltip(const char *t)
{
  snprintf(text, sizeof(text), "%s", t ? t : "");
}

void hide_tooltip() { text[0] = 0; }

void update_tooltip()
{
  if (!tooltip_screen || !tooltip_screen->root)
    return;
  BaseGuiElement *box = tooltip_screen->root;
  box->setText(GUI_PROP_TEXT, text);
  const float fs = font_size_for_screen(), pad = fs * 0.5f;
  box->setFloat(GUI_PROP_FONT_SIZE, fs);
  box->setFloat4(GUI_PROP_PADDING, v_splats(pad));
  float w, h;
  text_size(fs, w, h);
  w += 2.f * pad + 2.f;
  h += 2.f * pad + 2.f;
  float mx = 0.f, my = 0.f;
  getMousePos(&mx, &my);
  // Below and right of the pointer, flipped to the other side at the edges.
  float x = mx + 16.f, y = my + 20.f;
  if (x + w > float(d3d_wd))
    x = std::max(0.f, mx - 8.f - w);
  if (y + h > float(d3d_ht))
    y = std::max(0.f, my - 8.f - h);
  tooltip_style.restyle(box, false);
  box->layout(x, y, x + w, y + h);
}

void render_tooltip()
{
  if (!text[0] || !tooltip_screen || !tooltip_screen->root)
    return;
  update_tooltip();
  draw_gui_tree(gui_batch, tooltip_screen->root);
}
