// The land, deferred (high quality): the surface into three targets.
//   target 0 (D): rgb the view depth / 512 in 24 bits (vs_c[6]: the view's depth column / 512),
//                 a 0 (a surface the lighting pass lights)
//   target 1 (B): rgb the albedo, a the sky aperture
//   target 2 (A): rgb the normal * 0.5 + 0.5, a the sun visibility
// Stage 0 holds the aperture (r: sky, g: sun). See land_common.inc for the other inputs.
#include "sh_common.inc"
#include "land_common.inc"
#include "gbuffer.inc"

#ifdef VSH
out float v_depth;

void vsh()
{
  vec3 w = land_vertex();
  v_depth = dot(vec4(w, 1.0), vs_c[6]);
}
#endif

#ifdef PSH
in float v_depth;
layout(location = 1) out vec4 oC1;
layout(location = 2) out vec4 oC2;

void psh()
{
  LandSurface s = land_surface();
  vec4 aper = texture(s0, v_tc);
  float aperture = aper.r * (0.8 + 0.4 * s.open);
  oC0 = vec4(gbuf_pack_depth(v_depth), 0.0);
  oC1 = vec4(s.albedo, saturate(aperture));
  oC2 = vec4(s.n * 0.5 + 0.5, aper.g);
}
#endif
