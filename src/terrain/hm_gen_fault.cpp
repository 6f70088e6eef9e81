// A single noisy fault scarp inside an elliptic area of the world.
#include <cmath>

#include "support/math_util.h"
#include "terrain/hm_gen_color.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"

namespace
{
// A difference of world coordinates wrapped into (-128, 128]: the shorter way round the torus.
inline float wrap_world_diff(float d)
{
  float f = d / 256.f;
  f = (f - std::trunc(f)) * 256.f;
  if (f > 128.f)
    f -= 256.f;
  else if (f <= -128.f)
    f += 256.f;
  return f;
}

constexpr int PROFILE_SIZE = 257;
}  // namespace

// The fault line is jagged by two noise profiles read across the fault (one entry per unit of the
// across coordinate, 0.005 apart in noise space): `low` bends the line, `high` roughens it and
// varies the steepness. Inside the ellipse the sample gets a plateau offset (0.75 height on one
// side, -0.25 on the other) faded by a smoothstep of the elliptic distance; between the two lies
// the scarp, where the signed distance from the noisy line is the height itself.
void HeightmapData::genFault(Point2 pos, Point2 dir, float height, float balance, float jaggedness,
                             const ColorRamp *ramp, int ground, int alpha, float *heights)
{
  float len = std::sqrt(dir.x * dir.x + dir.y * dir.y);
  float ux = 0, uz = 0;
  if (len > 0)
  {
    ux = dir.x / len;
    uz = dir.y / len;
  }
  const float base = pos.x + pos.y + game_rnd_unit(game_rnd()) * 256.f;
  float low[PROFILE_SIZE], high[PROFILE_SIZE];
  for (int k = 0; k < PROFILE_SIZE; k++)
  {
    float a = base + float(k) * 0.005f;
    low[k] = fractal_noise1(a, 4, nullptr, 0.5f);
    high[k] = fractal_noise1(16.f * a, 3, nullptr, 0.5f);
  }
  alpha = clamp_alpha_byte(alpha);

  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const float dz = wrap_world_diff(float(z) - pos.y);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const float dx = wrap_world_diff(float(x) - pos.x);
      const float along = dx * ux + dz * uz;
      const float across = dz * ux - dx * uz;
      const float qa = along / 64.f, qc = across / 128.f;
      const float q = qa * qa + qc * qc;
      if (q >= 1)
        continue;
      // Inside the ellipse |across| < 128 (and ifloor turns NaN into 0), so the entries k and
      // k + 1 stay inside the 257-entry profiles.
      const int j = ifloor(across);
      const float f = across - float(j);
      const int k = (j + 128) & 255;
      const float lo = low[k] + (low[k + 1] - low[k]) * f;
      const float hi = high[k] + (high[k + 1] - high[k]) * f;
      const float p = ((lo + hi / 16.f) * jaggedness + along) * (4.f - (1.f - hi) * 0.7f);

      const float s = 1.f - q;
      const float w = (3.f - 2.f * s) * (s * s);
      const float top = w * height * 0.75f;
      const float bottom = w * height * -0.25f;
      const int i = hmap_idx(x, z);
      // With a negative height top lies below bottom; the order of the tests decides then.
      float v;
      if (p > top)
        v = top;
      else if (p < bottom)
        v = bottom;
      else
      {
        v = p;
        if (ramp)
          surface[i].color = blend_ramp_color(surface[i].color, *ramp, (p - bottom) / (top - bottom), alpha);
        if (ground != GT_NONE)
          surface[i].ground_type = unsigned(ground) & 15;
      }
      heights[i] += w * (balance - 0.75f) * height + v;
    }
  }
}
