#pragma once
// RGBA8 images and the DDS writer of the texture tool.
#include <cstdint>
#include <string>
#include <vector>

struct Rgba
{
  uint8_t r, g, b, a;
};

struct Image
{
  int w = 0, h = 0;
  std::vector<Rgba> px;
  Image() = default;
  Image(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * size_t(h_), Rgba{0, 0, 0, 0}) {}
  Rgba &at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
  const Rgba &at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

enum class DdsFormat
{
  DXT1,
  DXT5,
  A8R8G8B8,
  L8,  // from the red channel
};

// Halves an image with a 2x2 box filter (sizes are powers of two; 1 stays 1).
Image downsample(const Image &src);

// Encodes an image with its full mip chain down to 1x1 into the bytes of a DDS file.
std::vector<uint8_t> encode_dds(const Image &top, DdsFormat fmt, bool mips);

// Writes a file through a temporary name and a rename; false (with errno intact) on failure.
bool write_file_atomic(const std::string &path, const std::vector<uint8_t> &bytes);
