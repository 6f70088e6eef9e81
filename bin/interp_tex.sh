// Cross-fade of two texture generations: stage 0 the older, stage 1 the newest, ps_c[0].x the
// weight of the newest.
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

void psh() { oC0 = lerp(texture(s0, v_tc), texture(s1, v_tc), ps_c[0].x); }
#endif
