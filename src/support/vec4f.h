#pragma once
// vec4f: four floats held as one SSE register value (x, y, z, w), used for positions, directions
// and RGBA colours. Every operation is a plain IEEE single-precision operation per component, so
// the results equal the scalar code written component by component.
#include <xmmintrin.h>

struct vec4f
{
  __m128 m;
};
static_assert(sizeof(vec4f) == 16 && alignof(vec4f) == 16);

inline vec4f v_make(float x, float y, float z, float w) { return {_mm_setr_ps(x, y, z, w)}; }
inline vec4f v_splats(float a) { return {_mm_set1_ps(a)}; }
inline vec4f v_zero() { return {_mm_setzero_ps()}; }

inline float v_extract_x(vec4f a) { return _mm_cvtss_f32(a.m); }
inline float v_extract_y(vec4f a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.m, a.m, _MM_SHUFFLE(1, 1, 1, 1))); }
inline float v_extract_z(vec4f a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.m, a.m, _MM_SHUFFLE(2, 2, 2, 2))); }
inline float v_extract_w(vec4f a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.m, a.m, _MM_SHUFFLE(3, 3, 3, 3))); }

// Component i (0..3) through memory; callers check the range.
inline float v_get(vec4f a, int i)
{
  alignas(16) float f[4];
  _mm_store_ps(f, a.m);
  return f[i];
}
inline vec4f v_set(vec4f a, int i, float value)
{
  alignas(16) float f[4];
  _mm_store_ps(f, a.m);
  f[i] = value;
  return {_mm_load_ps(f)};
}

inline vec4f operator+(vec4f a, vec4f b) { return {_mm_add_ps(a.m, b.m)}; }
inline vec4f operator-(vec4f a, vec4f b) { return {_mm_sub_ps(a.m, b.m)}; }
inline vec4f operator*(vec4f a, vec4f b) { return {_mm_mul_ps(a.m, b.m)}; }
inline vec4f operator/(vec4f a, vec4f b) { return {_mm_div_ps(a.m, b.m)}; }
inline vec4f operator*(vec4f a, float b) { return {_mm_mul_ps(a.m, _mm_set1_ps(b))}; }
inline vec4f operator-(vec4f a) { return {_mm_xor_ps(a.m, _mm_set1_ps(-0.0f))}; }

// a + (b - a) * t per component.
inline vec4f v_lerp(vec4f a, vec4f b, float t) { return a + (b - a) * t; }

// x*x + y*y + z*z, summed left to right, in all four components.
inline vec4f v_dot3(vec4f a, vec4f b)
{
  __m128 p = _mm_mul_ps(a.m, b.m);
  __m128 x = _mm_shuffle_ps(p, p, _MM_SHUFFLE(0, 0, 0, 0));
  __m128 y = _mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 1, 1, 1));
  __m128 z = _mm_shuffle_ps(p, p, _MM_SHUFFLE(2, 2, 2, 2));
  return {_mm_add_ps(_mm_add_ps(x, y), z)};
}
inline vec4f v_length3_sq(vec4f a) { return v_dot3(a, a); }
inline vec4f v_length3(vec4f a) { return {_mm_sqrt_ps(v_dot3(a, a).m)}; }

// The hardware reciprocal square root estimate (about 12 bits).
inline vec4f v_rsqrt_est(vec4f a) { return {_mm_rsqrt_ps(a.m)}; }

// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x, 0)
inline vec4f v_cross3(vec4f a, vec4f b)
{
  __m128 a_yzx = _mm_shuffle_ps(a.m, a.m, _MM_SHUFFLE(3, 0, 2, 1));
  __m128 b_zxy = _mm_shuffle_ps(b.m, b.m, _MM_SHUFFLE(3, 1, 0, 2));
  __m128 a_zxy = _mm_shuffle_ps(a.m, a.m, _MM_SHUFFLE(3, 1, 0, 2));
  __m128 b_yzx = _mm_shuffle_ps(b.m, b.m, _MM_SHUFFLE(3, 0, 2, 1));
  __m128 r = _mm_sub_ps(_mm_mul_ps(a_yzx, b_zxy), _mm_mul_ps(a_zxy, b_yzx));
  // w = a.w*b.w - a.w*b.w is 0 for finite input; force it so.
  return {_mm_and_ps(r, _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0)))};
}
