// Point upload of colours: one point per texel of a 256 x 256 colour target.
// Vertex: POSITION0 short2 (x, z) the texel, COLOR0 the colour.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
flat out vec4 v_color;

void vsh()
{
  v_color = in_color;
  gl_Position = vec4(in_pos.x / 128.0 - 1.0, 1.0 - in_pos.y / 128.0, 0.0, 1.0);
}
#endif

#ifdef PSH
flat in vec4 v_color;

void psh() { oC0 = v_color; }
#endif
