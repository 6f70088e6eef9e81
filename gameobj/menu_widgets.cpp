// The menus' elements, their screen with the keyboard, and their style sheet.
#include "menu_widgets.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/mode_keys.h"
#include "gameobj_host/gameobj_module.h"
#include "render/device.h"

namespace
{
// Matches the menus' elements of a class, optionally only while a bool property is set.
class MenuSelector final : public GuiSelector
{
public:
  MenuSelector(const char *c, int state = -1) : cls(c), state(state) {}
  bool matches(BaseGuiElement *e) override
  {
    auto *m = dynamic_cast<MenuElement *>(e);
    return m && !strcmp(m->cls, cls) && (state < 0 || e->getBool(state));
  }
  int specificity() override { return state < 0 ? 1 : state == GUI_PROP_PRESSED ? 3 : 2; }

private:
  const char *cls;
  int state;
};

GuiPropertyList &left_aligned(GuiPropertyList &l) { return l.add(new GuiProperty<int>(GUI_PROP_TEXT_ALIGN, 1)); }
}  // namespace

MenuElement::MenuElement(const char *c, float x0, float y0, float x1, float y1, BaseGuiElement *parent)
  : cls(c), place{x0, y0, x1, y1}
{
  if (parent)
    parent->addChild(this);
}

void MenuElement::layout(float x0, float y0, float x1, float y1)
{
  const float s = menu_scale();
  if (!parent)
    BaseGuiElement::layout(x0, y0, x1, y1);
  else
  {
    const float ox = centred ? (x0 + x1) * 0.5f : x0, oy = centred ? (y0 + y1) * 0.5f : y0;
    BaseGuiElement::layout(ox + place[0] * s, oy + place[1] * s, ox + place[2] * s, oy + place[3] * s);
  }
  for (int i = 0; i < children.size(); i++)
    children[i]->layout(rect[0], rect[1], rect[2], rect[3]);
}

float menu_scale() { return std::max(0.4f, float(d3d_ht) / MENU_DESIGN_HEIGHT); }

MenuScreen::MenuScreen() { style = &common_style; }

void MenuScreen::setFocus(int index)
{
  if (entries.empty())
    return;
  const int n = int(entries.size());
  focus = ((index % n) + n) % n;
  for (int i = 0; i < n; i++)
    entries[size_t(i)]->setBool(GUI_PROP_FOCUSED, i == focus);
}

void MenuScreen::activate(MenuElement *e)
{
  InputEvent in = {};
  in.kind = INPUT_BUTTON_DOWN;
  in.key = MOUSE_BUTTON_LEFT;
  in.flags = INPUT_FLAG_LBUTTON;
  in.x = (e->rect[0] + e->rect[2]) * 0.5f;
  in.y = (e->rect[1] + e->rect[3]) * 0.5f;
  NewGuiInputEvent down(GUI_EVENT_BUTTON_DOWN, in);
  send_event(&down, e, GUI_SEND_ELEMENT);
  in.kind = INPUT_BUTTON_UP;
  in.flags = 0;
  NewGuiInputEvent up(GUI_EVENT_BUTTON_UP, in);
  send_event(&up, e, GUI_SEND_ELEMENT);
}

void MenuScreen::processInputEvent(const InputEvent &event, BaseGuiElement *target)
{
  if (event.kind == INPUT_KEY_DOWN && !(event.flags & (INPUT_FLAG_ALT | INPUT_FLAG_CTRL)))
  {
    const bool shift = (event.flags & INPUT_FLAG_SHIFT) != 0;
    switch (event.key)
    {
    case KEY_UP:
    case KEY_LEFT:
      setFocus(focus - 1);
      return;
    case KEY_DOWN:
    case KEY_RIGHT:
      setFocus(focus + 1);
      return;
    case KEY_HOME:
      setFocus(0);
      return;
    case KEY_END:
      setFocus(int(entries.size()) - 1);
      return;
    case KEY_TAB:
      setFocus(focus + (shift ? -1 : 1));
      return;
    case KEY_ENTER:
    case KEY_SPACE:
      if (!entries.empty())
        activate(entries[size_t(focus)]);
      return;
    case KEY_ESCAPE:
      back();
      return;
    default:
      break;
    }
  }
  BaseGuiScreen::processInputEvent(event, target);
  // The pointer moves the focus to the entry under it, once it has moved since the screen showed.
  if (event.kind != INPUT_MOUSE_MOVE)
    return;
  if (pointerX < 0.f)
  {
    pointerX = event.x;
    pointerY = event.y;
    return;
  }
  if (!pointerLeads && std::fabs(event.x - pointerX) + std::fabs(event.y - pointerY) < 3.f)
    return;
  pointerLeads = true;
  if (hovered)
    for (size_t i = 0; i < entries.size(); i++)
      if (entries[i] == hovered && int(i) != focus)
        setFocus(int(i));
}

