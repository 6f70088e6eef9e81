// Deferred final pass onto the scene image: the lit surfaces of C (stage 11) hazed towards the
// horizon by their distance, rebuilt from the depth in D (stage 8, gbuffer.inc).
// Registers: vs_c[16] the full-screen mapping, vs_c[17..19] the camera's rows scaled so that the
// view ray times depth / 512 is the offset from the camera; ps_c[0..12] the sun and sky registers,
// ps_c[17].x 1 with fog.
#include "sh_common.inc"
#include "sh_postfx.inc"
#include "land_light.inc"
#include "gbuffer.inc"

#ifdef VSH
out vec2 v_tc;
out vec3 v_ray;

void vsh()
{
  v_tc = screen_tc();
  v_ray = in_pos.x * vs_c[17].xyz + in_pos.y * vs_c[18].xyz + vs_c[19].xyz;
  screen_position();
}
#endif

#ifdef PSH
in vec2 v_tc;
in vec3 v_ray;

void psh()
{
  vec3 c = texture(s11, v_tc).rgb;
  if (ps_c[17].x > 0.5)
    c = land_fog(c, v_ray * gbuf_unpack_depth(texture(s8, v_tc).rgb));
  oC0 = vec4(c, 1.0);
}
#endif
