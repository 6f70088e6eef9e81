// Trails and lightning bolts: triangle lists of POSITION0 float3 (world), COLOR0, TEXCOORD0.
// v in 0..0.25: a trail's ribbon (u along it, v across); v in 0.25..0.5: the sprite at a trail's
// head, read from glowfx.dds (s0); v in 0.75..1: a bolt (u along it, v across). Ribbons and bolts
// are drawn from their coordinates: a bright core with a soft rim, flickering along u.
#include "sh_common.inc"
#include "fx_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec3 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
layout(location = ATTR_TEXCOORD0) in vec2 in_tc;
out vec4 v_color;
out vec2 v_tc;

void vsh()
{
  v_color = in_color;
  v_tc = in_tc;
  gl_Position = mul_vs_c(vec4(in_pos, 1.0), 0);
}
#endif

#ifdef PSH
in vec4 v_color;
in vec2 v_tc;

// Across a band: 1 on its centre line, 0 at its edges; a hot core inside a soft halo.
vec2 band(float across)
{
  float d = abs(across * 2.0 - 1.0);
  float halo = 1.0 - d * d;
  float core = 1.0 - smoothstep(0.05, 0.45, d);
  return vec2(core, halo);
}

void psh()
{
  vec3 light;
  if (v_tc.y < 0.25)
  {
    vec2 b = band(v_tc.y * 4.0);
    float ripple = 0.8 + 0.2 * sin(v_tc.x * 40.0);
    light = v_color.rgb * (b.y * 0.8 * ripple) + vec3(b.x * 0.6) * v_color.rgb;
  }
  else if (v_tc.y < 0.5)
    light = texture(s0, v_tc).rgb * v_color.rgb;
  else
  {
    vec2 b = band((v_tc.y - 0.75) * 4.0);
    float flicker = 0.75 + 0.25 * sin(v_tc.x * 23.0 + sin(v_tc.x * 7.0) * 3.0);
    light = v_color.rgb * (b.y * flicker) + vec3(b.x * 1.2) * v_color.a;
  }
  fx_out_glow(light * v_color.a);
}
#endif
