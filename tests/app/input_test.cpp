#include "app/input.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/device.h"

namespace
{
// A platform whose held keys, lock state and cursor the test sets.
struct FakePlatform
{
  bool held[256] = {};
  int locks = 0;
  bool captured = false;
  std::vector<std::pair<int, int>> warps;
  float cx = 0, cy = 0;
  bool over = false;
};
FakePlatform fake;

const InputPlatform fake_hooks = {
  [](int vk) { return vk >= 0 && vk < 256 && fake.held[vk]; },
  [] { return fake.locks; },
  [](bool on) { fake.captured = on; },
  [](int x, int y) { fake.warps.emplace_back(x, y); },
  [](float &x, float &y) {
    x = fake.cx;
    y = fake.cy;
    return true;
  },
  [] { return fake.over; },
};

class Input : public ::testing::Test
{
protected:
  void SetUp() override
  {
    fake = FakePlatform{};
    fake.cx = 10, fake.cy = 20;
    d3d_wd = 640, d3d_ht = 360;
    isFullscreen = false;
    clear_input_step();
    init_input(&fake_hooks);
  }
  void TearDown() override
  {
    clear_input_step();
    init_input(nullptr);
    d3d_wd = d3d_ht = 0;
  }

  static std::vector<InputEvent> drain()
  {
    std::vector<InputEvent> v;
    InputEvent e;
    while (getEvent(&e))
      v.push_back(e);
    return v;
  }
};
}  // namespace

TEST_F(Input, AutoRepeatMarksOnceAndIsQueuedWithTheRepeatFlag)
{
  post_input_event(INPUT_KEY_DOWN, 'W', 'w', 0, 0, 0);
  clear_input_step();
  // Held into the next step: only repeats arrive.
  post_input_event(INPUT_KEY_DOWN, 'W', 'w', INPUT_FLAG_REPEAT, 0, 0);
  post_input_event(INPUT_KEY_DOWN, 'W', 'w', INPUT_FLAG_REPEAT, 0, 0);
  EXPECT_FALSE(keyDown('W'));
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].flags & INPUT_FLAG_REPEAT, INPUT_FLAG_REPEAT);
  EXPECT_EQ(getKey(), 'W');  // a repeat still counts as the typed key
  EXPECT_EQ(getChar(), 'w');
}

TEST_F(Input, PressAndReleaseInOneStepGiveBothMarksUntilTheClear)
{
  post_input_event(INPUT_KEY_DOWN, 'A', 'a', 0, 0, 0);
  post_input_event(INPUT_KEY_UP, 'A', 'a', 0, 0, 0);
  post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_RIGHT, 0, 0, 5, 5);
  EXPECT_TRUE(keyDown('A'));
  EXPECT_TRUE(keyUp('A'));
  EXPECT_TRUE(keyDown(MOUSE_BUTTON_RIGHT));
  EXPECT_FALSE(keyUp(MOUSE_BUTTON_RIGHT));
  EXPECT_FALSE(keyDown('B'));
  EXPECT_EQ(getKey(), MOUSE_BUTTON_RIGHT);  // the latest key or button down
  EXPECT_EQ(getChar(), 0);

  clear_input_step();
  EXPECT_FALSE(keyDown('A'));
  EXPECT_FALSE(keyUp('A'));
  EXPECT_EQ(getKey(), 0);
  InputEvent e;
  EXPECT_FALSE(getEvent(&e));  // unread events are gone after the step
}

