#pragma once
// The game's random generator: a 64-bit linear congruential state advanced with Knuth's MMIX
// constants; each draw returns the high 32 bits of the new state. `game_rnd_seed` is the global
// state: one seed reproduces one world.
#include <cstdint>

#include "support/export.h"

QM_EXPORT extern uint64_t game_rnd_seed;

constexpr uint64_t GAME_RND_MUL = 6364136223846793005ull;  // 0x5851F42D4C957F2D
constexpr uint64_t GAME_RND_INC = 1442695040888963407ull;  // 0x14057B7EF767814F

// One step of the generator on any state.
constexpr uint32_t game_rnd_step(uint64_t &state)
{
  state = state * GAME_RND_MUL + GAME_RND_INC;
  return uint32_t(state >> 32);
}

// One draw from the global state.
inline uint32_t game_rnd() { return game_rnd_step(game_rnd_seed); }

// A draw as a float in [0, 1]: r / 2^32 rounded to float. Draws of 2^32 - 128 and above round
// to exactly 1.0; code that scales it into an index must clamp.
constexpr float game_rnd_unit(uint32_t r) { return float(r) / 4294967296.f; }
