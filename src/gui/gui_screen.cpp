#include "gui/gui_screen.h"

#include "gui/gui_style.h"
#include "render/device.h"
#include "support/debug.h"

GuiHooks gui_hooks;

namespace
{
// Delivers an enter or leave event made from `in` to `e` only.
void send_crossing(int type, const InputEvent &in, BaseGuiElement *e)
{
  NewGuiInputEvent ev(type, in);
  send_event(&ev, e, GUI_SEND_ELEMENT);
}

// The left or right button is held as of this event (not as of the end of the step: a press, a
// drag and a release within one step still end the capture on the release).
bool button_held(const InputEvent &in) { return (in.flags & (INPUT_FLAG_LBUTTON | INPUT_FLAG_RBUTTON)) != 0; }
}  // namespace

BaseGuiScreen::BaseGuiScreen() { register_gui_screen(this); }

BaseGuiScreen::~BaseGuiScreen()
{
  unregister_gui_screen(this);
  BaseGuiElement *r = root;
  root = captured = hovered = nullptr;
  delete r;
}

void BaseGuiScreen::setRoot(BaseGuiElement *element)
{
  if (element == root)
    return;
  BaseGuiElement *old = root;
  captured = hovered = nullptr;
  root = element;
  delete_gui_element(old);
}

void BaseGuiScreen::processInput()
{
  GuiDeliveryScope scope;
  InputEvent in;
  while (!dying && gui_hooks.get_event && gui_hooks.get_event(&in))
  {
    BaseGuiElement *target;
    if (!captured)
    {
      target = hit_test(root, in.x, in.y);
      if (target != hovered)
      {
        BaseGuiElement *old = hovered;
        hovered = target;
        if (old)
          send_crossing(GUI_EVENT_LEAVE, in, old);
        if (target && !target->dying)
          send_crossing(GUI_EVENT_ENTER, in, target);
      }
    }
    else if (button_held(in))
    {
      BaseGuiElement *h = hit_test(root, in.x, in.y);
      if (h != hovered)
      {
        BaseGuiElement *old = hovered;
        hovered = nullptr;
        if (old)
          send_crossing(GUI_EVENT_LEAVE, in, old);
        if (h && h == captured)
        {
          hovered = h;
          send_crossing(GUI_EVENT_ENTER, in, h);
        }
      }
      target = captured;
    }
    else
    {
      target = captured;
      captured = nullptr;
    }
    // A listener may have deleted the target (it is then dying) or this screen.
    if (dying)
      break;
    processInputEvent(in, target && !target->dying ? target : nullptr);
  }
  if (dying || !root)
    return;
  float mx = 0, my = 0;
  if (gui_hooks.mouse_pos)
    gui_hooks.mouse_pos(&mx, &my);
  NewGuiTooltipEvent tip(mx, my);
  int r = send_event(&tip, root, GUI_SEND_ELEMENT);
  if (r == GUI_NOT_HANDLED && root)
    for (int i = 0; i < root->children.size() && !r; i++)
      r = send_event(&tip, root->children[i], GUI_SEND_BROADCAST);
  if (r != GUI_HANDLED && gui_hooks.hide_tooltip)
    gui_hooks.hide_tooltip();
}

void BaseGuiScreen::processInputEvent(const InputEvent &event, BaseGuiElement *target)
{
  int type = 0;
  switch (event.kind)
  {
  case INPUT_KEY_DOWN:
  case INPUT_KEY_UP:
    type = GUI_EVENT_KEY;
    break;
  case INPUT_BUTTON_DOWN:
    type = GUI_EVENT_BUTTON_DOWN;
    captured = target;
    break;
  case INPUT_BUTTON_UP:
    type = GUI_EVENT_BUTTON_UP;
    break;
  case INPUT_MOUSE_MOVE:
    type = GUI_EVENT_MOVE;
    break;
  case INPUT_WHEEL:
    type = GUI_EVENT_WHEEL;
    break;
  default:
    G_ASSERT(!"unknown input event type");
  }
  if (!target)
    return;
  NewGuiInputEvent ev(type, event);
  send_event(&ev, target, GUI_SEND_ELEMENT);
}

void BaseGuiScreen::resetState()
{
  GuiDeliveryScope scope;
  captured = nullptr;
  BaseGuiElement *h = hovered;
  hovered = nullptr;
  if (!h)
    return;
  InputEvent in = {};
  in.kind = INPUT_MOUSE_MOVE;
  if (gui_hooks.mouse_pos)
    gui_hooks.mouse_pos(&in.x, &in.y);
  send_crossing(GUI_EVENT_LEAVE, in, h);
}

void BaseGuiScreen::restyle()
{
  if (style)
    style->restyle(root, false);
  if (root)
    root->layout(0, 0, float(d3d_wd), float(d3d_ht));
}
