#pragma once
#include <cmath>

#include "script/world_gen_args.h"
#include "support/math_util.h"
#include "terrain/hmap_data.h"

template <class Fn>
void for_each_in_circle(float x, float z, float radius, Fn &&fn)
{
  if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(x) || !std::isfinite(z))
    return;
  // The spans below come from the coordinates: reduced into the world they stay small.
  x = wrap_world_coord(x);
  z = wrap_world_coord(z);
  const float r2 = radius * radius;
  // The spans ceil(c - r)..floor(c + r); wider than the world, the 256 offsets in (-128, 128].
  auto span = [&](float c, int &lo, int &hi) {
    if (radius <= 128)
    {
      lo = int(std::ceil(c - radius));
      hi = ifloor(c + radius);
    }
    else
    {
      lo = ifloor(c - 128) + 1;
      hi = lo + 255;
    }
  };
  int x0, x1, z0, z1;
  span(x, x0, x1);
  span(z, z0, z1);
  for (int j = z0; j <= z1; j++)
  {
    const float dz = float(j) - z;
    for (int i = x0; i <= x1; i++)
    {
      const float dx = float(i) - x;
      const float d2 = dx * dx + dz * dz;
      if (d2 < r2)
        fn(hmap_idx(i, j), d2);
    }
  }
}
