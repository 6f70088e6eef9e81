#include "terrain/hm_gen_color.h"

#include "support/color.h"
#include "support/color_ramp.h"

uint32_t blend_ramp_color(uint32_t old, const ColorRamp &ramp, float t, int alpha)
{
  vec4f c = sample_ramp(ramp, t);
  D3dColor target = (vec4f_to_color(c) & 0x00FFFFFFu) | (uint32_t(alpha) << 24);
  vec4f from = color_to_vec4f(old);
  return vec4f_to_color(from + (color_to_vec4f(target) - from) * v_extract_w(c));
}
