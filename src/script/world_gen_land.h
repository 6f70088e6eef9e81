#pragma once
// The generation interface's own operations on the world arrays (the ones that are not terrain
// shaping): circle flattening and averaging, recolouring and surface writes.
#include "support/vec4f.h"

struct ColorRamp;

// Visits every sample (i, j) with (i - x)^2 + (j - z)^2 < radius^2, rows outer, columns inner,
// calling fn(index, d2). A radius beyond half the world visits each sample once, at its nearest
// (toroidal) offset. Nothing for radius <= 0 or a non-finite argument. The centre is reduced into
// the world first, so the loops stay within one world whatever the coordinates.
template <class Fn>
void for_each_in_circle(float x, float z, float radius, Fn &&fn);

// h += (1 - (d^2 / r^2)^power) * amount * (height - h) inside the circle.
void flatten_circle(float x, float z, float radius, float height, float amount, float power);
// The land height at (x, z) and every hmap sample inside the circle, averaged.
float get_average_circle_height(float x, float z, float radius);
// Land height at (x, z) without the game object module: bilinear hmap.
float bilinear_hmap_height(float x, float z);

// Each sample's colour from the ramp at (v - min) / (max - min) of the values (hmap when null;
// min and max ignore NaN; a flat field uses t = 0); top colour 0, ground GT_SOIL, surface 0.
void recolor_by_height(const ColorRamp &ramp, const float *values);
// Each sample's colour read as four weights (r, g, b, a): (r c1 + g c2 + b c3 + a c4) / (r + g + b + a),
// 0 where all weights are 0; top colour 0, ground GT_SOIL, surface 0.
void recolor_land4(vec4f c1, vec4f c2, vec4f c3, vec4f c4);
// A repaint result: the colour and ground, with the top colour and surface type when with_top;
// bits 8-31 of the flags word are kept.
void repaint_sample(int index, vec4f color, int ground, bool with_top, vec4f top, int surface);

#include "script/world_gen_land_inl.h"
