// Whatever bytes a TGA file holds, the reader never reads outside them (AddressSanitizer), a
// refusal leaves no pixels, and an image it accepts has exactly width x height pixels that the
// file holds.
#include <cstdint>
#include <cstdlib>

#include "support/tga_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  int w = 0, h = 0, pos = 0;
  DynArray<uint32_t> pixels;
  if (parse_tga(data, size, w, h, pixels, pos))
  {
    if (!pixels.empty() || pos < 0 || size_t(pos) > size)
      abort();
    return 0;
  }
  if (w <= 0 || h <= 0 || uint64_t(pixels.size()) != uint64_t(w) * uint64_t(h) ||
      uint64_t(TGA_HEADER_BYTES) + data[0] + uint64_t(w) * uint64_t(h) * 4 > size)
    abort();
  return 0;
}
