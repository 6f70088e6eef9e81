// Craters: a spherical bowl below the local mean height with a raised-looking rim band, cut into
// the terrain without ever raising it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "support/math_util.h"
#include "terrain/hmap_data.h"

namespace
{
// The integer coordinates ceil(c - ext) .. floor(c + ext), at most one world across (ext is
// limited to 128), so that every sample is visited at most once and its offset from c is the
// toroidal one. NaN or negative extents visit nothing or one world.
struct CellSpan
{
  int64_t first;
  int count;
};

CellSpan cell_span(float c, float ext)
{
  if (!(ext <= 128.f))
    ext = 128.f;
  int64_t first = -int64_t(ifloor(-(c - ext)));
  int64_t last = ifloor(c + ext);
  int64_t n = last - first + 1;
  return {first, int(n < 0 ? 0 : n > HMAP_SIZE ? HMAP_SIZE : n)};
}

// Visits the samples of the square spans around center with their squared distance.
template <class F>
void for_span(Point2 center, float ext, F &&f)
{
  CellSpan zs = cell_span(center.y, ext), xs = cell_span(center.x, ext);
  for (int iz = 0; iz < zs.count; iz++)
  {
    int64_t z = zs.first + iz;
    float dz = float(z) - center.y;
    int row = int(z & (HMAP_SIZE - 1)) << HMAP_SIZE_SHIFT;
    for (int ix = 0; ix < xs.count; ix++)
    {
      int64_t x = xs.first + ix;
      float dx = float(x) - center.x;
      f(row | int(x & (HMAP_SIZE - 1)), dx * dx + dz * dz);
    }
  }
}
}  // namespace

void HeightmapData::genCrater(Point2 center, float radius, float depth, float *heights)
{
  const float r2 = radius * radius;
  float sum = 0;
  int count = 0;
  for_span(center, radius, [&](int i, float d2) {
    if (d2 < r2)
    {
      sum += heights[i];
      count++;
    }
  });
  const float h = count ? sum / float(count) : heights[hmap_idx(ifloor(center.x + 0.5f), ifloor(center.y + 0.5f))];
  const float rim = h - 1.5f * depth;

  for_span(center, 2 * radius, [&](int i, float d2) {
    const float r = std::sqrt(d2);
    if (!(r < 2 * radius))
      return;
    const float s = r - radius;
    const float u = s * 2.f / 3.f;
    const float t = 1 - u * u;  // rim band weight, used within 1.5 of the bowl edge
    float &cur = heights[i];
    if (r < radius)
    {
      float v = h - depth * std::sqrt(std::max(r2 - d2, 0.f));
      if (r > radius - 1.5f)
        v += t * (rim - v);
      if (v < cur)
        cur = v;
    }
    else
    {
      float w = h - depth * s;
      if (r < radius + 1.5f)
        w += t * (rim - w);
      if (w < cur)
      {
        float fade = 1 - s / radius;
        cur += (w - cur) * (fade * fade);
      }
    }
  });
}
