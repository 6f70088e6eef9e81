// Instanced mesh bent along a curve (SplineInstRender, 64 bytes): the mesh's z (0..1) runs along
// the cubic Bezier curve of the four points, its x and y go along the side and up directions of
// the curve's frame (up blended from the start's to the end's), colour blended from start to end.
#include "inst_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION10) in vec3 in_p0;
layout(location = ATTR_POSITION11) in vec3 in_p1;
layout(location = ATTR_POSITION12) in vec3 in_p2;
layout(location = ATTR_POSITION13) in vec3 in_p3;
layout(location = ATTR_NORMAL10) in vec4 in_up0;
layout(location = ATTR_NORMAL11) in vec4 in_up1;
layout(location = ATTR_COLOR10) in vec4 in_color0;
layout(location = ATTR_COLOR11) in vec4 in_color1;

void vsh()
{
  float t = saturate(in_pos.z), s = 1.0 - t;
  vec3 p = s * s * s * in_p0 + 3.0 * s * s * t * in_p1 + 3.0 * s * t * t * in_p2 + t * t * t * in_p3;
  vec3 d = 3.0 * s * s * (in_p1 - in_p0) + 6.0 * s * t * (in_p2 - in_p1) + 3.0 * t * t * (in_p3 - in_p2);
  vec3 fwd = length(d) > 1e-6 ? normalize(d) : vec3(0.0, 0.0, 1.0);
  vec3 up = lerp(unpack_signed(in_up0), unpack_signed(in_up1), t);
  vec3 side = cross(up, fwd);
  side = length(side) > 1e-6 ? normalize(side) : vec3(1.0, 0.0, 0.0);
  up = cross(fwd, side);
  vec3 wp = p + side * in_pos.x + up * in_pos.y;
  vec3 n = side * in_normal.x + up * in_normal.y + fwd * in_normal.z;
  vec4 tint = lerp(in_color0, in_color1, t);
  inst_output(wp, n, in_color.rgb * tint.rgb * 2.0, 1.0 - in_color.a);
}
#endif
