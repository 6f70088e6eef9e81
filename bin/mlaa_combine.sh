// Anti-aliasing, pass 4: every pixel beside an edge takes some of the colour across it.
//
// Each run of edge pieces (mlaa_runs.inc) is read as a staircase of a smooth silhouette. At each
// end of the run the edge crossing it shows which way the silhouette continues: into the first
// row (or column) of the two the run separates, into the second, or neither. The reconstructed
// line leaves each end half a pixel to that side and meets the run at its middle; the area
// between the line and the run, column by column, is how much of the pixel on that side belongs
// to the other one. Runs whose ends turn the same way (a bump or a one-pixel line) and runs
// longer than the counts reach are left alone, and a pixel gives away at most half of itself,
// so thin features keep their shape.
//
// Stage 0: the scene image; stage 1: the edge image (red: edge below, green: edge right);
// stage 2: the run lengths (red, green: to the left and right end of the horizontal run; blue,
// alpha: to the top and bottom end of the vertical run), all point filtered; stages 1 and 2 wrap,
// so reads past a border land on the opposite border, whose edge flags are 0.
// ps_c[0] = (1 / width, 1 / height, 0, 0).
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

const float MAX_BLEND = 0.5;

vec4 at(sampler2D s, vec2 offset) { return texture(s, v_tc + offset * ps_c[0].xy); }
// Edge below / right of the pixel at `offset`.
float edge_below(vec2 offset) { return step(0.5, at(s1, offset).r); }
float edge_right(vec2 offset) { return step(0.5, at(s1, offset).g); }
vec2 row_runs(vec2 offset) { return floor(at(s2, offset).rg * 255.0 + 0.5); }
vec2 col_runs(vec2 offset) { return floor(at(s2, offset).ba * 255.0 + 0.5); }

// Where the line leaves one end of a run: +0.5 into the first side, -0.5 into the second,
// 0 when no step crosses there, when both sides do, or when the end may lie beyond the count's
// reach. A crossing counts as a step only when it is one pixel long: a rasterised straight line
// climbs by exactly one pixel at the end of each run, while a longer crossing edge is the other
// side of a corner (or of a line one pixel wide), which stays sharp.
float end_offset(float first, float second, float count)
{
  return count >= 255.0 ? 0.0 : 0.5 * (first - second);
}
// Whether the vertical edge right of the pixel at `o` is a one-pixel step; likewise the
// horizontal edge below it.
float step_right(vec2 o)
{
  vec2 runs = col_runs(o);
  return edge_right(o) * step(runs.x + runs.y, 2.5);
}
float step_below(vec2 o)
{
  vec2 runs = row_runs(o);
  return edge_below(o) * step(runs.x + runs.y, 2.5);
}

// Area between the line and a run of n pixels over its pixel i (0 at the start end), the line
// leaving the start end at h0 and the far end at h1: x the part on the first side, y the part on
// the second side.
vec2 run_area(float i, float n, float h0, float h1)
{
  if (h0 * h1 > 0.0)
    return vec2(0.0);
  float mid = 0.5 * n;
  float area0 = 0.0, area1 = 0.0;
  // Start half: h(t) = h0 (1 - t / mid) on [0, mid].
  float p = i, q = min(i + 1.0, mid);
  if (q > p)
    area0 = (q - p) * h0 * (1.0 - (p + q) / (2.0 * mid));
  // Far half: h(t) = h1 (t / mid - 1) on [mid, n].
  p = max(i, mid);
  q = i + 1.0;
  if (q > p)
    area1 = (q - p) * h1 * ((p + q) / (2.0 * mid) - 1.0);
  return vec2(max(area0, 0.0) + max(area1, 0.0), max(-area0, 0.0) + max(-area1, 0.0));
}

// The horizontal run under the pixel at `o` (rows o.y and o.y + 1): the areas on its upper and
// lower side for this pixel's column.
vec2 row_area(vec2 o)
{
  vec2 runs = row_runs(o);  // to the left end, to the right end
  float h0 = end_offset(step_right(o + vec2(-runs.x, 0.0)), step_right(o + vec2(-runs.x, 1.0)), runs.x);
  float h1 = end_offset(step_right(o + vec2(runs.y - 1.0, 0.0)), step_right(o + vec2(runs.y - 1.0, 1.0)), runs.y);
  return run_area(runs.x - 1.0, runs.x + runs.y - 1.0, h0, h1);
}

// The vertical run right of the pixel at `o` (columns o.x and o.x + 1): the areas on its left
// and right side for this pixel's row.
vec2 col_area(vec2 o)
{
  vec2 runs = col_runs(o);  // to the top end, to the bottom end
  float h0 = end_offset(step_below(o + vec2(0.0, -runs.x)), step_below(o + vec2(1.0, -runs.x)), runs.x);
  float h1 = end_offset(step_below(o + vec2(0.0, runs.y - 1.0)), step_below(o + vec2(1.0, runs.y - 1.0)), runs.y);
  return run_area(runs.x - 1.0, runs.x + runs.y - 1.0, h0, h1);
}

void psh()
{
  vec4 c = at(s0, vec2(0.0));
  float down = 0.0, up = 0.0, right = 0.0, left = 0.0;
  if (edge_below(vec2(0.0)) > 0.0)
    down = row_area(vec2(0.0)).x;
  if (edge_below(vec2(0.0, -1.0)) > 0.0)
    up = row_area(vec2(0.0, -1.0)).y;
  if (edge_right(vec2(0.0)) > 0.0)
    right = col_area(vec2(0.0)).x;
  if (edge_right(vec2(-1.0, 0.0)) > 0.0)
    left = col_area(vec2(-1.0, 0.0)).y;
  float sum = down + up + right + left;
  if (sum <= 0.0)
  {
    oC0 = c;
    return;
  }
  float k = min(1.0, MAX_BLEND / sum);
  vec3 mixed = down * at(s0, vec2(0.0, 1.0)).rgb + up * at(s0, vec2(0.0, -1.0)).rgb +
               right * at(s0, vec2(1.0, 0.0)).rgb + left * at(s0, vec2(-1.0, 0.0)).rgb;
  oC0 = vec4(c.rgb * (1.0 - sum * k) + mixed * k, c.a);
}
#endif
