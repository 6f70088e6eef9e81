// Interface boxes: a rectangle with its own radius per corner, filled with the first colour; an
// edge around it in the second colour; under it, when `extra` >= 0, a soft shadow or glow in the
// second colour (the rectangle moved by the offset, grown by the size, blurred over `extra`
// pixels). Coverage is anti-aliased over one pixel. Output is premultiplied colour.
//
// Vertex (44 bytes): POSITION0 quad corner (pixels, y down); TEXCOORD0 rectangle centre and size;
// TEXCOORD1 corner radii / 255 (top-left, top-right, bottom-right, bottom-left); COLOR0 fill;
// COLOR1 edge and shadow; TEXCOORD2 (offset x, offset y, size) / 255 + 0.5 and edge width / 255;
// TEXCOORD3 extra. vs_c[16] maps pixels to clip space.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_pos;
layout(location = ATTR_TEXCOORD0) in vec4 in_box;
layout(location = ATTR_TEXCOORD1) in vec4 in_radii;
layout(location = ATTR_COLOR0) in vec4 in_color;
layout(location = ATTR_COLOR1) in vec4 in_color2;
layout(location = ATTR_TEXCOORD2) in vec4 in_params;
layout(location = ATTR_TEXCOORD3) in float in_extra;

out vec2 v_pos;
flat out vec4 v_box;
flat out vec4 v_radii;
flat out vec4 v_color;
flat out vec4 v_color2;
flat out vec4 v_shadow;  // offset x, offset y, size, extra
flat out float v_edge;

void vsh()
{
  v_pos = in_pos;
  v_box = vec4(in_box.xy, in_box.zw * 0.5);  // centre and half size
  v_radii = in_radii * 255.0;
  v_color = in_color;
  v_color2 = in_color2;
  v_shadow = vec4((in_params.xyz - 0.5) * 255.0, in_extra);
  v_edge = max(in_params.w * 255.0, 0.5);
  gl_Position = vec4(in_pos * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
}
#endif

#ifdef PSH
in vec2 v_pos;
flat in vec4 v_box;
flat in vec4 v_radii;
flat in vec4 v_color;
flat in vec4 v_color2;
flat in vec4 v_shadow;
flat in float v_edge;

// Signed distance from p (relative to the centre) to a box of half size b whose corners are
// rounded by r (top-left, top-right, bottom-right, bottom-left; y points down).
float rounded_box_dist(vec2 p, vec2 b, vec4 r)
{
  vec2 side = step(0.0, p);  // x: right half, y: bottom half
  float rad = side.y > 0.5 ? (side.x > 0.5 ? r.z : r.w) : (side.x > 0.5 ? r.y : r.x);
  rad = clamp(rad, 0.0, max(min(b.x, b.y), 0.0));
  vec2 q = abs(p) - b + rad;
  return min(max(q.x, q.y), 0.0) + length(max(q, 0.0)) - rad;
}

vec4 premul(vec4 c) { return vec4(c.rgb * c.a, c.a); }

void psh()
{
  vec2 p = v_pos - v_box.xy;
  vec2 half_size = max(v_box.zw, vec2(0.0));
  float d = rounded_box_dist(p, half_size, v_radii);

  // Fill inside the rectangle, edge band from the rectangle out to the edge width; each boundary
  // fades over one pixel. An edge of 0.5 gives the two the same boundary: no visible edge.
  float fill = saturate(0.5 - d);
  float outer = saturate(v_edge - d);
  float ring = max(outer - fill, 0.0);
  vec4 c = premul(v_color) * fill + premul(v_color2) * ring;

  float extra = v_shadow.w;
  if (extra >= 0.0)
  {
    // The shadow shape keeps the corner shape, its radii following the growth.
    float grow = v_shadow.z;
    vec2 sb = half_size + grow;
    float sd = rounded_box_dist(p - v_shadow.xy, max(sb, vec2(0.0)), max(v_radii + grow, vec4(0.0)));
    if (sb.x <= 0.0 || sb.y <= 0.0)
      sd = 1e6;
    // Blurred across the shadow's boundary; hidden under the box itself.
    float shadow = 1.0 - smoothstep(-0.5 * extra - 0.5, 0.5 * extra + 0.5, sd);
    c += premul(v_color2) * (shadow * (1.0 - outer));
  }
  oC0 = c;
}
#endif
