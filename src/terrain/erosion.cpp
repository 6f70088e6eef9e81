// Droplet erosion: droplets run downhill over hmap, erode where they are fast and under-loaded,
// deposit where they slow down or climb, and carry the colour of the ground they cut.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "support/debug.h"
#include "support/math_util.h"
#include "support/splash.h"
#include "terrain/color_util.h"
#include "terrain/erosion_detail.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
// Bilinear height of hmap at cell (ix, iz) with fractions (fx, fz), wrapping:
// a = h00 + (h10 - h00) fx, b = h01 + (h11 - h01) fx, result a + (b - a) fz.
inline float bilinear_height(int ix, int iz, float fx, float fz)
{
  const int x0 = ix & 255, x1 = (ix + 1) & 255, z0 = (iz & 255) << 8, z1 = ((iz + 1) & 255) << 8;
  const float h00 = HD::hmap[z0 | x0], h10 = HD::hmap[z0 | x1];
  const float h01 = HD::hmap[z1 | x0], h11 = HD::hmap[z1 | x1];
  const float a = h00 + (h10 - h00) * fx;
  const float b = h01 + (h11 - h01) * fx;
  return a + (b - a) * fz;
}

// c^o for a reaction order o (o <= 0 gives 1), multiplied out one factor at a time as the rate law
// reads. Orders come from script colours; a huge one is taken by repeated squaring instead, so
// that it costs a few dozen multiplications rather than hanging the generation.
inline float order_power(float c, int o)
{
  float p = 1;
  if (o <= 32)
  {
    for (int i = 0; i < o; i++)
      p *= c;
    return p;
  }
  for (float b = c; o > 0; o >>= 1, b *= b)
    if (o & 1)
      p *= b;
  return p;
}

// Per-run constants and counters of one genDropletErosion call.
struct Eroder
{
  const HD::ErosionParams &p;
  // Reactions with the channels moved into the vector lane order (b, g, r, a).
  const HD::Reaction *reactions;
  int num_reactions;
  uint64_t random_dirs = 0;

  // Runs the colour reactions on c (lanes b, g, r, a) for the reaction time.
  __m128 react(__m128 cv) const
  {
    alignas(16) float c[4];
    _mm_store_ps(c, cv);
    float t_left = p.reactionTime;
    for (int iter = 0; iter < 10 && t_left > 0; iter++)
    {
      float rate[4] = {0, 0, 0, 0};
      for (int r = 0; r < num_reactions; r++)
      {
        const HD::Reaction &re = reactions[r];
        // Product in the order red, green, blue, alpha (lanes 2, 1, 0, 3).
        float prod = 1;
        for (int ch : {2, 1, 0, 3})
          prod *= order_power(c[ch], re.order[ch]);
        for (int ch = 0; ch < 4; ch++)
          rate[ch] += prod * re.delta[ch];
      }
      // Never past the remaining time, never past the moment a falling channel reaches 0.
      float dt = t_left;
      for (int ch : {2, 1, 0, 3})
        if (rate[ch] < 0)
          dt = std::min(dt, -c[ch] / rate[ch]);
      t_left -= dt;
      for (int ch = 0; ch < 4; ch++)
      {
        c[ch] += dt * rate[ch];
        if (rate[ch] < 0 && c[ch] < 0)
          c[ch] = 0;
      }
    }
    return _mm_load_ps(c);
  }

  // Deposits `a` on the four corners of cell (ix, iz) by the droplet's fractions, blending the
  // sediment colour `sed` into each corner's colour.
  void deposit(int ix, int iz, float fx, float fz, float a, __m128 sed) const
  {
    const float gx = 1 - fx, gz = 1 - fz;
    const float q[4] = {a * gx * gz, a * fx * gz, a * gx * fz, a * fx * fz};
    const int idx[4] = {hmap_idx(ix, iz), hmap_idx(ix + 1, iz), hmap_idx(ix, iz + 1), hmap_idx(ix + 1, iz + 1)};
    const bool reacting = p.reactionTime > 0 && num_reactions > 0;
    for (int k = 0; k < 4; k++)
    {
      const int i = idx[k];
      HD::hmap[i] += q[k];
      HD::Surface &s = HD::surface[i];
      if (s.surface_type != ST_GRASS)
      {
        s.top_color = 0;
        s.surface_type = ST_NONE;
      }
      __m128 c = unpack_color_bgra(s.color);
      const float blend = 1 - expf(-q[k] * p.depositBlend);
      c = _mm_add_ps(c, _mm_mul_ps(_mm_set1_ps(blend), _mm_sub_ps(sed, c)));
      if (reacting)
        c = react(c);
      s.color = pack_color_bgra(c);
    }
  }

