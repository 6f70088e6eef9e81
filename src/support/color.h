#pragma once
// Packed colours (D3dColor, 0xAARRGGBB) and their vec4f form (r, g, b, a in 0..1).
#include <cmath>
#include <cstdint>

#include "support/vec4f.h"

using D3dColor = uint32_t;

// Each channel / 255.
inline vec4f color_to_vec4f(D3dColor c)
{
  return v_make(float((c >> 16) & 255) / 255.0f, float((c >> 8) & 255) / 255.0f, float(c & 255) / 255.0f,
                float((c >> 24) & 255) / 255.0f);
}

inline uint32_t color_channel_to_byte(float v)
{
  if (!(v > 0.0f))  // NaN packs as 0
    return 0;
  if (v >= 1.0f)
    return 255;
  return uint32_t(std::lrintf(v * 255.0f));
}

// Clamped to 0..1, scaled by 255 and rounded to nearest.
inline D3dColor vec4f_to_color(vec4f c)
{
  return (color_channel_to_byte(v_extract_w(c)) << 24) | (color_channel_to_byte(v_extract_x(c)) << 16) |
         (color_channel_to_byte(v_extract_y(c)) << 8) | color_channel_to_byte(v_extract_z(c));
}

// HSV (h in degrees, s and v in 0..1) to RGBA.
vec4f hsv2rgba(float h, float s, float v, float a);
// CIE LCh (D65; h in degrees) to sRGB, not clamped.
vec4f lch2rgba(float L, float C, float h, float a);
