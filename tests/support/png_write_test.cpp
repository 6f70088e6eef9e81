#include "support/png_write.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

TEST(PngWrite, SixteenBitGreyRoundTripsThroughADecoder)
{
  const int w = 7, h = 3;
  std::vector<uint16_t> grey(w * h);
  for (int i = 0; i < w * h; i++)
    grey[i] = uint16_t(i * 3000 + 17);
  uint8_t *png = nullptr;
  int len = 0;
  ASSERT_TRUE(encode_png_grey16(w, h, grey.data(), png, len));
  int rw, rh, n;
  stbi_us *px = stbi_load_16_from_memory(png, len, &rw, &rh, &n, 0);
  ASSERT_TRUE(px) << stbi_failure_reason();
  EXPECT_EQ(rw, w);
  EXPECT_EQ(rh, h);
  EXPECT_EQ(n, 1);
  for (int i = 0; i < w * h; i++)
    ASSERT_EQ(px[i], grey[i]);
  stbi_image_free(px);
  free(png);
  EXPECT_FALSE(encode_png_grey16(0, 3, grey.data(), png, len));
}

TEST(PngWrite, FilesAreCompleteOrReportedAsFailed)
{
  const char *base = getenv("QM_TEST_TMP");
  std::string path = std::string(base ? base : "/tmp") + "/qm_png_write_test.f32";
  const float values[3] = {1.0f, -2.5f, 0.0f};
  ASSERT_TRUE(write_float_file(path.c_str(), values, 3));
  std::ifstream f(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), {});
  ASSERT_EQ(bytes.size(), 12u);
  // Little-endian 1.0f = 00 00 80 3F.
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x00\x00\x80\x3F", 4));
  std::remove(path.c_str());

  const uint8_t rgb[12] = {};
  EXPECT_FALSE(write_png_rgb8("/nonexistent-dir/x.png", 2, 2, rgb));
  EXPECT_FALSE(write_png_grey16("/nonexistent-dir/x.png", 1, 1, reinterpret_cast<const uint16_t *>(rgb)));
  EXPECT_FALSE(write_float_file("/nonexistent-dir/x.f32", values, 3));
}
