#pragma once
struct SDL_Window;

// Sets the window's icon from a PNG file (a name relative to the executable's directory).
// A missing or unreadable file is logged and leaves the default icon.
bool platform_set_window_icon(SDL_Window *window, const char *name);
