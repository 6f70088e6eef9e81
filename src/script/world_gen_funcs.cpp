// The generation functions bound into the world generation machine's root table.
#include "script/world_gen_funcs.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "script/hmap_mask.h"
#include "script/mask_builders.h"
#include "script/sq_func.h"
#include "script/sq_ramps.h"
#include "script/sq_vec4f.h"
#include "script/world_gen_args.h"
#include "script/world_gen_hooks.h"
#include "script/world_gen_land.h"
#include "support/point2.h"
#include "support/splash.h"
#include "terrain/noise.h"

using HD = HeightmapData;

void check_finite_args(const char *func, std::initializer_list<float> values)
{
  for (float f : values)
    if (!std::isfinite(f))
    {
      static char text[128];
      snprintf(text, sizeof(text), "non-finite argument in %s()", func);
      sqbind::throw_error(text);
    }
}

void throw_non_finite_result(const char *func, float value, int x, int z)
{
  static char text[160];
  snprintf(text, sizeof(text), "%s function returned %g at x %d, z %d", func, double(value), x, z);
  sqbind::throw_error(text);
}

namespace
{
// The height range checks of the noise operations, as script errors.
void check_height_range(const char *func, float min_ht, float max_ht)
{
  static char text[128];
  if (!(min_ht <= max_ht))
    snprintf(text, sizeof(text), "min_ht<=max_ht failed in %s()", func);
  else if (!(min_ht >= 0))
    snprintf(text, sizeof(text), "min_ht>=0 failed in %s()", func);
  else
    return;
  sqbind::throw_error(text);
}

int ground_arg(SQInteger g) { return g == GT_NONE ? GT_NONE : int(g & 15); }

void place_house(SQInteger x, SQInteger z, SQInteger kind)
{
  HD::placeHouse(int(x & 255), int(z & 255), clamped_int(kind), HD::hmap, false);
}

void add_fast_noise(float min_ht, float max_ht, ColorRamp *ramp, SQInteger ground, SQInteger alpha, float roughness)
{
  check_finite_args("add_fast_noise", {min_ht, max_ht, roughness});
  check_height_range("add_fast_noise", min_ht, max_ht);
  int a = alpha < 0 ? 0 : alpha > 255 ? 255 : int(alpha);
  HD::addFastNoise(min_ht, max_ht, ramp, ground_arg(ground), a, roughness);
}

void add_simplex_noise(float min_ht, float max_ht, SQInteger tile, SQInteger octaves, float persistence)
{
  check_finite_args("add_simplex_noise", {min_ht, max_ht, persistence});
  check_height_range("add_simplex_noise", min_ht, max_ht);
  int t = checked_tile(tile, "tile must be power of 2 in add_simplex_noise()");
  HD::addSimplexNoise(min_ht, max_ht, t, clamped_octaves(octaves), persistence);
}

void gen_fault(float x, float z, float dir_x, float dir_z, float height, float balance, float jaggedness,
               ColorRamp *ramp, SQInteger ground)
{
  check_finite_args("gen_fault", {x, z, dir_x, dir_z, height, balance, jaggedness});
  HD::genFault(Point2{x, z}, Point2{dir_x, dir_z}, height, balance, jaggedness, ramp, ground_arg(ground), 255,
               HD::hmap);
}

void gen_crater(float x, float z, float radius, float depth)
{
  check_finite_args("gen_crater", {x, z, radius, depth});
  HD::genCrater(Point2{wrap_world_coord(x), wrap_world_coord(z)}, radius, depth, HD::hmap);
}

void gen_droplet_erosion(HSQUIRRELVM v, SQInteger droplets, SqObject params)
{
  if (droplets > MAX_EROSION_DROPLETS)
  {
    static char text[128];
    snprintf(text, sizeof(text), "gen_droplet_erosion() runs at most %lld droplets, not %lld",
             (long long)MAX_EROSION_DROPLETS, (long long)droplets);
    sqbind::throw_error(text);
  }
  HD::ErosionParams p;
  if (!params.isNull())
    read_erosion_params(v, params, p);
  p.progress = show_splash;
  HD::genDropletErosion(droplets <= 0 ? 0u : unsigned(droplets), p);
}

void add_voronoi_hills(SQInteger tile, float min_ht, float max_ht, float radius)
{
  check_finite_args("add_voronoi_hills", {min_ht, max_ht, radius});
  HD::addVoronoiHills(checked_tile(tile, "tile must be power of 2 in add_voronoi_hills()"), min_ht, max_ht, radius);
}

void gen_voronoi_faults(SQInteger tile, float min_ht, float max_ht, float warp, SQInteger warp_scale,
                        SQInteger octaves, float sharpness)
{
  check_finite_args("gen_voronoi_faults", {min_ht, max_ht, warp, sharpness});
  int t = checked_tile(tile, "tile must be power of 2 in gen_voronoi_faults()");
  HD::genVoronoiFaults(t, min_ht, max_ht, warp, clamped_int(warp_scale), clamped_octaves(octaves), sharpness);
}

float recenter_hmap() { return HD::recenterHt(); }

void set_sun_dir(vec4f dir)
{
  if (world_gen_hooks.set_sun_dir)
    world_gen_hooks.set_sun_dir(dir);
}

void script_flatten_circle(float x, float z, float radius, float height, float amount, float power)
{
  check_finite_args("flatten_circle", {x, z, radius, height, amount, power});
  flatten_circle(x, z, radius, height, amount, power);
}

float script_average_circle_height(float x, float z, float radius)
{
  check_finite_args("get_average_circle_height", {x, z, radius});
  return get_average_circle_height(x, z, radius < 0 ? 0 : radius);
}

void script_reseed_noise() { reseed_noise(); }
float script_noise1(float x) { return noise1(x); }
float script_fractal_noise1(float x, SQInteger octaves, FloatRamp *curve, float persistence)
{
  return fractal_noise1(x, clamped_octaves(octaves), curve ? curve->c : nullptr, persistence);
}
float script_tiled_noise2(float x, float y, SQInteger tile)
{
  return tiled_noise2(x, y, checked_tile(tile, "tile must be power of 2 in tiled_noise2()"));
}
float script_tiled_fractal_noise2(float x, float y, SQInteger tile, SQInteger octaves, FloatRamp *curve,
                                  float persistence)
{
  int t = checked_tile(tile, "tile must be power of 2 in tiled_fractal_noise2()");
  return tiled_fractal_noise2(x, y, t, clamped_octaves(octaves), curve ? curve->c : nullptr, persistence);
}
SQInteger script_noise_hash1(SQInteger a) { return get_noise_hash1(int(a & 255)); }
SQInteger script_noise_hash2(SQInteger a, SQInteger b) { return get_noise_hash2(int(a & 255), int(b & 255)); }

void script_show_splash(const char *text, float progress)
{
  char msg[256];  // longer texts are cut
  snprintf(msg, sizeof(msg), "%s", text);
  show_splash(msg, progress);
}

// --- per-sample script callbacks ----------------------------------------------------------------
// Pushes f and the root table; the caller pushes the arguments and calls sqbind::call_pushed,
// which leaves the result on the stack or throws the script's own error.
void push_fn(HSQUIRRELVM v, const SqObject &f)
{
  sq_pushobject(v, f.o);
  sq_pushroottable(v);
}

bool is_function(const SqObject &f) { return f.type() == OT_CLOSURE || f.type() == OT_NATIVECLOSURE; }

// dst[i * stride] = combination of dst and the mask, per `apply_height_mask`'s rules.
void apply_mask(HSQUIRRELVM v, float *dst, int stride, HmapMask *mask, const SqObject &func, const char *what)
{
  const bool has_func = !func.isNull();
  if (!mask && !has_func)
  {
    static char text[96];
    snprintf(text, sizeof(text), "no mask and no func in %s()", what);
    sqbind::throw_error(text);
  }
  if (has_func && !is_function(func))
    sqbind::throw_error(sqbind::type_error_text);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float &d = dst[i * stride];
    if (!has_func)
    {
      d += mask->v[i];
      continue;
    }
    sqbind::StackGuard guard{v};
    push_fn(v, func);
    sq_pushfloat(v, d);
    if (mask)
      sq_pushfloat(v, mask->v[i]);
    sqbind::call_pushed(v, mask ? 2 : 1);
    const float r = sqbind::SqArg<float>::get(v, -1);
    if (!std::isfinite(r))
    {
      char func_name[48];
      snprintf(func_name, sizeof(func_name), "%s()", what);
      throw_non_finite_result(func_name, r, i & (HMAP_SIZE - 1), i >> HMAP_SIZE_SHIFT);
    }
    d = r;
  }
}

