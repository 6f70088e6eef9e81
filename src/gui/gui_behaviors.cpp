#include "gui/gui_behaviors.h"

#include "gui/gui_screen.h"

namespace
{
struct NamedBehavior
{
  const char *name;  // owned copy
  NewGuiEventHandler *handler;
};
struct Registry : DynArray<NamedBehavior>
{
  ~Registry() { truncate(0); }
  void truncate(int n)
  {
    for (int i = n; i < size(); i++)
      free(const_cast<char *>((*this)[i].name));
    if (size() > n)
      resize(n);
  }
};
Registry registry;
int std_count = 0;  // registry entries that are the standard behaviors

bool buttons_held(const NewGuiEvent *ev)
{
  return (static_cast<const NewGuiInputEvent *>(ev)->input.flags & (INPUT_FLAG_LBUTTON | INPUT_FLAG_RBUTTON)) != 0;
}

class HittestBoxHandler final : public NewGuiEventHandler
{
public:
  HittestBoxHandler() : NewGuiEventHandler(GUI_EVENT_HITTEST) {}
  int handle(NewGuiEvent *event, BaseGuiElement *e, int) override
  {
    if (event->type != GUI_EVENT_HITTEST || e->isHidden())
      return GUI_NOT_HANDLED;
    auto *ev = static_cast<NewGuiHittestEvent *>(event);
    for (int i = 0; i < e->children.size(); i++)
      if (send_event(ev, e->children[i], GUI_SEND_BROADCAST) == GUI_HANDLED)
        return GUI_HANDLED;
    if (!action(e, ev, ev->x, ev->y))
      return GUI_SKIP_CHILDREN;
    ev->found = e;
    return GUI_HANDLED;
  }
  int action(BaseGuiElement *e, NewGuiEvent *, float x, float y) override { return gui_rect_contains(e, x, y); }
};

class ButtonBehavior : public NewGuiEventHandler
{
public:
  ButtonBehavior() : NewGuiEventHandler(GUI_EVENT_ENTER | GUI_EVENT_LEAVE | GUI_EVENT_BUTTON_UP | GUI_EVENT_BUTTON_DOWN | GUI_EVENT_RESET) {}

  int handle(NewGuiEvent *event, BaseGuiElement *e, int) override
  {
    const bool was_pressed = e->getBool(GUI_PROP_PRESSED);
    if (event->type == GUI_EVENT_RESET)
    {
      e->setBool(GUI_PROP_PRESSED, false);
      e->setBool(GUI_PROP_HOVERED, false);
      if (was_pressed)
        e->releasedListeners.call();
      return GUI_NOT_HANDLED;
    }
    if (!e->isEnabled())
      return GUI_NOT_HANDLED;
    bool click = false;
    switch (event->type)
    {
    case GUI_EVENT_ENTER:
      e->setBool(GUI_PROP_PRESSED, buttons_held(event));
      e->setBool(GUI_PROP_HOVERED, true);
      break;
    case GUI_EVENT_LEAVE:
      e->setBool(GUI_PROP_PRESSED, false);
      e->setBool(GUI_PROP_HOVERED, false);
      break;
    case GUI_EVENT_BUTTON_DOWN:
      e->setBool(GUI_PROP_PRESSED, true);
      break;
    case GUI_EVENT_BUTTON_UP:
    {
      const InputEvent &in = static_cast<NewGuiInputEvent *>(event)->input;
      const bool held = buttons_held(event);
      // A click on the button's own box or on anything inside it.
      const BaseGuiElement *hit = hit_test(e, in.x, in.y);
      const bool inside = hit && gui_is_in_subtree(hit, e);
      e->setBool(GUI_PROP_PRESSED, held);
      e->setBool(GUI_PROP_HOVERED, inside);
      click = !held && inside;
      break;
    }
    default:
      break;
    }
    // Every state change is made; now the listeners, which may delete elements or screens
    // (postponed while events are delivered).
    if (click)
      action(e, event, 0, 0);
    const bool pressed = e->getBool(GUI_PROP_PRESSED);
    if (pressed != was_pressed)
    {
      if (pressed)
        e->pressedListeners.call();
      else
        e->releasedListeners.call();
    }
    return GUI_HANDLED;
  }

  void attach(BaseGuiElement *e) override
  {
    e->setBool(GUI_PROP_PRESSED, false, false);
    e->setBool(GUI_PROP_HOVERED, false, false);
  }
  void detach(BaseGuiElement *e) override { attach(e); }

