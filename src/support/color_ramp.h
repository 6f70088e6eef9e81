#pragma once
// ColorRamp and FloatRamp: 257-entry tables over t in 0..1 (entry i at t = i/256), sampled with
// linear interpolation. Used by scripts (classes "ColorRamp", "FloatRamp"), terrain colouring and
// particles; a null ramp pointer means "no ramp" wherever one is optional.
#include "support/color.h"
#include "support/export.h"
#include "support/vec4f.h"

struct ColorRamp
{
  vec4f c[257];

  vec4f get(float t) const;
  void dump(const char *name) const;
};

struct FloatRamp
{
  float c[257];

  float get(float t) const;
  void dump(const char *name) const;
};
static_assert(sizeof(ColorRamp) == 4112 && sizeof(FloatRamp) == 1028);

// x = 256·t; x <= 0 (or NaN) gives entry 0, x >= 256 entry 256, otherwise entries i and i+1
// mixed by the fraction of x. One body for both kinds of ramp.
template <class Ramp>
inline auto sample_ramp_table(const Ramp &r, float t)
{
  float x = 256.0f * t;
  if (!(x > 0.0f))
    return r.c[0];
  if (x >= 256.0f)
    return r.c[256];
  int i = int(x);
  return r.c[i] + (r.c[i + 1] - r.c[i]) * (x - float(i));
}
inline vec4f sample_ramp(const ColorRamp &r, float t) { return sample_ramp_table(r, t); }
inline float sample_ramp(const FloatRamp &r, float t) { return sample_ramp_table(r, t); }
inline vec4f ColorRamp::get(float t) const { return sample_ramp(*this, t); }
inline float FloatRamp::get(float t) const { return sample_ramp(*this, t); }

void ramp_const(ColorRamp &r, vec4f c);
void ramp_const(FloatRamp &r, float c);
// Entry i = a + (b − a)·i/256.
void ramp_linear(ColorRamp &r, vec4f a, vec4f b);
void ramp_linear(FloatRamp &r, float a, float b);
// Smooth a -> b over [0, fadeIn], b, then b -> c over [1 − fadeOut, 1]; where the two zones
// overlap the fade-in wins.
void ramp_fade_in_out(ColorRamp &r, vec4f a, vec4f b, vec4f c, float fade_in, float fade_out);
void ramp_fade_in_out(FloatRamp &r, float a, float b, float c, float fade_in, float fade_out);
inline void ramp_fade_in_out(ColorRamp &r, D3dColor a, D3dColor b, D3dColor c, float fade_in, float fade_out)
{
  ramp_fade_in_out(r, color_to_vec4f(a), color_to_vec4f(b), color_to_vec4f(c), fade_in, fade_out);
}

// Ready-made ramps for effects and the game object module, filled at start-up.
QM_EXPORT extern ColorRamp glow_std_fade_anim;
QM_EXPORT extern ColorRamp blend_std_fade_anim;
QM_EXPORT extern ColorRamp blend_end_fade_anim;
QM_EXPORT extern ColorRamp blend_rev_fade_anim;
QM_EXPORT extern FloatRamp size_05_2_anim;
QM_EXPORT extern FloatRamp size_05_4_anim;
QM_EXPORT extern FloatRamp std_roll_anim;  // storage for the module; left zero here
          