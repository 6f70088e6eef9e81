// Masks stamped from points and the levels at which water runs off, with their script functions.
#include "script/mask_builders.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "script/hmap_mask.h"
#include "script/sqbind.h"
#include "script/world_gen_args.h"
#include "script/world_gen_land.h"

namespace
{
// A coordinate reduced to [0, 256]; NaN and infinities become NaN (and reach nothing).
float wrap_coord(float c)
{
  float m = std::fmod(c, float(HMAP_SIZE));
  return m < 0 ? m + float(HMAP_SIZE) : m;
}
}  // namespace

void stamp_point_mask(float *out, const MaskPoint *points, size_t count, float falloff)
{
  std::fill(out, out + HMAP_CELLS, 0.f);
  const float f = falloff > 0 ? falloff : 0;
  for (size_t k = 0; k < count; k++)
  {
    const MaskPoint &p = points[k];
    const float r = std::min(p.radius, MAX_MASK_POINT_RADIUS);
    if (!std::isfinite(p.value) || !(r > 0))
      continue;
    const float inv_r2 = 1 / (r * r);
    for_each_in_circle(wrap_coord(p.x), wrap_coord(p.z), r, [&](int i, float d2) {
      const float w = 1 - d2 * inv_r2;
      const float v = p.value * (f == 0 ? 1 : f == 1 ? w : powf(w, f));
      if (std::fabs(v) > std::fabs(out[i]))
        out[i] = v;
    });
  }
}

void fill_levels(const float *heights, float level, float *out)
{
  // A priority flood: the samples are taken lowest level first (the lower index first among
  // equals), each giving its level to the neighbours not yet reached.
  using Entry = std::pair<float, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  std::vector<bool> reached(HMAP_CELLS);
  auto start = [&](int i) {
    out[i] = heights[i];
    reached[i] = true;
    queue.push({out[i], i});
  };
  for (int i = 0; i < HMAP_CELLS; i++)
    if (heights[i] < level)
      start(i);
  if (queue.empty())
    start(int(std::min_element(heights, heights + HMAP_CELLS) - heights));
  while (!queue.empty())
  {
    const auto [key, i] = queue.top();
    queue.pop();
    const int x = i & (HMAP_SIZE - 1), z = i >> HMAP_SIZE_SHIFT;
    for (int dz = -1; dz <= 1; dz++)
      for (int dx = -1; dx <= 1; dx++)
      {
        const int n = hmap_idx(x + dx, z + dz);
        if (reached[n])
          continue;
        reached[n] = true;
        out[n] = std::max(heights[n], std::nextafter(key, INFINITY));
        queue.push({out[n], n});
      }
  }
}

// --- script side ---------------------------------------------------------------------------------
namespace
{
const char *const points_error =
    "mask_from_points() needs an array of points [x, z], [x, z, value] or [x, z, value, radius]";

// Element k of the array on the stack top as a finite float.
float element_float(HSQUIRRELVM v, SQInteger k)
{
  sqbind::StackGuard guard{v};
  sq_pushinteger(v, k);
  SQFloat f = 0;
  if (SQ_FAILED(sq_get(v, -2)) || (sq_gettype(v, -1) != OT_FLOAT && sq_gettype(v, -1) != OT_INTEGER) ||
      SQ_FAILED(sq_getfloat(v, -1, &f)))
    sqbind::throw_error(points_error);
  check_finite_args("mask_from_points", {float(f)});
  return float(f);
}

HmapMask *mask_from_points(HSQUIRRELVM v, SqObject points, float radius, float falloff)
{
  check_finite_args("mask_from_points", {radius, falloff});
  std::vector<MaskPoint> list;
  {
    sqbind::StackGuard guard{v};
    if (!points.pushTarget(v) || sq_gettype(v, -1) != OT_ARRAY)
      sqbind::throw_error(points_error);
    const SQInteger n = sq_getsize(v, -1);
    list.reserve(size_t(n));
    for (SQInteger k = 0; k < n; k++)
    {
      sqbind::StackGuard item{v};
      sq_pushinteger(v, k);
      sq_get(v, -2);
      const SQInteger size = sq_gettype(v, -1) == OT_ARRAY ? sq_getsize(v, -1) : 0;
      if (size < 2 || size > 4)
        sqbind::throw_error(points_error);
      MaskPoint p{element_float(v, 0), element_float(v, 1), 1.f, radius};
      if (size > 2)
        p.value = element_float(v, 2);
      if (size > 3)
        p.radius = element_float(v, 3);
      list.push_back(p);
    }
  }
  auto m = std::make_unique<HmapMask>();
  stamp_point_mask(m->v, list.data(), list.size(), falloff);
  return m.release();
}

HmapMask *mask_fill_levels(HmapMask *heights, float level)
{
  if (!heights)
    sqbind::throw_error(sqbind::type_error_text);
  check_finite_args("mask_fill_levels", {level});
  for (float h : heights->v)
    if (!std::isfinite(h))
      sqbind::throw_error("non-finite height in mask_fill_levels()");
  auto m = std::make_unique<HmapMask>();
  fill_levels(heights->v, level, m->v);
  return m.release();
}
}  // namespace

void register_mask_builders(HSQUIRRELVM v)
{
  SqObject root = sqbind::root_table(v);
  sqbind::bind_function(v, root, "mask_from_points", &mask_from_points);
  sqbind::bind_function(v, root, "mask_fill_levels", &mask_fill_levels);
}
