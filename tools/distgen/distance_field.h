#pragma once
// Distance fields from high-resolution binary masks: an exact Euclidean distance transform of the
// mask (to the nearest inside and the nearest outside pixel), turned into a signed distance and
// averaged down to texels.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Mask
{
  int w = 0, h = 0;
  std::vector<uint8_t> px;  // 1 inside
  Mask() = default;
  Mask(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * size_t(h_), 0) {}
  uint8_t &at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

// Squared distance of every pixel to the nearest pixel whose mask value equals `target` (exact;
// the Felzenszwalb-Huttenlocher lower envelope of parabolas, columns then rows).
std::vector<double> squared_distance(const Mask &m, uint8_t target);

// The distance field of `m` downsampled by `factor` (m's sizes are multiples of it): each texel is
// 0.5 + d / (2 spread), clamped to 0..1, as a byte, where d is the mean signed distance (inside
// positive) over the texel's factor x factor pixels, in texels; `spread` in texels.
std::vector<uint8_t> distance_texels(const Mask &m, int factor, int spread);
