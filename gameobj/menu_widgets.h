#pragma once
// What the menu screens are made of: elements placed in design pixels (a 720-line screen, scaled
// to the real one), styled by class through common_style, and a screen that adds the keyboard to
// the runtime's mouse handling: one focused entry at a time (the mouse moves it too), Up, Down,
// Left, Right, Tab, Home and End to move it, Enter or Space to activate it, Esc to go back.
#include <vector>

#include "gui/gui_draw.h"
#include "gui/gui_screen.h"
#include "gui/gui_style.h"

// Bool property of the entry that has the focus (a slot the standard look leaves unused).
constexpr int GUI_PROP_FOCUSED = 26;
// Height of the screen the menus are designed for; they scale with the real height.
constexpr float MENU_DESIGN_HEIGHT = 720.f;

class MenuElement : public BaseGuiElement
{
public:
  const char *cls;
  float place[4];  // design pixels from the parent's top left, or from its centre when `centred`
  bool centred = false;
  bool focusable = false;
  bool hidden = false;

  MenuElement(const char *c, float x0, float y0, float x1, float y1, BaseGuiElement *parent);
  bool isHidden() const override { return hidden; }
  void layout(float x0, float y0, float x1, float y1) override;
};

class MenuScreen : public BaseGuiScreen
{
public:
  std::vector<MenuElement *> entries;  // the focusable elements, in keyboard order
  int focus = 0;
  // Where the pointer was when first seen since the screen was shown (x < 0: not yet): it takes
  // the focus only once it has moved from there (pointerLeads), so Enter on a fresh menu presses
  // its first entry wherever the pointer happens to rest.
  float pointerX = -1.f, pointerY = -1.f;
  bool pointerLeads = false;

  MenuScreen();
  // Called when the screen is shown: the entries read the state they show.
  virtual void refresh() {}
  // Esc.
  virtual void back() {}
  void processInputEvent(const InputEvent &event, BaseGuiElement *target) override;
  void setFocus(int index);
  // Clicks the entry as the left button would.
  void activate(MenuElement *e);

  // Building: the full-screen root with a centred panel of the given design size and a title.
  MenuElement *makePanel(float w, float h, const char *title);
  // An entry (button, checkbox or radio by class) in the panel; the label and optional icon.
  MenuElement *addEntry(const char *cls, const char *label, const char *icon, float x0, float y0, float x1, float y1,
                        BaseGuiElement *parent);
  // A checkbox whose box shows a tick while checked.
  MenuElement *addCheck(const char *label, float x0, float y0, float x1, float y1, BaseGuiElement *parent);
  MenuElement *addText(const char *cls, const char *text, float x0, float y0, float x1, float y1,
                       BaseGuiElement *parent);
};

// Design pixels to screen pixels for the current back buffer.
float menu_scale();
// Fills common_style for the scale (emptying it first).
void fill_menu_style(float scale);
// Sets the checked state of a checkbox or radio and its tick, without a click.
void set_checked(MenuElement *e, bool on);
