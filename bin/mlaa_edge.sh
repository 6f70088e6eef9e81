// Anti-aliasing, pass 1: the edge image. Red: the pixel differs from the one below (a piece of
// a horizontal edge under it); green: it differs from the one to its right (a piece of a
// vertical edge right of it). Stage 0: the scene image, point filtered, clamped (the last row and
// column compare with themselves and have no edge). vs_c[17] = (1 / width, 1 / height, 0, 0).
#include "sh_common.inc"
#include "sh_postfx.inc"

#ifdef VSH
out vec2 v_tc, v_right, v_below;

void vsh()
{
  v_tc = screen_tc();
  v_right = v_tc + vec2(vs_c[17].x, 0.0);
  v_below = v_tc + vec2(0.0, vs_c[17].y);
  screen_position();
}
#endif

#ifdef PSH
in vec2 v_tc, v_right, v_below;

// Two pixels differ when their perceived brightness does by more than this.
const float EDGE_THRESHOLD = 0.1;

float luma(vec2 tc) { return dot(texture(s0, tc).rgb, vec3(0.299, 0.587, 0.114)); }

void psh()
{
  float l = luma(v_tc);
  float below = step(EDGE_THRESHOLD, abs(l - luma(v_below)));
  float right = step(EDGE_THRESHOLD, abs(l - luma(v_right)));
  oC0 = vec4(below, right, 0.0, 0.0);
}
#endif
