#pragma once
// Checks of script-supplied arguments of the generation interface. A bad value is a script error
// (sqbind::SquirrelError), never a fatal error or a hang.
#include <squirrel.h>

#include <climits>
#include <cmath>

#include "script/sqbind.h"
#include "terrain/hmap_data.h"

// Octave counts beyond this add nothing visible and only cost time.
constexpr int MAX_NOISE_OCTAVES = 16;

// A tile (period in noise cells) must be a power of two from 1 to 256; `message` is raised
// otherwise.
inline int checked_tile(SQInteger tile, const char *message)
{
  if (tile < 1 || tile > 256 || (tile & (tile - 1)) != 0)
    sqbind::throw_error(message);
  return int(tile);
}

// A world coordinate reduced into (-256, 256) by a multiple of the world size: the world wraps,
// and a huge coordinate must never reach an int conversion or a loop bound. fmod is exact and
// keeps the sign, so a coordinate inside that range keeps its value bit for bit, and any other
// one gives the same offsets to the samples as before (worlds do not change). NaN and
// infinities give NaN.
inline float wrap_world_coord(float c) { return std::fmod(c, float(HMAP_SIZE)); }

inline int clamped_octaves(SQInteger octaves)
{
  return octaves < 0 ? 0 : octaves > MAX_NOISE_OCTAVES ? MAX_NOISE_OCTAVES : int(octaves);
}

// A script integer kept to the int range.
inline int clamped_int(SQInteger n) { return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : int(n); }

// Raises "non-finite argument in <func>()" when any value is NaN or infinite.
void check_finite_args(const char *func, std::initializer_list<float> values);
// Raises "<func> function returned <value> at x <x>, z <z>" for a per-sample callback whose result
// is NaN or infinite (a world of such values cannot be simulated, drawn or saved).
[[noreturn]] void throw_non_finite_result(const char *func, float value, int x, int z);

// gen_droplet_erosion runs at most this many droplets (16 per world sample; the shipped worlds
// use about one) with at most this many colour reactions: together they keep the worst case (no
// evaporation, every droplet running its full path) to a minute or two instead of hours.
constexpr SQInteger MAX_EROSION_DROPLETS = SQInteger(16) * HMAP_SIZE * HMAP_SIZE;
constexpr SQInteger MAX_EROSION_REACTIONS = 8;
