// World map, light (low quality): hill shading from the normals (stage 0), the hollows darkened
// by their openness (alpha), multiplied into the map.
#include "sh_common.inc"
#include "sh_postfx.inc"
#include "map_common.inc"

#ifdef VSH
out vec2 v_tc;

void vsh()
{
  v_tc = map_tc();
  screen_position();
}
#endif

#ifdef PSH
in vec2 v_tc;

void psh()
{
  vec4 nt = texture(s0, v_tc);
  float s = map_shade(nt.xyz * 2.0 - 1.0, saturate(0.35 + 1.3 * nt.a));
  oC0 = vec4(s, s, s, 1.0);
}
#endif
