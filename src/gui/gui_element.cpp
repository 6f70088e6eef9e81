#include "gui/gui_element.h"

#include <cmath>

#include "gui/gui_behaviors.h"
#include "gui/gui_screen.h"

namespace
{
int delivery_depth = 0;
DynArray<BaseGuiElement *> pending_elements;  // entries are nulled when they die another way
DynArray<BaseGuiScreen *> pending_screens;
DynArray<BaseGuiScreen *> live_screens;

template <class T>
bool contains(const DynArray<T *> &a, const T *p)
{
  for (int i = 0; i < a.size(); i++)
    if (a[i] == p)
      return true;
  return false;
}

template <class T>
void null_out(DynArray<T *> &a, const T *p)
{
  for (int i = 0; i < a.size(); i++)
    if (a[i] == p)
      a[i] = nullptr;
}

// The screens stop pointing at `e` and at its subtree.
void forget_element(const BaseGuiElement *e)
{
  for (int i = 0; i < live_screens.size(); i++)
  {
    BaseGuiScreen *s = live_screens[i];
    if (s->captured && gui_is_in_subtree(s->captured, e))
      s->captured = nullptr;
    if (s->hovered && gui_is_in_subtree(s->hovered, e))
      s->hovered = nullptr;
    if (s->root == e)
      s->root = nullptr;
  }
}

void run_pending_deletions()
{
  // Deleting may request more deletions (a destructor deleting its own); walk until empty.
  while (pending_elements.size() || pending_screens.size())
  {
    for (int i = 0; i < pending_screens.size(); i++)
      if (BaseGuiScreen *s = pending_screens[i])
      {
        pending_screens[i] = nullptr;
        delete s;
      }
    pending_screens.clear();
    for (int i = 0; i < pending_elements.size(); i++)
      if (BaseGuiElement *e = pending_elements[i])
      {
        pending_elements[i] = nullptr;
        delete e;
      }
    pending_elements.clear();
  }
}

void mark_dying(BaseGuiElement *e)
{
  e->dying = 1;
  for (int i = 0; i < e->children.size(); i++)
    mark_dying(e->children[i]);
}

int deliver_capture(NewGuiEvent *event, BaseGuiElement *e, BaseGuiElement *stop)
{
  if (e->parent && e != stop)
    if (int r = deliver_capture(event, e->parent, stop))
      return r;
  return deliver_gui_event(event, e, GUI_SEND_CAPTURE);
}
}  // namespace

// Out of line, so that the module finds these classes' vtables here and never makes its own.
NewGuiEvent::~NewGuiEvent() = default;
NewGuiInputEvent::~NewGuiInputEvent() = default;
NewGuiHittestEvent::~NewGuiHittestEvent() = default;
NewGuiTooltipEvent::~NewGuiTooltipEvent() = default;
void NewGuiEventHandler::attach(BaseGuiElement *) {}
void NewGuiEventHandler::detach(BaseGuiElement *) {}
GuiTextProperty::~GuiTextProperty() = default;
GuiTransition::~GuiTransition() = default;
GuiAnimator::~GuiAnimator() = default;

// ---- Properties -------------------------------------------------------------------------------

BaseGuiProperty::~BaseGuiProperty()
{
  // The rest of the list, iteratively (lists may be long).
  BaseGuiProperty *p = next;
  while (p)
  {
    BaseGuiProperty *n = p->next;
    p->next = nullptr;
    delete p;
    p = n;
  }
}

GuiTextProperty::GuiTextProperty(int i, const char *t) : BaseGuiProperty(i) { set(t); }

void GuiTextProperty::set(const char *t)
{
  size_t n = t ? strnlen(t, GUI_TEXT_MAX) : 0;
  memcpy(text, t ? t : "", n);
  text[n] = 0;
}

