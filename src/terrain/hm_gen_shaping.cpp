// Whole-world noise operations of terrain generation: fast fractal noise, tiled gradient noise,
// Voronoi hills and Voronoi fault plateaus. Each is one pass over the 65536 samples; the random
// draws come from game_rnd_seed in a fixed order, so one seed gives one world.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "support/debug.h"
#include "support/temp_data.h"
#include "terrain/hm_gen_color.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"

// The tile must be a power of two. Written out rather than through G_ASSERT so that the test
// cannot overflow (tile - 1 of the most negative int); the report reads as the assertion's would.
#define CHECK_TILE(tile)                                                                        \
  do {                                                                                          \
    if (!((tile) > 0 && ((tile) & ((tile)-1)) == 0))                                            \
      fatal("%s(%d): failed ASSERT(%s)", __FILE__, __LINE__, "(tile&(tile-1))==0 && tile>0"); \
  } while (0)

namespace
{
inline float rnd_unit() { return game_rnd_unit(game_rnd()); }

inline int tile_shift(int tile) { return __builtin_ctz(unsigned(tile)); }

// Height of the plateau or hill that a Voronoi cell carries, chosen by a hash of its id.
inline float cell_height(const float *heights, int id)
{
  return heights[noise_perm[noise_perm[(id >> 16) & 255] + (id & 255)]];
}

// 256 heights min_ht + (max_ht - min_ht) * U, drawn in order.
void draw_cell_heights(float *heights, float min_ht, float max_ht)
{
  for (int k = 0; k < 256; k++)
    heights[k] = min_ht + (max_ht - min_ht) * rnd_unit();
}
}  // namespace

// Each level refines a grid of spacing d into one of spacing d / 2: every coarse cell (corners
// A, B, C, D) writes the four fine samples of its upper-left quarter with 9:3:3:1 weights plus
// noise, one draw per sample. Row by row, a cell's own corner A is the only coarse sample it
// overwrites, and the cells reading it as B, C or D come earlier, except across the wrap: the last
// column reads column 0 and the last row reads row 0 after they were refined. Those two lines of
// the coarse grid are kept as they were before the level.
void HeightmapData::makeFastNoise(float *out, float amplitude, float roughness)
{
  out[hmap_idx(0, 0)] = out[hmap_idx(128, 0)] = out[hmap_idx(0, 128)] = out[hmap_idx(128, 128)] = -0.5f;
  float a = amplitude;
  float row0[HMAP_SIZE], col0[HMAP_SIZE];
  for (int d = HMAP_SIZE / 2; d >= 2; d /= 2)
  {
    const int e = d / 2;
    for (int i = 0; i < HMAP_SIZE; i += d)
    {
      row0[i] = out[hmap_idx(i, 0)];
      col0[i] = out[hmap_idx(0, i)];
    }
    for (int z = 0; z < HMAP_SIZE; z += d)
    {
      const bool last_row = z + d == HMAP_SIZE;
      float *row = out + (z << HMAP_SIZE_SHIFT);
      const float *next = last_row ? nullptr : out + ((z + d) << HMAP_SIZE_SHIFT);
      for (int x = 0; x < HMAP_SIZE; x += d)
      {
        const bool last_col = x + d == HMAP_SIZE;
        float A = row[x];
        float B = last_col ? col0[z] : row[x + d];
        float C = last_row ? row0[x] : next[x];
        float D = last_row ? row0[last_col ? 0 : x + d] : last_col ? col0[z + d] : next[x + d];
        row[x] = (9.f * A + 3.f * B + 3.f * C + D) / 16.f + a * rnd_unit();
        row[x + e] = (9.f * B + 3.f * A + 3.f * D + C) / 16.f + a * rnd_unit();
        float *below = row + (e << HMAP_SIZE_SHIFT);
        below[x] = (9.f * C + 3.f * A + 3.f * D + B) / 16.f + a * rnd_unit();
        below[x + e] = (9.f * D + 3.f * B + 3.f * C + A) / 16.f + a * rnd_unit();
      }
    }
    a *= roughness;
  }
}

