// The water, forward (low quality): blended over the land in the scene image. See
// water_common.inc for the inputs.
#include "sh_common.inc"
#include "land_light.inc"
#include "water_common.inc"

#ifdef VSH
void vsh() { water_vertex(); }
#endif

#ifdef PSH
void psh()
{
  vec4 c = water_color(1.0);
  oC0 = vec4(land_roll_off(land_fog(c.rgb, v_view)), c.a);
}
#endif
