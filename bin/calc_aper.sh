// Ambient aperture of the land (256 x 256) from the levels (stage 0): how much of the sky each
// sample sees, from the horizon found along several directions, and how much of the sun.
// QUALITY 0, 1, 2: more directions and steps. ps_c[0].xyz: the sun direction.
// r, b: the aperture (1 open plain, less in valleys and under cliffs); g: sun visibility with a
// soft edge; a: 1.
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

#if QUALITY == 0
const int DIRS = 6;
const int STEPS = 6;
const float GROWTH = 1.9;
#elif QUALITY == 1
const int DIRS = 10;
const int STEPS = 9;
const float GROWTH = 1.6;
#else
const int DIRS = 14;
const int STEPS = 12;
const float GROWTH = 1.45;
#endif

// The sine of the highest elevation seen from height h0 along direction dir (in samples).
float horizon(vec2 dir, float h0)
{
  float best = 0.0;
  float dist = 0.7;
  for (int i = 0; i < STEPS; i++)
  {
    float h = level_at(v_tc + dir * dist * CELL);
    float rise = (h - h0) / dist;
    best = max(best, rise);
    dist *= GROWTH;
  }
  return best / sqrt(1.0 + best * best);
}

void psh()
{
  float h0 = level_at(v_tc) + 0.05;
  float hidden = 0.0;
  float spin = fract(sin(dot(v_tc, vec2(12.9898, 78.233))) * 43758.547) * 6.2831853 / float(DIRS);
  for (int d = 0; d < DIRS; d++)
  {
    float a = spin + float(d) * 6.2831853 / float(DIRS);
    hidden += horizon(vec2(cos(a), sin(a)), h0);
  }
  float aperture = saturate(1.0 - hidden / float(DIRS) * 1.4);

  // The sun: the horizon towards it against its elevation, softened by a few degrees.
  vec3 sun = ps_c[0].xyz;
  float flat_len = length(sun.xz);
  float sun_vis = 1.0;
  if (flat_len > 1e-4)
  {
    float seen = horizon(sun.xz / flat_len, h0);
    sun_vis = smoothstep(-0.06, 0.06, sun.y - seen);
  }
  oC0 = vec4(aperture, sun_vis, aperture, 1.0);
}
#endif
