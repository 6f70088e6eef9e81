#pragma once
// Checks of script-supplied arguments of the generation interface. A bad value is a script error
// (sqbind::SquirrelError), never a fatal error or a hang.
#include <squirrel.h>

#include <climits>
#include <cmath>

#include "script/sqbind.h"

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

inline int clamped_octaves(SQInteger octaves)
{
  return octaves < 0 ? 0 : octaves > MAX_NOISE_OCTAVES ? MAX_NOISE_OCTAVES : int(octaves);
}

// A script integer kept to the int range.
inline int clamped_int(SQInteger n) { return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : int(n); }

// Raises "non-finite argument in <func>()" when any value is NaN or infinite.
void check_finite_args(const char *func, std::initializer_list<float> values);
