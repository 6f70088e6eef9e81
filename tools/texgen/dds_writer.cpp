#include "image.h"

#include <cstdio>
#include <cstring>

#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

Image downsample(const Image &src)
{
  int w = src.w > 1 ? src.w / 2 : 1, h = src.h > 1 ? src.h / 2 : 1;
  Image d(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
    {
      int sum[4] = {0, 0, 0, 0}, n = 0;
      for (int dy = 0; dy < 2; dy++)
        for (int dx = 0; dx < 2; dx++)
        {
          int sx = x * 2 + dx, sy = y * 2 + dy;
          if (sx >= src.w || sy >= src.h)
            continue;
          const Rgba &p = src.at(sx, sy);
          sum[0] += p.r, sum[1] += p.g, sum[2] += p.b, sum[3] += p.a;
          n++;
        }
      d.at(x, y) = Rgba{uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n),
                        uint8_t((sum[2] + n / 2) / n), uint8_t((sum[3] + n / 2) / n)};
    }
  return d;
}

namespace
{
void put32(std::vector<uint8_t> &out, uint32_t v)
{
  for (int i = 0; i < 4; i++)
    out.push_back(uint8_t(v >> (8 * i)));
}

void encode_level(const Image &img, DdsFormat fmt, std::vector<uint8_t> &out)
{
  if (fmt == DdsFormat::A8R8G8B8)
  {
    for (const Rgba &p : img.px)  // bytes in memory order B, G, R, A
      out.insert(out.end(), {p.b, p.g, p.r, p.a});
    return;
  }
  if (fmt == DdsFormat::L8)
  {
    for (const Rgba &p : img.px)
      out.push_back(p.r);
    return;
  }
  bool alpha = fmt == DdsFormat::DXT5;
  int bw = (img.w + 3) / 4, bh = (img.h + 3) / 4;
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++)
    {
      unsigned char block[64];
      for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
        {
          // Blocks past a small level's edge repeat its last texel.
          int sx = bx * 4 + x < img.w ? bx * 4 + x : img.w - 1;
          int sy = by * 4 + y < img.h ? by * 4 + y : img.h - 1;
          const Rgba &p = img.at(sx, sy);
          unsigned char *b = block + (y * 4 + x) * 4;
          b[0] = p.r, b[1] = p.g, b[2] = p.b, b[3] = p.a;
        }
      unsigned char dst[16];
      stb_compress_dxt_block(dst, block, alpha ? 1 : 0, STB_DXT_HIGHQUAL);
      out.insert(out.end(), dst, dst + (alpha ? 16 : 8));
    }
}
}  // namespace

std::vector<uint8_t> encode_dds(const Image &top, DdsFormat fmt, bool mips)
{
  int levels = 1;
  if (mips)
    for (int s = top.w > top.h ? top.w : top.h; s > 1; s /= 2)
      levels++;

  const bool block = fmt == DdsFormat::DXT1 || fmt == DdsFormat::DXT5;
  uint32_t topSize = block ? uint32_t(((top.w + 3) / 4) * ((top.h + 3) / 4) * (fmt == DdsFormat::DXT1 ? 8 : 16))
                           : uint32_t(top.w * (fmt == DdsFormat::L8 ? 1 : 4));

  std::vector<uint8_t> out = {'D', 'D', 'S', ' '};
  uint32_t flags = 0x1007 | (mips ? 0x20000u : 0u) | (block ? 0x80000u : 0x8u);
  put32(out, 124);
  put32(out, flags);
  put32(out, uint32_t(top.h));
  put32(out, uint32_t(top.w));
  put32(out, topSize);  // linear size of level 0, or the row pitch
  put32(out, 0);
  put32(out, uint32_t(levels));
  for (int i = 0; i < 11; i++)
    put32(out, 0);
  // Pixel format.
  put32(out, 32);
  switch (fmt)
  {
    case DdsFormat::DXT1:
    case DdsFormat::DXT5:
      put32(out, 0x4);
      out.insert(out.end(), {'D', 'X', 'T', uint8_t(fmt == DdsFormat::DXT1 ? '1' : '5')});
      for (int i = 0; i < 5; i++)
        put32(out, 0);
      break;
    case DdsFormat::A8R8G8B8:
      put32(out, 0x41);
      put32(out, 0);
      put32(out, 32);
      put32(out, 0xff0000);
      put32(out, 0xff00);
      put32(out, 0xff);
      put32(out, 0xff000000u);
      break;
    case DdsFormat::L8:
      put32(out, 0x20000);
      put32(out, 0);
      put32(out, 8);
      put32(out, 0xff);
      put32(out, 0);
      put32(out, 0);
      put32(out, 0);
      break;
  }
  put32(out, 0x1000 | (mips ? 0x400008u : 0u));  // texture, mipmap, complex
  for (int i = 0; i < 4; i++)
    put32(out, 0);

  Image level = top;
  for (int i = 0; i < levels; i++)
  {
    encode_level(level, fmt, out);
    if (i + 1 < levels)
      level = downsample(level);
  }
  return out;
}

bool write_file_atomic(const std::string &path, const std::vector<uint8_t> &bytes)
{
  std::string tmp = path + ".tmp";
  FILE *f = fopen(tmp.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok || rename(tmp.c_str(), path.c_str()) != 0)
  {
    remove(tmp.c_str());
    return false;
  }
  return true;
}
