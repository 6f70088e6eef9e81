// A check shader: vertex colour times vertex register 0, times pixel register 0. With the define
// TEXTURED the result is also multiplied by stage 0 at the vertex's first texture coordinate.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec3 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
#ifdef TEXTURED
layout(location = ATTR_TEXCOORD0) in vec2 in_tc;
out vec2 v_tc;
#endif
out vec4 v_color;

void vsh()
{
  v_color = in_color * vs_c[0];
#ifdef TEXTURED
  v_tc = in_tc;
#endif
  gl_Position = vec4(in_pos, 1.0);
}
#endif

#ifdef PSH
in vec4 v_color;
#ifdef TEXTURED
in vec2 v_tc;
#endif

void psh()
{
  oC0 = v_color * ps_c[0];
#ifdef TEXTURED
  oC0 *= texture(s0, v_tc);
#endif
}
#endif
