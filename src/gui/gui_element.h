#pragma once
// The retained interface's element tree: events, properties, behaviors and elements, event
// delivery (send_event), hit testing and the postponed deletion of elements and screens.
//
// The game object module derives its elements from BaseGuiElement and builds its screens on
// BaseGuiScreen (gui_screen.h); the field order of these records is part of the module
// interface. Style sheets that fill the property slots are in gui_style.h, the standard
// behaviors in gui_behaviors.h. See docs/gui.md.
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/input_sink.h"
#include "support/color.h"
#include "support/dyn_array.h"
#include "support/export.h"
#include "support/vec4f.h"

class BaseGuiElement;

// Event types: one bit each; a behavior's mask and an element's eventMask are ORs of them.
enum
{
  GUI_EVENT_HITTEST = 2,
  GUI_EVENT_KEY = 4,
  GUI_EVENT_ENTER = 16,
  GUI_EVENT_LEAVE = 32,
  GUI_EVENT_BUTTON_UP = 64,
  GUI_EVENT_BUTTON_DOWN = 128,
  GUI_EVENT_MOVE = 256,
  GUI_EVENT_WHEEL = 512,
  GUI_EVENT_RESET = 1024,
  GUI_EVENT_TOOLTIP = 2048,
};

// Delivery modes of send_event.
enum
{
  GUI_SEND_CAPTURE = 0,    // ancestors from the top (or from `stop`) down, then the element
  GUI_SEND_BUBBLE = 1,     // the element, then its ancestors up to `stop` or the root
  GUI_SEND_ELEMENT = 2,    // the element only
  GUI_SEND_BROADCAST = 3,  // the element, then its subtree in order
};

// Results of a behavior and of send_event.
enum
{
  GUI_NOT_HANDLED = 0,
  GUI_HANDLED = 1,       // stop
  GUI_SKIP_CHILDREN = 2  // handled here; do not go into the children
};

class QM_EXPORT NewGuiEvent
{
public:
  int type;
  explicit NewGuiEvent(int t) : type(t) {}
  virtual ~NewGuiEvent();
};

// An input event (enter, leave, buttons, keys, move, wheel) with the record it came from.
class QM_EXPORT NewGuiInputEvent : public NewGuiEvent
{
public:
  InputEvent input;
  NewGuiInputEvent(int t, const InputEvent &e) : NewGuiEvent(t), input(e) {}
  ~NewGuiInputEvent() override;
};

class QM_EXPORT NewGuiHittestEvent : public NewGuiEvent
{
public:
  float x, y;
  BaseGuiElement *found = nullptr;
  NewGuiHittestEvent(float px, float py) : NewGuiEvent(GUI_EVENT_HITTEST), x(px), y(py) {}
  ~NewGuiHittestEvent() override;
};

class QM_EXPORT NewGuiTooltipEvent : public NewGuiEvent
{
public:
  float x, y;
  NewGuiTooltipEvent(float px, float py) : NewGuiEvent(GUI_EVENT_TOOLTIP), x(px), y(py) {}
  ~NewGuiTooltipEvent() override;
};

// A behavior, shared by every element it is attached to. Slot order: handle, attach, detach,
// then `action`: the box test (returns 1 inside, 0 outside) of hit-test and tooltip handlers, the
// click action of buttons (returns 0).
class QM_EXPORT NewGuiEventHandler
{
public:
  int mask;
  explicit NewGuiEventHandler(int m) : mask(m) {}
  virtual int handle(NewGuiEvent *event, BaseGuiElement *element, int mode) = 0;
  virtual void attach(BaseGuiElement *element);  // nothing by default
  virtual void detach(BaseGuiElement *element);  // nothing by default
  virtual int action(BaseGuiElement *element, NewGuiEvent *event, float x, float y) = 0;

protected:
  ~NewGuiEventHandler() = default;  // behaviors live for the whole run
};

// ---- Properties -------------------------------------------------------------------------------

constexpr int NUM_GUI_PROPS = 31;
constexpr int GUI_PROP_BEHAVIORS = -1;   // a list of behavior names (GuiBehaviorsProperty)
constexpr int GUI_PROP_TRANSITION = -2;  // a transition (GuiTransitionProperty)

// Ids the runtime itself reads; the meaning of the others is the drawer's (gui_draw.h).
enum
{
  GUI_PROP_TOOLTIP = 0,  // GuiTextProperty
  GUI_PROP_PRESSED = 23,  // bool
  GUI_PROP_CHECKED = 24,  // bool
  GUI_PROP_HOVERED = 25,  // bool
};

// One property of a list; the destructor destroys the rest of the list.
class QM_EXPORT BaseGuiProperty
{
public:
  BaseGuiProperty *next = nullptr;
  int id;
  explicit BaseGuiProperty(int i) : id(i) {}
  virtual ~BaseGuiProperty();
  BaseGuiProperty(const BaseGuiProperty &) = delete;
  BaseGuiProperty &operator=(const BaseGuiProperty &) = delete;
};

