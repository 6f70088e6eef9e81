#include "app/window_proc.h"

#include "app/app_globals.h"
#include "platform/sdl_platform.h"
#include "render/device.h"

FullscreenSave fullscreen_save;
static WindowHost *host = nullptr;

void set_window_host(WindowHost *h) { host = h; }

void wnd_on_destroy()
{
  isAppActive = false;
  quit_requested = true;
}

void wnd_on_size(int client_w, int client_h, bool minimized)
{
  if (minimized || isFullscreen)
    return;
  resize_d3d(client_w, client_h, false, false);
}

void wnd_on_activate(bool activated, bool minimized)
{
  bool active = activated && !minimized;
  if (active == isAppActive)
    return;
  isAppActive = active;
  if (isFullscreen && host)
    host->confineCursor(active);
}

void wnd_on_set_cursor(bool over_client)
{
  if (!host)
    return;
  bool hide = isAppActive && shouldHideMouse && (over_client || isFullscreen);
  host->setCursorVisible(!hide);
}

bool wnd_on_sys_key_down(int vk, bool repeat)
{
  if (vk == VK_F4)
  {
    if (host)
      host->closeWindow();
    return true;
  }
  if (vk == VK_RETURN)
  {
    // Holding Alt-Enter must not flip the mode back and forth.
    if (!repeat)
      set_fullscreen(!isFullscreen);
    return true;
  }
  return false;
}

void wnd_on_button_down()
{
  if (host)
    host->focus();
}

void set_fullscreen(bool fullscreen)
{
  int w = 0, h = 0;
  if (!isFullscreen)
  {
    if (host)
    {
      host->clientSize(fullscreen_save.client_w, fullscreen_save.client_h);
      fullscreen_save.rect = host->windowRect();
      fullscreen_save.style = host->style();
    }
  }
  else if (fullscreen_save.client_w > 0 && fullscreen_save.client_h > 0)
  {
    w = fullscreen_save.client_w;
    h = fullscreen_save.client_h;
  }
  else
  {
    w = d3d_wd / 2;
    h = d3d_ht / 2;
  }

  resize_d3d(w, h, fullscreen, true);

  if (!host)
    return;
  if (fullscreen)
  {
    host->makeFullscreen(d3d_wd, d3d_ht);
    host->confineCursor(true);
    return;
  }
  // After a full-screen start nothing was saved: the normal windowed style, at 0, 0, with a
  // client area of the new back buffer's size.
  uint32_t style = fullscreen_save.style && !(fullscreen_save.style & WS_POPUP)
                       ? fullscreen_save.style
                       : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  WindowRect r = fullscreen_save.rect;
  if (r.empty())
    r = WindowRect{0, 0, d3d_wd, d3d_ht};
  host->makeWindowed(style, r);
  host->confineCursor(false);
}

const WindowEvents window_proc_events = {set_window_host,   wnd_on_destroy,      wnd_on_size,       wnd_on_activate,
                                         wnd_on_set_cursor, wnd_on_sys_key_down, wnd_on_button_down};
