// Instanced mesh: rotation and scale rows packed as colours, a position and a colour per
// instance (SimpleInstRender, 28 bytes). Lit from the sky registers (inst_common.inc).
#include "inst_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION10) in vec3 in_ipos;
layout(location = ATTR_POSITION11) in vec4 in_row0;  // direction (signed) in rgb, length / 8 in a
layout(location = ATTR_POSITION12) in vec4 in_row1;
layout(location = ATTR_POSITION13) in vec4 in_row2;
layout(location = ATTR_COLOR10) in vec4 in_icolor;  // times the vertex colour, 0.5 is neutral
#ifdef MORPH
layout(location = ATTR_TEXCOORD1) in vec3 in_morph;  // offset to the second pose
layout(location = ATTR_POSITION15) in vec4 in_weights;  // r: weight of the second pose, 2r - 1
#endif

vec3 row(vec4 c) { return unpack_signed(c) * (c.a * 8.0); }

void vsh()
{
  vec3 p = in_pos;
#ifdef MORPH
  p += in_morph * (in_weights.r * 2.0 - 1.0);
#endif
  vec3 r0 = row(in_row0), r1 = row(in_row1), r2 = row(in_row2);
  vec3 wp = p.x * r0 + p.y * r1 + p.z * r2 + in_ipos;
  vec3 n = in_normal.x * r0 + in_normal.y * r1 + in_normal.z * r2;
  inst_output(wp, n, in_color.rgb * in_icolor.rgb * 2.0, 1.0 - in_color.a);
}
#endif
