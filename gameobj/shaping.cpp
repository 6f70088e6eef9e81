// The operations by which spells reshape the world, each around one point and nowhere beyond its
// reach. Heights go to target_hmap, so the land rises or sinks over the next steps as hmap morphs
// towards it; water goes straight into the water layer, where the simulation spreads it.
#include <algorithm>
#include <cmath>

#include "module.h"
#include "support/point2.h"

using HD = HeightmapData;

namespace
{
// Calls fn(index, distance) for every sample within `radius` of (x, z), across the seam.
template <class Fn>
void for_disc(float x, float z, float radius, Fn fn)
{
  if (!std::isfinite(x) || !std::isfinite(z) || !(radius > 0.f))
    return;
  radius = std::min(radius, float(HMAP_SIZE / 2 - 1));
  int z0 = int(std::ceil(z - radius)), z1 = int(std::floor(z + radius));
  int x0 = int(std::ceil(x - radius)), x1 = int(std::floor(x + radius));
  for (int iz = z0; iz <= z1; iz++)
    for (int ix = x0; ix <= x1; ix++)
    {
      float d = std::hypot(float(ix) - x, float(iz) - z);
      if (d <= radius)
        fn(hmap_idx(ix, iz), d);
    }
}

// 1 at the centre, 0 at the rim, flat at both ends.
float bump(float d, float radius)
{
  float c = 0.5f + 0.5f * std::cos(3.14159265f * std::min(d / radius, 1.f));
  return c * c;
}
}  // namespace

void create_hill(float x, float z, float radius, float height)
{
  if (!std::isfinite(height))
    return;
  for_disc(x, z, radius, [&](int i, float d) { HD::target_hmap[i] += height * bump(d, radius); });
}

void open_fault(float x, float z, float dir_x, float dir_z, float height)
{
  if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(height))
    return;
  // Balance 0.75: the far side rises by up to 0.75 height, the near side sinks by up to 0.25.
  HD::genFault(Point2{x, z}, Point2{dir_x, dir_z}, height, 0.75f, 8.f, nullptr, GT_NONE, 0, HD::target_hmap);
}

void blast_crater(float x, float z, float radius, float depth)
{
  if (!std::isfinite(x) || !std::isfinite(z))
    return;
  HD::genCrater(Point2{x, z}, radius, depth, HD::target_hmap);
  // Scorched ground inside the bowl, darkest at the middle.
  for_disc(x, z, radius, [&](int i, float d) {
    HD::Surface &s = HD::surface[i];
    if (s.ground_type == GT_HOUSE)
      return;
    float k = 0.7f * bump(d, radius);
    uint32_t c = s.color, out = c & 0xFF000000u;
    for (int sh = 0; sh < 24; sh += 8)
    {
      float ch = float((c >> sh) & 255u) * (1.f - k) + 40.f * k;
      out |= uint32_t(std::lround(ch)) << sh;
    }
    s.color = out;
    s.ground_type = GT_ROCK;
  });
}

void build_house(float x, float z, int kind)
{
  if (!std::isfinite(x) || !std::isfinite(z))
    return;
  HD::placeHouse(int(std::lround(x)), int(std::lround(z)), kind, HD::target_hmap, false);
}

void add_source_water(float x, float z, float radius, float amount)
{
  if (!std::isfinite(amount))
    return;
  // Spread with the bump's weights, so the water column has no step at the rim.
  float weight = 0.f;
  for_disc(x, z, radius, [&](int, float d) { weight += bump(d, radius); });
  if (!(weight > 0.f))
    return;
  for_disc(x, z, radius, [&](int i, float d) {
    float &depth = HD::water[i].depth;
    depth = std::max(0.f, depth + amount * bump(d, radius) / weight);
  });
}

void add_water_globe(float x, float z, float amount) { add_source_water(x, z, 3.f, amount); }
