#pragma once
// The window procedure's decisions: activation, size changes, the cursor while mouse look owns
// it, the keys the window keeps for itself (Alt-F4, Alt-Enter) and the full-screen toggle. The
// platform layer (platform/sdl_window_events.cpp) turns window events into these calls and
// performs the window operations through WindowHost.
#include <cstdint>

// Window styles as the toggle saves and restores them.
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;

constexpr int VK_RETURN = 13;
constexpr int VK_F4 = 115;

// Position of the client area on the desktop and its size; empty when w or h is 0.
struct WindowRect
{
  int x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return w <= 0 || h <= 0; }
};

class WindowHost
{
public:
  virtual ~WindowHost() = default;
  virtual void clientSize(int &w, int &h) = 0;
  virtual WindowRect windowRect() = 0;
  virtual uint32_t style() = 0;
  // Popup style, topmost, at 0, 0 with this size.
  virtual void makeFullscreen(int w, int h) = 0;
  // The given style, not topmost, at the rectangle.
  virtual void makeWindowed(uint32_t style, const WindowRect &r) = 0;
  virtual void confineCursor(bool confine) = 0;
  virtual void setCursorVisible(bool visible) = 0;
  virtual void focus() = 0;
  // The default handling of Alt-F4: the window is closed (the destroy message follows).
  virtual void closeWindow() = 0;
};

void set_window_host(WindowHost *host);

// State of the full-screen toggle: the windowed client size, window rectangle and style saved
// when going full-screen (zero / empty when nothing was saved).
struct FullscreenSave
{
  int client_w = 0, client_h = 0;
  WindowRect rect;
  uint32_t style = 0;
};
extern FullscreenSave fullscreen_save;

void wnd_on_destroy();
void wnd_on_size(int client_w, int client_h, bool minimized);
void wnd_on_activate(bool activated, bool minimized);
// Shows or hides the cursor as the window would answer the set-cursor message.
void wnd_on_set_cursor(bool over_client);
// A key pressed with Alt held (or F10). True when the window kept it (F4 closes the window,
// Enter toggles full-screen); false when it is an ordinary key-down event for input.
bool wnd_on_sys_key_down(int vk, bool repeat);
// A button press focuses the window before the input event.
void wnd_on_button_down();

// Switches device and window between windowed and full-screen.
void set_fullscreen(bool fullscreen);
