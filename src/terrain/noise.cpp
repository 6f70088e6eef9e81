#include "terrain/noise.h"

#include <algorithm>
#include <cfloat>

#include "support/math_util.h"

namespace
{
struct NoiseTables
{
  std::array<uint8_t, 512> perm;
  std::array<float, 512> jitter;
};

// Fills the tables from a generator state and returns the advanced state.
constexpr uint64_t build_tables(uint64_t seed, NoiseTables &t)
{
  for (int i = 0; i < 256; i++)
    t.perm[i] = uint8_t(i);
  for (int pass = 0; pass < 4; pass++)
    for (int i = 0; i < 256; i++)
    {
      int j = game_rnd_step(seed) & 255;
      uint8_t v = t.perm[i];
      t.perm[i] = t.perm[j];
      t.perm[j] = v;
    }
  for (int i = 0; i < 256; i++)
    t.perm[256 + i] = t.perm[i];
  for (int i = 0; i < 512; i++)
    t.jitter[i] = game_rnd_unit(game_rnd_step(seed));
  return seed;
}

// The tables before the first reseed: those of the start-up seed 12345, built at compile time.
constexpr NoiseTables initial_tables()
{
  NoiseTables t{};
  build_tables(12345, t);
  return t;
}
constexpr NoiseTables initial = initial_tables();

inline float pow4(float v)
{
  float v2 = v * v;
  return v2 * v2;
}

// Gradient of the 1D noise: one of +-1..+-8.
inline float grad1(int h) { return float((h & 8) ? -((h & 7) + 1) : (h & 7) + 1); }

inline int voronoi_mask(int tile_shift) { return (1 << std::clamp(tile_shift, 0, 8)) - 1; }

constexpr int MAX_OCTAVES = 16;
}  // namespace

std::array<uint8_t, 512> noise_perm = initial.perm;
std::array<float, 512> feature_jitter = initial.jitter;

const float grad2[8][2] = {{0, 1}, {0, -1}, {-1, -1}, {1, -1}, {1, 0}, {-1, 0}, {-1, 1}, {1, 1}};

void reseed_noise()
{
  NoiseTables t{};
  game_rnd_seed = build_tables(game_rnd_seed, t);
  noise_perm = t.perm;
  feature_jitter = t.jitter;
}

float noise1(float x)
{
  int i = ifloor(x);
  float t = x - float(i);
  float g0 = grad1(noise_perm[i & 255]);
  float g1 = grad1(noise_perm[(unsigned(i) + 1) & 255]);
  float t1 = t - 1;
  float w0 = pow4(1 - t * t);
  float w1 = pow4(1 - t1 * t1);
  return 0.4f * (w0 * g0 * t + w1 * g1 * t1);
}

float tiled_noise2(float x, float y, int tile)
{
  int m = (tile - 1) & 255;
  int ix = ifloor(x), iy = ifloor(y);
  float fx = x - float(ix), fy = y - float(iy);
  // Neighbour cells in wrapping arithmetic: the saturated cell of a huge coordinate cannot overflow.
  int r0 = noise_perm[iy & m], r1 = noise_perm[(unsigned(iy) + 1) & m];
  int x0 = ix & m, x1 = (unsigned(ix) + 1) & m;
  const int hash[4] = {noise_perm[x0 + r0], noise_perm[x1 + r0], noise_perm[x0 + r1], noise_perm[x1 + r1]};
  float sum = 0;
  for (int c = 0; c < 4; c++)
  {
    float dx = fx - float(c & 1), dy = fy - float(c >> 1);
    float w = 1 - dx * dx - dy * dy;
    if (w > 0)
    {
      const float *g = grad2[hash[c] & 7];
      sum += pow4(w) * (g[0] * dx + g[1] * dy);
    }
  }
  return 2.75f * sum;
}

