#pragma once
// Masks that world scripts would otherwise build sample by sample through script calls: a mask
// stamped from a list of points (river beds, springs, building sites), costing the points times
// their reach rather than the world's samples times the points, and the levels at which water
// runs off the land. Script functions "mask_from_points" and "mask_fill_levels".
#include <squirrel.h>

#include <cstddef>

// One stamped point: position in samples, value at its centre, radius of its reach.
struct MaskPoint
{
  float x, z, value, radius;
};

// Largest radius worth stamping: every sample of the (wrapping) world lies within it.
constexpr float MAX_MASK_POINT_RADIUS = 182.f;

// out[i] = the strongest stamp on sample i: of the values value * (1 - d^2 / radius^2)^falloff of
// the points whose (toroidal) distance d to the sample is below their radius, the one largest in
// magnitude (the first of equals); 0 where no point reaches. Positions may be any finite values
// (they wrap); radius <= 0 reaches nothing, a radius beyond MAX_MASK_POINT_RADIUS counts as that,
// a negative falloff as 0 (a flat disc). Points with a non-finite member reach nothing.
void stamp_point_mask(float *out, const MaskPoint *points, size_t count, float falloff);

// The level to which water standing on each sample of `heights` rises before it runs off,
// 8-connected and wrapping, into a sample below `level`: a sample below `level` keeps its height;
// any other gets the lowest, over all ways to such a sample, of the highest height on the way,
// raised by one float step per sample across flat and filled ground, so that every sample not
// below `level` has a neighbour with a strictly lower value (following the lowest neighbour
// always arrives below `level`). Without any sample below `level` the lowest sample (the first
// of equals) takes that role. Heights must be finite.
void fill_levels(const float *heights, float level, float *out);

// Binds into the root table:
//   mask_from_points(points, radius, falloff) -> HmapMask, each point an array [x, z],
//     [x, z, value] or [x, z, value, radius] (value 1 and the call's radius when left out);
//   mask_fill_levels(heights: HmapMask, level) -> HmapMask.
// Bad points, non-finite numbers and non-finite heights are script errors.
void register_mask_builders(HSQUIRRELVM v);
