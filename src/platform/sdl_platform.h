#pragma once
// The Linux layer under the application shell: SDL2 for the window, events, counter, sleep and
// message boxes; POSIX signals for an orderly stop.
#include <cstdint>

struct SDL_Window;

// Set by a quit request: the window closed, SIGINT or SIGTERM (by platform_process_events), or a
// decision of the application.
extern bool quit_requested;

int64_t platform_counter();
int64_t platform_counter_frequency();
void platform_sleep_msec(int ms);

// Starts SDL's video subsystem. False (with SDL's reason in `err`) when there is no display.
bool platform_init_video(char *err, int err_size);
void platform_shutdown_video();

struct WindowRequest
{
  bool fullscreen = false;
  int width = 0;   // 0: not requested (the window opens maximised)
  int height = 0;
};

// Creates the game window centred in the usable desktop area; full screen covers the display.
// Returns null on failure (logged).
SDL_Window *platform_create_window(const WindowRequest &req, const char *title);
void platform_destroy_window();
SDL_Window *platform_window();
void platform_get_client_size(int &w, int &h);

// Routes SIGINT and SIGTERM into the quit request.
void platform_install_signal_handlers();

// Pumps SDL events into the window handling; sets `quit_requested` on a quit.
void platform_process_events();

void platform_message_box(const char *caption, const char *text);