GuiBehaviorsProperty::GuiBehaviorsProperty(const char *list) : BaseGuiProperty(GUI_PROP_BEHAVIORS)
{
  size_t n = list ? strlen(list) : 0;
  names = new char[n + 2];
  size_t o = 0;
  for (size_t i = 0; i < n; i++)
  {
    if (list[i] != ' ')
      names[o++] = list[i];
    else if (o > 0 && names[o - 1] != 0)
      names[o++] = 0;
  }
  if (o > 0 && names[o - 1] != 0)
    names[o++] = 0;
  names[o] = 0;
}

GuiBehaviorsProperty::~GuiBehaviorsProperty() { delete[] names; }

GuiTransitionProperty::GuiTransitionProperty(GuiTransition *t, const char *list, int count)
  : BaseGuiProperty(GUI_PROP_TRANSITION), transition(t)
{
  ids = new char[size_t(count) + 1];
  memcpy(ids, list, size_t(count));
  ids[count] = 0;
}

GuiTransitionProperty::~GuiTransitionProperty()
{
  delete transition;
  delete[] ids;
}

GuiPropKind gui_prop_kind(int id)
{
  switch (id)
  {
  case 3: case 10: case 12: case 18:
    return GUI_KIND_COLOR;
  case 4: case 6: case 7: case 8: case 9: case 11: case 14: case 15: case 16: case 17: case 21: case 22: case 28:
  case 30:
    return GUI_KIND_FLOAT;
  case 5: case 19: case 20:
    return GUI_KIND_FLOAT4;
  case GUI_PROP_PRESSED: case GUI_PROP_CHECKED: case GUI_PROP_HOVERED:
    return GUI_KIND_BOOL;
  default:
    return GUI_KIND_OTHER;
  }
}

vec4f gui_computed_value(int id, const BaseGuiProperty *p)
{
  switch (gui_prop_kind(id))
  {
  case GUI_KIND_COLOR:
    if (p)
      return color_to_vec4f(static_cast<const GuiProperty<D3dColor> *>(p)->value);
    return color_to_vec4f(id == 3 ? 0x44000000u : id == 12 ? 0xFFFFFFFFu : 0u);
  case GUI_KIND_FLOAT:
    if (p)
      return v_splats(static_cast<const GuiProperty<float> *>(p)->value);
    return v_splats(id == 11 ? 30.0f : id == 30 ? 100.0f : 0.0f);
  case GUI_KIND_FLOAT4:
    if (p)
      return static_cast<const GuiProperty<vec4f> *>(p)->value;
    return v_splats(id == 20 ? 10.0f : 0.0f);
  default:
    return v_zero();
  }
}

// ---- Elements ---------------------------------------------------------------------------------

BaseGuiElement::~BaseGuiElement()
{
  null_out(pending_elements, this);
  forget_element(this);
  if (parent)
    parent->removeChild(this);
  while (children.size())
  {
    BaseGuiElement *c = children.back();
    c->parent = nullptr;
    children.erase(children.size() - 1, 1);
    delete c;
  }
  for (int i = 0; i < behaviors.size(); i++)
    behaviors[i]->detach(this);
  clearAnimators();
  delete ownedProperties;
}

void BaseGuiElement::layout(float x0, float y0, float x1, float y1)
{
  rect[0] = x0, rect[1] = y0, rect[2] = x1, rect[3] = y1;
}

void BaseGuiElement::addChild(BaseGuiElement *child)
{
  if (!child || child == this)
    return;
  if (child->parent)
    child->parent->removeChild(child);
  child->parent = this;
  children.push_back(child);
  markDirty();
}

void BaseGuiElement::removeChild(BaseGuiElement *child)
{
  for (int i = 0; i < children.size(); i++)
    if (children[i] == child)
    {
      children.erase(i, 1);
      child->parent = nullptr;
      return;
    }
}

int BaseGuiElement::addBehavior(NewGuiEventHandler *handler)
{
  for (int i = 0; i < behaviors.size(); i++)
    if (behaviors[i] == handler)
      return i;
  behaviors.push_back(handler);
  handler->attach(this);
  eventMask |= uint32_t(handler->mask);
  return behaviors.size() - 1;
}

bool BaseGuiElement::addBehavior(const char *name)
{
  NewGuiEventHandler *h = get_behavior(name);
  if (!h)
    return false;
  addBehavior(h);
  return true;
}

