// The TGA reader: row and column orders, image IDs, and a table of files it must refuse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/file_stream.h"
#include "support/tga_read.h"

namespace
{
// A 32-bit TGA of `w` x `h` whose pixel (x, y) counted from the top-left of the picture is
// 0xAARRGGBB = (y << 8 | x) | 0xFF000000, stored in the order `descriptor` says.
std::vector<uint8_t> make_tga(int w, int h, uint8_t descriptor, int id_len = 0, int type = 2, int bpp = 32,
                              int cmap = 0)
{
  std::vector<uint8_t> f(18, 0);
  f[0] = uint8_t(id_len);
  f[1] = uint8_t(cmap);
  f[2] = uint8_t(type);
  f[12] = uint8_t(w), f[13] = uint8_t(w >> 8), f[14] = uint8_t(h), f[15] = uint8_t(h >> 8);
  f[16] = uint8_t(bpp);
  f[17] = descriptor;
  for (int i = 0; i < id_len; i++)
    f.push_back(uint8_t(0xA0 + i));
  const bool top = descriptor & 0x20, right = descriptor & 0x10;
  for (int r = 0; r < h; r++)
    for (int c = 0; c < w; c++)
    {
      const int y = top ? r : h - 1 - r, x = right ? w - 1 - c : c;
      const uint32_t p = 0xFF000000u | uint32_t(y << 8 | x);
      f.insert(f.end(), {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)});
    }
  return f;
}

const char *parse(const std::vector<uint8_t> &f, int &w, int &h, DynArray<uint32_t> &px)
{
  int pos = 0;
  return parse_tga(f.data(), f.size(), w, h, px, pos);
}
}  // namespace

TEST(TgaRead, EveryRowAndColumnOrderGivesThePictureTopLeftFirst)
{
  for (uint8_t descriptor : {0x08, 0x28, 0x18, 0x38})  // bottom-up, top-down, and both mirrored
    for (int id_len : {0, 1, 255})
    {
      int w = 0, h = 0;
      DynArray<uint32_t> px;
      ASSERT_EQ(parse(make_tga(5, 3, descriptor, id_len), w, h, px), nullptr);
      ASSERT_EQ(w, 5);
      ASSERT_EQ(h, 3);
      for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
          ASSERT_EQ(px[y * 5 + x], 0xFF000000u | uint32_t(y << 8 | x))
              << "descriptor " << int(descriptor) << ", id " << id_len << ", at " << x << "," << y;
    }
}

TEST(TgaRead, RefusedFiles)
{
  std::vector<uint8_t> truncated = make_tga(16, 16, 0x28);
  truncated.pop_back();
  std::vector<uint8_t> huge = make_tga(1, 1, 0x28);  // claims 65535 x 65535 with 4 pixel bytes
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  std::vector<uint8_t> id_past_end = make_tga(1, 1, 0x28);
  id_past_end[0] = 200;
  const struct
  {
    const char *what;
    std::vector<uint8_t> file;
    const char *reason;
  } rows[] = {
      {"empty", {}, "truncated TGA header"},
      {"17-byte header", std::vector<uint8_t>(17, 0), "truncated TGA header"},
      {"colour-mapped", make_tga(2, 2, 0x28, 0, 1, 8, 1), "colour maps"},
      {"true colour with a colour map", make_tga(2, 2, 0x28, 0, 2, 32, 1), "colour maps"},
      {"24-bit", make_tga(2, 2, 0x28, 0, 2, 24), "unsupported TGA format"},
      {"run-length encoded", make_tga(2, 2, 0x28, 0, 10, 32), "unsupported TGA format"},
      {"greyscale", make_tga(2, 2, 0x28, 0, 3, 32), "unsupported TGA format"},
      {"zero width", make_tga(0, 2, 0x28), "zero-sized TGA image"},
      {"zero height", make_tga(2, 0, 0x28), "zero-sized TGA image"},
      {"one pixel byte short", truncated, "truncated TGA file"},
      {"65535 x 65535 in a few bytes", huge, "truncated TGA file"},
      {"image ID past the end", id_past_end, "truncated TGA file"},
  };
  for (const auto &r : rows)
  {
    int w = 7, h = 7;
    DynArray<uint32_t> px;
    px.push_back(1);
    const char *why = parse(r.file, w, h, px);
    ASSERT_NE(why, nullptr) << r.what;
    EXPECT_NE(std::string(why).find(r.reason), std::string::npos) << r.what << ": " << why;
    EXPECT_TRUE(px.empty()) << r.what;
    EXPECT_EQ(w * h, 0) << r.what;
  }
}

TEST(TgaRead, FilesThrowFormatErrorsWithThePosition)
{
  const char *base = getenv("QM_TEST_TMP");
  std::filesystem::create_directories(base ? base : "/tmp");
  const std::string path = std::string(base ? base : "/tmp") + "/qm_tga_" + std::to_string(getpid()) + ".tga";
  auto write = [&](const std::vector<uint8_t> &f) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(f.data()), long(f.size()));
  };
  int w = 0, h = 0;
  DynArray<uint32_t> px;
  write(make_tga(16, 16, 0x08, 1));  // a 16 x 16 image with an image ID byte
  ASSERT_TRUE(read_tga(path.c_str(), w, h, px));
  EXPECT_EQ(px.size(), 256);
  EXPECT_EQ(px[0], 0xFF000000u);

  write(make_tga(2, 2, 0x28, 0, 2, 24));
  try
  {
    read_tga(path.c_str(), w, h, px);
    ADD_FAILURE() << "a 24-bit file was read";
  }
  catch (const InputStream::Exception &e)
  {
    EXPECT_NE(std::string(e.message).find("unsupported TGA format"), std::string::npos) << e.message;
    EXPECT_EQ(e.position, 16);  // the pixel depth
  }
  std::filesystem::remove(path);
}
