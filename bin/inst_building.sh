// House and castle pieces (BuildingInstRender, 24 bytes): the piece, modelled in the unit square,
// turned by the rotation (bit 0 swaps x and z, bit 1 mirrors x, bit 2 mirrors z), placed on the
// ground square (x, z) and raised onto its corner heights: each vertex blends the heights at two
// points of the square (TEXCOORD0) by TEXCOORD1 and adds its own y.
#include "inst_common.inc"

#ifdef VSH
layout(location = ATTR_TEXCOORD0) in vec4 in_samples;  // point A (u, v), point B (u, v)
layout(location = ATTR_TEXCOORD1) in float in_blend;   // 0: A's height, 1: B's
layout(location = ATTR_POSITION10) in vec2 in_square;  // x, z
layout(location = ATTR_POSITION11) in vec4 in_heights; // (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1)
layout(location = ATTR_POSITION12) in vec4 in_rot_color;  // tint in rgb, rotation 0..7 in a

vec2 turn(vec2 p, int rot)
{
  if ((rot & 1) != 0)
    p = p.yx;
  if ((rot & 2) != 0)
    p.x = 1.0 - p.x;
  if ((rot & 4) != 0)
    p.y = 1.0 - p.y;
  return p;
}

float height_at(vec2 p)
{
  return lerp(lerp(in_heights.x, in_heights.y, p.x), lerp(in_heights.z, in_heights.w, p.x), p.y);
}

void vsh()
{
  int rot = int(in_rot_color.a * 255.0 + 0.5) & 7;
  vec2 uv = turn(in_pos.xz, rot);
  float y = lerp(height_at(turn(in_samples.xy, rot)), height_at(turn(in_samples.zw, rot)), in_blend) + in_pos.y;
  vec3 wp = vec3(in_square.x + uv.x, y, in_square.y + uv.y);
  vec3 n = in_normal;
  if ((rot & 1) != 0)
    n.xz = n.zx;
  if ((rot & 2) != 0)
    n.x = -n.x;
  if ((rot & 4) != 0)
    n.z = -n.z;
  vec3 tint = lerp(vec3(1.0), in_rot_color.rgb * 2.0, 0.35);
  inst_output(wp, n, in_color.rgb * tint, 1.0 - in_color.a);
}
#endif