  int action(BaseGuiElement *e, NewGuiEvent *event, float, float) override
  {
    e->clickListeners.call(e, static_cast<NewGuiInputEvent *>(event)->input.key);
    e->valueListeners.call(e->getBool(GUI_PROP_CHECKED));
    return 0;
  }
};

class CheckboxBehavior final : public ButtonBehavior
{
public:
  void attach(BaseGuiElement *e) override
  {
    ButtonBehavior::attach(e);
    e->setBool(GUI_PROP_CHECKED, e->getBool(GUI_PROP_CHECKED), false);
  }
  int action(BaseGuiElement *e, NewGuiEvent *event, float x, float y) override
  {
    const bool checked = !e->getBool(GUI_PROP_CHECKED);
    e->setBool(GUI_PROP_CHECKED, checked);
    e->changeListeners.call(checked);
    return ButtonBehavior::action(e, event, x, y);
  }
};

class RadioButtonBehavior final : public ButtonBehavior
{
public:
  void attach(BaseGuiElement *e) override
  {
    ButtonBehavior::attach(e);
    e->setBool(GUI_PROP_CHECKED, e->getBool(GUI_PROP_CHECKED), false);
  }
  int action(BaseGuiElement *e, NewGuiEvent *event, float x, float y) override
  {
    // The group: the parent's children with this behavior (the element alone without a parent).
    DynArray<BaseGuiElement *> group;
    if (e->parent)
    {
      for (int i = 0; i < e->parent->children.size(); i++)
        if (e->parent->children[i]->hasBehavior(this))
          group.push_back(e->parent->children[i]);
    }
    else
      group.push_back(e);
    for (int i = 0; i < group.size(); i++)
      group[i]->setBool(GUI_PROP_CHECKED, group[i] == e);
    for (int i = 0; i < group.size(); i++)
      group[i]->changeListeners.call(group[i]->getBool(GUI_PROP_CHECKED));
    return ButtonBehavior::action(e, event, x, y);
  }
};

class TooltipBoxBehavior final : public NewGuiEventHandler
{
public:
  TooltipBoxBehavior() : NewGuiEventHandler(GUI_EVENT_TOOLTIP) {}
  int handle(NewGuiEvent *event, BaseGuiElement *e, int) override
  {
    if (event->type != GUI_EVENT_TOOLTIP || e->isHidden())
      return GUI_NOT_HANDLED;
    auto *ev = static_cast<NewGuiTooltipEvent *>(event);
    for (int i = 0; i < e->children.size(); i++)
      if (send_event(ev, e->children[i], GUI_SEND_BROADCAST) == GUI_HANDLED)
        return GUI_HANDLED;
    return action(e, ev, ev->x, ev->y) ? GUI_HANDLED : GUI_SKIP_CHILDREN;
  }
  int action(BaseGuiElement *e, NewGuiEvent *, float x, float y) override
  {
    const char *text = e->getText(GUI_PROP_TOOLTIP);
    if (!*text || !gui_rect_contains(e, x, y))
      return 0;
    if (gui_hooks.show_tooltip)
      gui_hooks.show_tooltip(text);
    return 1;
  }
};

HittestBoxHandler hittest_box;
ButtonBehavior button;
CheckboxBehavior checkbox;
RadioButtonBehavior radio_button;
TooltipBoxBehavior tooltip_box;
}  // namespace

NewGuiEventHandler *const gui_hittest_box_handler = &hittest_box;
NewGuiEventHandler *const button_behavior = &button;
NewGuiEventHandler *const checkbox_behavior = &checkbox;
NewGuiEventHandler *const radio_button_behavior = &radio_button;
NewGuiEventHandler *const tooltip_box_behavior = &tooltip_box;

void register_behavior(NewGuiEventHandler *handler, const char *name)
{
  if (!handler || !name || get_behavior(name))
    return;
  registry.push_back({strdup(name), handler});
}

NewGuiEventHandler *get_behavior(const char *name)
{
  if (!name)
    return nullptr;
  for (int i = 0; i < registry.size(); i++)
    if (!strcmp(registry[i].name, name))
      return registry[i].handler;
  return nullptr;
}

void register_std_behaviors()
{
  if (std_count)
    return;
  register_behavior(gui_hittest_box_handler, "solid_box");
  register_behavior(button_behavior, "button");
  register_behavior(checkbox_behavior, "checkbox");
  register_behavior(radio_button_behavior, "radio_button");
  register_behavior(tooltip_box_behavior, "tooltip_box");
  std_count = registry.size();
}

void unregister_module_behaviors() { registry.truncate(std_count); }
