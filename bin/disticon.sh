// Distance-field icons. Texture stage 0 holds four distance fields, one per channel (red, green,
// blue, alpha), each 0.5 + (distance to its part's outline) / (2 x spread). The parts are drawn
// over each other in that order in the colours TEXCOORD1..4; under them lies the second layer in
// COLOR0: the union of the parts, moved by the offset (P.x, P.y) and grown so that its edge lies
// at d = P.z, anti-aliased over one screen pixel. The parts cover d from P.w to 1 - P.w (one
// screen pixel wide for the default softness). Premultiplied colour out.
// P is the packed COLOR1: offset (0.5 - P.xy) / 32 in texture coordinates, P.z and P.w as the
// engine computes them (docs/dist_fonts.md).
// Vertex (40 bytes): POSITION0 pixels (y down), COLOR0, COLOR1, TEXCOORD0, TEXCOORD1..4.
// vs_c[16] maps pixels to clip space.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color1;
layout(location = ATTR_COLOR1) in vec4 in_params;
layout(location = ATTR_TEXCOORD0) in vec2 in_tc;
layout(location = ATTR_TEXCOORD1) in vec4 in_part0;
layout(location = ATTR_TEXCOORD2) in vec4 in_part1;
layout(location = ATTR_TEXCOORD3) in vec4 in_part2;
layout(location = ATTR_TEXCOORD4) in vec4 in_part3;
out vec2 v_tc;
flat out vec4 v_color1;
flat out vec4 v_params;
flat out vec4 v_part[4];

void vsh()
{
  v_tc = in_tc;
  v_color1 = in_color1;
  v_params = in_params;
  v_part[0] = in_part0;
  v_part[1] = in_part1;
  v_part[2] = in_part2;
  v_part[3] = in_part3;
  gl_Position = vec4(in_pos * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
}
#endif

#ifdef PSH
#include "dist_common.inc"
in vec2 v_tc;
flat in vec4 v_color1;
flat in vec4 v_params;
flat in vec4 v_part[4];

void psh()
{
  vec4 d = texture(s0, v_tc);
  vec4 d2 = texture(s0, v_tc - dist_offset(v_params.xy));
  // Parts whose colour is fully transparent take no part in the second layer either.
  vec4 used = vec4(v_part[0].a, v_part[1].a, v_part[2].a, v_part[3].a);
  vec4 du = mix(vec4(0.0), d2, step(0.002, used));
  float a2 = dist_edge(max(max(du.r, du.g), max(du.b, du.a)), v_params.z);
  vec4 c = vec4(v_color1.rgb * v_color1.a, v_color1.a) * a2;
  for (int i = 0; i < 4; i++)
  {
    float a = dist_band(d[i], v_params.w) * v_part[i].a;
    c = vec4(v_part[i].rgb * a, a) + c * (1.0 - a);
  }
  oC0 = c;
}
#endif
