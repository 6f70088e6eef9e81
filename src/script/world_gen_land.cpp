#include "script/world_gen_land.h"

#include "script/hmap_mask.h"
#include "script/world_gen_hooks.h"
#include "support/color.h"
#include "support/color_ramp.h"

using HD = HeightmapData;

void flatten_circle(float x, float z, float radius, float height, float amount, float power)
{
  const float r2 = radius * radius;
  for_each_in_circle(x, z, radius, [&](int i, float d2) {
    float &h = HD::hmap[i];
    h = h + (1 - powf(d2 / r2, power)) * amount * (height - h);
  });
}

float bilinear_hmap_height(float x, float z) { return mask_bilinear(HD::hmap, x, z); }

float get_average_circle_height(float x, float z, float radius)
{
  x = wrap_world_coord(x);
  z = wrap_world_coord(z);
  float sum = world_gen_hooks.get_land_height ? world_gen_hooks.get_land_height(x, z) : bilinear_hmap_height(x, z);
  int count = 1;
  for_each_in_circle(x, z, radius, [&](int i, float) {
    sum += HD::hmap[i];
    count++;
  });
  return sum / float(count);
}

namespace
{
void set_soil_color(HD::Surface &s, vec4f c)
{
  s.color = vec4f_to_color(c);
  s.top_color = 0;
  s.ground_type = GT_SOIL;
  s.surface_type = ST_NONE;
}
}  // namespace

void recolor_by_height(const ColorRamp &ramp, const float *values)
{
  const float *v = values ? values : HD::hmap;
  float lo = 0, hi = 0;
  int i = 0;
  while (i < HMAP_CELLS && std::isnan(v[i]))
    i++;
  if (i < HMAP_CELLS)
    lo = hi = v[i];
  for (; i < HMAP_CELLS; i++)
  {
    if (v[i] < lo)
      lo = v[i];
    else if (v[i] > hi)
      hi = v[i];
  }
  const float range = hi - lo;
  for (i = 0; i < HMAP_CELLS; i++)
  {
    float t = range > 0 ? (v[i] - lo) / range : 0;
    set_soil_color(HD::surface[i], sample_ramp(ramp, t));
  }
}

void recolor_land4(vec4f c1, vec4f c2, vec4f c3, vec4f c4)
{
  for (HD::Surface &s : HD::surface)
  {
    vec4f w = color_to_vec4f(s.color);
    float r = v_extract_x(w), g = v_extract_y(w), b = v_extract_z(w), a = v_extract_w(w);
    float sum = r + g + b + a;
    vec4f c = sum > 0 ? (c1 * r + c2 * g + c3 * b + c4 * a) / v_splats(sum) : v_zero();
    set_soil_color(s, c);
  }
}

void repaint_sample(int index, vec4f color, int ground, bool with_top, vec4f top, int surface)
{
  HD::Surface &s = HD::surface[index];
  s.color = vec4f_to_color(color);
  s.top_color = with_top ? vec4f_to_color(top) : 0;
  s.ground_type = unsigned(ground) & 15;
  s.surface_type = with_top ? unsigned(surface) & 15 : 0;
}
