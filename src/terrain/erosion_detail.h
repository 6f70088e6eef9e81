#pragma once
// Internals of droplet erosion shared with its tests.

// A droplet stops after this many steps; such a path is logged as too long.
constexpr int EROSION_MAX_STEPS = 1024;

#include <cstdint>

// Test hook, null in the game: called when a droplet ends, just before it leaves its whole load
// at its last position (cell ix, iz with fractions fx, fz). Nothing else calls it.
using ErosionStopHook = void (*)(int ix, int iz, float fx, float fz, float load);
extern ErosionStopHook erosion_stop_hook;

// Counters of the last genDropletErosion run (the figures of its two statistics lines).
struct ErosionStats
{
  uint64_t droplets = 0, total_steps = 0, long_paths = 0, random_dirs = 0;
  double seconds = 0;
};
extern ErosionStats last_erosion_stats;
