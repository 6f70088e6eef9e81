#include "gui/gui_draw.h"

#include <algorithm>

#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "render/ui_render.h"

namespace
{
D3dColor fade(D3dColor c, float k)
{
  return (color_channel_to_byte(float(c >> 24) / 255.0f * k) << 24) | (c & 0xFFFFFFu);
}

void draw_element(RenderBatch &batch, const BaseGuiElement *e, float opacity)
{
  opacity *= std::clamp(e->getFloat(GUI_PROP_OPACITY) / 100.0f, 0.0f, 1.0f);
  const BatchRect r = {e->rect[0], e->rect[1], e->rect[2], e->rect[3]};
  const D3dColor back = fade(e->getColor(GUI_PROP_BACK_COLOR), opacity);
  const vec4f radii = v_splats(std::max(0.0f, e->getFloat(GUI_PROP_RADIUS)));
  if (back >> 24)
  {
    const float shadow = e->getFloat(GUI_PROP_SHADOW_SIZE);
    if (shadow > 0)
      render_rounded_box(batch, r, radii, 0, 0.5f, 0, shadow * 0.4f, 0, fade(e->getColor(GUI_PROP_SHADOW_COLOR), opacity),
                         shadow);
    render_rounded_box(batch, r, radii, back, std::max(0.5f, e->getFloat(GUI_PROP_EDGE_WIDTH)), 0, 0, 0,
                       fade(e->getColor(GUI_PROP_EDGE_COLOR), opacity), -1);
  }
  const vec4f pad = e->getValue(GUI_PROP_PADDING);
  BatchRect inner = {r.x0 + v_extract_x(pad), r.y0 + v_extract_y(pad), r.x1 - v_extract_z(pad), r.y1 - v_extract_w(pad)};
  const D3dColor ink = fade(e->getColor(GUI_PROP_TEXT_COLOR), opacity);
  const float font_size = e->getFloat(GUI_PROP_FONT_SIZE);
  const char *icon = e->getText(GUI_PROP_ICON);
  const char *text = e->getText(GUI_PROP_TEXT);
  const int id = *icon ? ui_icons.getIconId(icon) : -1;
  if (id >= 0)
  {
    float size = e->getFloat(GUI_PROP_ICON_SIZE);
    if (!(size > 0))
      size = font_size;
    // Alone: centred; with text: at the left, the text after it.
    const float cx = *text ? inner.x0 + size * 0.5f : (inner.x0 + inner.x1) * 0.5f;
    ui_icons.renderIcon(batch, v_make(cx, (inner.y0 + inner.y1) * 0.5f, 1, 0), size / 64.0f, id, 0, 0, 0, -1, 0, ink,
                        ink, ink, ink);
    if (*text)
      inner.x0 += size * 1.25f;
  }
  if (*text)
  {
    const BaseGuiProperty *a = e->getProp(GUI_PROP_TEXT_ALIGN);
    const int align = a ? static_cast<const GuiProperty<int> *>(a)->value : 0;
    default_font.renderText(batch, inner, align, ink, font_size, text, -1, 0, 0, 0, -1, 0);
  }
  for (int i = 0; i < e->children.size(); i++)
    if (!e->children[i]->isHidden())
      draw_element(batch, e->children[i], opacity);
}
}  // namespace

void draw_gui_tree(RenderBatch &batch, const BaseGuiElement *element)
{
  if (element && !element->isHidden())
    draw_element(batch, element, 1.0f);
}
