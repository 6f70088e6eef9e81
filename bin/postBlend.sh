// Lays the effects over the scene image (premultiplied-alpha blending onto it): s0 (and s1) the
// effect target(s) of fx_common.inc, vs_c[16] the screen mapping. Where blend sprites pile up
// beyond full coverage their colour is their coverage-weighted mean, not their sum.
#include "sh_common.inc"
#include "sh_postfx.inc"
#include "fx_common.inc"

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
  vec4 e = texture(s0, v_tc);
#ifdef SINGLE_RT
  float a = max(e.a, 0.0);
  oC0 = vec4(e.rgb / max(a, 1.0), min(a, 1.0));
#else
  e /= FX_BLEND_SCALE;
  vec3 glow = texture(s1, v_tc).rgb;
  oC0 = vec4(e.rgb / max(e.a, 1.0) + glow, min(e.a, 1.0));
#endif
}
#endif
