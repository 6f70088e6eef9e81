#include "platform/window_icon.h"

#include <SDL2/SDL.h>
#include <stb_image.h>

#include <string>

#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

// Icons are small; a larger file is not one.
static constexpr int64_t ICON_FILE_MAX = 16 << 20;

bool platform_set_window_icon(SDL_Window *window, const char *name)
{
  if (!window)
    return false;
  TempString<260> path = make_full_path(name);
  std::string file;
  int err = 0;
  if (!read_file(path, ICON_FILE_MAX, file, err))
  {
    debug("can't load window icon '%s': %s", path.str[0] ? path.c_str() : name, file_error_text(err));
    return false;
  }
  int w = 0, h = 0, n = 0;
  unsigned char *px = stbi_load_from_memory(reinterpret_cast<const stbi_uc *>(file.data()),
                                            int(file.size()), &w, &h, &n, 4);
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
