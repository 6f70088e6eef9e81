// Highest point of the bilinear surface over a square: the maximum of a bilinear patch lies on
// its border, so the candidates are the square's corners, the points where its edges cross
// grid lines, and the grid samples inside it.
#include <algorithm>
#include <cmath>

#include "support/math_util.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
struct LandSurface
{
  bool with_water;
  float at(int x, int z) const
  {
    const int i = hmap_idx(x, z);
    return with_water ? HD::hmap[i] + HD::water[i].depth : HD::hmap[i];
  }
  float bilinear(float px, float pz) const
  {
    const int fi = ifloor(px), fj = ifloor(pz);
    const float fx = px - float(fi), fz = pz - float(fj);
    const int i = fi & 255, j = fj & 255;
    const float a = at(i, j) + (at(i + 1, j) - at(i, j)) * fx;
    const float b = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * fx;
    return a + (b - a) * fz;
  }
};
}  // namespace

vec4f HeightmapData::calcSquareDepth(vec4f pos, float half_size, bool with_water)
{
  alignas(16) float p[4];
  _mm_store_ps(p, pos.m);
  // Beyond half the world a square would visit samples twice; NaN or negative sizes mean a point.
  const float hs = half_size > 0 ? std::min(half_size, 127.5f) : 0.f;
  const LandSurface s{with_water};
  // The world repeats every 256 units: positions are taken modulo 256 (exactly) first, so that
  // far-away or broken coordinates cannot overflow the cell loops.
  const float x = fmodf(p[0], 256), z = fmodf(p[2], 256);
  const float x0 = x - hs, x1 = x + hs, z0 = z - hs, z1 = z + hs;
  float m = s.bilinear(x0, z0);
  auto take = [&m](float v) {
    if (v > m)
      m = v;
  };
  take(s.bilinear(x1, z0));
  take(s.bilinear(x0, z1));
  take(s.bilinear(x1, z1));
  const int gx0 = ifloor(x0) + 1, gx1 = ifloor(x1), gz0 = ifloor(z0) + 1, gz1 = ifloor(z1);
  for (int gx = gx0; gx <= gx1; gx++)
  {
    take(s.bilinear(float(gx), z0));
    take(s.bilinear(float(gx), z1));
  }
  for (int gz = gz0; gz <= gz1; gz++)
  {
    take(s.bilinear(x0, float(gz)));
    take(s.bilinear(x1, float(gz)));
  }
  for (int gz = gz0; gz <= gz1; gz++)
    for (int gx = gx0; gx <= gx1; gx++)
      take(s.at(gx, gz));
  return v_splats(m - p[1]);
}