// A stored value. The kinds by id: D3dColor for 3, 10, 12, 18; float for 4, 6-9, 11, 14-17, 21,
// 22, 28, 30; vec4f for 5, 19, 20; bool for 23-25 (gui_prop_kind).
template <class T>
class GuiProperty : public BaseGuiProperty
{
public:
  T value;
  GuiProperty(int i, const T &v) : BaseGuiProperty(i), value(v) {}
};

// Text of at most 256 bytes (longer text is cut).
constexpr int GUI_TEXT_MAX = 256;
class QM_EXPORT GuiTextProperty : public BaseGuiProperty
{
public:
  char text[GUI_TEXT_MAX + 1];
  GuiTextProperty(int i, const char *t);
  ~GuiTextProperty() override;
  void set(const char *t);
};

// Behavior names: "a\0b\0\0" (each name zero-terminated, an empty name ends the list).
class QM_EXPORT GuiBehaviorsProperty : public BaseGuiProperty
{
public:
  char *names;  // owned
  // `names`: the names separated by single spaces ("solid_box button").
  explicit GuiBehaviorsProperty(const char *names);
  ~GuiBehaviorsProperty() override;
};

// Makes an animator for each property whose value a restyle changes.
class GuiAnimator;
class QM_EXPORT GuiTransition
{
public:
  virtual ~GuiTransition();
  virtual GuiAnimator *createAnimator() const = 0;
};

// Animates one property of one element from the value it had before a restyle (`start`) to
// its current value.
class QM_EXPORT GuiAnimator
{
public:
  virtual ~GuiAnimator();
  virtual void start(vec4f from) = 0;
  // Advances by dt seconds; false once the animation has ended.
  virtual bool update(float dt) = 0;
  // The value shown now, given the property's computed value.
  virtual vec4f value(vec4f target) const = 0;
};

// A transition for the property ids of a zero-terminated byte string (empty: every property).
class QM_EXPORT GuiTransitionProperty : public BaseGuiProperty
{
public:
  GuiTransition *transition;  // owned
  char *ids;                  // owned
  GuiTransitionProperty(GuiTransition *t, const char *ids, int count);
  ~GuiTransitionProperty() override;
};

enum GuiPropKind
{
  GUI_KIND_OTHER,
  GUI_KIND_COLOR,
  GUI_KIND_FLOAT,
  GUI_KIND_FLOAT4,
  GUI_KIND_BOOL,
};
GuiPropKind gui_prop_kind(int id);
// The four-float value of a slot's property by its kind (colour channels / 255, a float in all
// four places, four floats); the id's default for an empty slot; zero for other kinds.
vec4f gui_computed_value(int id, const BaseGuiProperty *p);

// Slot pointers carry the owned mark in bit 0.
inline bool gui_prop_owned(const BaseGuiProperty *p) { return (reinterpret_cast<uintptr_t>(p) & 1) != 0; }
inline BaseGuiProperty *gui_prop_ptr(BaseGuiProperty *p)
{
  return reinterpret_cast<BaseGuiProperty *>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(1));
}
inline BaseGuiProperty *gui_prop_mark_owned(BaseGuiProperty *p)
{
  return reinterpret_cast<BaseGuiProperty *>(reinterpret_cast<uintptr_t>(p) | 1);
}

// ---- Listeners --------------------------------------------------------------------------------

template <class... Args>
class GuiListener
{
public:
  virtual ~GuiListener() = default;
  virtual void call(Args... args) = 0;
};

// A list of listeners it owns. Calls walk by index, so a listener may add listeners.
template <class... Args>
class GuiListenerList
{
public:
  DynArray<GuiListener<Args...> *> items;

  GuiListenerList() = default;
  GuiListenerList(const GuiListenerList &) = delete;
  GuiListenerList &operator=(const GuiListenerList &) = delete;
  ~GuiListenerList()
  {
    for (int i = 0; i < items.size(); i++)
      delete items[i];
  }
  void add(GuiListener<Args...> *l) { items.push_back(l); }
  // Adds a function object (a lambda) as a listener.
  template <class F>
  void add(F fn)
  {
    struct Fn final : GuiListener<Args...>
    {
      F f;
      explicit Fn(F &&g) : f(std::move(g)) {}
      void call(Args... args) override { f(args...); }
    };
    items.push_back(new Fn(std::move(fn)));
  }
  void call(Args... args)
  {
    for (int i = 0; i < items.size(); i++)
      items[i]->call(args...);
  }
};

// ---- Elements ---------------------------------------------------------------------------------

