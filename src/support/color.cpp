#include "support/color.h"

vec4f hsv2rgba(float h, float s, float v, float a)
{
  if (s == 0.0f)
    return v_make(v, v, v, a);
  float hh = h / 360.0f;
  hh = (hh - std::floor(hh)) * 6.0f;
  // A fraction just below 1 can round up to 6 (and a non-finite hue gives NaN): sector 0, f = 0.
  if (!(hh >= 0.0f && hh < 6.0f))
    hh = 0.0f;
  int k = int(hh);
  float f = hh - float(k);
  float p = v * (1.0f - s);
  float q = v * (1.0f - f * s);
  float t = v * (1.0f - (1.0f - f) * s);
  switch (k)
  {
    case 0: return v_make(v, t, p, a);
    case 1: return v_make(q, v, p, a);
    case 2: return v_make(p, v, t, a);
    case 3: return v_make(p, q, v, a);
    case 4: return v_make(t, p, v, a);
    default: return v_make(v, p, q, a);
  }
}

static float lab_f_inv(float f)
{
  float c = f * f * f;
  return c > 0.008856f ? c : (f - 0.13793103f) * 0.12841855f;
}

static float srgb_gamma(float c) { return c > 0.0031308f ? 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f : 12.92f * c; }

vec4f lch2rgba(float L, float C, float h, float a)
{
  float hr = h * 3.14159265f / 180.0f;
  float fy = (L + 16.0f) * 0.00862069f;
  float fx = fy + C * std::cos(hr) * 0.002f;
  float fz = fy - C * std::sin(hr) * 0.005f;
  float X = lab_f_inv(fx) * 95.047f * 0.01f;
  float Y = lab_f_inv(fy) * 100.0f * 0.01f;
  float Z = lab_f_inv(fz) * 108.883f * 0.01f;
  float R = 3.2406f * X - 1.5372f * Y - 0.4986f * Z;
  float G = -0.9689f * X + 1.8758f * Y + 0.0415f * Z;
  float B = 0.0557f * X - 0.204f * Y + 1.057f * Z;
  return v_make(srgb_gamma(R), srgb_gamma(G), srgb_gamma(B), a);
}
