// Interface images: texture stage 0 at the vertex texture coordinate times the vertex colour,
// written as premultiplied colour. Vertex (20 bytes): POSITION0 pixels (y down), COLOR0,
// TEXCOORD0. vs_c[16] maps pixels to clip space.
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
  v_tc = in_tc;
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
