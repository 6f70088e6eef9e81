#include "support/png_write.h"

#include <stb_image_write.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/dyn_array.h"

// Compiled with stb_image_write (src/support/stb_impl.cpp) but not declared by its header.
extern "C" unsigned char *stbi_zlib_compress(unsigned char *data, int data_len, int *out_len, int quality);

namespace
{
uint32_t crc32_of(const uint8_t *p, size_t n, uint32_t crc = 0)
{
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t i = 0; i < 256; i++)
    {
      uint32_t c = i;
      for (int k = 0; k < 8; k++)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  crc = ~crc;
  for (size_t i = 0; i < n; i++)
    crc = table[(crc ^ p[i]) & 255] ^ (crc >> 8);
  return ~crc;
}

void put_be32(DynArray<uint8_t> &out, uint32_t v)
{
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.append(4, b);
}

void put_chunk(DynArray<uint8_t> &out, const char *type, const uint8_t *data, int len)
{
  put_be32(out, uint32_t(len));
  int start = out.size();
  out.append(4, reinterpret_cast<const uint8_t *>(type));
  if (len)
    out.append(len, data);
  put_be32(out, crc32_of(out.data + start, size_t(len) + 4));
}

// Writes the whole file. A regular file (or a new one) is written under a temporary name and
// renamed, so that a failed write never leaves a half-written file nor harms an existing one;
// anything else (a device, a pipe, a link) is written in place and never removed. errno tells
// why a write failed.
bool write_all(const char *path, const void *data, size_t len)
{
  struct stat st;
  const bool in_place = lstat(path, &st) == 0 && !S_ISREG(st.st_mode);
  const std::string target = in_place ? std::string(path) : std::string(path) + ".tmp";
  FILE *f = fopen(target.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(data, 1, len, f) == len;
  int err = ok ? 0 : errno;
  if (fclose(f) != 0 && ok)
    ok = false, err = errno;
  if (ok && !in_place && rename(target.c_str(), path) != 0)
    ok = false, err = errno;
  if (!ok && !in_place)
    remove(target.c_str());
  errno = err;
  return ok;
}

// 8 bits per channel, `comp` channels; encoded in memory, so that a failed write is noticed.
bool write_png8(const char *path, int w, int h, int comp, const uint8_t *pixels)
{
  DynArray<uint8_t> png;
  auto sink = [](void *ctx, void *data, int size) {
    static_cast<DynArray<uint8_t> *>(ctx)->append(size, static_cast<const uint8_t *>(data));
  };
  if (!stbi_write_png_to_func(sink, &png, w, h, comp, pixels, w * comp) || png.empty())
  {
    errno = EINVAL;
    return false;
  }
  return write_all(path, png.data, size_t(png.size()));
}
}  // namespace

bool write_png_rgb8(const char *path, int w, int h, const uint8_t *rgb) { return write_png8(path, w, h, 3, rgb); }
bool write_png_rgba8(const char *path, int w, int h, const uint8_t *rgba) { return write_png8(path, w, h, 4, rgba); }

bool encode_png_grey16(int w, int h, const uint16_t *grey, uint8_t *&out_data, int &out_len)
{
  out_data = nullptr;
  out_len = 0;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
    return false;
  // Rows with filter type 0 and big-endian samples.
  const int row = 1 + 2 * w;
  DynArray<uint8_t> raw;
  raw.resize(row * h);
  for (int y = 0; y < h; y++)
  {
    uint8_t *r = raw.data + y * row;
    r[0] = 0;
    for (int x = 0; x < w; x++)
    {
      uint16_t v = grey[y * w + x];
      r[1 + 2 * x] = uint8_t(v >> 8);
      r[2 + 2 * x] = uint8_t(v);
    }
  }
  int zlen = 0;
  unsigned char *z = stbi_zlib_compress(raw.data, raw.size(), &zlen, 8);
  if (!z)
    return false;

  DynArray<uint8_t> png;
  static const uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  png.append(8, signature);
  const uint8_t ihdr[13] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                            uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h),
                            16, 0, 0, 0, 0};  // 16-bit greyscale, no interlace
  put_chunk(png, "IHDR", ihdr, 13);
  put_chunk(png, "IDAT", z, zlen);
  put_chunk(png, "IEND", nullptr, 0);
  free(z);
  out_len = png.size();
  out_data = static_cast<uint8_t *>(malloc(size_t(out_len)));
  if (!out_data)
    return false;
  memcpy(out_data, png.data, size_t(out_len));
  return true;
}

bool write_png_grey16(const char *path, int w, int h, const uint16_t *grey)
{
  uint8_t *data = nullptr;
  int len = 0;
  if (!encode_png_grey16(w, h, grey, data, len))
    return false;
  bool ok = write_all(path, data, size_t(len));
  free(data);
  return ok;
}

bool write_float_file(const char *path, const float *values, int count)
{
  DynArray<uint8_t> bytes;
  bytes.resize(count * 4);
  for (int i = 0; i < count; i++)
  {
    uint32_t u;
    memcpy(&u, &values[i], 4);
    uint8_t *b = bytes.data + 4 * i;
    b[0] = uint8_t(u), b[1] = uint8_t(u >> 8), b[2] = uint8_t(u >> 16), b[3] = uint8_t(u >> 24);
  }
  return write_all(path, bytes.data, size_t(bytes.size()));
}