void HeightmapData::addFastNoise(float min_ht, float max_ht, const ColorRamp *ramp, int ground, int alpha,
                                 float roughness)
{
  G_ASSERT(min_ht<=max_ht);
  G_ASSERT(min_ht>=0);
  TempDataMap tmp;
  float *noise = tmp.as<float>();
  makeFastNoise(noise, 1.0f, roughness);
  alpha = clamp_alpha_byte(alpha);
  const float range = max_ht - min_ht;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float l = noise[i];
    if (ramp)
      surface[i].color = blend_ramp_color(surface[i].color, *ramp, l, alpha);
    if (ground != GT_NONE)
      surface[i].ground_type = unsigned(ground) & 15;
    hmap[i] += l * range + min_ht;
  }
}

void HeightmapData::addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float persistence)
{
  G_ASSERT(min_ht<=max_ht);
  G_ASSERT(min_ht>=0);
  CHECK_TILE(tile);
  const float range = max_ht - min_ht;
  const float ftile = float(tile);
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float fz = float(z) * ftile / 256.f;
    float *row = hmap + (z << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float n = tiled_fractal_noise2(float(x) * ftile / 256.f, fz, tile, octaves, nullptr, persistence);
      float r = n * 0.286f + 0.5f;
      row[x] += std::max(r, 0.f) * range + min_ht;
    }
  }
}

void HeightmapData::addVoronoiHills(int tile, float min_ht, float max_ht, float radius)
{
  CHECK_TILE(tile);
  const int s = tile_shift(tile);
  float hill[256];
  draw_cell_heights(hill, min_ht, max_ht);
  const float r2 = radius * radius;
  const float ftile = float(tile);
  Point2 offs[9];
  int ids[9];
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float fz = float(z) * ftile / 256.f;
    float *row = hmap + (z << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      tiled_voronoi_noise2_all9(float(x) * ftile / 256.f, fz, s, offs, ids);
      // Hills never lower the land: the best candidate starts at 0.
      float best = 0;
      for (int c = 0; c < 9; c++)
      {
        float w = 1 - (offs[c].x * offs[c].x + offs[c].y * offs[c].y) / r2;
        if (w > 0)
          best = std::max(best, w * cell_height(hill, ids[c]));
      }
      row[x] += best;
    }
  }
}

void HeightmapData::genVoronoiFaults(int tile, float min_ht, float max_ht, float warp, int warp_scale, int octaves,
                                     float sharpness)
{
  CHECK_TILE(tile);
  const int s = tile_shift(tile);
  float plateau[256];
  draw_cell_heights(plateau, min_ht, max_ht);
  // The warp noise has the period warp_scale * tile. Its lattice mask depends only on that period
  // modulo 256, so the noise gets the reduced period, which keeps the octave doubling in range.
  const int64_t wt = int64_t(warp_scale) * tile;
  const int warp_tile = int(wt & 255);
  const float l = float(wt) / 256.f;
  const float m = float(tile) / 256.f;
  const float g = sharpness / m;
  float dist[4];
  int ids[4];
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float *row = hmap + (z << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float wx = tiled_fractal_noise2(float(x) * l, float(z) * l, warp_tile, octaves, nullptr, 0.5f);
      float wz = tiled_fractal_noise2(float(z) * l, float(x) * l, warp_tile, octaves, nullptr, 0.5f);
      tiled_voronoi_noise2_near4(wx * warp + float(x) * m, wz * warp + float(z) * m, s, dist, ids, nullptr);
      float D = cell_height(plateau, ids[0]);
      float Hn = cell_height(plateau, ids[1]);
      // Equal plateaus divide by 0.1, never by 0, and give D on both sides of the border.
      float t = (std::sqrt(dist[1]) - std::sqrt(dist[0])) * g / std::max(std::fabs(D - Hn), 0.1f);
      row[x] += t > 1 ? D : ((D - Hn) * t + D + Hn) / 2;
    }
  }
}
