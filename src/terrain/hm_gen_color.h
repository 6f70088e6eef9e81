#pragma once
// Ramp colouring shared by the shaping operations that paint the ground as they shape it.
#include <cstdint>

struct ColorRamp;

// The ground colour `old` (0xAARRGGBB) blended towards the ramp's colour at t: the target is the
// ramp colour packed with its alpha byte replaced by `alpha` (0..255), the blend weight is the
// ramp colour's own alpha (unclamped); the result is clamped and packed.
uint32_t blend_ramp_color(uint32_t old, const ColorRamp &ramp, float t, int alpha);

// Alpha arguments from scripts and the module, kept to one byte.
inline int clamp_alpha_byte(int alpha) { return alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }
