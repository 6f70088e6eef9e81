// The water, deferred (high quality), with its current-borne pattern and foam (FLOW), into two
// targets, blended by source alpha:
//   target 0 (D): rgb the view depth / 512 in 24 bits, a 1: a lit colour (the lighting pass keeps it)
//   target 1 (B): rgb the lit water colour, a its opacity over the ground
// Stage 0: the aperture (g: sun visibility). See water_common.inc for the other inputs.
#define FLOW 1
#include "sh_common.inc"
#include "land_light.inc"
#include "water_common.inc"
#include "gbuffer.inc"

#ifdef VSH
out float v_depth;

void vsh()
{
  vec3 w = water_vertex();
  v_depth = dot(vec4(w, 1.0), vs_c[6]);
}
#endif

#ifdef PSH
in float v_depth;
layout(location = 1) out vec4 oC1;

void psh()
{
  vec4 c = water_color(texture(s0, v_tc).g);
  oC0 = vec4(gbuf_pack_depth(v_depth), 1.0);
  oC1 = c;
}
#endif