void apply_height_mask(HSQUIRRELVM v, HmapMask *mask, SqObject func)
{
  apply_mask(v, HD::hmap, 1, mask, func, "apply_height_mask");
}

void apply_water_mask(HSQUIRRELVM v, HmapMask *mask, SqObject func)
{
  apply_mask(v, &HD::water[0].depth, 4, mask, func, "apply_water_mask");
  // A water column is never negative: the water step would treat it as a hole in the ground.
  for (HD::Water &w : HD::water)
    if (!(w.depth > 0))
      w.depth = 0;
}

// The integer element i of the array on the stack top.
SQInteger array_int(HSQUIRRELVM v, SQInteger i)
{
  sqbind::StackGuard guard{v};
  sq_pushinteger(v, i);
  if (SQ_FAILED(sq_get(v, -2)))
    sqbind::throw_error(sqbind::type_error_text);
  return sqbind::SqArg<SQInteger>::get(v, -1);
}
vec4f array_color(HSQUIRRELVM v, SQInteger i)
{
  sqbind::StackGuard guard{v};
  sq_pushinteger(v, i);
  if (SQ_FAILED(sq_get(v, -2)))
    sqbind::throw_error(sqbind::type_error_text);
  return sqbind::get_color_value(v, -1);
}

void repaint_land(HSQUIRRELVM v, SqObject func)
{
  if (func.isNull())
    sqbind::throw_error("null function in repaint_land()");
  if (!is_function(func))
    sqbind::throw_error(sqbind::type_error_text);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int i = hmap_idx(x, z);
      sqbind::StackGuard guard{v};
      push_fn(v, func);
      sq_pushinteger(v, x);
      sq_pushinteger(v, z);
      sqbind::push_result(v, color_to_vec4f(HD::surface[i].color));
      sqbind::push_result(v, color_to_vec4f(HD::surface[i].top_color));
      sqbind::call_pushed(v, 4);
      SQInteger n = sq_gettype(v, -1) == OT_ARRAY ? sq_getsize(v, -1) : -1;
      if (n != 2 && n < 4)
        sqbind::throw_error("repaint_land() function must return [color, ground] or [color, ground, top_color, surface]");
      vec4f color = array_color(v, 0);
      int ground = int(array_int(v, 1));
      if (n == 2)
        repaint_sample(i, color, ground, false, v_zero(), 0);
      else
        repaint_sample(i, color, ground, true, array_color(v, 2), int(array_int(v, 3)));
    }
}

