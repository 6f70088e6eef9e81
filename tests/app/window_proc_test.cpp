// The window procedure's decisions and the full-screen toggle, over a fake window and the
// recording device.
#include "app/window_proc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_globals.h"
#include "platform/sdl_platform.h"
#include "render/device.h"
#include "render/recording_backend.h"

namespace
{
class FakeWindow final : public WindowHost
{
public:
  int cw = 800, ch = 600;
  WindowRect rect{100, 50, 800, 600};
  uint32_t st = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  bool confined = false, cursor = true, focused = false, closed = false;
  std::vector<std::string> ops;

  void clientSize(int &w, int &h) override
  {
    w = cw;
    h = ch;
  }
  WindowRect windowRect() override { return rect; }
  uint32_t style() override { return st; }
  void makeFullscreen(int w, int h) override
  {
    ops.push_back("fullscreen " + std::to_string(w) + "x" + std::to_string(h));
    st = WS_POPUP | WS_VISIBLE;
    rect = WindowRect{0, 0, w, h};
    cw = w;
    ch = h;
  }
  void makeWindowed(uint32_t style, const WindowRect &r) override
  {
    ops.push_back("windowed " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
                  std::to_string(r.w) + "x" + std::to_string(r.h) +
                  (style == (WS_OVERLAPPEDWINDOW | WS_VISIBLE) ? " normal" : " other"));
    st = style;
    rect = r;
    cw = r.w;
    ch = r.h;
  }
  void confineCursor(bool c) override { confined = c; }
  void setCursorVisible(bool v) override { cursor = v; }
  void focus() override { focused = true; }
  void closeWindow() override
  {
    closed = true;
    wnd_on_destroy();
  }
};

class WindowProc : public testing::Test
{
protected:
  RecordingBackend rb;
  FakeWindow win;

  void SetUp() override
  {
    set_render_backend(&rb);
    set_window_host(&win);
    fullscreen_save = FullscreenSave();
    isFullscreen = false;
    isAppActive = true;
    shouldHideMouse = false;
    quit_requested = false;
    ASSERT_TRUE(init_d3d(nullptr, 800, 600));
    rb.clearLog();
  }
  void TearDown() override
  {
    close_d3d();
    set_window_host(nullptr);
    set_render_backend(nullptr);
    isFullscreen = false;
    quit_requested = false;
  }
  int resets() const { return int(rb.callsStartingWith("Reset").size()); }
};

TEST_F(WindowProc, AltEnterGoesFullScreenAndBackToTheSavedWindow)
{
  EXPECT_TRUE(wnd_on_sys_key_down(VK_RETURN, false));
  EXPECT_TRUE(isFullscreen);
  EXPECT_EQ(d3d_wd, 1920);  // the display's size
  EXPECT_EQ(d3d_ht, 1080);
  EXPECT_TRUE(win.confined);
  EXPECT_EQ(fullscreen_save.client_w, 800);
  EXPECT_EQ(fullscreen_save.rect.x, 100);

  // Auto-repeat of the held keys does not toggle again.
  EXPECT_TRUE(wnd_on_sys_key_down(VK_RETURN, true));
  EXPECT_TRUE(isFullscreen);
  EXPECT_EQ(resets(), 1);

  // Size messages in full-screen leave the device alone.
  wnd_on_size(1920, 1080, false);
  EXPECT_EQ(resets(), 1);

  EXPECT_TRUE(wnd_on_sys_key_down(VK_RETURN, false));
  EXPECT_FALSE(isFullscreen);
  EXPECT_EQ(d3d_wd, 800);
  EXPECT_EQ(d3d_ht, 600);
  EXPECT_FALSE(win.confined);
  EXPECT_EQ(win.ops, (std::vector<std::string>{"fullscreen 1920x1080", "windowed 100,50 800x600 normal"}));
  EXPECT_EQ(resets(), 2);
  // The size message that follows the restore changes nothing.
  wnd_on_size(800, 600, false);
  EXPECT_EQ(resets(), 2);
}

TEST_F(WindowProc, LeavingAFullScreenStartUsesHalfTheSizeAtTheOrigin)
{
  close_d3d();
  isFullscreen = true;
  ASSERT_TRUE(init_d3d(nullptr, 0, 0));
  win.st = WS_POPUP | WS_VISIBLE;
  set_fullscreen(false);
  EXPECT_FALSE(isFullscreen);
  EXPECT_EQ(d3d_wd, 960);
  EXPECT_EQ(d3d_ht, 540);
  EXPECT_EQ(win.ops, (std::vector<std::string>{"windowed 0,0 960x540 normal"}));
}

TEST_F(WindowProc, SizeMessagesResizeOnlyARestoredWindowThatChanged)
{
  wnd_on_size(0, 0, true);  // minimised
  wnd_on_size(800, 600, false);
  EXPECT_EQ(resets(), 0);
  wnd_on_size(1024, 700, false);
  EXPECT_EQ(resets(), 1);
  EXPECT_EQ(d3d_wd, 1024);
  EXPECT_EQ(d3d_ht, 700);
}

TEST_F(WindowProc, ActivationCursorAndFocus)
{
  wnd_on_activate(true, true);  // restored focus but minimised: inactive
  EXPECT_FALSE(isAppActive);
  shouldHideMouse = true;
  wnd_on_set_cursor(true);
  EXPECT_TRUE(win.cursor);  // an inactive window always shows the cursor
  wnd_on_activate(true, false);
  EXPECT_TRUE(isAppActive);
  wnd_on_set_cursor(true);
  EXPECT_FALSE(win.cursor);
  wnd_on_set_cursor(false);  // outside the client area of a window
  EXPECT_TRUE(win.cursor);

  set_fullscreen(true);
  wnd_on_set_cursor(false);  // full-screen: hidden wherever it is
  EXPECT_FALSE(win.cursor);
  wnd_on_activate(false, false);
  EXPECT_FALSE(win.confined);
  wnd_on_activate(true, false);
  EXPECT_TRUE(win.confined);

  wnd_on_button_down();
  EXPECT_TRUE(win.focused);
}

TEST_F(WindowProc, AltF4ClosesAndOtherSystemKeysAreInput)
{
  EXPECT_FALSE(wnd_on_sys_key_down('X', false));
  EXPECT_FALSE(quit_requested);
  EXPECT_TRUE(wnd_on_sys_key_down(VK_F4, false));
  EXPECT_TRUE(win.closed);
  EXPECT_TRUE(quit_requested);
  EXPECT_FALSE(isAppActive);
}
}  // namespace
