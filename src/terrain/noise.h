#pragma once
// Deterministic noise for terrain generation. Everything depends only on the arguments and on
// two tables (noise_perm, feature_jitter) that reseed_noise derives from game_rnd_seed.
#include <array>
#include <cstdint>

#include "support/point2.h"
#include "terrain/game_rnd.h"

// A permutation of 0..255 repeated in 256..511, so noise_perm[a + noise_perm[b]] needs no mask.
extern std::array<uint8_t, 512> noise_perm;
// 256 feature points (jx, jy) in [0, 1] of the Voronoi cells, indexed by a cell hash.
extern std::array<float, 512> feature_jitter;
// Gradients of the 2D noise, indexed by hash & 7.
extern const float grad2[8][2];

// Rebuilds both tables from game_rnd_seed (1536 draws) and stores the advanced state back.
void reseed_noise();

// 1D gradient noise, zero at integers, roughly -1..1.
float noise1(float x);
// 2D gradient noise with period `tile` (a power of two up to 256) on both axes.
float tiled_noise2(float x, float y, int tile);

// The four nearest feature points among the 3 x 3 cells around (x, y): squared distances, cell
// ids ((cy & m) << 16 | (cx & m)) and offsets (feature point minus query point), nearest first;
// among equal distances the earlier visited cell comes first. The pattern repeats every
// 2^tile_shift cells (tile_shift is limited to 0..8). Any output may be null.
void tiled_voronoi_noise2_near4(float x, float y, int tile_shift, float *dist, int *ids, Point2 *offs);
// Offsets and ids of all nine cells around (x, y), rows bottom to top, columns left to right.
void tiled_voronoi_noise2_all9(float x, float y, int tile_shift, Point2 *offs, int *ids);

// Octave sums: the first octave, then each further octave at twice the frequency (coordinates
// 2v + 0.5) weighted by the next power of `persistence`. A curve (257 entries over -1..1) shapes
// each octave's value when given. Octave counts are capped at 16.
float fractal_noise1(float x, int octaves, const float *curve, float persistence);
float tiled_fractal_noise2(float x, float y, int tile, int octaves, const float *curve, float persistence);

// Curve shaping of a noise value v: the 257-entry curve sampled at (v + 1) / 2 * 256.
float shape_by_curve(float v, const float *curve);

inline int get_noise_hash1(int a) { return noise_perm[a & 255]; }
inline int get_noise_hash2(int a, int b) { return noise_perm[(a & 255) + noise_perm[b & 255]]; }