TEST_F(Input, EventsComeOutOldestFirstWithTheirFields)
{
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 100.5f, 50.f);
  post_input_event(INPUT_KEY_DOWN, 13, 13, 0, 999, 999);
  post_input_event(INPUT_WHEEL, -2, 0, 0, 7, 8);
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].kind, INPUT_MOUSE_MOVE);
  EXPECT_EQ(ev[0].key, 0);
  EXPECT_FLOAT_EQ(ev[0].x, 100.5f);
  EXPECT_EQ(ev[1].kind, INPUT_KEY_DOWN);
  EXPECT_EQ(ev[1].key, 13);
  EXPECT_EQ(ev[1].ch, 13);
  // Key events carry the stored mouse position, not the one given.
  EXPECT_FLOAT_EQ(ev[1].x, 100.5f);
  EXPECT_FLOAT_EQ(ev[1].y, 50.f);
  EXPECT_EQ(ev[2].kind, INPUT_WHEEL);
  EXPECT_EQ(ev[2].key, 0);
  EXPECT_EQ(ev[2].wheel, -2);
  EXPECT_FLOAT_EQ(ev[2].x, 7.f);
  InputEvent e;
  EXPECT_FALSE(getEvent(&e));
}

TEST_F(Input, WheelNotchesSumOverTheStep)
{
  post_input_event(INPUT_WHEEL, 1, 0, 0, 0, 0);
  post_input_event(INPUT_WHEEL, 1, 0, 0, 0, 0);
  post_input_event(INPUT_WHEEL, -1, 0, 0, 0, 0);
  EXPECT_EQ(getMouseWheel(), 1);
  clear_input_step();
  EXPECT_EQ(getMouseWheel(), 0);
}

TEST_F(Input, PositionsAreClampedToTheBackBuffer)
{
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, -30, 5000);
  float x, y;
  getMousePos(&x, &y);
  EXPECT_EQ(x, 0.f);
  EXPECT_EQ(y, 359.f);
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 640, -0.5f);
  getMousePos(&x, &y);
  EXPECT_EQ(x, 639.f);
  EXPECT_EQ(y, 0.f);
  post_input_event(INPUT_WHEEL, 1, 0, 0, 1e9f, 1e9f);
  std::vector<InputEvent> ev = drain();
  EXPECT_EQ(ev.back().x, 639.f);
  EXPECT_EQ(ev.back().y, 359.f);

  // Without a back buffer every position collapses to the origin rather than going negative.
  d3d_wd = d3d_ht = 0;
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 12, 12);
  getMousePos(&x, &y);
  EXPECT_EQ(x, 0.f);
  EXPECT_EQ(y, 0.f);
}

TEST_F(Input, ButtonsCaptureAndReleaseAtTheStoredPosition)
{
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 200, 100);
  post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_LEFT, 0, 0, 200, 100);
  EXPECT_TRUE(fake.captured);
  update_mouse_over();
  EXPECT_TRUE(isMouseOver());  // held by the capture even with the cursor elsewhere

  post_input_event(INPUT_BUTTON_UP, MOUSE_BUTTON_LEFT, 0, 0, 5000, -5000);
  EXPECT_FALSE(fake.captured);
  ASSERT_EQ(fake.warps.size(), 1u);
  EXPECT_EQ(fake.warps[0], std::make_pair(200, 100));
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[2].kind, INPUT_BUTTON_UP);
  EXPECT_EQ(ev[2].x, 200.f);
  EXPECT_EQ(ev[2].y, 100.f);
  EXPECT_TRUE(keyUp(MOUSE_BUTTON_LEFT));

  update_mouse_over();
  EXPECT_FALSE(isMouseOver());
  fake.over = true;
  update_mouse_over();
  EXPECT_TRUE(isMouseOver());
  fake.over = false;
  isFullscreen = true;
  update_mouse_over();
  EXPECT_TRUE(isMouseOver());
}

