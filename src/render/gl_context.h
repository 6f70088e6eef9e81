#pragma once
// The OpenGL context under the GL backend: an SDL window's context, or a headless one through
// EGL with no display at all (Mesa's software rasteriser on machines without a GPU).
struct DisplayMode;

// Creates and makes current a core-profile context (4.5 where offered, else 3.3) for the SDL
// window, or a headless context when `sdl_window` is null. Logs its failure.
bool gl_context_create(void *sdl_window);
void gl_context_destroy();
bool gl_context_is_headless();
void gl_context_swap();
void gl_context_set_vsync(bool on);
// The desktop display mode of the window's display; headless: a fixed 1920x1080.
bool gl_context_display_mode(DisplayMode &mode);
