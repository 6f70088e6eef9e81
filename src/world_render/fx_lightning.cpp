// Lightning bolts: a bent path from one point to another, shaken by fractal noise that is
// strongest midway and zero at both ends.
#include <algorithm>
#include <cmath>

#include "terrain/game_rnd.h"
#include "terrain/noise.h"
#include "world_render/common_fx.h"

// Four octaves of noise1 from x, each at twice the frequency (x' = 2x + 0.5) and half the weight.
static float bolt_noise(float x)
{
  float sum = 0.f, weight = 1.f;
  for (int octave = 0; octave < 4; octave++)
  {
    sum += noise1(x) * weight;
    x = 2.f * x + 0.5f;
    weight *= 0.5f;
  }
  return sum;
}

void add_lightning_fx(vec4f from, vec4f to, vec4f bend, float width, float wavelength, float amplitude, float life,
                      D3dColor color, int points)
{
  if (!(width > 0.f) || !(wavelength > 0.f) || !(life > 0.f))
    return;
  to = wrap_offset(to, from);
  const int n = std::clamp(points, 3, MAX_BOLT_POINTS);
  LightningBolt &bolt = common_fx.bolts[common_fx.bolts.append(1)];
  bolt.age = 0.f;
  bolt.life = life;
  bolt.width = width;
  bolt.points.resize(n);
  // The shared generator, in this order: the first u, then the x, y and z noise offsets.
  float u = game_rnd_unit(game_rnd());
  float offset[3];
  for (float &o : offset)
    o = float((long double)game_rnd() * 0x1p-31L - 1) * 1000.f;
  const vec4f span = to - from - bend;
  for (int j = 0; j < n; j++)
  {
    const float s = float(j) / float(n - 1);
    const vec4f base = from + bend * s + span * (s * s);
    const float q = u * width * 16.f / wavelength;
    const vec4f shake = v_make(bolt_noise(q + offset[0]), bolt_noise(q + offset[1]), bolt_noise(q + offset[2]), 0.f);
    BoltPoint &p = bolt.points[j];
    p.pos = base + shake * (amplitude * 4.f * s * (1.f - s));
    p.color = j == 0 || j == n - 1 ? 0u : color;
    if (j > 0)
      u += 0.0625f * v_extract_x(v_length3(p.pos - bolt.points[j - 1].pos)) / width;
    p.u = u;
  }
}

void update_lightning(float dt)
{
  DynArray<LightningBolt> &bolts = common_fx.bolts;
  for (int i = 0; i < bolts.size();)
  {
    bolts[i].age += dt;
    if (bolts[i].age >= bolts[i].life)
      bolts.erase(i, 1);
    else
      i++;
  }
}
