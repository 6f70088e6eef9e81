// World map, water: the wet quads, from turquoise shallows to deep blue, foam whitening it, fading
// out towards the dry corners so that the shore follows the water's edge. Blended by alpha.
// Vertex: POSITION0 short2 (x, z), TEXCOORD0 float2 (depth, foam).
#include "sh_common.inc"
#include "map_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_xz;
layout(location = ATTR_TEXCOORD0) in vec2 in_water;
out vec2 v_water;

void vsh()
{
  v_water = in_water;
  gl_Position = vec4(in_xz * vs_c[18].xz + vs_c[18].yw + vs_c[19].xy, 0.0, 1.0);
}
#endif

#ifdef PSH
in vec2 v_water;

void psh()
{
  float d = max(v_water.x, 0.0);
  float t = 1.0 - exp(-d * 0.3);
  vec3 c = lerp(vec3(0.36, 0.66, 0.72), vec3(0.07, 0.23, 0.45), t);
  c = lerp(c, vec3(0.9, 0.95, 0.96), saturate(v_water.y) * 0.5);
  oC0 = vec4(c, smoothstep(0.0, 0.12, d) * 0.95 + 0.05 * t);
}
#endif
