// Land normals (1024 x 1024) from the levels (stage 0) by central differences of the bilinear
// levels. rgb: the normal * 0.5 + 0.5; alpha: openness (0.5 flat, more on ridges, less in hollows),
// the ambient shading of the low quality.
#include "sh_common.inc"
#include "sh_postfx.inc"
#include "land_tex.inc"

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
  float e = 0.5 * CELL;
  float l = level_at(v_tc - vec2(e, 0.0)), r = level_at(v_tc + vec2(e, 0.0));
  float d = level_at(v_tc - vec2(0.0, e)), u = level_at(v_tc + vec2(0.0, e));
  vec3 n = normalize(vec3(l - r, 1.0, d - u));
  float h = level_at(v_tc);
  float ring = 0.25 * (level_at(v_tc + vec2(3.0 * CELL, 0.0)) + level_at(v_tc - vec2(3.0 * CELL, 0.0)) +
                       level_at(v_tc + vec2(0.0, 3.0 * CELL)) + level_at(v_tc - vec2(0.0, 3.0 * CELL)));
  oC0 = vec4(n * 0.5 + 0.5, saturate(0.5 + (h - ring) * 0.15));
}
#endif
