#pragma once
// Style sheets: a GuiStyle is an ordered list of sheets, each a selector and a list of
// properties. Restyling an element fills its property slots from the sheets that match it, in
// order of specificity (equal specificities in sheet order), never touching the slots the element
// owns; sheets also attach behaviors by name and give transitions, which animate a property
// whose value a restyle changes. See docs/gui.md.
#include <initializer_list>

#include "gui/gui_element.h"

// Chooses the elements a sheet applies to (the game object module defines the concrete ones).
class QM_EXPORT GuiSelector
{
public:
  virtual ~GuiSelector();
  virtual bool matches(BaseGuiElement *element) = 0;
  virtual int specificity() = 0;
};

class QM_EXPORT GuiStyle
{
public:
  struct Sheet
  {
    GuiSelector *selector;
    BaseGuiProperty *first;
    int specificity;
  };
  DynArray<Sheet> sheets;

  GuiStyle() = default;
  GuiStyle(const GuiStyle &) = delete;
  GuiStyle &operator=(const GuiStyle &) = delete;
  ~GuiStyle() { clear(); }

  // Appends a sheet; the style owns the selector and the property list from now on.
  void addSheet(GuiSelector *selector, BaseGuiProperty *first);
  // Destroys every sheet.
  void clear();
  // Restyles `element` and its subtree: elements that are dirty (or all, when `force`) are
  // matched again; a change of an element's slots restyles its whole subtree.
  void restyle(BaseGuiElement *element, bool force);
};

// A property list built in order: GuiPropertyList().color(10, c).num(11, 24).take().
class GuiPropertyList
{
public:
  GuiPropertyList() = default;
  GuiPropertyList(const GuiPropertyList &) = delete;
  GuiPropertyList &operator=(const GuiPropertyList &) = delete;
  ~GuiPropertyList() { delete first; }
  GuiPropertyList &add(BaseGuiProperty *p);
  GuiPropertyList &color(int id, D3dColor c) { return add(new GuiProperty<D3dColor>(id, c)); }
  GuiPropertyList &num(int id, float v) { return add(new GuiProperty<float>(id, v)); }
  GuiPropertyList &float4(int id, vec4f v) { return add(new GuiProperty<vec4f>(id, v)); }
  GuiPropertyList &flag(int id, bool v) { return add(new GuiProperty<bool>(id, v)); }
  GuiPropertyList &text(int id, const char *t) { return add(new GuiTextProperty(id, t)); }
  GuiPropertyList &behaviors(const char *names) { return add(new GuiBehaviorsProperty(names)); }
  // `ids`: the property ids it animates (none: every property).
  GuiPropertyList &transition(GuiTransition *t, std::initializer_list<int> ids = {});
  // Hands the list over (for GuiStyle::addSheet).
  BaseGuiProperty *take();

private:
  BaseGuiProperty *first = nullptr, *last = nullptr;
};

// The standard transition: from the old value to the new one over `duration` seconds, eased in
// and out (smoothstep).
class QM_EXPORT GuiTimedTransition final : public GuiTransition
{
public:
  float duration;
  explicit GuiTimedTransition(float d) : duration(d) {}
  GuiAnimator *createAnimator() const override;
};

// Advances the animators of `element`'s subtree by dt seconds; ended ones are destroyed.
QM_EXPORT void update_gui_animators(BaseGuiElement *element, float dt);