float shape_by_curve(float v, const float *curve)
{
  float u = (v + 1) * 0.5f * 256;
  if (!(u > 0))
    return curve[0];
  if (u >= 256)
    return curve[256];
  int k = int(u);
  return curve[k] + (curve[k + 1] - curve[k]) * (u - float(k));
}

float fractal_noise1(float x, int octaves, const float *curve, float persistence)
{
  octaves = std::min(octaves, MAX_OCTAVES);
  float v = noise1(x);
  float result = curve ? shape_by_curve(v, curve) : v;
  float a = persistence;
  x = 2 * x + 0.5f;
  for (int o = 1; o < octaves; o++)
  {
    v = noise1(x);
    result += a * (curve ? shape_by_curve(v, curve) : v);
    a *= persistence;
    x = 2 * x + 0.5f;
  }
  return result;
}

float tiled_fractal_noise2(float x, float y, int tile, int octaves, const float *curve, float persistence)
{
  octaves = std::min(octaves, MAX_OCTAVES);
  float v = tiled_noise2(x, y, tile);
  float result = curve ? shape_by_curve(v, curve) : v;
  float a = persistence;
  for (int o = 1; o < octaves; o++)
  {
    tile *= 2;
    x = 2 * x + 0.5f;
    y = 2 * y + 0.5f;
    v = tiled_noise2(x, y, tile);
    result += a * (curve ? shape_by_curve(v, curve) : v);
    a *= persistence;
  }
  return result;
}

namespace
{
// Cell i + d in wrapping arithmetic, so that the saturated cell of a huge coordinate neither
// overflows nor makes the 3 x 3 walk endless.
inline int neighbour_cell(int i, int d) { return int(unsigned(i) + unsigned(d)); }

// Feature point offset of cell (cx, cy) from (x, y) and the cell's id.
inline void voronoi_cell(int cx, int cy, int m, float x, float y, Point2 &off, int &id)
{
  int h = noise_perm[(cx & m) + noise_perm[cy & m]];
  off.x = float(cx) + feature_jitter[2 * h] - x;
  off.y = float(cy) + feature_jitter[2 * h + 1] - y;
  id = ((cy & m) << 16) | (cx & m);
}
}  // namespace

void tiled_voronoi_noise2_near4(float x, float y, int tile_shift, float *dist, int *ids, Point2 *offs)
{
  const int m = voronoi_mask(tile_shift);
  const int ix = ifloor(x), iy = ifloor(y);
  float nd[4] = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
  int nid[4] = {0, 0, 0, 0};
  Point2 noff[4] = {};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++)
    {
      const int cx = neighbour_cell(ix, dx), cy = neighbour_cell(iy, dy);
      Point2 off;
      int id;
      voronoi_cell(cx, cy, m, x, y, off, id);
      float d = off.x * off.x + off.y * off.y;
      // Goes in front of the first kept entry that is strictly farther; the last falls off.
      int k = 0;
      while (k < 4 && !(nd[k] > d))
        k++;
      for (int j = 3; j > k; j--)
      {
        nd[j] = nd[j - 1];
        nid[j] = nid[j - 1];
        noff[j] = noff[j - 1];
      }
      if (k < 4)
      {
        nd[k] = d;
        nid[k] = id;
        noff[k] = off;
      }
    }
  for (int k = 0; k < 4; k++)
  {
    if (dist)
      dist[k] = nd[k];
    if (ids)
      ids[k] = nid[k];
    if (offs)
      offs[k] = noff[k];
  }
}

void tiled_voronoi_noise2_all9(float x, float y, int tile_shift, Point2 *offs, int *ids)
{
  const int m = voronoi_mask(tile_shift);
  const int ix = ifloor(x), iy = ifloor(y);
  int n = 0;
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++, n++)
    {
      const int cx = neighbour_cell(ix, dx), cy = neighbour_cell(iy, dy);
      Point2 off;
      int id;
      voronoi_cell(cx, cy, m, x, y, off, id);
      if (offs)
        offs[n] = off;
      if (ids)
        ids[n] = id;
    }
}
