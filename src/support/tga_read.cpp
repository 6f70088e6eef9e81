#include "support/tga_read.h"

#include <cstdio>
#include <string>

#include "support/debug.h"
#include "support/file_read.h"
#include "support/file_stream.h"

namespace
{
int le16(const uint8_t *p) { return p[0] | (p[1] << 8); }

// Header fields (byte offsets).
constexpr int ID_LENGTH = 0, COLOR_MAP_TYPE = 1, IMAGE_TYPE = 2, WIDTH = 12, HEIGHT = 14,
              PIXEL_DEPTH = 16, DESCRIPTOR = 17;
constexpr int TYPE_TRUE_COLOR = 2;
constexpr uint8_t ORIGIN_RIGHT = 0x10, ORIGIN_TOP = 0x20;
}  // namespace

const char *parse_tga(const uint8_t *data, size_t size, int &w, int &h, DynArray<uint32_t> &pixels,
                      int &error_pos)
{
  pixels.clear();
  w = h = 0;
  error_pos = 0;
  if (size < size_t(TGA_HEADER_BYTES))
  {
    error_pos = int(size);
    return "truncated TGA header";
  }
  if (data[COLOR_MAP_TYPE] != 0)
  {
    error_pos = COLOR_MAP_TYPE;
    return "TGA colour maps are not supported";
  }
  if (data[IMAGE_TYPE] != TYPE_TRUE_COLOR || data[PIXEL_DEPTH] != 32)
  {
    error_pos = data[IMAGE_TYPE] != TYPE_TRUE_COLOR ? IMAGE_TYPE : PIXEL_DEPTH;
    return "unsupported TGA format (only uncompressed 32-bit true colour is read)";
  }
  const int iw = le16(data + WIDTH), ih = le16(data + HEIGHT);
  if (iw == 0 || ih == 0)
  {
    error_pos = WIDTH;
    return "zero-sized TGA image";
  }
  const uint64_t start = uint64_t(TGA_HEADER_BYTES) + data[ID_LENGTH];
  const uint64_t bytes = uint64_t(iw) * uint64_t(ih) * 4;
  if (start + bytes > size)
  {
    error_pos = int(size);
    return "truncated TGA file (fewer pixels than width x height)";
  }

  const bool top_down = data[DESCRIPTOR] & ORIGIN_TOP, right_to_left = data[DESCRIPTOR] & ORIGIN_RIGHT;
  pixels.resize(iw * ih);
  const uint8_t *src = data + start;
  for (int row = 0; row < ih; row++)
  {
    uint32_t *dst = pixels.data + size_t(top_down ? row : ih - 1 - row) * size_t(iw);
    for (int col = 0; col < iw; col++, src += 4)
      dst[right_to_left ? iw - 1 - col : col] =
          uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16 | uint32_t(src[3]) << 24;
  }
  w = iw;
  h = ih;
  return nullptr;
}

bool read_tga(const char *path, int &w, int &h, DynArray<uint32_t> &pixels)
{
  std::string bytes;
  int err = 0;
  if (!read_file(path, TGA_MAX_FILE_BYTES, bytes, err))
  {
    debug("can't read '%s': %s", path, file_error_text(err));
    return false;
  }
  int pos = 0;
  if (const char *why = parse_tga(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), w, h,
                                  pixels, pos))
    throw InputStream::Exception(why, pos);
  return true;
}
