// Heights and normals of the land from the world arrays (the world wraps at 256).
#include <cmath>

#include "module.h"

using HD = HeightmapData;

namespace
{
// Bilinear interpolation of a per-sample value; non-finite coordinates read sample (0, 0).
template <class Sample>
float bilinear(float x, float z, Sample sample)
{
  if (!std::isfinite(x) || !std::isfinite(z))
    x = z = 0.f;
  float fx = std::floor(x), fz = std::floor(z);
  float tx = x - fx, tz = z - fz;
  // Wrap before converting, so that huge coordinates stay in range.
  int ix = int(std::fmod(fx, float(HMAP_SIZE)) + (fx < 0 ? HMAP_SIZE : 0));
  int iz = int(std::fmod(fz, float(HMAP_SIZE)) + (fz < 0 ? HMAP_SIZE : 0));
  float h00 = sample(hmap_idx(ix, iz)), h10 = sample(hmap_idx(ix + 1, iz));
  float h01 = sample(hmap_idx(ix, iz + 1)), h11 = sample(hmap_idx(ix + 1, iz + 1));
  float a = h00 + (h10 - h00) * tx;
  float b = h01 + (h11 - h01) * tx;
  return a + (b - a) * tz;
}
}  // namespace

float get_land_height(float x, float z)
{
  return bilinear(x, z, [](int i) { return HD::hmap[i]; });
}

float get_floor_height(float x, float z)
{
  return bilinear(x, z, [](int i) { return HD::hmap[i] + HD::water[i].depth; });
}

vec4f calc_land_norm(float x, float z)
{
  float dx = get_land_height(x - 1.f, z) - get_land_height(x + 1.f, z);
  float dz = get_land_height(x, z - 1.f) - get_land_height(x, z + 1.f);
  float len = std::sqrt(dx * dx + 4.f + dz * dz);
  return v_make(dx / len, 2.f / len, dz / len, 0.f);
}
