#pragma once
// The window between the platform layer and the application's window handling
// (app/window_proc.h): what the platform's window can do (WindowHost) and the table of window
// events the platform reports (WindowEvents), which the application hands to sdl_window_attach.
#include <cstdint>

// Window styles as the full-screen toggle saves and restores them.
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;

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

// What the platform reports about its window; every member is set.
struct WindowEvents
{
  // The window becomes the host (null: it no longer is).
  void (*attach)(WindowHost *host);
  void (*destroy)();
  void (*size)(int client_w, int client_h, bool minimized);
  void (*activate)(bool activated, bool minimized);
  // The cursor is (or is not) over the client area: show or hide it.
  void (*set_cursor)(bool over_client);
  // Alt-F4 (VK_F4) or Alt-Enter (VK_RETURN); true when the window kept the key.
  bool (*sys_key_down)(int vk, bool repeat);
  // A mouse button went down, before its input event.
  void (*button_down)();
};
