#include "erosion_reference.h"

#include <algorithm>
#include <cmath>

#include "support/math_util.h"
#include "terrain/game_rnd.h"

using HD = HeightmapData;

namespace
{
void unpack(uint32_t c, float out[4])
{
  out[0] = float((c >> 16) & 255) / 255.f;
  out[1] = float((c >> 8) & 255) / 255.f;
  out[2] = float(c & 255) / 255.f;
  out[3] = float(c >> 24) / 255.f;
}

uint32_t pack(const float c[4])
{
  uint32_t b[4];
  for (int i = 0; i < 4; i++)
  {
    float v = c[i] > 0 ? c[i] : 0;
    v = v < 1 ? v : 1;
    b[i] = uint32_t(std::nearbyint(v * 255.f));
  }
  return (b[3] << 24) | (b[0] << 16) | (b[1] << 8) | b[2];
}

float height(int x, int z) { return HD::hmap[hmap_idx(x, z)]; }

void react(float c[4], const HD::ErosionParams &p)
{
  float t = p.reactionTime;
  for (int iter = 0; iter < 10 && t > 0; iter++)
  {
    float rate[4] = {0, 0, 0, 0};
    for (const HD::Reaction &r : p.reactions)
    {
      float prod = 1;
      for (int ch = 0; ch < 4; ch++)
      {
        float pw = 1;  // c^order, one factor at a time
        for (int o = 0; o < r.order[ch]; o++)
          pw *= c[ch];
        prod *= pw;
      }
      for (int ch = 0; ch < 4; ch++)
        rate[ch] += prod * r.delta[ch];
    }
    float dt = t;
    for (int ch = 0; ch < 4; ch++)
      if (rate[ch] < 0)
        dt = std::min(dt, -c[ch] / rate[ch]);
    t -= dt;
    for (int ch = 0; ch < 4; ch++)
    {
      c[ch] += dt * rate[ch];
      if (rate[ch] < 0 && c[ch] < 0)
        c[ch] = 0;
    }
  }
}

void deposit(int ix, int iz, float fx, float fz, float a, const float sed[4], const HD::ErosionParams &p)
{
  const float q[4] = {a * (1 - fx) * (1 - fz), a * fx * (1 - fz), a * (1 - fx) * fz, a * fx * fz};
  const int idx[4] = {hmap_idx(ix, iz), hmap_idx(ix + 1, iz), hmap_idx(ix, iz + 1), hmap_idx(ix + 1, iz + 1)};
  for (int k = 0; k < 4; k++)
  {
    HD::hmap[idx[k]] += q[k];
    HD::Surface &s = HD::surface[idx[k]];
    if (s.surface_type != ST_GRASS)
    {
      s.top_color = 0;
      s.surface_type = 0;
    }
    float c[4];
    unpack(s.color, c);
    float kb = 1 - expf(-q[k] * p.depositBlend);
    for (int ch = 0; ch < 4; ch++)
      c[ch] = c[ch] + kb * (sed[ch] - c[ch]);
    if (p.reactionTime > 0 && p.reactions.size() > 0)
      react(c, p);
    s.color = pack(c);
  }
}
}  // namespace

RefErosionStats ref_droplet_erosion(unsigned droplets, const HD::ErosionParams &p)
{
  RefErosionStats st;
  for (unsigned n = 0; n < droplets; n++)
  {
    int ix = int(game_rnd() & 255);
    int iz = int(game_rnd() & 255);
    float px = float(ix), pz = float(iz), fx = 0, fz = 0;
    float h = height(ix, iz);
    float dx = 0, dz = 0, v = 0, w = 1, s = 0;
    float sed[4] = {0, 0, 0, 0};
    int steps = 0;
    while (steps < 1024)
    {
      float h00 = height(ix, iz), h10 = height(ix + 1, iz), h01 = height(ix, iz + 1), h11 = height(ix + 1, iz + 1);
      float gx = (h00 + h01) - (h10 + h11);
      float gz = (h00 + h10) - (h01 + h11);
      dx = gx + (dx - gx) * p.Ki;
      dz = gz + (dz - gz) * p.Ki;
      float len = sqrtf(dx * dx + dz * dz);
      if (len > 1.1920929e-7f)
      {
        dx = dx / len;
        dz = dz / len;
      }
      else
      {
        float a = float(game_rnd()) / 4294967296.f * 6.2831855f;
        dx = cosf(a);
        dz = sinf(a);
        st.random_dirs++;
      }
      float npx = px + dx, npz = pz + dz;
      int nix = ifloor(npx), niz = ifloor(npz);
      float nfx = npx - float(nix), nfz = npz - float(niz);
      float a0 = height(nix, niz) + (height(nix + 1, niz) - height(nix, niz)) * nfx;
      float b0 = height(nix, niz + 1) + (height(nix + 1, niz + 1) - height(nix, niz + 1)) * nfx;
      float nh = a0 + (b0 - a0) * nfz;
      if (nh >= h)
      {
        float lift = nh - h + 0.001f;
        if (s <= lift)
        {
          deposit(ix, iz, fx, fz, s, sed, p);
          st.last_load = s;
          st.last_ix = ix;
          st.last_iz = iz;
          break;
        }
        deposit(ix, iz, fx, fz, lift, sed, p);
        s -= lift;
        h += lift;
        v = 0;
      }
      float drop = h - nh;
      float c = s - std::max(drop, p.minSlope) * v * w * p.Kq;
      if (c < 0)
      {
        float e = std::min(-c * p.Kr, drop * 0.99f);
        for (int z = iz - 1; z <= iz + 2; z++)
          for (int x = ix - 1; x <= ix + 2; x++)
          {
            float ddx = float(x) - px, ddz = float(z) - pz;
            float u = 1 - (ddx * ddx + ddz * ddz) / 4;
            if (u > 0)
            {
              float q = 0.15915494f * u * e;
              int i = hmap_idx(x, z);
              HD::hmap[i] -= q;
              HD::surface[i].surface_type = 0;
              HD::surface[i].top_color = 0;
              if (q + s > 0)
              {
                float k = s / (q + s);
                float col[4];
                unpack(HD::surface[i].color, col);
                for (int ch = 0; ch < 4; ch++)
                  sed[ch] = k * sed[ch] + (1 - k) * col[ch];
              }
            }
          }
        h -= e;
        s += e;
      }
      else
      {
        float d = c * p.Kd;
        deposit(ix, iz, fx, fz, d, sed, p);
        h += d;
        s -= d;
      }
      v = sqrtf(std::max(0.f, v * v + 2 * p.g * (h - nh)));
      w = w * (1 - p.Kw);
      steps++;
      h = nh;
      px = npx;
      pz = npz;
      ix = nix;
      iz = niz;
      fx = nfx;
      fz = nfz;
    }
    st.total_steps += unsigned(steps);
    if (steps >= 1024)
      st.long_paths++;
  }
  return st;
}