bool BaseGuiElement::hasBehavior(const NewGuiEventHandler *handler) const
{
  for (int i = 0; i < behaviors.size(); i++)
    if (behaviors[i] == handler)
      return true;
  return false;
}

void BaseGuiElement::removeBehavior(NewGuiEventHandler *handler)
{
  for (int i = 0; i < behaviors.size(); i++)
    if (behaviors[i] == handler)
    {
      behaviors.erase(i, 1);
      handler->detach(this);
      eventMask = 0;
      for (int j = 0; j < behaviors.size(); j++)
        eventMask |= uint32_t(behaviors[j]->mask);
      return;
    }
}

BaseGuiProperty *BaseGuiElement::getProp(int id) const
{
  return id >= 0 && id < NUM_GUI_PROPS ? gui_prop_ptr(properties[id]) : nullptr;
}

bool BaseGuiElement::ownsProp(int id) const { return id >= 0 && id < NUM_GUI_PROPS && gui_prop_owned(properties[id]); }

bool BaseGuiElement::getBool(int id) const
{
  const BaseGuiProperty *p = getProp(id);
  return p && static_cast<const GuiProperty<bool> *>(p)->value;
}

float BaseGuiElement::getFloat(int id) const { return v_extract_x(getValue(id)); }

D3dColor BaseGuiElement::getColor(int id) const { return vec4f_to_color(getValue(id)); }

const char *BaseGuiElement::getText(int id) const
{
  const BaseGuiProperty *p = getProp(id);
  return p ? static_cast<const GuiTextProperty *>(p)->text : "";
}

vec4f BaseGuiElement::getValue(int id) const
{
  if (id < 0 || id >= NUM_GUI_PROPS)
    return v_zero();
  vec4f v = gui_computed_value(id, getProp(id));
  return animators[id] ? animators[id]->value(v) : v;
}

void BaseGuiElement::linkOwned(BaseGuiProperty *p)
{
  p->next = ownedProperties;
  ownedProperties = p;
  properties[p->id] = gui_prop_mark_owned(p);
}

template <class T>
void BaseGuiElement::setValue(int id, const T &v, bool mark_dirty)
{
  if (id < 0 || id >= NUM_GUI_PROPS)
    return;
  if (ownsProp(id))
  {
    auto *p = static_cast<GuiProperty<T> *>(gui_prop_ptr(properties[id]));
    if (!memcmp(&p->value, &v, sizeof(T)))
      return;
    p->value = v;
  }
  else
    linkOwned(new GuiProperty<T>(id, v));
  if (mark_dirty)
    markDirty();
}

void BaseGuiElement::setBool(int id, bool v, bool mark_dirty) { setValue(id, v, mark_dirty); }
void BaseGuiElement::setFloat(int id, float v, bool mark_dirty) { setValue(id, v, mark_dirty); }
void BaseGuiElement::setColor(int id, D3dColor v, bool mark_dirty) { setValue(id, v, mark_dirty); }
void BaseGuiElement::setFloat4(int id, vec4f v, bool mark_dirty) { setValue(id, v, mark_dirty); }

void BaseGuiElement::setText(int id, const char *text, bool mark_dirty)
{
  if (id < 0 || id >= NUM_GUI_PROPS)
    return;
  if (ownsProp(id))
  {
    auto *p = static_cast<GuiTextProperty *>(gui_prop_ptr(properties[id]));
    if (!strncmp(p->text, text ? text : "", GUI_TEXT_MAX))
      return;
    p->set(text);
  }
  else
    linkOwned(new GuiTextProperty(id, text));
  if (mark_dirty)
    markDirty();
}

void BaseGuiElement::clearOwnedProp(int id)
{
  if (!ownsProp(id))
    return;
  BaseGuiProperty *p = gui_prop_ptr(properties[id]);
  for (BaseGuiProperty **link = &ownedProperties; *link; link = &(*link)->next)
    if (*link == p)
    {
      *link = p->next;
      p->next = nullptr;
      delete p;
      break;
    }
  properties[id] = nullptr;
  markDirty();
}

