#pragma once
// The common textbook particle eroder, as a yardstick for the game's droplet erosion: the design
// that most public terrain tools follow (a droplet with position, direction, speed, water and
// sediment; the slope from a bilinear gradient; capacity = max(-dh, minSlope) * speed * water *
// capacity factor; erosion over a precomputed radius brush, deposits on the four bilinear
// corners). It carries no colour. Written for the benchmark only; the game never uses it.
#include <cstdint>
#include <vector>

struct TextbookEroderParams
{
  float inertia = 0.05f, capacity = 4, min_slope = 0.01f, deposition = 0.1f, erosion = 0.1f;
  float gravity = 4, evaporation = 0.02f;
  int radius = 3, max_steps = 30;
};

struct TextbookEroder
{
  // A size x size map that wraps at its edges; size is a power of two.
  TextbookEroder(int size, const TextbookEroderParams &params);
  // Runs `droplets` droplets from random starts drawn from `seed`; returns their steps in all.
  uint64_t erode(float *map, unsigned droplets, uint64_t seed) const;

private:
  int size, mask;
  TextbookEroderParams p;
  std::vector<int> brush_dx, brush_dz;  // brush cells relative to the droplet's cell
  std::vector<float> brush_w;           // their weights, summing to 1
};
