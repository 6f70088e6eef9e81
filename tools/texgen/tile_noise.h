#pragma once
// Tileable noise for texture synthesis. Coordinates u, v are in [0, 1) over the texture; every
// pattern repeats exactly at the texture's edges so the textures tile without seams.
#include <cstdint>

uint32_t hash32(uint32_t x);
uint32_t hash3(uint32_t a, uint32_t b, uint32_t c);
float hash_unit(uint32_t a, uint32_t b, uint32_t c);  // [0, 1)

// Gradient noise in about [-1, 1] on a lattice of `freq` cells across the texture.
float tile_gradient(float u, float v, int freq, uint32_t seed);
// Fractal sum of tile_gradient: octaves double the frequency; result in about [-1, 1].
float tile_fbm(float u, float v, int freq, int octaves, float gain, uint32_t seed);

struct WorleyResult
{
  float f1, f2;    // distances to the nearest and second nearest feature point, in cells
  uint32_t id;     // the nearest point's cell hash
  float dx, dy;    // from the nearest point to the sample, in cells
};
// Cellular noise with one feature point per cell of a freq x freq grid.
WorleyResult tile_worley(float u, float v, int freq, uint32_t seed);

inline float clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }
inline float smoothstep(float a, float b, float x)
{
  float t = clamp01((x - a) / (b - a));
  return t * t * (3 - 2 * t);
}
inline uint8_t to_byte(float x) { return uint8_t(clamp01(x) * 255.0f + 0.5f); }
