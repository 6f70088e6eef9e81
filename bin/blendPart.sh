// Blend particles: sprites of blendfx.dds (s0, white with coverage in alpha) tinted by the
// particle's colour; they cover what lies behind them. fx_part.inc has the vertex layout.
#include "sh_common.inc"
#include "fx_common.inc"
#include "fx_part.inc"

#ifdef PSH
void psh()
{
  vec4 t = texture(s0, v_tc);
  fx_out_blend(t.rgb * v_color.rgb, t.a * v_color.a);
}
#endif
