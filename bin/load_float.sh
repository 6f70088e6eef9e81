// Point upload of levels: one point per texel of a 256 x 256 float target.
// Vertex: POSITION0 short2 (x, z) the texel, TEXCOORD0 float the value.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_TEXCOORD0) in float in_value;
flat out float v_value;

void vsh()
{
  v_value = in_value;
  gl_Position = vec4(in_pos.x / 128.0 - 1.0, 1.0 - in_pos.y / 128.0, 0.0, 1.0);
}
#endif

#ifdef PSH
flat in float v_value;

void psh() { oC0 = vec4(v_value, 0.0, 0.0, 1.0); }
#endif
