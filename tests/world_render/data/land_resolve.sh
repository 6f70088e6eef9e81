// Test-only resolve of the deferred targets that dr_land.sh and dr_water.sh write, lit and hazed
// with the land's own light (land_light.inc), so that the pictures of the high quality can be
// looked at before the scene frame's lighting passes exist. Stages 8, 9, 10: D, B, A.
// vs_c[16] the full-screen mapping, vs_c[17..19] the camera rows scaled to rebuild the view ray.
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
  vec4 d = texture(s8, v_tc), b = texture(s9, v_tc), a = texture(s10, v_tc);
  vec3 view = v_ray * gbuf_unpack_depth(d.rgb);
  vec3 c = d.a > 0.5 ? b.rgb : land_light(b.rgb, normalize(a.rgb * 2.0 - 1.0), b.a, a.a);
  oC0 = vec4(land_roll_off(land_fog(c, view)), 1.0);
}
#endif
