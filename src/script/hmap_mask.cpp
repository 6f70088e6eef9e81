// The script class "HmapMask" and the native computations behind its members.
#include "script/hmap_mask.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "script/sq_func.h"
#include "script/sq_ramps.h"
#include "script/world_gen_args.h"
#include "support/color_ramp.h"
#include "support/math_util.h"
#include "support/temp_data.h"
#include "terrain/noise.h"

using HD = HeightmapData;

SQInteger sqbind::SqClassInfo<HmapMask>::release(SQUserPointer p, SQInteger)
{
  delete static_cast<HmapMask *>(p);
  return 0;
}

float mask_get_raw(const float *m, int x, int z) { return m[hmap_idx(x, z)]; }

float mask_bilinear(const float *m, float x, float z)
{
  x = wrap_world_coord(x);
  z = wrap_world_coord(z);
  int i = ifloor(x), j = ifloor(z);
  float fx = x - float(i), fz = z - float(j);
  if (!(fx >= 0 && fx < 1))  // non-finite coordinates read sample (0, 0)
    fx = 0;
  if (!(fz >= 0 && fz < 1))
    fz = 0;
  float a = m[hmap_idx(i, j)], b = m[hmap_idx(i + 1, j)];
  float c = m[hmap_idx(i, j + 1)], d = m[hmap_idx(i + 1, j + 1)];
  float top = a + (b - a) * fx;
  float bottom = c + (d - c) * fx;
  return top + (bottom - top) * fz;
}

void mask_min_max(const float *m, float &min, float &max)
{
  float lo = m[0], hi = m[0];
  for (int i = 1; i < HMAP_CELLS; i++)
  {
    float v = m[i];
    if (v <= lo)
      lo = v;
    if (v > hi)
      hi = v;
  }
  min = lo;
  max = hi;
}

void mask_from_slope(const float *h, float *out)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      auto H = [&](int dx, int dz) { return h[hmap_idx(x + dx, z + dz)]; };
      float gx = 2 * (H(-1, 0) - H(1, 0)) + H(-1, 1) + H(-1, -1) - H(1, 1) - H(1, -1);
      float gz = 2 * (H(0, -1) - H(0, 1)) + H(-1, -1) + H(1, -1) - H(1, 1) - H(-1, 1);
      float len = sqrtf(gx * gx + 64 + gz * gz);
      out[hmap_idx(x, z)] = len > 0 ? 8 / len : 0;
    }
}

void mask_from_simplex_noise(float *out, float scale, int tile, int octaves, const FloatRamp *curve,
                             float persistence)
{
  const float ftile = float(tile);
  const float *c = curve ? curve->c : nullptr;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float fz = float(z) * ftile / 256.f;
    for (int x = 0; x < HMAP_SIZE; x++)
      out[hmap_idx(x, z)] =
          scale * tiled_fractal_noise2(float(x) * ftile / 256.f, fz, tile, octaves, c, persistence);
  }
}

namespace
{
// Runs an operation that adds to hmap on a zeroed hmap and keeps what it added in `out`; hmap is
// restored afterwards.
template <class Op>
void capture_hmap_addition(float *out, Op &&op)
{
  TempDataMap saved;
  memcpy(saved.data, HD::hmap, sizeof(HD::hmap));
  memset(HD::hmap, 0, sizeof(HD::hmap));
  op();
  memcpy(out, HD::hmap, sizeof(HD::hmap));
  memcpy(HD::hmap, saved.data, sizeof(HD::hmap));
}
}  // namespace

void mask_from_voronoi_hills(float *out, int tile, float min_ht, float max_ht, float radius)
{
  capture_hmap_addition(out, [&] { HD::addVoronoiHills(tile, min_ht, max_ht, radius); });
}

void mask_from_voronoi_faults(float *out, int tile, float min_ht, float max_ht, float warp, int warp_scale,
                              int octaves, float sharpness)
{
  capture_hmap_addition(
      out, [&] { HD::genVoronoiFaults(tile, min_ht, max_ht, warp, warp_scale, octaves, sharpness); });
}

