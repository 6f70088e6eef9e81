// Debug text: the font texture on stage 0 (nearest texel) times the vertex colour, written as
// premultiplied colour. Vertex (12 bytes): POSITION0 short2 pixels (origin bottom-left, y up),
// COLOR0, TEXCOORD0 short2 texture pixels. vs_c[16] maps pixels to clip space, vs_c[17].xy is
// 1 / the texture size.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
layout(location = ATTR_TEXCOORD0) in vec2 in_tc;
out vec4 v_color;
out vec2 v_tc;

void vsh()
{
  v_color = in_color;
  v_tc = in_tc * vs_c[17].xy;
  gl_Position = vec4(in_pos * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
}
#endif

#ifdef PSH
in vec4 v_color;
in vec2 v_tc;

void psh()
{
  vec4 c = texture(s0, v_tc) * v_color;
  oC0 = vec4(c.rgb * c.a, c.a);
}
#endif
