#pragma once
// What the interface runtime tests share: an element with a class name, a fixed place and a
// hidden switch; a selector by class name (and optionally a state); a fake input queue behind
// gui_hooks.
#include <cstring>
#include <string>
#include <vector>

#include "gui/gui_behaviors.h"
#include "gui/gui_screen.h"
#include "gui/gui_style.h"

struct TestElement : BaseGuiElement
{
  const char *cls;
  float place[4];  // relative to the parent's rect
  bool hidden = false, enabled = true;
  TestElement(const char *c, float x0, float y0, float x1, float y1, BaseGuiElement *parent = nullptr)
    : cls(c), place{x0, y0, x1, y1}
  {
    if (parent)
      parent->addChild(this);
  }
  bool isHidden() const override { return hidden; }
  bool isEnabled() const override { return enabled; }
  void layout(float x0, float y0, float, float) override
  {
    BaseGuiElement::layout(x0 + place[0], y0 + place[1], x0 + place[2], y0 + place[3]);
    for (int i = 0; i < children.size(); i++)
      children[i]->layout(rect[0], rect[1], rect[2], rect[3]);
  }
};

// Matches elements of class `cls` (any with null), with bool property `state` set when >= 0.
struct ClassSelector : GuiSelector
{
  const char *cls;
  int weight, state;
  ClassSelector(const char *c, int s = 1, int st = -1) : cls(c), weight(s), state(st) {}
  bool matches(BaseGuiElement *e) override
  {
    auto *t = dynamic_cast<TestElement *>(e);
    return t && (!cls || !strcmp(t->cls, cls)) && (state < 0 || e->getBool(state));
  }
  int specificity() override { return weight; }
};

// The input queue and mouse position gui_hooks reads; install() points the hooks here.
struct FakeInput
{
  static inline std::vector<InputEvent> queue;
  static inline int held = 0;  // INPUT_FLAG_LBUTTON / RBUTTON bits of the posted events
  static inline float mx = 0, my = 0;
  static inline std::vector<std::string> tooltips;  // "show:<text>" and "hide"

  static void install()
  {
    queue.clear();
    tooltips.clear();
    held = 0;
    gui_hooks.get_event = [](InputEvent *out) {
      if (queue.empty())
        return false;
      *out = queue.front();
      queue.erase(queue.begin());
      return true;
    };
    gui_hooks.mouse_pos = [](float *x, float *y) { *x = mx, *y = my; };
    gui_hooks.show_tooltip = [](const char *t) { tooltips.push_back(std::string("show:") + t); };
    gui_hooks.hide_tooltip = [] { tooltips.push_back("hide"); };
    register_std_behaviors();
  }
  // Queues a mouse event at (x, y); button events change the held state as the input layer does.
  static void post(int kind, float x, float y, int button = MOUSE_BUTTON_LEFT)
  {
    const int bit = button == MOUSE_BUTTON_LEFT ? INPUT_FLAG_LBUTTON : INPUT_FLAG_RBUTTON;
    if (kind == INPUT_BUTTON_DOWN)
      held |= bit;
    if (kind == INPUT_BUTTON_UP)
      held &= ~bit;
    InputEvent e = {kind, kind == INPUT_BUTTON_DOWN || kind == INPUT_BUTTON_UP ? button : 0, held, 0, 0, x, y};
    queue.push_back(e);
    mx = x, my = y;
  }
};
