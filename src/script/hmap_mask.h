#pragma once
// HmapMask: a 256 x 256 grid of floats laid out like hmap (index (z << 8) | x), the script's
// weight maps, height fields and water depth fields. Script class "HmapMask".
#include <squirrel.h>

#include "script/sqbind.h"
#include "terrain/hmap_data.h"

struct FloatRamp;

struct HmapMask
{
  alignas(16) float v[HMAP_CELLS];
};

template <>
struct sqbind::SqClassInfo<HmapMask>
{
  using Tag = HmapMask;
  static constexpr const char *name = "HmapMask";
  static SQInteger release(SQUserPointer p, SQInteger size);
};

// Registers the class "HmapMask" with its methods and class functions.
void register_hmap_mask(HSQUIRRELVM v);

// --- the native side of the members, usable without a script machine -----------------------
// Value at sample (x & 255, z & 255).
float mask_get_raw(const float *m, int x, int z);
// Bilinear interpolation between the four samples around (x, z), wrapping at the edges.
float mask_bilinear(const float *m, float x, float z);
// Both start at m[0]; a later value <= min becomes min, a value > max becomes max.
void mask_min_max(const float *m, float &min, float &max);
// Upward component of the terrain normal of `h` per sample: 8 / |(gx, 8, gz)| with Sobel-like
// gradients; 1 on flat ground.
void mask_from_slope(const float *h, float *out);
// scale * the tiled fractal sum at (x * tile / 256, z * tile / 256), every octave shaped by the
// curve when given. tile must already be checked.
void mask_from_simplex_noise(float *out, float scale, int tile, int octaves, const FloatRamp *curve,
                             float persistence);
// What addVoronoiHills / genVoronoiFaults would add to hmap, stored instead of added (the same
// random draws are taken). hmap is left as it was.
void mask_from_voronoi_hills(float *out, int tile, float min_ht, float max_ht, float radius);
void mask_from_voronoi_faults(float *out, int tile, float min_ht, float max_ht, float warp, int warp_scale,
                              int octaves, float sharpness);