MenuElement *MenuScreen::makePanel(float w, float h, const char *title)
{
  auto *shade = new MenuElement("shade", 0, 0, 0, 0, nullptr);
  setRoot(shade);
  auto *panel = new MenuElement("panel", -w * 0.5f, -h * 0.5f, w * 0.5f, h * 0.5f, shade);
  panel->centred = true;
  addText("title", title, 0, 18, w, 82, panel);
  return panel;
}

MenuElement *MenuScreen::addText(const char *cls, const char *text, float x0, float y0, float x1, float y1,
                                 BaseGuiElement *parent)
{
  auto *e = new MenuElement(cls, x0, y0, x1, y1, parent);
  e->setText(GUI_PROP_TEXT, text, false);
  return e;
}

MenuElement *MenuScreen::addEntry(const char *cls, const char *label, const char *icon, float x0, float y0, float x1,
                                  float y1, BaseGuiElement *parent)
{
  MenuElement *e = addText(cls, label, x0, y0, x1, y1, parent);
  if (icon)
    e->setText(GUI_PROP_ICON, icon, false);
  e->focusable = true;
  entries.push_back(e);
  return e;
}

MenuElement *MenuScreen::addCheck(const char *label, float x0, float y0, float x1, float y1, BaseGuiElement *parent)
{
  MenuElement *box = addEntry("check", label, nullptr, x0, y0, x1, y1, parent);
  const float h = y1 - y0, size = h - 10.f;
  MenuElement *tick = new MenuElement("tick", 8, 5, 8 + size, 5 + size, box);
  box->changeListeners.add([tick](bool on) { tick->setBool(GUI_PROP_CHECKED, on); });
  return box;
}

void set_checked(MenuElement *e, bool on)
{
  e->setBool(GUI_PROP_CHECKED, on);
  for (int i = 0; i < e->children.size(); i++)
    e->children[i]->setBool(GUI_PROP_CHECKED, on);
}

