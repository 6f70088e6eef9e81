// Deferred lighting: the surfaces of D, B, A (gbuffer.inc, stages 8, 9, 10) lit by the sun and the
// sky as the land is lit (land_light.inc), the sun dimmed by the object shadows (stage 11, white
// where nothing shades), into C. Glowing surfaces keep their share of B's colour as it is.
// Registers: vs_c[16] the full-screen mapping; ps_c[0] the sun, ps_c[1..12] the sky registers.
#include "sh_common.inc"
#include "sh_postfx.inc"
#include "land_light.inc"
#include "gbuffer.inc"

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
  vec4 d = texture(s8, v_tc), b = texture(s9, v_tc), a = texture(s10, v_tc);
  float shadow = texture(s11, v_tc).r;
  vec3 lit = land_light(b.rgb, gbuf_normal(a), b.a, a.a * shadow);
  oC0 = vec4(land_roll_off(lerp(lit, b.rgb, d.a)), 1.0);
}
#endif
