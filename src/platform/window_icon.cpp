#include "platform/window_icon.h"

#include <SDL2/SDL.h>
#include <stb_image.h>

#include "support/debug.h"
#include "support/file_path.h"

bool platform_set_window_icon(SDL_Window *window, const char *name)
{
  if (!window)
    return false;
  TempString<260> path = make_full_path(name);
  int w = 0, h = 0, n = 0;
  unsigned char *px = stbi_load(path, &w, &h, &n, 4);
  if (!px)
  {
    debug("can't load window icon '%s': %s", path.c_str(), stbi_failure_reason());
    return false;
  }
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(px, w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
  if (s)
  {
    SDL_SetWindowIcon(window, s);
    SDL_FreeSurface(s);
  }
  stbi_image_free(px);
  return s != nullptr;
}