void script_recolor_by_height(ColorRamp *ramp, HmapMask *mask)
{
  if (!ramp)
    sqbind::throw_error(sqbind::type_error_text);
  recolor_by_height(*ramp, mask ? mask->v : nullptr);
}

void script_recolor_land4(ColorValue c1, ColorValue c2, ColorValue c3, ColorValue c4)
{
  recolor_land4(c1.v, c2.v, c3.v, c4.v);
}

void set_int(HSQUIRRELVM v, const char *name, SQInteger value)
{
  sq_pushroottable(v);
  sq_pushstring(v, name, -1);
  sq_pushinteger(v, value);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
}
}  // namespace

// --- erosion parameters --------------------------------------------------------------------------
namespace
{
// The float at key `name` of the table on the stack top, when present.
bool table_float(HSQUIRRELVM v, const char *name, float &out)
{
  sqbind::StackGuard guard{v};
  sq_pushstring(v, name, -1);
  if (SQ_FAILED(sq_get(v, -2)))
    return false;
  SQFloat f = 0;
  if (SQ_FAILED(sq_getfloat(v, -1, &f)))
    sqbind::throw_error(sqbind::type_error_text);
  if (!std::isfinite(f))
    sqbind::throw_error("non-finite erosion parameter");
  out = f;
  return true;
}

// The from colour's channel rounded to an order; out-of-range values saturate (an order <= 0
// contributes nothing to the rate, so negatives become 0).
int reaction_order(float c)
{
  float r = std::nearbyint(c);
  return !(r > 0) ? 0 : r >= 2147483520.f ? INT_MAX : int(r);
}
}  // namespace

