// World map, light (high quality): hill shading from the normals (stage 0) times the ambient
// aperture (stage 1, r), multiplied into the map.
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
  vec3 n = texture(s0, v_tc).xyz * 2.0 - 1.0;
  float s = map_shade(n, texture(s1, v_tc).r);
  oC0 = vec4(s, s, s, 1.0);
}
#endif
