// World map, ground: the colour (stage 0) with the top colour (stage 1) over it by its alpha,
// one sample per two by two pixels (point sampling).
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
  vec4 base = texture(s0, v_tc), top = texture(s1, v_tc);
  vec3 c = lerp(base.rgb, top.rgb, top.a);
  // A little more colour than the land's albedo: the map is read at a glance.
  float grey = dot(c, vec3(0.3, 0.5, 0.2));
  oC0 = vec4(saturate(lerp(vec3(grey), c, 1.15) * 1.08), 1.0);
}
#endif
