#include "tile_noise.h"

#include <cmath>

uint32_t hash32(uint32_t x)
{
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

uint32_t hash3(uint32_t a, uint32_t b, uint32_t c) { return hash32(a ^ hash32(b ^ hash32(c))); }

float hash_unit(uint32_t a, uint32_t b, uint32_t c) { return float(hash3(a, b, c) >> 8) * (1.0f / 16777216.0f); }

static int wrap(int i, int n) { return ((i % n) + n) % n; }

static float lattice_dot(int ix, int iy, int freq, uint32_t seed, float dx, float dy)
{
  float a = hash_unit(uint32_t(wrap(ix, freq)), uint32_t(wrap(iy, freq)), seed) * 6.28318530f;
  return std::cos(a) * dx + std::sin(a) * dy;
}

float tile_gradient(float u, float v, int freq, uint32_t seed)
{
  float x = u * float(freq), y = v * float(freq);
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  float fx = x - float(ix), fy = y - float(iy);
  float sx = fx * fx * fx * (fx * (fx * 6 - 15) + 10);
  float sy = fy * fy * fy * (fy * (fy * 6 - 15) + 10);
  float n00 = lattice_dot(ix, iy, freq, seed, fx, fy);
  float n10 = lattice_dot(ix + 1, iy, freq, seed, fx - 1, fy);
  float n01 = lattice_dot(ix, iy + 1, freq, seed, fx, fy - 1);
  float n11 = lattice_dot(ix + 1, iy + 1, freq, seed, fx - 1, fy - 1);
  float a = n00 + (n10 - n00) * sx, b = n01 + (n11 - n01) * sx;
  return (a + (b - a) * sy) * 1.4142f;
}

float tile_fbm(float u, float v, int freq, int octaves, float gain, uint32_t seed)
{
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; o++)
  {
    sum += tile_gradient(u, v, freq << o, seed + uint32_t(o) * 101u) * amp;
    norm += amp;
    amp *= gain;
  }
  return sum / norm;
}

WorleyResult tile_worley(float u, float v, int freq, uint32_t seed)
{
  float x = u * float(freq), y = v * float(freq);
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  WorleyResult r{1e9f, 1e9f, 0, 0, 0};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++)
    {
      int cx = ix + dx, cy = iy + dy;
      uint32_t cxw = uint32_t(wrap(cx, freq)), cyw = uint32_t(wrap(cy, freq));
      float px = float(cx) + hash_unit(cxw, cyw, seed);
      float py = float(cy) + hash_unit(cxw, cyw, seed ^ 0x9e3779b9u);
      float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
      if (d < r.f1)
      {
        r.f2 = r.f1;
        r.f1 = d;
        r.id = hash3(cxw, cyw, seed);
        r.dx = x - px;
        r.dy = y - py;
      }
      else if (d < r.f2)
        r.f2 = d;
    }
  return r;
}