void BaseGuiElement::markDirty()
{
  dirty = 1;
  if (parent)
    parent->dirty = 1;
}

void BaseGuiElement::clearAnimators()
{
  for (GuiAnimator *&a : animators)
  {
    delete a;
    a = nullptr;
  }
}

// ---- Delivery ---------------------------------------------------------------------------------

int deliver_gui_event(NewGuiEvent *event, BaseGuiElement *e, int mode)
{
  if (e->dying)
    return GUI_NOT_HANDLED;
  if ((event->type & (GUI_EVENT_HITTEST | GUI_EVENT_TOOLTIP)) && e->isHidden())
    return GUI_SKIP_CHILDREN;
  if (!(e->eventMask & uint32_t(event->type)))
    return GUI_NOT_HANDLED;
  for (int i = 0; i < e->behaviors.size(); i++)
  {
    NewGuiEventHandler *h = e->behaviors[i];
    if (h->mask & event->type)
      if (int r = h->handle(event, e, mode))
        return r;
  }
  return GUI_NOT_HANDLED;
}

int send_event(NewGuiEvent *event, BaseGuiElement *element, int mode, BaseGuiElement *stop)
{
  if (!event || !element)
    return GUI_NOT_HANDLED;
  GuiDeliveryScope scope;
  switch (mode)
  {
  case GUI_SEND_CAPTURE:
    return deliver_capture(event, element, stop);
  case GUI_SEND_BUBBLE:
    for (BaseGuiElement *e = element; e; e = e == stop ? nullptr : e->parent)
      if (int r = deliver_gui_event(event, e, mode))
        return r;
    return GUI_NOT_HANDLED;
  case GUI_SEND_ELEMENT:
    return deliver_gui_event(event, element, mode);
  default:
  {
    int r = deliver_gui_event(event, element, GUI_SEND_BROADCAST);
    if (r == GUI_SKIP_CHILDREN)
      return GUI_NOT_HANDLED;
    if (r)
      return r;
    for (int i = 0; i < element->children.size(); i++)
      if ((r = send_event(event, element->children[i], GUI_SEND_BROADCAST)))
        return r;
    return GUI_NOT_HANDLED;
  }
  }
}

BaseGuiElement *hit_test(BaseGuiElement *root, float x, float y)
{
  if (!root)
    return nullptr;
  NewGuiHittestEvent ev(x, y);
  send_event(&ev, root, GUI_SEND_BROADCAST);
  return ev.found;
}

bool gui_is_in_subtree(const BaseGuiElement *e, const BaseGuiElement *ancestor)
{
  for (; e; e = e->parent)
    if (e == ancestor)
      return true;
  return false;
}

// ---- Postponed deletion -----------------------------------------------------------------------

GuiDeliveryScope::GuiDeliveryScope() { delivery_depth++; }

GuiDeliveryScope::~GuiDeliveryScope()
{
  if (--delivery_depth == 0)
  {
    delivery_depth++;  // deletions may deliver events (a destructor resetting state)
    run_pending_deletions();
    delivery_depth--;
  }
}

void delete_gui_element(BaseGuiElement *e)
{
  if (!e)
    return;
  if (delivery_depth == 0)
  {
    delete e;
    return;
  }
  if (contains(pending_elements, e))
    return;
  mark_dying(e);
  forget_element(e);
  pending_elements.push_back(e);
}

void delete_gui_screen(BaseGuiScreen *s)
{
  if (!s)
    return;
  if (delivery_depth == 0)
  {
    delete s;
    return;
  }
  if (contains(pending_screens, s))
    return;
  s->dying = 1;
  pending_screens.push_back(s);
}

void register_gui_screen(BaseGuiScreen *s) { live_screens.push_back(s); }

void unregister_gui_screen(BaseGuiScreen *s)
{
  null_out(pending_screens, s);
  for (int i = 0; i < live_screens.size(); i++)
    if (live_screens[i] == s)
    {
      live_screens.erase(i, 1);
      return;
    }
}
