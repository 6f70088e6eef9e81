#pragma once
// Internals of droplet erosion shared with its tests.

// A droplet stops after this many steps; such a path is logged as too long.
constexpr int EROSION_MAX_STEPS = 1024;


#include <cstdint>

// Counters of the last genDropletErosion run (the figures of its two statistics lines).
struct ErosionStats
{
  uint64_t droplets = 0, total_steps = 0, long_paths = 0, random_dirs = 0;
  double seconds = 0;
};
extern ErosionStats last_erosion_stats;