void fill_menu_style(float s)
{
  GuiStyle &st = common_style;
  st.clear();
  auto sheet = [&](const char *cls, int state, GuiPropertyList &l) { st.addSheet(new MenuSelector(cls, state), l.take()); };
  constexpr D3dColor INK = 0xFFF4F0E0, FOCUS = 0xFF4A7AA8, FOCUS_EDGE = 0xFFBFD8F0;
  sheet("shade", -1, GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0x59000000).num(GUI_PROP_SHADOW_SIZE, 0));
  sheet("panel", -1,
        GuiPropertyList().behaviors("solid_box").color(GUI_PROP_BACK_COLOR, 0xE81A2430).color(GUI_PROP_EDGE_COLOR, 0xFF3C5068)
          .num(GUI_PROP_EDGE_WIDTH, 1.5f * s).num(GUI_PROP_RADIUS, 18 * s).num(GUI_PROP_SHADOW_SIZE, 28 * s)
          .color(GUI_PROP_SHADOW_COLOR, 0xAA000000));
  sheet("title", -1, GuiPropertyList().num(GUI_PROP_FONT_SIZE, 46 * s).color(GUI_PROP_TEXT_COLOR, 0xFFF4E7C5));
  sheet("caption", -1,
        left_aligned(GuiPropertyList().num(GUI_PROP_FONT_SIZE, 22 * s).color(GUI_PROP_TEXT_COLOR, 0xFFB8C4D0)
                       .float4(GUI_PROP_PADDING, v_make(4 * s, 0, 0, 0))));
  sheet("note", -1, GuiPropertyList().num(GUI_PROP_FONT_SIZE, 19 * s).color(GUI_PROP_TEXT_COLOR, 0xFFE8B860));
  sheet("hint", -1, GuiPropertyList().num(GUI_PROP_FONT_SIZE, 16 * s).color(GUI_PROP_TEXT_COLOR, 0xFF8A9AAE));
  sheet("button", -1,
        GuiPropertyList().behaviors("solid_box button").color(GUI_PROP_BACK_COLOR, 0xFF2C4460)
          .color(GUI_PROP_EDGE_COLOR, 0xFF4C6C8E).num(GUI_PROP_EDGE_WIDTH, 1 * s).num(GUI_PROP_RADIUS, 10 * s)
          .num(GUI_PROP_FONT_SIZE, 26 * s).num(GUI_PROP_ICON_SIZE, 30 * s).color(GUI_PROP_TEXT_COLOR, INK)
          .num(GUI_PROP_SHADOW_SIZE, 6 * s).float4(GUI_PROP_PADDING, v_make(18 * s, 6 * s, 18 * s, 6 * s))
          .transition(new GuiTimedTransition(0.12f), {GUI_PROP_BACK_COLOR, GUI_PROP_EDGE_COLOR}));
  sheet("button", GUI_PROP_FOCUSED, GuiPropertyList().color(GUI_PROP_BACK_COLOR, FOCUS).color(GUI_PROP_EDGE_COLOR, FOCUS_EDGE));
  sheet("button", GUI_PROP_PRESSED, GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xFF1F3348));
  sheet("check", -1,
        left_aligned(GuiPropertyList().behaviors("solid_box checkbox").num(GUI_PROP_FONT_SIZE, 23 * s)
                       .color(GUI_PROP_TEXT_COLOR, INK).num(GUI_PROP_RADIUS, 8 * s).num(GUI_PROP_EDGE_WIDTH, 1.5f * s)
                       .float4(GUI_PROP_PADDING, v_make(50 * s, 4 * s, 8 * s, 4 * s))
                       .transition(new GuiTimedTransition(0.12f), {GUI_PROP_BACK_COLOR, GUI_PROP_EDGE_COLOR})));
  sheet("check", GUI_PROP_FOCUSED, GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0x664A7AA8).color(GUI_PROP_EDGE_COLOR, FOCUS_EDGE));
  sheet("tick", -1,
        GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xFF0F1822).color(GUI_PROP_EDGE_COLOR, 0xFF5A7490)
          .num(GUI_PROP_EDGE_WIDTH, 1.5f * s).num(GUI_PROP_RADIUS, 5 * s).num(GUI_PROP_SHADOW_SIZE, 0)
          .float4(GUI_PROP_PADDING, v_zero()));
  sheet("tick", GUI_PROP_CHECKED,
        GuiPropertyList().text(GUI_PROP_ICON, "check").color(GUI_PROP_TEXT_COLOR, 0xFF6BE08A).num(GUI_PROP_ICON_SIZE, 28 * s));
  sheet("radio", -1,
        GuiPropertyList().behaviors("solid_box radio_button").color(GUI_PROP_BACK_COLOR, 0xFF2A3C50)
          .color(GUI_PROP_EDGE_COLOR, 0xFF3C5068).num(GUI_PROP_EDGE_WIDTH, 1.5f * s).num(GUI_PROP_RADIUS, 8 * s)
          .num(GUI_PROP_FONT_SIZE, 21 * s).color(GUI_PROP_TEXT_COLOR, 0xFFE0E6EE).num(GUI_PROP_SHADOW_SIZE, 0)
          .transition(new GuiTimedTransition(0.12f), {GUI_PROP_BACK_COLOR, GUI_PROP_EDGE_COLOR}));
  sheet("radio", GUI_PROP_FOCUSED, GuiPropertyList().color(GUI_PROP_EDGE_COLOR, FOCUS_EDGE));
  sheet("radio", GUI_PROP_CHECKED, GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xFFC8922E).color(GUI_PROP_TEXT_COLOR, 0xFF1A1208));
}
