// The land, forward (low quality): lit from the sky registers and fogged, into the scene image.
// The ambient shade comes from the normals' openness. See land_common.inc for the inputs.
#include "sh_common.inc"
#include "land_common.inc"
#include "land_light.inc"

#ifdef VSH
void vsh() { land_vertex(); }
#endif

#ifdef PSH
void psh()
{
  LandSurface s = land_surface();
  float aperture = saturate(0.35 + 1.3 * s.open) * 0.9;
  vec3 c = land_light(s.albedo, s.n, aperture, 1.0);
  oC0 = vec4(land_roll_off(land_fog(c, v_view)), 1.0);
}
#endif
