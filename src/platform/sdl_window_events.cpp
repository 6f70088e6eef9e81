#include "platform/sdl_window_events.h"

#include <SDL2/SDL.h>

#include "platform/input_sink.h"
#include "platform/sdl_input.h"
#include "platform/sdl_platform.h"
#include "platform/window_host.h"

namespace
{
// The application's window handling, between attach and detach.
const WindowEvents *events = nullptr;

// The SDL window as the window procedure's host. Positions and sizes are of the client area:
// SDL places and sizes windows by their client area, decorations are the window manager's.
class SdlWindowHost final : public WindowHost
{
public:
  void clientSize(int &w, int &h) override { platform_get_client_size(w, h); }
  WindowRect windowRect() override
  {
    WindowRect r;
    if (SDL_Window *win = platform_window())
    {
      SDL_GetWindowPosition(win, &r.x, &r.y);
      SDL_GetWindowSize(win, &r.w, &r.h);
    }
    return r;
  }
  uint32_t style() override
  {
    SDL_Window *win = platform_window();
    if (win && (SDL_GetWindowFlags(win) & SDL_WINDOW_FULLSCREEN))
      return WS_POPUP | WS_VISIBLE;
    return WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  }
  void makeFullscreen(int w, int h) override
  {
    SDL_Window *win = platform_window();
    if (!win)
      return;
    // A borderless topmost window over the display first (what remains without a window
    // manager), then the desktop full-screen state for window managers that offer it.
    SDL_Rect display{0, 0, w, h};
    int index = SDL_GetWindowDisplayIndex(win);
    if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &display) != 0)
      display = SDL_Rect{0, 0, w, h};
    SDL_SetWindowBordered(win, SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(win, SDL_TRUE);
    SDL_SetWindowPosition(win, display.x, display.y);
    SDL_SetWindowSize(win, w, h);
    SDL_SetWindowFullscreen(win, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
  void makeWindowed(uint32_t style, const WindowRect &r) override
  {
    SDL_Window *win = platform_window();
    if (!win)
      return;
    SDL_SetWindowFullscreen(win, 0);
    SDL_SetWindowAlwaysOnTop(win, SDL_FALSE);
    bool framed = (style & WS_POPUP) == 0;
    SDL_SetWindowBordered(win, framed ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(win, framed ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowSize(win, r.w, r.h);
    SDL_SetWindowPosition(win, r.x, r.y);
  }
  void confineCursor(bool confine) override
  {
    if (SDL_Window *win = platform_window())
      SDL_SetWindowGrab(win, confine ? SDL_TRUE : SDL_FALSE);
  }
  void setCursorVisible(bool visible) override
  {
    if (visible != cursor_visible)
      SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    cursor_visible = visible;
  }
  void focus() override
  {
    if (SDL_Window *win = platform_window())
      SDL_RaiseWindow(win);
  }
  void closeWindow() override
  {
    if (events)
      events->destroy();
  }

private:
  bool cursor_visible = true;
};

SdlWindowHost sdl_host;

bool minimized()
{
  SDL_Window *win = platform_window();
  return win && (SDL_GetWindowFlags(win) & SDL_WINDOW_MINIMIZED);
}

bool has_focus()
{
  SDL_Window *win = platform_window();
  return win && (SDL_GetWindowFlags(win) & SDL_WINDOW_INPUT_FOCUS);
}

}  // namespace

void sdl_window_attach(const WindowEvents &e)
{
  events = &e;
  events->attach(&sdl_host);
}

void sdl_window_detach()
{
  if (events)
    events->attach(nullptr);
  events = nullptr;
}

void sdl_window_handle_event(const SDL_Event &ev)
{
  if (!events)  // no window handling attached: input only
  {
    sdl_input_handle_event(ev);
    return;
  }
  // A button press focuses the window before it becomes an input event.
  if (ev.type == SDL_MOUSEBUTTONDOWN)
    events->button_down();
  switch (sdl_input_handle_event(ev))
  {
    case SdlInputResult::Taken: return;
    case SdlInputResult::CloseRequest: events->sys_key_down(VK_F4, false); return;
    case SdlInputResult::ToggleFullscreen: events->sys_key_down(VK_RETURN, false); return;
    case SdlInputResult::NotInput: break;
  }
  switch (ev.type)
  {
    case SDL_QUIT: events->destroy(); break;
    case SDL_WINDOWEVENT:
      switch (ev.window.event)
      {
        case SDL_WINDOWEVENT_CLOSE: events->destroy(); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          events->size(ev.window.data1, ev.window.data2, minimized());
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: events->activate(true, minimized()); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: events->activate(false, minimized()); break;
        case SDL_WINDOWEVENT_MINIMIZED: events->activate(has_focus(), true); break;
        case SDL_WINDOWEVENT_RESTORED: events->activate(has_focus(), false); break;
        default: break;
      }
      break;
    default: break;
  }
}

void sdl_window_update_cursor()
{
  SDL_Window *win = platform_window();
  if (win && events)
    events->set_cursor(SDL_GetMouseFocus() == win);
}
