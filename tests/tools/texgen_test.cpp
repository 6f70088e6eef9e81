#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image.h"
#include "textures.h"

namespace
{
uint32_t word(const std::vector<uint8_t> &b, int i)
{
  return uint32_t(b[4 + i * 4]) | uint32_t(b[5 + i * 4]) << 8 | uint32_t(b[6 + i * 4]) << 16 | uint32_t(b[7 + i * 4]) << 24;
}

Image gradient(int w, int h)
{
  Image img(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      img.at(x, y) = Rgba{uint8_t(x), uint8_t(y), uint8_t(x ^ y), 200};
  return img;
}

// Mean absolute difference between two columns (or the wrap-around pair).
double column_step(const Image &img, int a, int b)
{
  double sum = 0;
  for (int y = 0; y < img.h; y++)
    sum += std::abs(int(img.at(a, y).r) - int(img.at(b, y).r));
  return sum / img.h;
}
}  // namespace

TEST(DdsWriter, BlockFormatHeaderAndFullMipChain)
{
  std::vector<uint8_t> f = encode_dds(gradient(256, 256), DdsFormat::DXT1, true);
  ASSERT_EQ(memcmp(f.data(), "DDS ", 4), 0);
  EXPECT_EQ(word(f, 0), 124u);
  EXPECT_EQ(word(f, 1) & 0x1007u, 0x1007u);
  EXPECT_EQ(word(f, 1) & 0x80008u, 0x80000u);  // linear size, never both
  EXPECT_EQ(word(f, 2), 256u);
  EXPECT_EQ(word(f, 3), 256u);
  EXPECT_EQ(word(f, 4), 64u * 64u * 8u);
  EXPECT_EQ(word(f, 6), 9u);
  EXPECT_EQ(word(f, 18), 32u);
  EXPECT_EQ(memcmp(&f[4 + 20 * 4], "DXT1", 4), 0);
  EXPECT_EQ(word(f, 26) & 0x401000u, 0x401000u);
  EXPECT_EQ(word(f, 27), 0u);  // no cube map
  size_t payload = 0;
  for (int s = 256; s >= 1; s /= 2)
    payload += size_t(std::max(1, s / 4)) * size_t(std::max(1, s / 4)) * 8;
  EXPECT_EQ(f.size(), 128 + payload);
}

TEST(DdsWriter, UncompressedFormatsKeepChannelOrder)
{
  Image img(2, 1);
  img.at(0, 0) = Rgba{10, 20, 30, 40};
  img.at(1, 0) = Rgba{50, 60, 70, 80};
  std::vector<uint8_t> argb = encode_dds(img, DdsFormat::A8R8G8B8, false);
  EXPECT_EQ(word(argb, 1) & 0x8u, 0x8u);  // pitch
  EXPECT_EQ(word(argb, 4), 8u);
  EXPECT_EQ(word(argb, 19), 0x41u);
  EXPECT_EQ(word(argb, 22), 0xff0000u);
  EXPECT_EQ(word(argb, 25), 0xff000000u);
  ASSERT_EQ(argb.size(), 128u + 8u);
  EXPECT_EQ(argb[128], 30);  // B, G, R, A in memory
  EXPECT_EQ(argb[130], 10);
  EXPECT_EQ(argb[131], 40);

  std::vector<uint8_t> l8 = encode_dds(img, DdsFormat::L8, false);
  EXPECT_EQ(word(l8, 19), 0x20000u);
  EXPECT_EQ(word(l8, 21), 8u);
  ASSERT_EQ(l8.size(), 128u + 2u);
  EXPECT_EQ(l8[129], 50);
}

TEST(DdsWriter, DownsampleAveragesAndStopsAtOne)
{
  Image img(2, 2);
  img.at(0, 0) = Rgba{0, 0, 0, 0};
  img.at(1, 0) = Rgba{100, 0, 0, 0};
  img.at(0, 1) = Rgba{100, 0, 0, 0};
  img.at(1, 1) = Rgba{200, 255, 0, 0};
  Image d = downsample(img);
  ASSERT_EQ(d.w, 1);
  EXPECT_EQ(d.at(0, 0).r, 100);
  EXPECT_EQ(d.at(0, 0).g, 64);
  Image e = downsample(d);
  EXPECT_EQ(e.w, 1);
  EXPECT_EQ(e.h, 1);
}

TEST(Textures, TilingSurfacesAreSeamlessAndReproducible)
{
  for (Image (*make)() : {make_detail_texture, make_foam_texture})
  {
    Image a = make();
    Image b = make();
    EXPECT_EQ(memcmp(a.px.data(), b.px.data(), a.px.size() * sizeof(Rgba)), 0);
    // Across the wrap the picture changes no more than between any two inner neighbours.
    double inner = 0;
    for (int x = 0; x + 1 < a.w; x += 7)
      inner = std::max(inner, column_step(a, x, x + 1));
    EXPECT_LE(column_step(a, a.w - 1, 0), inner * 1.5 + 1.0);
  }
}

TEST(Textures, AtlasCellsStayInsideTheirBorders)
{
  Image atlas = make_blendfx_atlas();
  ASSERT_EQ(atlas.w, 512);
  ASSERT_EQ(atlas.h, 256);
  // The outermost texel ring of every 64x64 cell is empty, so filtering never bleeds.
  for (int y = 0; y < atlas.h; y++)
    for (int x = 0; x < atlas.w; x++)
    {
      bool border = x % 64 == 0 || x % 64 == 63 || y % 64 == 0 || y % 64 == 63;
      ASSERT_TRUE(!border || atlas.at(x, y).a == 0) << x << "," << y;
    }
  // ... and the cells are not empty.
  int covered = 0;
  for (const Rgba &p : atlas.px)
    covered += p.a > 128;
  EXPECT_GT(covered, 512 * 256 / 20);
}
