// The final pass with post-effects: the scene image (stage 0) with a little more contrast and a
// soft vignette, tinted towards the frame colour's rgb by its alpha (ps_c[1]).
// ps_c[0] = (1 / width, 1 / height, width, height).
#include "sh_common.inc"
#include "sh_postfx.inc"

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
  vec3 c = texture(s0, v_tc).rgb;
  // A gentle S-curve: midtones keep their value, shadows and highlights spread a little.
  c = lerp(c, c * c * (3.0 - 2.0 * c), 0.12);
  // Darken towards the corners, measured in heights so the falloff is round on any aspect.
  vec2 p = (v_tc - 0.5) * vec2(ps_c[0].z / ps_c[0].w, 1.0);
  c *= 1.0 - 0.18 * smoothstep(0.25, 1.1, dot(p, p));
  oC0 = vec4(lerp(c, ps_c[1].rgb, ps_c[1].a), 1.0);
}
#endif
