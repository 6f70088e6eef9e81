#pragma once
// The reader of uncompressed 32-bit true-colour TGA images (the debug font, "font.tga").
// Accepted: image type 2, 32 bits per pixel, no colour map, any image ID (skipped), rows and
// columns in either order (the descriptor's origin bits are honoured).
#include <cstddef>
#include <cstdint>

#include "support/dyn_array.h"

constexpr int TGA_HEADER_BYTES = 18;
// Largest file read_tga accepts (a 4096 x 4096 image and its header fit).
constexpr int64_t TGA_MAX_FILE_BYTES = 4096ll * 4096 * 4 + 1024;

// Decodes the TGA image held in `data`: `pixels` gets w x h values 0xAARRGGBB (bytes blue, green,
// red, alpha as stored), row 0 at the top and column 0 at the left. Returns null, or the reason
// the data is refused with `error_pos` at the byte it concerns; `pixels` is then empty.
// The pixel count is checked against the data before anything is allocated.
const char *parse_tga(const uint8_t *data, size_t size, int &w, int &h, DynArray<uint32_t> &pixels,
                      int &error_pos);

// Reads the TGA file `path`. False (with the file and the reason logged) when the file cannot be
// read; a file that is not such an image throws InputStream::Exception with the reason and the
// byte position.
bool read_tga(const char *path, int &w, int &h, DynArray<uint32_t> &pixels);
