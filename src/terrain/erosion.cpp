// Droplet erosion: droplets run downhill over hmap, erode where they are fast and under-loaded,
// deposit where they slow down or climb, and carry the colour of the ground they cut.
//
// Every float operation is the one of the plain per-channel rules, in the same order; the speed
// comes from doing several of them side by side. A deposit treats its four corners at once: one
// vector per colour channel with the corners in its lanes (blend, reactions, packing). The brush
// computes the weights and sediment shares of a row of four samples at once; only the sediment
// colour, which each sample blends into the previous result, runs sample by sample.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "support/debug.h"
#include "support/math_util.h"
#include "terrain/color_util.h"
#include "terrain/erosion_detail.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
constexpr float TWO_PI = 6.2831855f;
constexpr float INV_TWO_PI = 0.15915494f;  // the brush's weights integrate to about 1
constexpr float FLOAT_EPSILON = std::numeric_limits<float>::epsilon();
constexpr int PROGRESS_EVERY = 16384;  // droplets between progress reports

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

// a in the lanes where mask is set, b elsewhere.
inline __m128 select_lanes(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// Channel indices in the lane order of the packed colour (blue, green, red, alpha).
enum
{
  CH_B,
  CH_G,
  CH_R,
  CH_A
};
// The order in which a rate law multiplies the channels: red, green, blue, alpha.
constexpr int RATE_ORDER[4] = {CH_R, CH_G, CH_B, CH_A};

// Four colours side by side: ch[c] holds channel c of four samples, one sample per lane.
struct Colors4
{
  __m128 ch[4];
};

// The colours of four samples as floats 0..1 (each byte / 255, as unpack_color_bgra).
inline Colors4 unpack4(__m128i packed)
{
  const __m128i byte = _mm_set1_epi32(255);
  const __m128 scale = _mm_set1_ps(255.f);
  Colors4 c;
#pragma GCC unroll 4
  for (int ch = 0; ch < 4; ch++)
  {
    const __m128i b = _mm_and_si128(_mm_srli_epi32(packed, 8 * ch), byte);
    c.ch[ch] = _mm_div_ps(_mm_cvtepi32_ps(b), scale);
  }
  return c;
}

// Packs four colours as pack_color_bgra does (clamp, times 255, round to nearest even; NaN gives 0).
inline __m128i pack4(const Colors4 &c)
{
  __m128i out = _mm_setzero_si128();
#pragma GCC unroll 4
  for (int ch = 0; ch < 4; ch++)
  {
    const __m128 v = _mm_min_ps(_mm_max_ps(c.ch[ch], _mm_setzero_ps()), _mm_set1_ps(1.f));
    out = _mm_or_si128(out, _mm_slli_epi32(_mm_cvtps_epi32(_mm_mul_ps(v, _mm_set1_ps(255.f))), 8 * ch));
  }
  return out;
}

// c^o for a reaction order o > 0, multiplied out one factor at a time as the rate law reads. Orders come from script colours; a huge one is taken by repeated squaring instead, so
// that it costs a few dozen multiplications rather than hanging the generation.
inline __m128 order_power(__m128 c, int o)
{
  __m128 p = _mm_set1_ps(1.f);
  if (o <= 32)
  {
    for (int i = 0; i < o; i++)
      p = _mm_mul_ps(p, c);
    return p;
  }
  for (__m128 b = c; o > 0; o >>= 1, b = _mm_mul_ps(b, b))
    if (o & 1)
      p = _mm_mul_ps(p, b);
  return p;
}

// A reaction prepared once per run: the channels its rate depends on, in the rate law's
// multiplication order (a factor c^0 = 1 changes no product and is left out; 1 * c is c), and
// its deltas by channel in lane order.
struct ReactionPlan
{
  int factors = 0;
  int factor_ch[4];
  int factor_order[4];
  bool linear;  // one factor of order 1: the product is that channel
  __m128 delta[4];
};

// Per-run constants and counters of one genDropletErosion call.
struct Eroder
{
  const HD::ErosionParams &p;
  const ReactionPlan *plans;
  int num_plans;
  bool reacting;  // reaction time above 0 and at least one reaction
  uint64_t random_dirs = 0;

  // The rate of change of each channel: the sum over the reactions of product * delta.
  void rates(const Colors4 &c, __m128 rate[4]) const
  {
    const __m128 zero = _mm_setzero_ps();
    rate[0] = rate[1] = rate[2] = rate[3] = zero;
    for (int r = 0; r < num_plans; r++)
    {
      const ReactionPlan &re = plans[r];
      __m128 prod;
      if (re.linear)
        prod = c.ch[re.factor_ch[0]];
      else
      {
        prod = _mm_set1_ps(1.f);
        for (int f = 0; f < re.factors; f++)
          prod = _mm_mul_ps(prod, order_power(c.ch[re.factor_ch[f]], re.factor_order[f]));
      }
#pragma GCC unroll 4
      for (int ch = 0; ch < 4; ch++)
        rate[ch] = _mm_add_ps(rate[ch], _mm_mul_ps(prod, re.delta[ch]));
    }
  }

  // One integration step of the reactions for the lanes in `running` (all four when ALL):
  // never past the remaining time, never past the moment a falling channel reaches 0. The
  // channels are taken in the rate law's order and the first of equal times is kept.
  template <bool ALL>
  void react_step(Colors4 &c, __m128 &t_left, __m128 running) const
  {
    const __m128 zero = _mm_setzero_ps(), sign = _mm_set1_ps(-0.f);
    __m128 rate[4];
    rates(c, rate);
    __m128 dt = t_left;
    __m128 falling[4];
#pragma GCC unroll 4
    for (int ch : RATE_ORDER)
    {
      falling[ch] = _mm_cmplt_ps(rate[ch], zero);
      if (_mm_movemask_ps(falling[ch]) == 0)
        continue;
      const __m128 until_zero = _mm_div_ps(_mm_xor_ps(c.ch[ch], sign), rate[ch]);
      dt = select_lanes(_mm_and_ps(falling[ch], _mm_cmplt_ps(until_zero, dt)), until_zero, dt);
    }
    t_left = ALL ? _mm_sub_ps(t_left, dt) : select_lanes(running, _mm_sub_ps(t_left, dt), t_left);
#pragma GCC unroll 4
    for (int ch = 0; ch < 4; ch++)
    {
      __m128 v = _mm_add_ps(c.ch[ch], _mm_mul_ps(dt, rate[ch]));
      v = _mm_andnot_ps(_mm_and_ps(falling[ch], _mm_cmplt_ps(v, zero)), v);  // a channel cut at 0 is 0
      c.ch[ch] = ALL ? v : select_lanes(running, v, c.ch[ch]);
    }
  }

  // Runs the colour reactions on four colours for the reaction time (above 0). Each lane
  // follows its own integration: it stops after 10 steps or when its remaining time runs out.
  void react(Colors4 &c) const
  {
    __m128 t_left = _mm_set1_ps(p.reactionTime);
    react_step<true>(c, t_left, t_left);
    for (int iter = 1; iter < 10; iter++)
    {
      const __m128 running = _mm_cmpgt_ps(t_left, _mm_setzero_ps());
      const int lanes = _mm_movemask_ps(running);
      if (lanes == 0)
        break;
      if (lanes == 15)
        react_step<true>(c, t_left, running);
      else
        react_step<false>(c, t_left, running);
    }
  }

  // Deposits `a` on the four corners of cell (ix, iz) by the droplet's fractions, blending the
  // sediment colour `sed` into each corner's colour.
  void deposit(int ix, int iz, float fx, float fz, float a, __m128 sed) const
  {
    const float gx = 1 - fx, gz = 1 - fz;
    // Corner shares a * gx * gz, a * fx * gz, a * gx * fz, a * fx * fz.
    const __m128 q = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(a), _mm_setr_ps(gx, fx, gx, fx)), _mm_setr_ps(gz, gz, fz, fz));
    // Blend weights 1 - exp(-q * depositBlend); the library calls come first, while little
    // else is live.
    alignas(16) float x[4];
    _mm_store_ps(x, _mm_mul_ps(_mm_xor_ps(q, _mm_set1_ps(-0.f)), _mm_set1_ps(p.depositBlend)));
    const float e0 = expf(x[0]), e1 = expf(x[1]), e2 = expf(x[2]), e3 = expf(x[3]);
    const __m128 blend = _mm_sub_ps(_mm_set1_ps(1.f), _mm_setr_ps(e0, e1, e2, e3));

    const int x0 = ix & 255, x1 = (ix + 1) & 255, z0 = (iz & 255) << 8, z1 = ((iz + 1) & 255) << 8;
    const int idx[4] = {z0 | x0, z0 | x1, z1 | x0, z1 | x1};
    alignas(16) float qs[4];
    _mm_store_ps(qs, q);
    uint32_t colors[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; k++)
    {
      HD::hmap[idx[k]] += qs[k];
      HD::Surface &s = HD::surface[idx[k]];
      if (s.surface_type != ST_GRASS)
      {
        s.top_color = 0;
        s.surface_type = ST_NONE;
      }
      colors[k] = s.color;
    }
    Colors4 c = unpack4(_mm_setr_epi32(int(colors[0]), int(colors[1]), int(colors[2]), int(colors[3])));
    const __m128 sed_ch[4] = {_mm_shuffle_ps(sed, sed, 0x00), _mm_shuffle_ps(sed, sed, 0x55),
                              _mm_shuffle_ps(sed, sed, 0xAA), _mm_shuffle_ps(sed, sed, 0xFF)};
#pragma GCC unroll 4
    for (int ch = 0; ch < 4; ch++)
      c.ch[ch] = _mm_add_ps(c.ch[ch], _mm_mul_ps(blend, _mm_sub_ps(sed_ch[ch], c.ch[ch])));
    if (reacting)
      react(c);
    alignas(16) uint32_t packed[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(packed), pack4(c));
#pragma GCC unroll 4
    for (int k = 0; k < 4; k++)
      HD::surface[idx[k]].color = packed[k];
  }

  // Removes `e` with the radius-2 brush around (px, pz) in cell (ix, iz); the sediment colour
  // takes on the colour of the cut ground in proportion to the material taken.
  __m128 erode(int ix, int iz, float px, float pz, float e, float s, __m128 sed) const
  {
    const __m128 dx = _mm_setr_ps(float(ix - 1) - px, float(ix) - px, float(ix + 1) - px, float(ix + 2) - px);
    const __m128 dx2 = _mm_mul_ps(dx, dx);
    const __m128 one = _mm_set1_ps(1.f), zero = _mm_setzero_ps(), sv = _mm_set1_ps(s);
    // Weights and sediment shares of the 4 x 4 samples, a row at a time.
    alignas(16) float qa[16], ka[16], mka[16];
    unsigned inside = 0, shares = 0;
#pragma GCC unroll 4
    for (int r = 0; r < 4; r++)
    {
      const float dz = float(iz - 1 + r) - pz;
      // u = 1 - (dx^2 + dz^2) / 4 (a quarter is exact either way), q = u / (2 pi) * e.
      const __m128 u = _mm_sub_ps(one, _mm_mul_ps(_mm_add_ps(dx2, _mm_set1_ps(dz * dz)), _mm_set1_ps(0.25f)));
      const __m128 q = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(INV_TWO_PI), u), _mm_set1_ps(e));
      const __m128 qs = _mm_add_ps(q, sv);
      const __m128 k = _mm_div_ps(sv, qs);
      _mm_store_ps(qa + 4 * r, q);
      _mm_store_ps(ka + 4 * r, k);
      _mm_store_ps(mka + 4 * r, _mm_sub_ps(one, k));
      inside |= unsigned(_mm_movemask_ps(_mm_cmpgt_ps(u, zero))) << (4 * r);
      shares |= unsigned(_mm_movemask_ps(_mm_cmpgt_ps(qs, zero))) << (4 * r);
    }
    // Heights, overlays and the sediment colour, sample by sample in row order.
    for (unsigned m = inside; m; m &= m - 1)
    {
      const int j = __builtin_ctz(m);
      const int i = hmap_idx(ix - 1 + (j & 3), iz - 1 + (j >> 2));
      HD::hmap[i] -= qa[j];
      HD::Surface &su = HD::surface[i];
      su.surface_type = ST_NONE;
      su.top_color = 0;
      if (shares & (1u << j))
        sed = _mm_add_ps(_mm_mul_ps(_mm_load1_ps(ka + j), sed), _mm_mul_ps(_mm_load1_ps(mka + j), unpack_color_bgra(su.color)));
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
      if (len > FLOAT_EPSILON)
      {
        dx = dx / len;
        dz = dz / len;
      }
      else
      {
        const float a = game_rnd_unit(game_rnd()) * TWO_PI;
        dx = cosf(a);
        dz = sinf(a);
        random_dirs++;
      }

      const float npx = px + dx, npz = pz + dz;
      const int nix = ifloor(npx), niz = ifloor(npz);
      const float nfx = npx - float(nix), nfz = npz - float(niz);
      const float nh = bilinear_height(nix, niz, nfx, nfz);
      // Ask the caches for the next step's 4 x 4 samples: droplets wander at random, and
      // without this most steps wait for memory.
      for (int r = -1; r <= 2; r++)
      {
        const int row = ((niz + r) & 255) << 8;
        _mm_prefetch(reinterpret_cast<const char *>(&HD::surface[row | ((nix - 1) & 255)]), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char *>(&HD::surface[row | ((nix + 2) & 255)]) + 8, _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char *>(&HD::hmap[row | ((nix - 1) & 255)]), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char *>(&HD::hmap[row | ((nix + 2) & 255)]), _MM_HINT_T0);
      }

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

// Reactions with the channels moved from r, g, b, a into lane order.
DynArray<ReactionPlan> plan_reactions(const DynArray<HD::Reaction> &reactions)
{
  DynArray<ReactionPlan> plans;
  for (const HD::Reaction &r : reactions)
  {
    ReactionPlan m;
    const int from[4] = {2, 1, 0, 3};  // the r, g, b, a index of each lane
    for (int ch : RATE_ORDER)
      if (r.order[from[ch]] > 0)
      {
        m.factor_ch[m.factors] = ch;
        m.factor_order[m.factors++] = r.order[from[ch]];
      }
    m.linear = m.factors == 1 && m.factor_order[0] == 1;
    for (int ch = 0; ch < 4; ch++)
      m.delta[ch] = _mm_set1_ps(r.delta[from[ch]]);
    plans.push_back(m);
  }
  return plans;
}
}  // namespace

ErosionStats last_erosion_stats;
ErosionStopHook erosion_stop_hook = nullptr;

void HeightmapData::genDropletErosion(unsigned droplets, ErosionParams &params)
{
  const auto start = std::chrono::steady_clock::now();

  const DynArray<ReactionPlan> plans = plan_reactions(params.reactions);
  Eroder er{params, plans.data, plans.size(), params.reactionTime > 0 && plans.size() > 0};
  uint64_t total_steps = 0, long_paths = 0;
  for (unsigned n = 0; n < droplets; n++)
  {
    if (n != 0 && (n % PROGRESS_EVERY) == 0 && params.progress)
      params.progress("Calculating erosion", (float(n) + 0.5f) / float(droplets));
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