class QM_EXPORT BaseGuiElement
{
public:
  BaseGuiElement *parent = nullptr;
  DynArray<BaseGuiElement *> children;
  DynArray<NewGuiEventHandler *> behaviors;
  uint32_t eventMask = 0;
  BaseGuiProperty *properties[NUM_GUI_PROPS] = {};
  BaseGuiProperty *ownedProperties = nullptr;
  GuiAnimator *animators[NUM_GUI_PROPS] = {};
  uint8_t dirty = 1;
  float rect[4] = {};  // min x, min y, max x, max y in screen pixels
  GuiListenerList<> pressedListeners;
  GuiListenerList<> releasedListeners;
  GuiListenerList<bool> valueListeners;   // (checked) after a click
  GuiListenerList<bool> changeListeners;  // (checked) when checked changes by a click
  GuiListenerList<BaseGuiElement *, int> clickListeners;  // (element, key code)
  uint8_t dying = 0;  // deletion requested (delete_gui_element); no event reaches it

  BaseGuiElement() = default;
  BaseGuiElement(const BaseGuiElement &) = delete;
  BaseGuiElement &operator=(const BaseGuiElement &) = delete;
  // Detaches from the parent, deletes the children, owned properties and animators, and clears
  // every screen's pointers to it. Use delete_gui_element, which waits while events are
  // delivered.
  virtual ~BaseGuiElement();
  virtual bool isHidden() const { return false; }
  virtual bool isEnabled() const { return true; }
  // Places the element (and its children) inside the rectangle (x0, y0, x1, y1).
  virtual void layout(float x0, float y0, float x1, float y1);

  // Appends `child` (taken from its old parent) and marks this element dirty.
  void addChild(BaseGuiElement *child);
  // Takes `child` out of the children (not deleted).
  void removeChild(BaseGuiElement *child);

  // Attaches a behavior: its index when already attached; otherwise appended, attached and its
  // mask ORed into eventMask.
  int addBehavior(NewGuiEventHandler *handler);
  // By registered name; false when no behavior has the name.
  bool addBehavior(const char *name);
  bool hasBehavior(const NewGuiEventHandler *handler) const;
  // Detaches and removes a behavior; eventMask is recomputed.
  void removeBehavior(NewGuiEventHandler *handler);

  // The property in slot `id` (null when empty or id out of range) and whether it is owned.
  BaseGuiProperty *getProp(int id) const;
  bool ownsProp(int id) const;
  bool getBool(int id) const;
  float getFloat(int id) const;
  D3dColor getColor(int id) const;
  const char *getText(int id) const;  // "" when none
  // The computed value of slot `id` as an animator of it shows it now.
  vec4f getValue(int id) const;

  // Sets an owned property (created on first use). Unchanged values do nothing more; a change
  // marks this element and its parent dirty unless `mark_dirty` is false.
  void setBool(int id, bool v, bool mark_dirty = true);
  void setFloat(int id, float v, bool mark_dirty = true);
  void setColor(int id, D3dColor v, bool mark_dirty = true);
  void setFloat4(int id, vec4f v, bool mark_dirty = true);
  void setText(int id, const char *text, bool mark_dirty = true);
  // Ends ownership of slot `id`: the property goes and the next restyle fills the slot.
  void clearOwnedProp(int id);
  void markDirty();

  // Destroys every animator.
  void clearAnimators();

private:
  template <class T>
  void setValue(int id, const T &v, bool mark_dirty);
  void linkOwned(BaseGuiProperty *p);
};

// Delivers `event` to `element` in `mode` (GUI_SEND_*); `stop` bounds the capture and bubble walks.
QM_EXPORT int send_event(NewGuiEvent *event, BaseGuiElement *element, int mode, BaseGuiElement *stop = nullptr);
// Delivers to one element: its behaviors whose mask has the event's type, in order; the first
// non-zero answer. A hidden element answers 2 to hit tests and tooltip queries; a dying one 0.
int deliver_gui_event(NewGuiEvent *event, BaseGuiElement *element, int mode);
// The element under (x, y) in the tree of `root` (null for none or a null root).
QM_EXPORT BaseGuiElement *hit_test(BaseGuiElement *root, float x, float y);
// True when `e` is `ancestor` or lies in its subtree.
bool gui_is_in_subtree(const BaseGuiElement *e, const BaseGuiElement *ancestor);

// Deletion of elements and screens. While events are being delivered (inside send_event, a
// screen's processInput or resetState) the deletion waits until the outermost one returns; the
// element is marked dying at once and the screens stop pointing at it. Null is ignored; a second
// request for the same object is ignored.
class BaseGuiScreen;
QM_EXPORT void delete_gui_element(BaseGuiElement *element);
QM_EXPORT void delete_gui_screen(BaseGuiScreen *screen);

// Counts a delivery in progress; the outermost one ending runs the postponed deletions.
struct GuiDeliveryScope
{
  GuiDeliveryScope();
  ~GuiDeliveryScope();
  GuiDeliveryScope(const GuiDeliveryScope &) = delete;
  GuiDeliveryScope &operator=(const GuiDeliveryScope &) = delete;
};

// The live screens, for clearing pointers to dying elements (kept by BaseGuiScreen).
void register_gui_screen(BaseGuiScreen *s);
void unregister_gui_screen(BaseGuiScreen *s);
