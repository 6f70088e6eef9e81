#include "support/color_ramp.h"

#include "support/debug.h"

void ramp_const(ColorRamp &r, vec4f c)
{
  for (vec4f &e : r.c)
    e = c;
}
void ramp_const(FloatRamp &r, float c)
{
  for (float &e : r.c)
    e = c;
}

void ramp_linear(ColorRamp &r, vec4f a, vec4f b)
{
  vec4f d = b - a;
  for (int i = 0; i <= 256; i++)
    r.c[i] = a + d * float(i) / v_splats(256.0f);
}
void ramp_linear(FloatRamp &r, float a, float b)
{
  float d = b - a;
  for (int i = 0; i <= 256; i++)
    r.c[i] = a + d * float(i) / 256.0f;
}

// The smoothstep weight s²(3 − 2s).
static float smooth(float s) { return s * s * (3.0f - 2.0f * s); }

// Which zone entry i falls in and its weight: 0 fade-in (a -> b), 1 plateau (b), 2 fade-out (b -> c).
static int fade_zone(int i, float fade_in, float fade_out, float &w)
{
  float t = float(i) / 256.0f;
  if (fade_in > t)
  {
    w = smooth(t / fade_in);
    return 0;
  }
  if (t > 1.0f - fade_out)
  {
    w = smooth((t - (1.0f - fade_out)) / fade_out);
    return 2;
  }
  w = 0;
  return 1;
}

template <class Ramp, class V>
static void fill_fade_in_out(Ramp &r, V a, V b, V c, float fade_in, float fade_out)
{
  for (int i = 0; i <= 256; i++)
  {
    float w;
    switch (fade_zone(i, fade_in, fade_out, w))
    {
      case 0: r.c[i] = a + (b - a) * w; break;
      case 2: r.c[i] = b + (c - b) * w; break;
      default: r.c[i] = b; break;
    }
  }
}
void ramp_fade_in_out(ColorRamp &r, vec4f a, vec4f b, vec4f c, float fade_in, float fade_out)
{
  fill_fade_in_out(r, a, b, c, fade_in, fade_out);
}
void ramp_fade_in_out(FloatRamp &r, float a, float b, float c, float fade_in, float fade_out)
{
  fill_fade_in_out(r, a, b, c, fade_in, fade_out);
}

void ColorRamp::dump(const char *name) const
{
  debug_("\nstatic ColorRamp %s=\n{\n ", name);
  for (int i = 0; i <= 256; i++)
  {
    debug_(" make4f(%g, %g, %g, %g),", double(v_extract_x(c[i])), double(v_extract_y(c[i])),
           double(v_extract_z(c[i])), double(v_extract_w(c[i])));
    if ((i + 1) % 4 == 0)
      debug_("\n ");
  }
  debug("\n};");
}

void FloatRamp::dump(const char *name) const
{
  debug_("\nstatic FloatRamp %s=\n{\n ", name);
  for (int i = 0; i <= 256; i++)
  {
    debug_(" %g,", double(c[i]));
    if ((i + 1) % 8 == 0)
      debug_("\n ");
  }
  debug("\n};");
}

ColorRamp glow_std_fade_anim;
ColorRamp blend_std_fade_anim;
ColorRamp blend_end_fade_anim;
ColorRamp blend_rev_fade_anim;
FloatRamp size_05_2_anim;
FloatRamp size_05_4_anim;
FloatRamp std_roll_anim;

static const bool std_ramps_filled = [] {
  ramp_fade_in_out(glow_std_fade_anim, 0x00000000u, 0xFFFFFFFFu, 0x00000000u, 0.1f, 0.9f);
  ramp_fade_in_out(blend_std_fade_anim, 0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.1f, 0.9f);
  ramp_fade_in_out(blend_end_fade_anim, 0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.1f, 0.1f);
  ramp_fade_in_out(blend_rev_fade_anim, 0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.9f, 0.1f);
  ramp_linear(size_05_2_anim, 0.5f, 2.0f);
  ramp_linear(size_05_4_anim, 0.5f, 4.0f);
  return true;
}();
