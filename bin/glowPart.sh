// Glow particles: sprites of glowfx.dds (s0, light on black) times the particle's colour and its
// alpha, added to what lies behind them. fx_part.inc has the vertex layout.
#include "sh_common.inc"
#include "fx_common.inc"
#include "fx_part.inc"

#ifdef PSH
void psh()
{
  vec3 t = texture(s0, v_tc).rgb;
  fx_out_glow(t * v_color.rgb * v_color.a);
}
#endif