// --- script side ---------------------------------------------------------------------------------
namespace
{
HmapMask *self_of(HSQUIRRELVM v)
{
  void *p = sqbind::get_instance_up(v, 1, sqbind::tag_of<HmapMask>());
  if (!p)
    sqbind::throw_error("invalid 'this' in C++ method call");
  return static_cast<HmapMask *>(p);
}

// Calls the script function f with the root table as `this` and two integer arguments; returns
// its result as a float. A failing call raises the script's own error; a non-finite result is an
// error naming the sample.
float call_xz(HSQUIRRELVM v, const SqObject &f, int x, int z)
{
  sqbind::StackGuard guard{v};
  sq_pushobject(v, f.o);
  sq_pushroottable(v);
  sq_pushinteger(v, x);
  sq_pushinteger(v, z);
  sqbind::call_pushed(v, 2);
  const float r = sqbind::SqArg<float>::get(v, -1);
  if (!std::isfinite(r))
    throw_non_finite_result("HmapMask()", r, x, z);
  return r;
}

void mask_ctor(HSQUIRRELVM v, SqObject init)
{
  auto m = std::make_unique<HmapMask>();
  switch (init.type())
  {
    case OT_INTEGER:
    case OT_FLOAT:
    {
      sqbind::StackGuard guard{v};
      sq_pushobject(v, init.o);
      float f = sqbind::SqArg<float>::get(v, -1);
      check_finite_args("HmapMask", {f});
      for (float &e : m->v)
        e = f;
      break;
    }
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
      for (int z = 0; z < HMAP_SIZE; z++)
        for (int x = 0; x < HMAP_SIZE; x++)
          m->v[hmap_idx(x, z)] = call_xz(v, init, x, z);
      break;
    default: sqbind::throw_error("HmapMask() needs a number or a function(x, z)");
  }
  sqbind::init_instance(m.get(), v, &sqbind::SqClassInfo<HmapMask>::release);
  m.release();
}

float mask_getraw(HSQUIRRELVM v, SQInteger x, SQInteger z) { return mask_get_raw(self_of(v)->v, int(x & 255), int(z & 255)); }
float mask_get(HSQUIRRELVM v, float x, float z) { return mask_bilinear(self_of(v)->v, x, z); }

SqObject mask_calc_min_max(HSQUIRRELVM v)
{
  float lo, hi;
  mask_min_max(self_of(v)->v, lo, hi);
  sqbind::StackGuard guard{v};
  sq_newarray(v, 0);
  sq_pushfloat(v, lo);
  sq_arrayappend(v, -2);
  sq_pushfloat(v, hi);
  sq_arrayappend(v, -2);
  SqObject r;
  r.fromStack(v, -1);
  return r;
}

HmapMask *mask_fast_noise(float amplitude, float roughness)
{
  check_finite_args("fastNoise", {amplitude, roughness});
  auto m = std::make_unique<HmapMask>();
  HD::makeFastNoise(m->v, amplitude, roughness);
  return m.release();
}

HmapMask *mask_from_height()
{
  auto m = std::make_unique<HmapMask>();
  memcpy(m->v, HD::hmap, sizeof(m->v));
  return m.release();
}

HmapMask *mask_slope()
{
  auto m = std::make_unique<HmapMask>();
  mask_from_slope(HD::hmap, m->v);
  return m.release();
}

HmapMask *mask_from_water()
{
  auto m = std::make_unique<HmapMask>();
  for (int i = 0; i < HMAP_CELLS; i++)
    m->v[i] = HD::water[i].depth;
  return m.release();
}

HmapMask *mask_simplex(float scale, SQInteger tile, SQInteger octaves, FloatRamp *curve, float persistence)
{
  int t = checked_tile(tile, "tile must be power of 2 in fromSimplexNoise()");
  check_finite_args("fromSimplexNoise", {scale, persistence});
  auto m = std::make_unique<HmapMask>();
  mask_from_simplex_noise(m->v, scale, t, clamped_octaves(octaves), curve, persistence);
  return m.release();
}

HmapMask *mask_voronoi_hills(SQInteger tile, float min_ht, float max_ht, float radius)
{
  int t = checked_tile(tile, "tile must be power of 2 in fromVoronoiHills()");
  check_finite_args("fromVoronoiHills", {min_ht, max_ht, radius});
  auto m = std::make_unique<HmapMask>();
  mask_from_voronoi_hills(m->v, t, min_ht, max_ht, radius);
  return m.release();
}

HmapMask *mask_voronoi_faults(SQInteger tile, float min_ht, float max_ht, float warp, SQInteger warp_scale,
                              SQInteger octaves, float sharpness)
{
  int t = checked_tile(tile, "tile must be power of 2 in fromVoronoiFaults()");
  check_finite_args("fromVoronoiFaults", {min_ht, max_ht, warp, sharpness});
  auto m = std::make_unique<HmapMask>();
  mask_from_voronoi_faults(m->v, t, min_ht, max_ht, warp, clamped_int(warp_scale), clamped_octaves(octaves),
                           sharpness);
  return m.release();
}
}  // namespace

void register_hmap_mask(HSQUIRRELVM v)
{
  using namespace sqbind;
  SqObject cls = create_class(v, "HmapMask", nullptr, tag_of<HmapMask>());
  bind_ctor(cls, &mask_ctor);
  bind_function(v, cls, "getraw", &mask_getraw);
  bind_function(v, cls, "get", &mask_get);
  bind_function(v, cls, "calcMinMax", &mask_calc_min_max);
  bind_function(v, cls, "fastNoise", &mask_fast_noise);
  bind_function(v, cls, "fromHeight", &mask_from_height);
  bind_function(v, cls, "fromSlope", &mask_slope);
  bind_function(v, cls, "fromWater", &mask_from_water);
  bind_function(v, cls, "fromSimplexNoise", &mask_simplex);
  bind_function(v, cls, "fromVoronoiHills", &mask_voronoi_hills);
  bind_function(v, cls, "fromVoronoiFaults", &mask_voronoi_faults);
}
