#pragma once
// A screen of the retained interface: its root element, the element that has the mouse
// captured (the one that got the last button down) and the hovered one, and its style. Once per
// update the game's screen calls processInput, which turns the input queue into interface events
// and asks for the tooltip. The calls it needs from above (the input queue, the game object
// module's tooltip) go through gui_hooks.
#include "gui/gui_element.h"

class GuiStyle;

// Filled at start-up (app/gui_links.cpp); null members are skipped (no events, no tooltip).
struct GuiHooks
{
  bool (*get_event)(InputEvent *out) = nullptr;  // the next queued input event
  void (*mouse_pos)(float *x, float *y) = nullptr;
  void (*show_tooltip)(const char *text) = nullptr;
  void (*hide_tooltip)() = nullptr;
};
extern GuiHooks gui_hooks;

class QM_EXPORT BaseGuiScreen
{
public:
  BaseGuiElement *root = nullptr;  // owned
  BaseGuiElement *captured = nullptr;
  BaseGuiElement *hovered = nullptr;
  GuiStyle *style = nullptr;
  uint8_t dying = 0;  // deletion requested (delete_gui_screen)

  BaseGuiScreen();
  BaseGuiScreen(const BaseGuiScreen &) = delete;
  BaseGuiScreen &operator=(const BaseGuiScreen &) = delete;
  // Deletes the root and its tree. Use delete_gui_screen.
  virtual ~BaseGuiScreen();
  // Turns every queued input event into interface events, then asks for the tooltip.
  virtual void processInput();
  // Delivers one input event to `target` (which may be null) as its interface event type.
  virtual void processInputEvent(const InputEvent &event, BaseGuiElement *target);
  // Ends the capture and takes the hover away (the element gets a leave event).
  virtual void resetState();
  // Restyles the root with the style (not forced) and lays it out over the back buffer.
  virtual void restyle();

  // Replaces the root (the old tree is deleted).
  void setRoot(BaseGuiElement *element);
};