void read_erosion_params(HSQUIRRELVM v, const SqObject &table, HD::ErosionParams &p)
{
  sqbind::StackGuard guard{v};
  if (!table.pushTarget(v) || (sq_gettype(v, -1) != OT_TABLE && sq_gettype(v, -1) != OT_INSTANCE))
    sqbind::throw_error(sqbind::type_error_text);
  table_float(v, "Kq", p.Kq);
  table_float(v, "Kw", p.Kw);
  table_float(v, "Kr", p.Kr);
  table_float(v, "Kd", p.Kd);
  table_float(v, "Ki", p.Ki);
  table_float(v, "minSlope", p.minSlope);
  table_float(v, "g", p.g);
  table_float(v, "depositBlend", p.depositBlend);
  table_float(v, "reactionTime", p.reactionTime);

  sq_pushstring(v, "reactions", -1);
  if (SQ_FAILED(sq_get(v, -2)) || sq_gettype(v, -1) == OT_NULL)
    return;
  if (sq_gettype(v, -1) != OT_ARRAY)
    sqbind::throw_error("erosion reactions must be an array of [from, to, rate]");
  const SQInteger n = sq_getsize(v, -1);
  if (n > MAX_EROSION_REACTIONS)
  {
    static char text[96];
    snprintf(text, sizeof(text), "erosion takes at most %lld reactions, not %lld", (long long)MAX_EROSION_REACTIONS,
             (long long)n);
    sqbind::throw_error(text);
  }
  for (SQInteger k = 0; k < n; k++)
  {
    sqbind::StackGuard item{v};
    sq_pushinteger(v, k);
    if (SQ_FAILED(sq_get(v, -2)) || sq_gettype(v, -1) != OT_ARRAY || sq_getsize(v, -1) < 3)
      sqbind::throw_error("erosion reactions must be an array of [from, to, rate]");
    vec4f from = array_color(v, 0);
    vec4f to = array_color(v, 1);
    float rate;
    {
      sqbind::StackGuard g{v};
      sq_pushinteger(v, 2);
      sq_get(v, -2);
      rate = sqbind::SqArg<float>::get(v, -1);
    }
    vec4f d = (to - from) * rate;
    HD::Reaction r;
    for (int c = 0; c < 4; c++)
    {
      r.delta[c] = v_get(d, c);
      r.order[c] = reaction_order(v_get(from, c));
      if (!std::isfinite(r.delta[c]))
        sqbind::throw_error("non-finite erosion reaction");
    }
    p.reactions.push_back(r);
  }
}

void register_world_gen_functions(HSQUIRRELVM v)
{
  using sqbind::bind_function;
  SqObject root = sqbind::root_table(v);
  bind_function(v, root, "place_house", &place_house);
  bind_function(v, root, "add_fast_noise", &add_fast_noise);
  bind_function(v, root, "add_simplex_noise", &add_simplex_noise);
  bind_function(v, root, "gen_fault", &gen_fault);
  bind_function(v, root, "gen_crater", &gen_crater);
  bind_function(v, root, "gen_droplet_erosion", &gen_droplet_erosion);
  bind_function(v, root, "add_voronoi_hills", &add_voronoi_hills);
  bind_function(v, root, "gen_voronoi_faults", &gen_voronoi_faults);
  bind_function(v, root, "recenter_hmap", &recenter_hmap);
  bind_function(v, root, "set_sun_dir", &set_sun_dir);
  bind_function(v, root, "flatten_circle", &script_flatten_circle);
  bind_function(v, root, "get_average_circle_height", &script_average_circle_height);
  bind_function(v, root, "reseed_noise", &script_reseed_noise);
  bind_function(v, root, "noise1", &script_noise1);
  bind_function(v, root, "fractal_noise1", &script_fractal_noise1);
  bind_function(v, root, "tiled_noise2", &script_tiled_noise2);
  bind_function(v, root, "tiled_fractal_noise2", &script_tiled_fractal_noise2);
  bind_function(v, root, "get_noise_hash1", &script_noise_hash1);
  bind_function(v, root, "get_noise_hash2", &script_noise_hash2);
  bind_function(v, root, "show_splash", &script_show_splash);
  bind_function(v, root, "apply_height_mask", &apply_height_mask);
  bind_function(v, root, "apply_water_mask", &apply_water_mask);
  bind_function(v, root, "repaint_land", &repaint_land);
  bind_function(v, root, "recolor_by_height", &script_recolor_by_height);
  bind_function(v, root, "recolor_land4", &script_recolor_land4);
  register_mask_builders(v);

  set_int(v, "HMAP_SIZE", HMAP_SIZE);
  set_int(v, "HMAP_SIZE_SHIFT", HMAP_SIZE_SHIFT);
  set_int(v, "GT_NONE", GT_NONE);
  set_int(v, "GT_HOUSE", GT_HOUSE);
  set_int(v, "GT_ROCK", GT_ROCK);
  set_int(v, "GT_SAND", GT_SAND);
  set_int(v, "GT_SOIL", GT_SOIL);
  set_int(v, "ST_OPEN", ST_OPEN);
  set_int(v, "ST_NONE", ST_NONE);
  set_int(v, "ST_GRASS", ST_GRASS);
  set_int(v, "ST_ASH", ST_ASH);
  set_int(v, "ST_SNOW", ST_SNOW);
  set_int(v, "ST_ROAD", ST_ROAD);
  set_int(v, "DEMO", 1);
}
