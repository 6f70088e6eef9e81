// The final pass without post-effects: the scene image (stage 0) copied onto the back buffer,
// tinted towards the frame colour's rgb by its alpha (ps_c[1]).
#include "sh_common.inc"
#include "sh_postfx.inc"

#ifdef VSH
out vec2 v_tc;

void vsh()
{
  v_tc = screen_tc();
  screen_position();
}
#endif

#ifdef PSH
in vec2 v_tc;

void psh()
{
  vec3 c = texture(s0, v_tc).rgb;
  oC0 = vec4(lerp(c, ps_c[1].rgb, ps_c[1].a), 1.0);
}
#endif
