// The interface runtime: the four ways of delivering events, hit testing, the standard
// behaviors driven through a screen's input processing, tooltips, and listeners that delete
// their own element or screen while events are delivered (run under the sanitizers), and what
// unbinding the game object module releases.
#include <gtest/gtest.h>

#include <map>

#include "gameobj_host/gameobj_module.h"
#include "gui_test_util.h"

namespace
{
// Logs every element it is asked about and answers from a table (0 when not listed).
struct Recorder final : NewGuiEventHandler
{
  std::string log;
  std::map<const BaseGuiElement *, int> answer;
  Recorder() : NewGuiEventHandler(GUI_EVENT_KEY) {}
  int handle(NewGuiEvent *, BaseGuiElement *e, int) override
  {
    log += static_cast<TestElement *>(e)->cls;
    auto it = answer.find(e);
    return it == answer.end() ? 0 : it->second;
  }
  int action(BaseGuiElement *, NewGuiEvent *, float, float) override { return 0; }
};

TEST(GuiEvents, EachDeliveryModeVisitsInOrderAndStopsAtTheFirstAnswer)
{
  Recorder rec;
  TestElement r("r", 0, 0, 0, 0), a("a", 0, 0, 0, 0, &r), b("b", 0, 0, 0, 0, &a), c("c", 0, 0, 0, 0, &r);
  for (BaseGuiElement *e : {&r, &a, &b, &c})
    e->addBehavior(&rec);
  NewGuiEvent ev(GUI_EVENT_KEY);
  struct Case
  {
    BaseGuiElement *el;
    int mode;
    BaseGuiElement *stop;
    std::map<const BaseGuiElement *, int> answer;
    const char *log;
    int result;
  } cases[] = {
    {&b, GUI_SEND_CAPTURE, nullptr, {}, "rab", 0},
    {&b, GUI_SEND_CAPTURE, &a, {}, "ab", 0},
    {&b, GUI_SEND_CAPTURE, &c, {}, "rab", 0},  // a stop that is no ancestor: from the top
    {&b, GUI_SEND_CAPTURE, nullptr, {{&a, 1}}, "ra", 1},
    {&b, GUI_SEND_BUBBLE, nullptr, {}, "bar", 0},
    {&b, GUI_SEND_BUBBLE, &a, {}, "ba", 0},
    {&b, GUI_SEND_BUBBLE, nullptr, {{&a, 2}}, "ba", 2},
    {&b, GUI_SEND_ELEMENT, nullptr, {}, "b", 0},
    {&r, GUI_SEND_BROADCAST, nullptr, {}, "rabc", 0},
    {&r, GUI_SEND_BROADCAST, nullptr, {{&a, 2}}, "rac", 0},  // 2 skips a's subtree only
    {&r, GUI_SEND_BROADCAST, nullptr, {{&b, 1}}, "rab", 1},
    {&r, GUI_SEND_BROADCAST, nullptr, {{&r, 2}}, "r", 0},
  };
  for (const Case &k : cases)
  {
    rec.log.clear();
    rec.answer = k.answer;
    EXPECT_EQ(send_event(&ev, k.el, k.mode, k.stop), k.result) << k.log;
    EXPECT_EQ(rec.log, k.log);
  }
  // An event type outside the element's mask reaches no behavior.
  rec.log.clear();
  NewGuiEvent wheel(GUI_EVENT_WHEEL);
  EXPECT_EQ(send_event(&wheel, &r, GUI_SEND_BROADCAST), 0);
  EXPECT_EQ(rec.log, "");
}

TEST(GuiEvents, HitTestPrefersChildrenAndEarlierSiblingsSkipsHiddenSubtrees)
{
  FakeInput::install();
  TestElement root("root", 0, 0, 100, 100);
  TestElement c1("c1", 10, 10, 50, 50, &root), c2("c2", 40, 40, 90, 90, &root);
  TestElement g("g", 10, 10, 20, 20, &c1);  // at 20..30
  TestElement group("group", 0, 0, 100, 100, &root);  // no hit-test behavior of its own
  TestElement inner("inner", 92, 0, 100, 8, &group);
  for (TestElement *e : {&root, &c1, &c2, &g, &inner})
    e->addBehavior("solid_box");
  root.layout(0, 0, 100, 100);
  struct Probe
  {
    float x, y;
    BaseGuiElement *want;
  } probes[] = {{25, 25, &g}, {45, 45, &c1}, {60, 60, &c2}, {95, 95, &root}, {96, 4, &inner},
                {10, 20, &root},  // on c1's min x edge: outside
                {50, 20, &c1},    // on its max x edge: inside
                {0, 50, nullptr}};
  for (const Probe &p : probes)
    EXPECT_EQ(hit_test(&root, p.x, p.y), p.want) << p.x << "," << p.y;
  c1.hidden = group.hidden = true;
  EXPECT_EQ(hit_test(&root, 25, 25), &root);
  EXPECT_EQ(hit_test(&root, 45, 45), &c2);
  EXPECT_EQ(hit_test(&root, 96, 4), &root);
  root.hidden = true;
  EXPECT_EQ(hit_test(&root, 60, 60), nullptr);
  EXPECT_EQ(hit_test(nullptr, 60, 60), nullptr);
}

// A screen: a panel with a button (with a label that takes hits inside it), a checkbox, three
// radio buttons in a group, a lone radio button and a tooltip.
struct GuiScreenTest : testing::Test
{
  BaseGuiScreen screen;
  TestElement *panel, *button, *label, *check, *radio[3], *lone;
  std::string calls;

