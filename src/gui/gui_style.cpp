#include "gui/gui_style.h"

#include "gui/gui_behaviors.h"
#include "support/debug.h"

namespace
{
// Matched sheet indices of the element being restyled (restyle matches one element at a time).
DynArray<int> matched;

bool has_computed_value(int id)
{
  GuiPropKind k = gui_prop_kind(id);
  return k == GUI_KIND_COLOR || k == GUI_KIND_FLOAT || k == GUI_KIND_FLOAT4;
}

void copy_owned_slots(const BaseGuiElement *e, BaseGuiProperty **slots)
{
  for (int id = 0; id < NUM_GUI_PROPS; id++)
    if (gui_prop_owned(e->properties[id]))
      slots[id] = e->properties[id];
}

void attach_behaviors(BaseGuiElement *e, const GuiBehaviorsProperty *p, BaseGuiProperty **slots)
{
  for (const char *n = p->names; *n; n += strlen(n) + 1)
  {
    NewGuiEventHandler *h = get_behavior(n);
    if (!h || e->hasBehavior(h))
      continue;
    e->addBehavior(h);
    copy_owned_slots(e, slots);  // attaching may have made the element own slots
  }
}

void set_transitions(const GuiTransitionProperty *p, const GuiTransition **trans)
{
  if (!p->ids[0])
  {
    for (int id = 0; id < NUM_GUI_PROPS; id++)
      trans[id] = p->transition;
    return;
  }
  for (const char *s = p->ids; *s; s++)
  {
    G_ASSERT(*s>0 && *s<=NUM_GUI_PROPS);
    if (*s < NUM_GUI_PROPS)  // 31 names no slot
      trans[int(*s)] = p->transition;
  }
}

class TimedAnimator final : public GuiAnimator
{
public:
  explicit TimedAnimator(float d) : duration(d) {}
  void start(vec4f f) override
  {
    from = f;
    t = 0;
  }
  bool update(float dt) override
  {
    t += dt;
    return t < duration;
  }
  vec4f value(vec4f target) const override
  {
    if (!(t < duration))
      return target;
    float k = t > 0 ? t / duration : 0.0f;
    return v_lerp(from, target, k * k * (3 - 2 * k));
  }

private:
  float duration, t = 0;
  vec4f from = v_zero();
};
}  // namespace

GuiSelector::~GuiSelector() = default;

void GuiStyle::addSheet(GuiSelector *selector, BaseGuiProperty *first)
{
  sheets.push_back({selector, first, selector ? selector->specificity() : 0});
}

void GuiStyle::clear()
{
  for (int i = 0; i < sheets.size(); i++)
  {
    delete sheets[i].selector;
    delete sheets[i].first;
  }
  sheets.clear();
}

void GuiStyle::restyle(BaseGuiElement *e, bool force)
{
  if (!e)
    return;
  if (force || e->dirty)
  {
    matched.resize(0);
    for (int i = 0; i < sheets.size(); i++)
      if (sheets[i].selector && sheets[i].selector->matches(e))
      {
        // Insertion by specificity, after the equal ones: sheet order among equals.
        int at = matched.size();
        while (at > 0 && sheets[matched[at - 1]].specificity > sheets[i].specificity)
          at--;
        matched.insert(at, 1, &i);
      }

    BaseGuiProperty *slots[NUM_GUI_PROPS] = {};
    const GuiTransition *trans[NUM_GUI_PROPS] = {};
    copy_owned_slots(e, slots);
    for (int m = 0; m < matched.size(); m++)
      for (BaseGuiProperty *p = sheets[matched[m]].first; p; p = p->next)
      {
        if (p->id == GUI_PROP_BEHAVIORS)
          attach_behaviors(e, static_cast<GuiBehaviorsProperty *>(p), slots);
        else if (p->id == GUI_PROP_TRANSITION)
          set_transitions(static_cast<GuiTransitionProperty *>(p), trans);
        else if (p->id >= 0 && p->id < NUM_GUI_PROPS && !e->ownsProp(p->id))
          slots[p->id] = p;
      }

    if (memcmp(slots, e->properties, sizeof(slots)) != 0)
    {
      vec4f old[NUM_GUI_PROPS];
      for (int id = 0; id < NUM_GUI_PROPS; id++)
        if (trans[id] && has_computed_value(id))
          old[id] = gui_computed_value(id, e->getProp(id));
      e->clearAnimators();
      memcpy(e->properties, slots, sizeof(slots));
      for (int id = 0; id < NUM_GUI_PROPS; id++)
        if (trans[id] && has_computed_value(id))
        {
          e->animators[id] = trans[id]->createAnimator();
          if (e->animators[id])
            e->animators[id]->start(old[id]);
        }
      force = true;
    }
  }
  e->dirty = 0;
  for (int i = 0; i < e->children.size(); i++)
    restyle(e->children[i], force);
}

GuiPropertyList &GuiPropertyList::add(BaseGuiProperty *p)
{
  if (last)
    last->next = p;
  else
    first = p;
  last = p;
  return *this;
}

GuiPropertyList &GuiPropertyList::transition(GuiTransition *t, std::initializer_list<int> ids)
{
  char s[NUM_GUI_PROPS + 1];
  int n = 0;
  for (int id : ids)
    if (n < NUM_GUI_PROPS)
      s[n++] = char(id);
  return add(new GuiTransitionProperty(t, s, n));
}

BaseGuiProperty *GuiPropertyList::take()
{
  BaseGuiProperty *p = first;
  first = last = nullptr;
  return p;
}

GuiAnimator *GuiTimedTransition::createAnimator() const { return new TimedAnimator(duration); }

void update_gui_animators(BaseGuiElement *e, float dt)
{
  if (!e)
    return;
  for (GuiAnimator *&a : e->animators)
    if (a && !a->update(dt))
    {
      delete a;
      a = nullptr;
    }
  for (int i = 0; i < e->children.size(); i++)
    update_gui_animators(e->children[i], dt);
}
