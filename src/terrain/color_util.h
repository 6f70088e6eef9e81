#pragma once
// Colour conversions of the terrain code: a packed 0xAARRGGBB colour as four floats 0..1 (each
// byte / 255) and back (clamped to 0..1, times 255, rounded to nearest, ties to even). The
// vector form keeps the lanes in memory byte order: blue, green, red, alpha.
#include <cstdint>
#include <emmintrin.h>

inline __m128 unpack_color_bgra(uint32_t c)
{
  const __m128i zero = _mm_setzero_si128();
  __m128i b = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(c)), zero), zero);
  return _mm_div_ps(_mm_cvtepi32_ps(b), _mm_set1_ps(255.f));
}

// NaN channels pack as 0.
inline uint32_t pack_color_bgra(__m128 c)
{
  c = _mm_min_ps(_mm_max_ps(c, _mm_setzero_ps()), _mm_set1_ps(1.f));
  __m128i i = _mm_cvtps_epi32(_mm_mul_ps(c, _mm_set1_ps(255.f)));
  i = _mm_packs_epi32(i, i);
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(i, i)));
}
