// Distance-field text. Texture stage 0 holds, per texel, 0.5 + (distance to the glyph outline) /
// (2 x spread) in the red channel: 0.5 on the outline, 1 at spread texels inside, 0 at spread
// texels outside. Two layers, premultiplied colour out:
// - the glyph in COLOR0, covering d from P.z to 1 - P.z (a band centred on the outline, one
//   screen pixel wide for the default softness: sharp at every size);
// - under it the second layer in COLOR1: the glyph moved by the offset (P.x, P.y) and grown so
//   that its edge lies at d = P.w, anti-aliased over one screen pixel.
// P is the packed TEXCOORD1: offset (0.5 - P.xy) / 32 in texture coordinates, P.z and P.w as the
// engine computes them (docs/dist_fonts.md).
// Vertex (28 bytes): POSITION0 pixels (y down), COLOR0, COLOR1, TEXCOORD0, TEXCOORD1.
// vs_c[16] maps pixels to clip space.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
layout(location = ATTR_COLOR1) in vec4 in_color2;
layout(location = ATTR_TEXCOORD0) in vec2 in_tc;
layout(location = ATTR_TEXCOORD1) in vec4 in_params;
out vec2 v_tc;
flat out vec4 v_color;
flat out vec4 v_color2;
flat out vec4 v_params;

void vsh()
{
  v_tc = in_tc;
  v_color = in_color;
  v_color2 = in_color2;
  v_params = in_params;
  gl_Position = vec4(in_pos * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
}
#endif

#ifdef PSH
#include "dist_common.inc"
in vec2 v_tc;
flat in vec4 v_color;
flat in vec4 v_color2;
flat in vec4 v_params;

void psh()
{
  float d = texture(s0, v_tc).r;
  float d2 = texture(s0, v_tc - dist_offset(v_params.xy)).r;
  float a1 = dist_band(d, v_params.z);
  float a2 = dist_edge(d2, v_params.w);
  vec4 c1 = vec4(v_color.rgb * v_color.a, v_color.a) * a1;
  vec4 c2 = vec4(v_color2.rgb * v_color2.a, v_color2.a) * a2;
  oC0 = c1 + c2 * (1.0 - c1.a);
}
#endif
