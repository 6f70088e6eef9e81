#pragma once
// Named behaviors: the registry (name -> shared handler, in registration order) and the
// standard ones: "solid_box" (box hit test), "button", "checkbox", "radio_button" and
// "tooltip_box". A behavior reacts only to enabled elements; see docs/gui.md for what each does.
#include "gui/gui_element.h"

// Appends (handler, name) unless a behavior of that name is registered (the first stays).
QM_EXPORT void register_behavior(NewGuiEventHandler *handler, const char *name);
// The first behavior registered under exactly `name`, or null.
QM_EXPORT NewGuiEventHandler *get_behavior(const char *name);
// Registers the five standard behaviors (again: nothing changes).
QM_EXPORT void register_std_behaviors();
// Forgets every behavior registered after the standard ones (the module's, when it goes).
void unregister_module_behaviors();

QM_EXPORT extern NewGuiEventHandler *const gui_hittest_box_handler;
QM_EXPORT extern NewGuiEventHandler *const button_behavior;
extern NewGuiEventHandler *const checkbox_behavior;
extern NewGuiEventHandler *const radio_button_behavior;
extern NewGuiEventHandler *const tooltip_box_behavior;

// The box test of hit tests and tooltips: min x < x <= max x and min y < y <= max y.
inline bool gui_rect_contains(const BaseGuiElement *e, float x, float y)
{
  return e->rect[0] < x && x <= e->rect[2] && e->rect[1] < y && y <= e->rect[3];
}
