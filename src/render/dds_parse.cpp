// DDS header parsing and level layout. Every size is computed in 64 bits with overflow checks,
// and a file is accepted only when it holds every level its header announces, so that the
// loader's copies never read past the data.
#include <cstring>

#include "render/d3d_types.h"
#include "render/dds.h"

namespace
{
// Header fields, as 32-bit word indexes after the magic.
enum : int
{
  W_SIZE = 0,
  W_FLAGS = 1,
  W_HEIGHT = 2,
  W_WIDTH = 3,
  W_MIPCOUNT = 6,
  W_PF_SIZE = 18,
  W_PF_FLAGS = 19,
  W_PF_FOURCC = 20,
  W_PF_BITCOUNT = 21,
  W_PF_RMASK = 22,
  W_PF_GMASK = 23,
  W_PF_BMASK = 24,
  W_PF_AMASK = 25,
  W_CAPS = 26,
  W_CAPS2 = 27,
};

constexpr uint32_t DDSD_REQUIRED = 0x1007;  // caps, height, width, pixel format
constexpr uint32_t DDSD_PITCH = 0x8;
constexpr uint32_t DDSD_LINEARSIZE = 0x80000;
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
constexpr uint32_t DDSCAPS_MIPMAP = 0x400000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDPF_LUMINANCE = 0x20000;

uint32_t word(const uint8_t *hdr, int i)
{
  const uint8_t *p = hdr + 4 * i;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t max_levels(uint32_t w, uint32_t h)
{
  uint32_t m = w > h ? w : h, n = 1;
  while (m > 1)
  {
    m >>= 1;
    n++;
  }
  return n;
}
}  // namespace

uint32_t dds_level_dim(uint32_t top, uint32_t level)
{
  uint32_t d = level < 32 ? top >> level : 0;
  return d ? d : 1;
}

uint64_t dds_level_row_bytes(const DdsInfo &info, uint32_t level)
{
  uint64_t w = dds_level_dim(info.width, level);
  if (info.block_bytes)
    return ((w + 3) / 4) * info.block_bytes;
  return w * info.pixel_bytes;
}

uint32_t dds_level_rows(const DdsInfo &info, uint32_t level)
{
  uint32_t h = dds_level_dim(info.height, level);
  return info.block_bytes ? uint32_t((uint64_t(h) + 3) / 4) : h;
}

uint64_t dds_level_bytes(const DdsInfo &info, uint32_t level)
{
  // Row bytes < 2^35 and rows < 2^32: the product can overflow, so the parser checks it first.
  return dds_level_row_bytes(info, level) * dds_level_rows(info, level);
}

bool parse_dds(const uint8_t *data, size_t size, DdsInfo &out)
{
  out = DdsInfo();
  if (!data || size < 4 || memcmp(data, "DDS ", 4) != 0 || size - 4 < 124)
    return false;
  const uint8_t *h = data + 4;
  if (word(h, W_SIZE) != 124 || word(h, W_PF_SIZE) != 32)
    return false;
  uint32_t flags = word(h, W_FLAGS), caps = word(h, W_CAPS);
  if ((flags & DDSD_REQUIRED) != DDSD_REQUIRED || !(caps & DDSCAPS_TEXTURE) || word(h, W_CAPS2) != 0)
    return false;
  if ((flags & DDSD_PITCH) && (flags & DDSD_LINEARSIZE))
    return false;

  DdsInfo info;
  info.width = word(h, W_WIDTH);
  info.height = word(h, W_HEIGHT);
  if (info.width == 0 || info.height == 0)
    return false;
  uint32_t levels = (caps & DDSCAPS_MIPMAP) ? word(h, W_MIPCOUNT) : 1;
  uint32_t most = max_levels(info.width, info.height);
  info.levels = levels < 1 ? 1 : levels > most ? most : levels;

  uint32_t pf = word(h, W_PF_FLAGS), bits = word(h, W_PF_BITCOUNT);
  if (pf & DDPF_FOURCC)
  {
    uint32_t code = word(h, W_PF_FOURCC);
    if (code != D3DFMT_DXT1 && code != D3DFMT_DXT3 && code != D3DFMT_DXT5)
      return false;
    info.format = code;
    info.block_bytes = code == D3DFMT_DXT1 ? 8 : 16;
  }
  else if (pf & DDPF_RGB)
  {
    if (word(h, W_PF_RMASK) != 0xff0000 || word(h, W_PF_GMASK) != 0xff00 ||
        word(h, W_PF_BMASK) != 0xff || bits != 32)
      return false;
    if (pf & DDPF_ALPHAPIXELS)
    {
      if (word(h, W_PF_AMASK) != 0xff000000u)
        return false;
      info.format = D3DFMT_A8R8G8B8;
    }
    else
      info.format = D3DFMT_X8R8G8B8;
    info.pixel_bytes = 4;
  }
  else if ((pf & DDPF_LUMINANCE) && bits == 8)
  {
    info.format = D3DFMT_L8;
    info.pixel_bytes = 1;
  }
  else
    return false;

  // The file must hold every level; the header's pitch or linear size is not trusted.
  uint64_t total = 0, avail = uint64_t(size - DDS_HEADER_BYTES);
  for (uint32_t l = 0; l < info.levels; l++)
  {
    uint64_t level_bytes;
    if (__builtin_mul_overflow(dds_level_row_bytes(info, l), uint64_t(dds_level_rows(info, l)),
                               &level_bytes) ||
        __builtin_add_overflow(total, level_bytes, &total) || total > avail)
      return false;
  }
  info.data_bytes = total;
  out = info;
  return true;
}

void dds_copy_level(const DdsInfo &info, uint32_t level, const uint8_t *src, uint8_t *dst,
                    uint32_t dst_pitch)
{
  size_t row = size_t(dds_level_row_bytes(info, level));
  uint32_t rows = dds_level_rows(info, level);
  for (uint32_t r = 0; r < rows; r++)
    memcpy(dst + size_t(r) * dst_pitch, src + size_t(r) * row, row);
}
