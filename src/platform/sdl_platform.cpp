#include "platform/sdl_platform.h"

#include <SDL2/SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/input_sink.h"
#include "platform/sdl_window_events.h"
#include "support/debug.h"

static SDL_Window *main_window = nullptr;
static bool video_up = false;
static volatile sig_atomic_t signal_quit = 0;
bool quit_requested = false;

int64_t platform_counter() { return int64_t(SDL_GetPerformanceCounter()); }
int64_t platform_counter_frequency() { return int64_t(SDL_GetPerformanceFrequency()); }
void platform_sleep_msec(int ms) { SDL_Delay(ms > 0 ? Uint32(ms) : 0); }

bool platform_init_video(char *err, int err_size)
{
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY") && !getenv("SDL_VIDEODRIVER"))
  {
    snprintf(err, size_t(err_size), "neither DISPLAY nor WAYLAND_DISPLAY is set");
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
  {
    snprintf(err, size_t(err_size), "%s", SDL_GetError());
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; unless the user chose one
  // of them on purpose (SDL_VIDEODRIVER), that is no display.
  const char *drv = SDL_GetCurrentVideoDriver();
  bool invisible = drv && (!strcmp(drv, "offscreen") || !strcmp(drv, "dummy"));
  if (invisible && !getenv("SDL_VIDEODRIVER"))
  {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    snprintf(err, size_t(err_size), "neither DISPLAY nor WAYLAND_DISPLAY leads to a display");
    return false;
  }
  video_up = true;
  return true;
}

void platform_shutdown_video()
{
  platform_destroy_window();
  if (video_up)
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  video_up = false;
}

SDL_Window *platform_create_window(const WindowRequest &req, const char *title)
{
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  int w = req.width, h = req.height;
  if (req.fullscreen)
    flags = SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
  else
  {
    SDL_Rect area;
    if (SDL_GetDisplayUsableBounds(0, &area) != 0 && SDL_GetDisplayBounds(0, &area) != 0)
      area = SDL_Rect{0, 0, 1280, 720};
    // Without a requested size the window opens maximised over a default-sized rectangle.
    if (w <= 0)
      w = area.w * 3 / 4;
    if (h <= 0)
      h = area.h * 3 / 4;
    x = area.x + (area.w - w) / 2;
    y = area.y + (area.h - h) / 2;
    if (req.width <= 0)
      flags |= SDL_WINDOW_MAXIMIZED;
  }
  // The window has no depth, stencil or alpha buffer: the device makes its own depth surface.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, 0);
  main_window = SDL_CreateWindow(title, x, y, w > 0 ? w : 1280, h > 0 ? h : 720, flags);
  if (!main_window)
  {
    debug("can't create window: %s", SDL_GetError());
    return nullptr;
  }
  if (req.fullscreen)
    SDL_SetWindowGrab(main_window, SDL_TRUE);
  // Let the window manager apply maximisation before the client size is read.
  SDL_PumpEvents();
  return main_window;
}

void platform_destroy_window()
{
  if (main_window)
    SDL_DestroyWindow(main_window);
  main_window = nullptr;
}

SDL_Window *platform_window() { return main_window; }

void platform_get_client_size(int &w, int &h)
{
  w = h = 0;
  if (main_window)
    SDL_GetWindowSize(main_window, &w, &h);
}

static void on_signal(int) { signal_quit = 1; }

void platform_install_signal_handlers()
{
  struct sigaction sa = {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void platform_process_events()
{
  if (signal_quit)
    quit_requested = true;
  if (!video_up)
    return;
  SDL_Event ev;
  while (SDL_PollEvent(&ev))
    sdl_window_handle_event(ev);
  if (input_sink.events_done)
    input_sink.events_done();
  sdl_window_update_cursor();
}

void platform_message_box(const char *caption, const char *text)
{
  if (video_up)
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, main_window);
}