TEST_F(Input, FlagsCombineTheGivenBitsWithTheLiveState)
{
  fake.held[VK_SHIFT_KEY] = fake.held[VK_ALT_KEY] = true;
  fake.held[MOUSE_BUTTON_RIGHT] = fake.held[MOUSE_BUTTON_MIDDLE] = true;
  fake.locks = INPUT_FLAG_CAPS_LOCK | INPUT_FLAG_NUM_LOCK | INPUT_FLAG_REPEAT;  // stray bits ignored
  post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_LEFT, 0, INPUT_FLAG_REPEAT, 0, 0);
  fake = FakePlatform{};
  fake.held[VK_CONTROL_KEY] = fake.held[MOUSE_BUTTON_LEFT] = true;
  fake.locks = INPUT_FLAG_SCROLL_LOCK;
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 0, 0);
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].flags, INPUT_FLAG_SHIFT | INPUT_FLAG_ALT | INPUT_FLAG_CAPS_LOCK | INPUT_FLAG_NUM_LOCK |
                             INPUT_FLAG_REPEAT | INPUT_FLAG_RBUTTON | INPUT_FLAG_MBUTTON);
  EXPECT_EQ(ev[1].flags, INPUT_FLAG_CTRL | INPUT_FLAG_SCROLL_LOCK | INPUT_FLAG_LBUTTON);
  EXPECT_TRUE(getKeyState(VK_CONTROL_KEY));
  EXPECT_FALSE(getKeyState(VK_SHIFT_KEY));
}

TEST_F(Input, KeyCodesOutsideTheTableAreHarmless)
{
  for (int vk : {-1, 256, 300, 1 << 30})
  {
    post_input_event(INPUT_KEY_DOWN, vk, 0, 0, 0, 0);
    post_input_event(INPUT_KEY_UP, vk, 0, 0, 0, 0);
    post_input_event(INPUT_BUTTON_DOWN, vk, 0, 0, 0, 0);
    EXPECT_FALSE(keyDown(vk));
    EXPECT_FALSE(keyUp(vk));
    EXPECT_FALSE(getKeyState(vk));
    EXPECT_STREQ(getKeyName(vk), "?");
  }
  EXPECT_EQ(getKey(), 1 << 30);  // still queued and reported as given
  EXPECT_EQ(drain().size(), 12u);
}

TEST_F(Input, SetMousePosWarpsAndStoresTheTruncatedPoint)
{
  EXPECT_EQ(fake.warps.size(), 0u);
  float x, y;
  getMousePos(&x, &y);
  EXPECT_EQ(x, 10.f);  // read from the cursor at initialisation
  EXPECT_EQ(y, 20.f);
  setMousePos(320.7f, 180.2f);
  ASSERT_EQ(fake.warps.size(), 1u);
  EXPECT_EQ(fake.warps[0], std::make_pair(320, 180));
  getMousePos(&x, &y);
  EXPECT_EQ(x, 320.f);
  EXPECT_EQ(y, 180.f);
  // Nothing behind the input (headless): the position is still kept.
  init_input(nullptr);
  setMousePos(4, 5);
  getMousePos(&x, &y);
  EXPECT_EQ(x, 4.f);
  EXPECT_FALSE(getKeyState('A'));
}

TEST(KeyNames, NamedCodesAndUnnamedOnes)
{
  EXPECT_STREQ(getKeyName(1), "Left Mouse Button");
  EXPECT_STREQ(getKeyName(13), "Enter");
  EXPECT_STREQ(getKeyName(48), "0");
  EXPECT_STREQ(getKeyName(57), "9");
  EXPECT_STREQ(getKeyName(65), "A");
  EXPECT_STREQ(getKeyName(90), "Z");
  EXPECT_STREQ(getKeyName(96), "NumPad 0");
  EXPECT_STREQ(getKeyName(105), "NumPad 9");
  EXPECT_STREQ(getKeyName(112), "F1");
  EXPECT_STREQ(getKeyName(123), "F12");
  EXPECT_STREQ(getKeyName(222), "Apostrophe");
  for (int vk : {0, 3, 108, 124, 255})
    EXPECT_STREQ(getKeyName(vk), "?") << vk;
  int named = 0;
  for (int vk = 0; vk < 256; vk++)
    named += getKeyName(vk)[0] != '?';
  EXPECT_EQ(named, 102);
}