  // Removes `e` with the radius-2 brush around (px, pz) in cell (ix, iz); the sediment colour
  // takes on the colour of the cut ground in proportion to the material taken.
  __m128 erode(int ix, int iz, float px, float pz, float e, float s, __m128 sed) const
  {
    float dx2[4];
    for (int c = 0; c < 4; c++)
    {
      float d = float(ix - 1 + c) - px;
      dx2[c] = d * d;
    }
    for (int r = 0; r < 4; r++)
    {
      const int z = iz - 1 + r;
      const float dz = float(z) - pz;
      const float dz2 = dz * dz;
      const int row = (z & 255) << 8;
      for (int c = 0; c < 4; c++)
      {
        const float u = 1 - (dx2[c] + dz2) / 4;
        if (!(u > 0))
          continue;
        const float q = 0.15915494f * u * e;
        const int i = row | ((ix - 1 + c) & 255);
        HD::hmap[i] -= q;
        HD::Surface &su = HD::surface[i];
        su.surface_type = ST_NONE;
        su.top_color = 0;
        const float qs = q + s;
        if (qs > 0)
        {
          const float k = s / qs;
          sed = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(k), sed),
                           _mm_mul_ps(_mm_set1_ps(1 - k), unpack_color_bgra(su.color)));
        }
      }
    }
    return sed;
  }

  // Runs one droplet; returns its step count.
  int droplet()
  {
    const float Ki = p.Ki, Kq = p.Kq, Kr = p.Kr, Kd = p.Kd, minSlope = p.minSlope;
    const float g2 = 2 * p.g, evap = 1 - p.Kw;
    int ix = int(game_rnd() & 255);
    int iz = int(game_rnd() & 255);
    float px = float(ix), pz = float(iz), fx = 0, fz = 0;
    float h = HD::hmap[hmap_idx(ix, iz)];
    float dx = 0, dz = 0, v = 0, w = 1, s = 0;
    __m128 sed = _mm_setzero_ps();
    int steps = 0;
    while (steps < EROSION_MAX_STEPS)
    {
      const int x1 = (ix + 1) & 255, z0 = (iz & 255) << 8, z1 = ((iz + 1) & 255) << 8, x0 = ix & 255;
      const float h00 = HD::hmap[z0 | x0], h10 = HD::hmap[z0 | x1];
      const float h01 = HD::hmap[z1 | x0], h11 = HD::hmap[z1 | x1];
      const float gx = (h00 + h01) - (h10 + h11);
      const float gz = (h00 + h10) - (h01 + h11);
      dx = gx + (dx - gx) * Ki;
      dz = gz + (dz - gz) * Ki;
      const float len = sqrtf(dx * dx + dz * dz);
      if (len > 1.1920929e-7f)
      {
        dx = dx / len;
        dz = dz / len;
      }
      else
      {
        const float a = game_rnd_unit(game_rnd()) * 6.2831855f;
        dx = cosf(a);
        dz = sinf(a);
        random_dirs++;
      }

      const float npx = px + dx, npz = pz + dz;
      const int nix = ifloor(npx), niz = ifloor(npz);
      const float nfx = npx - float(nix), nfz = npz - float(niz);
      const float nh = bilinear_height(nix, niz, nfx, nfz);

      if (nh >= h)
      {
        const float lift = nh - h + 0.001f;
        if (s <= lift)
        {
          if (erosion_stop_hook)
            erosion_stop_hook(ix, iz, fx, fz, s);
          deposit(ix, iz, fx, fz, s, sed);
          break;
        }
        deposit(ix, iz, fx, fz, lift, sed);
        s -= lift;
        h += lift;
        v = 0;
      }

      const float drop = h - nh;
      const float c = s - std::max(drop, minSlope) * v * w * Kq;
      if (c < 0)
      {
        const float e = std::min(-c * Kr, drop * 0.99f);
        sed = erode(ix, iz, px, pz, e, s, sed);
        h -= e;
        s += e;
      }
      else
      {
        const float d = c * Kd;
        deposit(ix, iz, fx, fz, d, sed);
        h += d;
        s -= d;
      }

      v = sqrtf(std::max(0.f, v * v + g2 * (h - nh)));
      w = w * evap;
      steps++;
      h = nh;
      px = npx;
      pz = npz;
      ix = nix;
      iz = niz;
      fx = nfx;
      fz = nfz;
    }
    return steps;
  }
};
}  // namespace

ErosionStats last_erosion_stats;
ErosionStopHook erosion_stop_hook = nullptr;

void HeightmapData::genDropletErosion(unsigned droplets, ErosionParams &params)
{
  const auto start = std::chrono::steady_clock::now();

  // Reaction channels r, g, b, a moved into the lane order b, g, r, a of the colour vectors.
  DynArray<Reaction> reactions;
  for (const Reaction &r : params.reactions)
  {
    Reaction m;
    const int from[4] = {2, 1, 0, 3};
    for (int lane = 0; lane < 4; lane++)
    {
      m.delta[lane] = r.delta[from[lane]];
      m.order[lane] = r.order[from[lane]];
    }
    reactions.push_back(m);
  }

  Eroder er{params, reactions.data, reactions.size()};
  uint64_t total_steps = 0, long_paths = 0;
  for (unsigned n = 0; n < droplets; n++)
  {
    if (n != 0 && (n % 16384) == 0)
      show_splash("Calculating erosion", (float(n) + 0.5f) / float(droplets));
    int steps = er.droplet();
    total_steps += unsigned(steps);
    if (steps >= EROSION_MAX_STEPS)
    {
      debug("droplet #%d path is too long!", int(n));
      long_paths++;
    }
  }

  const double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  last_erosion_stats = {droplets, total_steps, long_paths, er.random_dirs, sec};
  debug("computed %7d erosion droplets in %6u ms, %.0f droplets/s", int(droplets), unsigned(sec * 1000),
        sec > 0 ? droplets / sec : 0.0);
  debug("  %.2f average path length, %llu long paths cut, %llu random directions picked",
        droplets ? double(total_steps) / droplets : 0.0, (unsigned long long)long_paths,
        (unsigned long long)er.random_dirs);
}
