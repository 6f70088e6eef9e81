// Style sheets: the order of specificity, owned slots left alone, behaviors attached once by
// name, restyling only what changed, transitions at their start, middle and end, and the
// transition ids that name no slot.
#include <gtest/gtest.h>

#include "gui_test_util.h"

namespace
{
// Counts the times it is asked about an element of its class.
struct CountingSelector final : ClassSelector
{
  int *count;
  CountingSelector(const char *c, int *n) : ClassSelector(c, 0), count(n) {}
  bool matches(BaseGuiElement *e) override
  {
    bool m = ClassSelector::matches(e);
    *count += m;
    return m;
  }
};

bool near4(vec4f a, vec4f b)
{
  for (int i = 0; i < 4; i++)
    if (std::abs(v_get(a, i) - v_get(b, i)) > 1e-4f)
      return false;
  return true;
}

TEST(GuiStyle, SpecificityOrderOwnedSlotsAndBehaviorsAttachedOnce)
{
  FakeInput::install();
  GuiStyle st;
  // Added first with the higher specificity: still wins over the later, lower one.
  st.addSheet(new ClassSelector("btn", 5), GuiPropertyList().num(11, 40).take());
  st.addSheet(new ClassSelector("btn", 2), GuiPropertyList().num(11, 20).color(10, 0xFF0000FF).take());
  // Equal specificities: the later sheet wins, and a later property of one list too.
  st.addSheet(new ClassSelector("btn", 2), GuiPropertyList().color(10, 0xFF00FF00).color(18, 1).color(18, 2).take());
  st.addSheet(new ClassSelector(nullptr, 0), GuiPropertyList().behaviors("solid_box button no_such").take());
  st.addSheet(new ClassSelector("btn", 1), GuiPropertyList().behaviors("button").color(3, 0xFF123456).take());
  TestElement root("root", 0, 0, 100, 100), btn("btn", 0, 0, 10, 10, &root);
  btn.setColor(3, 0xFFABCDEF);
  st.restyle(&root, false);
  EXPECT_EQ(btn.getFloat(11), 40);
  EXPECT_EQ(btn.getColor(10), 0xFF00FF00u);
  EXPECT_EQ(btn.getColor(18), 2u);
  EXPECT_EQ(btn.getColor(3), 0xFFABCDEFu) << "the element's own property stays";
  EXPECT_TRUE(btn.ownsProp(3));
  ASSERT_EQ(btn.behaviors.size(), 2);
  EXPECT_EQ(btn.behaviors[0], gui_hittest_box_handler);
  EXPECT_EQ(btn.behaviors[1], button_behavior);
  EXPECT_EQ(btn.eventMask, uint32_t(gui_hittest_box_handler->mask | button_behavior->mask));
  // The button made pressed and hovered its own while the sheets were applied: they survive.
  EXPECT_TRUE(btn.ownsProp(GUI_PROP_PRESSED));
  EXPECT_TRUE(btn.ownsProp(GUI_PROP_HOVERED));
  // Giving up the owned colour lets the sheets fill the slot again.
  btn.clearOwnedProp(3);
  st.restyle(&root, false);
  EXPECT_EQ(btn.getColor(3), 0xFF123456u);
}

TEST(GuiStyle, OnlyDirtyOrChangedElementsAreMatchedAgain)
{
  int root_n = 0, child_n = 0;
  GuiStyle st;
  st.addSheet(new CountingSelector("root", &root_n), nullptr);
  st.addSheet(new ClassSelector("root", 1, GUI_PROP_CHECKED), GuiPropertyList().color(10, 0xFF102030).take());
  st.addSheet(new CountingSelector("child", &child_n), GuiPropertyList().num(11, 12).take());
  TestElement root("root", 0, 0, 100, 100), child("child", 0, 0, 10, 10, &root);
  st.restyle(&root, false);
  const int r0 = root_n, c0 = child_n;
  st.restyle(&root, false);  // nothing dirty
  EXPECT_EQ(root_n, r0);
  EXPECT_EQ(child_n, c0);
  root.markDirty();  // matched again, same slots: the child is left alone
  st.restyle(&root, false);
  EXPECT_EQ(root_n, r0 + 1);
  EXPECT_EQ(child_n, c0);
  for (GuiAnimator *a : root.animators)
    EXPECT_EQ(a, nullptr);
  root.setBool(GUI_PROP_CHECKED, true);  // the root's slots change: its subtree is restyled
  st.restyle(&root, false);
  EXPECT_EQ(root.getColor(10), 0xFF102030u);
  EXPECT_GT(child_n, c0);
  child.setFloat(11, 9);  // marks the child and its parent
  EXPECT_TRUE(child.dirty && root.dirty);
}

TEST(GuiStyle, TransitionsStartFromTheOldValueAndEndOnTheNewOne)
{
  GuiStyle st;
  st.addSheet(new ClassSelector("btn", 0), GuiPropertyList().transition(new GuiTimedTransition(1.0f), {12, 31}).take());
  st.addSheet(new ClassSelector("btn", 1, GUI_PROP_HOVERED),
              GuiPropertyList().color(12, 0xFF000000).num(11, 50).take());
  TestElement btn("btn", 0, 0, 10, 10);
  st.restyle(&btn, false);
  EXPECT_EQ(btn.animators[12], nullptr) << "no change, no animation";
  btn.setBool(GUI_PROP_HOVERED, true);
  st.restyle(&btn, false);
  ASSERT_NE(btn.animators[12], nullptr);
  EXPECT_EQ(btn.animators[11], nullptr) << "no transition for the font size";
  EXPECT_EQ(btn.getFloat(11), 50);
  // From the empty slot's default (white) to black, eased: half-way at the middle.
  EXPECT_TRUE(near4(btn.getValue(12), v_make(1, 1, 1, 1)));
  update_gui_animators(&btn, 0.5f);
  EXPECT_TRUE(near4(btn.getValue(12), v_make(0.5f, 0.5f, 0.5f, 1)));
  update_gui_animators(&btn, 0.25f);
  EXPECT_TRUE(near4(btn.getValue(12), v_make(0.15625f, 0.15625f, 0.15625f, 1)));
  update_gui_animators(&btn, 0.3f);
  EXPECT_EQ(btn.animators[12], nullptr);
  EXPECT_EQ(btn.getColor(12), 0xFF000000u);

  // An empty id list animates every property with a value; 31 names no slot (ignored above);
  // 32 is a broken sheet.
  GuiStyle all;
  all.addSheet(new ClassSelector("btn", 0), GuiPropertyList().transition(new GuiTimedTransition(1.0f)).take());
  all.addSheet(new ClassSelector("btn", 1, GUI_PROP_CHECKED), GuiPropertyList().num(11, 10).float4(20, v_splats(2)).take());
  btn.setBool(GUI_PROP_CHECKED, true);
  all.restyle(&btn, false);
  EXPECT_NE(btn.animators[11], nullptr);
  EXPECT_NE(btn.animators[20], nullptr);
  EXPECT_EQ(btn.animators[GUI_PROP_CHECKED], nullptr) << "bool slots have no value to animate";
  EXPECT_TRUE(near4(btn.getValue(20), v_splats(10)));
  GuiStyle bad;
  bad.addSheet(new ClassSelector("btn", 0), GuiPropertyList().transition(new GuiTimedTransition(1.0f), {32}).take());
  btn.markDirty();
  EXPECT_EXIT(bad.restyle(&btn, false), testing::ExitedWithCode(100), "failed ASSERT\\(\\*s>0 && \\*s<=NUM_GUI_PROPS\\)");
}
}  // namespace