  void SetUp() override
  {
    FakeInput::install();
    panel = new TestElement("panel", 0, 0, 400, 300);
    button = new TestElement("button", 10, 10, 110, 50, panel);
    label = new TestElement("label", 20, 10, 80, 30, button);
    check = new TestElement("check", 10, 60, 110, 90, panel);
    TestElement *group = new TestElement("group", 200, 0, 400, 300, panel);
    for (int i = 0; i < 3; i++)
      radio[i] = new TestElement("radio", 0, 40.f * float(i), 100, 40.f * float(i) + 30, group);
    lone = new TestElement("lone", 10, 200, 110, 230);  // no parent
    screen.setRoot(panel);
    for (TestElement *e : {panel, button, label, check, radio[0], radio[1], radio[2], lone})
      e->addBehavior("solid_box");
    button->addBehavior("button");
    check->addBehavior("checkbox");
    for (TestElement *e : {radio[0], radio[1], radio[2], lone})
      e->addBehavior("radio_button");
    for (TestElement *e : {button, check, radio[0], radio[1], radio[2], lone})
    {
      TestElement *t = e;
      e->clickListeners.add([this, t](BaseGuiElement *el, int key) {
        EXPECT_EQ(el, t);
        calls += std::string("click:") + t->cls + ":" + std::to_string(key) + " ";
      });
      e->changeListeners.add([this, t](bool v) { calls += std::string("change:") + t->cls + (v ? "=1 " : "=0 "); });
      e->pressedListeners.add([this, t] { calls += std::string("pressed:") + t->cls + " "; });
      e->releasedListeners.add([this, t] { calls += std::string("released:") + t->cls + " "; });
    }
    screen.restyle();
    panel->layout(0, 0, 400, 300);
  }
  void TearDown() override { delete lone; }

