#pragma once
// The window procedure's decisions: activation, size changes, the cursor while mouse look owns
// it, the keys the window keeps for itself (Alt-F4, Alt-Enter) and the full-screen toggle. The
// platform layer (platform/sdl_window_events.cpp) reports window events through
// window_proc_events and performs the window operations through WindowHost.
#include <cstdint>

#include "platform/input_sink.h"
#include "platform/window_host.h"

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

// The calls above as the platform's window events (set_window_host is `attach`).
extern const WindowEvents window_proc_events;
