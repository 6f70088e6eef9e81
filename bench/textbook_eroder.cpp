#include "textbook_eroder.h"

#include <algorithm>
#include <cmath>

#include "terrain/game_rnd.h"

TextbookEroder::TextbookEroder(int size_, const TextbookEroderParams &params)
  : size(size_), mask(size_ - 1), p(params)
{
  float sum = 0;
  for (int dz = -p.radius; dz <= p.radius; dz++)
    for (int dx = -p.radius; dx <= p.radius; dx++)
    {
      const float d = sqrtf(float(dx * dx + dz * dz));
      if (d >= float(p.radius))
        continue;
      brush_dx.push_back(dx);
      brush_dz.push_back(dz);
      brush_w.push_back(1 - d / float(p.radius));
      sum += brush_w.back();
    }
  for (float &w : brush_w)
    w /= sum;
}

uint64_t TextbookEroder::erode(float *map, unsigned droplets, uint64_t seed) const
{
  auto at = [&](int x, int z) -> float & { return map[((z & mask) * size) + (x & mask)]; };
  uint64_t total = 0;
  for (unsigned n = 0; n < droplets; n++)
  {
    float x = game_rnd_unit(game_rnd_step(seed)) * float(size);
    float z = game_rnd_unit(game_rnd_step(seed)) * float(size);
    float dx = 0, dz = 0, speed = 1, water = 1, sediment = 0;
    for (int step = 0; step < p.max_steps; step++)
    {
      const int ix = int(floorf(x)), iz = int(floorf(z));
      const float fx = x - float(ix), fz = z - float(iz);
      // Height and gradient from the bilinear surface of the droplet's cell.
      const float h00 = at(ix, iz), h10 = at(ix + 1, iz), h01 = at(ix, iz + 1), h11 = at(ix + 1, iz + 1);
      const float gx = (h10 - h00) * (1 - fz) + (h11 - h01) * fz;
      const float gz = (h01 - h00) * (1 - fx) + (h11 - h10) * fx;
      const float h = h00 * (1 - fx) * (1 - fz) + h10 * fx * (1 - fz) + h01 * (1 - fx) * fz + h11 * fx * fz;

      dx = dx * p.inertia - gx * (1 - p.inertia);
      dz = dz * p.inertia - gz * (1 - p.inertia);
      const float len = sqrtf(dx * dx + dz * dz);
      if (len < 1e-6f)
        break;  // on flat ground the droplet stops
      dx /= len;
      dz /= len;
      x += dx;
      z += dz;
      total++;

      const int jx = int(floorf(x)), jz = int(floorf(z));
      const float ex = x - float(jx), ez = z - float(jz);
      const float nh = at(jx, jz) * (1 - ex) * (1 - ez) + at(jx + 1, jz) * ex * (1 - ez) +
                       at(jx, jz + 1) * (1 - ex) * ez + at(jx + 1, jz + 1) * ex * ez;
      const float dh = nh - h;
      const float capacity = std::max(-dh, p.min_slope) * speed * water * p.capacity;
      if (sediment > capacity || dh > 0)
      {
        // Uphill: fill the step up to the sediment carried; downhill: drop part of the surplus.
        const float amount = dh > 0 ? std::min(dh, sediment) : (sediment - capacity) * p.deposition;
        sediment -= amount;
        at(ix, iz) += amount * (1 - fx) * (1 - fz);
        at(ix + 1, iz) += amount * fx * (1 - fz);
        at(ix, iz + 1) += amount * (1 - fx) * fz;
        at(ix + 1, iz + 1) += amount * fx * fz;
      }
      else
      {
        const float amount = std::min((capacity - sediment) * p.erosion, -dh);
        for (size_t b = 0; b < brush_w.size(); b++)
          at(ix + brush_dx[b], iz + brush_dz[b]) -= amount * brush_w[b];
        sediment += amount;
      }
      speed = sqrtf(std::max(0.f, speed * speed - dh * p.gravity));
      water *= 1 - p.evaporation;
    }
  }
  return total;
}