  void run(std::initializer_list<std::tuple<int, float, float>> events)
  {
    for (auto [kind, x, y] : events)
      FakeInput::post(kind, x, y);
    screen.processInput();
  }
  void click(float x, float y)
  {
    run({{INPUT_MOUSE_MOVE, x, y}, {INPUT_BUTTON_DOWN, x, y}, {INPUT_BUTTON_UP, x, y}});
  }
};

TEST_F(GuiScreenTest, ButtonHoverPressDragOffAndBackAndClickOnAChild)
{
  run({{INPUT_MOUSE_MOVE, 100, 40}});
  EXPECT_EQ(screen.hovered, button);
  EXPECT_TRUE(button->getBool(GUI_PROP_HOVERED));
  EXPECT_FALSE(button->getBool(GUI_PROP_PRESSED));
  run({{INPUT_MOUSE_MOVE, 300, 280}});
  EXPECT_FALSE(button->getBool(GUI_PROP_HOVERED));

  // Press, drag off (leave: released), drag back (enter while held: pressed), release inside.
  calls.clear();
  run({{INPUT_MOUSE_MOVE, 100, 40}, {INPUT_BUTTON_DOWN, 100, 40}});
  EXPECT_EQ(screen.captured, button);
  EXPECT_TRUE(button->getBool(GUI_PROP_PRESSED));
  run({{INPUT_MOUSE_MOVE, 300, 280}});
  EXPECT_EQ(screen.hovered, nullptr);
  EXPECT_FALSE(button->getBool(GUI_PROP_PRESSED));
  EXPECT_FALSE(button->getBool(GUI_PROP_HOVERED));
  run({{INPUT_MOUSE_MOVE, 100, 40}});
  EXPECT_EQ(screen.hovered, button);
  EXPECT_TRUE(button->getBool(GUI_PROP_PRESSED));
  run({{INPUT_BUTTON_UP, 100, 40}});
  EXPECT_EQ(screen.captured, nullptr);
  EXPECT_EQ(calls, "pressed:button released:button pressed:button click:button:1 released:button ");

  // Press, drag off, release outside: no click.
  calls.clear();
  run({{INPUT_MOUSE_MOVE, 100, 40}, {INPUT_BUTTON_DOWN, 100, 40}, {INPUT_MOUSE_MOVE, 300, 280}, {INPUT_BUTTON_UP, 300, 280}});
  EXPECT_EQ(calls, "pressed:button released:button ");
  EXPECT_FALSE(button->getBool(GUI_PROP_PRESSED));

  // Pressed beside the label, released on it: the label lies inside the button, so it clicks.
  calls.clear();
  run({{INPUT_MOUSE_MOVE, 100, 40}, {INPUT_BUTTON_DOWN, 100, 40}, {INPUT_MOUSE_MOVE, 50, 30}, {INPUT_BUTTON_UP, 50, 30}});
  EXPECT_NE(calls.find("click:button"), std::string::npos) << calls;

  // A disabled button ignores everything.
  calls.clear();
  button->enabled = false;
  click(100, 40);
  EXPECT_EQ(calls, "");

  // resetState: the hovered element leaves.
  button->enabled = true;
  run({{INPUT_MOUSE_MOVE, 100, 40}, {INPUT_BUTTON_DOWN, 100, 40}});
  screen.resetState();
  EXPECT_EQ(screen.hovered, nullptr);
  EXPECT_EQ(screen.captured, nullptr);
  EXPECT_FALSE(button->getBool(GUI_PROP_PRESSED));
  EXPECT_FALSE(button->getBool(GUI_PROP_HOVERED));
}

TEST_F(GuiScreenTest, CheckboxTogglesAndRadioGroupsKeepOneChecked)
{
  click(50, 75);
  click(50, 75);
  EXPECT_FALSE(check->getBool(GUI_PROP_CHECKED));
  EXPECT_EQ(calls, "pressed:check change:check=1 click:check:1 released:check "
                   "pressed:check change:check=0 click:check:1 released:check ");
  calls.clear();
  click(250, 55);  // radio 1
  click(250, 95);  // radio 2
  EXPECT_FALSE(radio[0]->getBool(GUI_PROP_CHECKED));
  EXPECT_FALSE(radio[1]->getBool(GUI_PROP_CHECKED));
  EXPECT_TRUE(radio[2]->getBool(GUI_PROP_CHECKED));
  EXPECT_NE(calls.find("change:radio=0 change:radio=0 change:radio=1 click:radio:1"), std::string::npos) << calls;

  // A radio button without a parent stands alone.
  NewGuiInputEvent down(GUI_EVENT_BUTTON_DOWN, {INPUT_BUTTON_DOWN, 1, INPUT_FLAG_LBUTTON, 0, 0, 50, 215});
  NewGuiInputEvent up(GUI_EVENT_BUTTON_UP, {INPUT_BUTTON_UP, 1, 0, 0, 0, 50, 215});
  lone->layout(0, 0, 0, 0);
  send_event(&down, lone, GUI_SEND_ELEMENT);
  send_event(&up, lone, GUI_SEND_ELEMENT);
  EXPECT_TRUE(lone->getBool(GUI_PROP_CHECKED));
}

TEST_F(GuiScreenTest, ListenersDeletingTheirElementOrTheScreenMidEvent)
{
  // The button deletes itself on click; its released listeners still run on a live element.
  button->clickListeners.add([this](BaseGuiElement *el, int) { delete_gui_element(el); });
  const int before = panel->children.size();
  click(100, 40);
  EXPECT_EQ(panel->children.size(), before - 1);
  EXPECT_EQ(screen.hovered, nullptr);
  EXPECT_EQ(screen.captured, nullptr);
  EXPECT_NE(calls.find("released:button"), std::string::npos);

  // A checkbox deletes the whole screen on its change; the events queued after it are not
  // delivered to the dying screen.
  bool destroyed = false;
  struct OwnScreen : BaseGuiScreen
  {
    bool *flag;
    ~OwnScreen() override { *flag = true; }
  };
  auto *s = new OwnScreen;
  s->flag = &destroyed;
  auto *box = new TestElement("check", 0, 0, 50, 50);
  s->setRoot(box);
  box->addBehavior("solid_box");
  box->addBehavior("checkbox");
  box->changeListeners.add([s](bool) { delete_gui_screen(s); });
  box->layout(0, 0, 0, 0);
  FakeInput::post(INPUT_BUTTON_DOWN, 20, 20);
  FakeInput::post(INPUT_BUTTON_UP, 20, 20);
  FakeInput::post(INPUT_BUTTON_DOWN, 20, 20);
  s->processInput();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(FakeInput::queue.size(), 1u);
}

TEST_F(GuiScreenTest, TooltipsShowTheInnermostTextAndHideElsewhere)
{
  panel->addBehavior("tooltip_box");
  check->addBehavior("tooltip_box");
  check->setText(GUI_PROP_TOOLTIP, std::string(300, 'x').c_str());  // cut at 256 bytes
  EXPECT_EQ(strlen(check->getText(GUI_PROP_TOOLTIP)), size_t(GUI_TEXT_MAX));
  check->setText(GUI_PROP_TOOLTIP, "Sound on or off");
  run({{INPUT_MOUSE_MOVE, 50, 75}});
  run({{INPUT_MOUSE_MOVE, 300, 280}});  // the panel has no text
  check->hidden = true;
  run({{INPUT_MOUSE_MOVE, 50, 75}});
  panel->setText(GUI_PROP_TOOLTIP, "Options");
  run({{INPUT_MOUSE_MOVE, 300, 280}});
  EXPECT_EQ(FakeInput::tooltips, (std::vector<std::string>{"show:Sound on or off", "hide", "hide", "show:Options"}));
}

TEST(GuiErrors, RegistryKeepsTheFirstNameAndUnknownInputKindIsFatal)
{
  FakeInput::install();
  Recorder other;
  register_behavior(&other, "button");
  EXPECT_EQ(get_behavior("button"), button_behavior);
  EXPECT_EQ(get_behavior("no_such_behavior"), nullptr);
  TestElement e("e", 0, 0, 10, 10);
  EXPECT_FALSE(e.addBehavior("no_such_behavior"));
  EXPECT_EQ(e.addBehavior(button_behavior), 0);
  EXPECT_EQ(e.addBehavior(button_behavior), 0);
  EXPECT_EQ(e.behaviors.size(), 1);
  BaseGuiScreen s;
  InputEvent bad = {9, 0, 0, 0, 0, 0, 0};
  EXPECT_EXIT(s.processInputEvent(bad, &e), testing::ExitedWithCode(100), "unknown input event type");
}
}  // namespace

namespace
{
TEST(GuiModule, UnbindReleasesScreensStylesAndTheModulesBehaviors)
{
  FakeInput::install();
  bool destroyed = false;
  struct OwnScreen : BaseGuiScreen
  {
    bool *flag = nullptr;
    ~OwnScreen() override { *flag = true; }
  };
  auto *s = new OwnScreen;
  s->flag = &destroyed;
  main_menu_screen = cur_game_screen = s;
  main_menu_screen_Class::createScreen = [] { return static_cast<BaseGuiScreen *>(new OwnScreen); };
  common_style.addSheet(new ClassSelector("a", 1), GuiPropertyList().num(11, 1).take());
  Recorder mine;
  register_behavior(&mine, "module_behavior");
  release_module_gui();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(main_menu_screen, nullptr);
  EXPECT_EQ(cur_game_screen, nullptr);
  EXPECT_EQ(main_menu_screen_Class::createScreen, nullptr);
  EXPECT_EQ(common_style.sheets.size(), 0);
  EXPECT_EQ(get_behavior("module_behavior"), nullptr);
  EXPECT_EQ(get_behavior("radio_button"), radio_button_behavior);
}
}  // namespace
