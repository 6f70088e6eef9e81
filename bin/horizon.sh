// The horizon ring (deferred path only, straight into the scene image): the world tiled around
// itself towards the horizon, lit and hazed as the land. Vertex: POSITION0 short2 (x, z),
// TEXCOORD0 float the level (already bent down with distance). Stages: 1 levels, 2 colours,
// 3 top colours. vs_c[0..3], vs_c[4], vs_c[16] and the pixel registers as for the land.
#include "sh_common.inc"
#include "land_light.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_xz;
layout(location = ATTR_TEXCOORD0) in float in_h;
out vec3 v_view;
out vec2 v_tc;

void vsh()
{
  vec3 w = vec3(in_xz.x, in_h, in_xz.y);
  v_view = w - vs_c[4].xyz;
  v_tc = w.xz * vs_c[16].xy + vs_c[16].z;
  gl_Position = mul_vs_c(vec4(w, 1.0), 0);
}
#endif

#ifdef PSH
in vec3 v_view;
in vec2 v_tc;

void psh()
{
  const float e = 2.0 / 256.0;
  float l = texture(s1, v_tc - vec2(e, 0.0)).r, r = texture(s1, v_tc + vec2(e, 0.0)).r;
  float d = texture(s1, v_tc - vec2(0.0, e)).r, u = texture(s1, v_tc + vec2(0.0, e)).r;
  vec3 n = normalize(vec3((l - r) * 0.25, 1.0, (d - u) * 0.25));
  vec4 top = texture(s3, v_tc);
  vec3 albedo = lerp(texture(s2, v_tc).rgb, top.rgb, top.a);
  vec3 c = land_light(albedo, n, 0.85, 1.0);
  oC0 = vec4(land_roll_off(land_fog(c, v_view)), 1.0);
}
#endif
