// Height morph: every step each sample closes 20 % of its remaining gap to target_hmap per
// second plus one world unit per second, and lands exactly on the target once the step reaches
// the gap. Four samples at a time: |d| by masking the sign bit, the sign restored by OR-ing it
// back, the landing chosen by a mask.
#include <algorithm>
#include <immintrin.h>

#include "terrain/hmap_data.h"
#include "terrain/simd_dispatch.h"

namespace
{
struct MorphConsts
{
  __m128 k, dt, sign, rest;
};

MorphConsts morph_consts(float dt)
{
  if (!(dt > 0))
    dt = 0;  // a negative or NaN time moves nothing
  MorphConsts c;
  c.k = _mm_set1_ps(std::min(0.2f * dt, 1.f));
  c.dt = _mm_set1_ps(dt);
  c.sign = _mm_set1_ps(-0.f);
  c.rest = _mm_set1_ps(0.001f);
  return c;
}

// New heights of four samples; `ad` receives |target - height|.
inline __m128 morph4(__m128 h, __m128 t, const MorphConsts &c, __m128 &ad)
{
  __m128 d = _mm_sub_ps(t, h);
  ad = _mm_andnot_ps(c.sign, d);
  __m128 step = _mm_add_ps(_mm_mul_ps(ad, c.k), c.dt);
  __m128 reach = _mm_cmpge_ps(step, ad);
  __m128 moved = _mm_add_ps(h, _mm_or_ps(step, _mm_and_ps(d, c.sign)));
  return _mm_or_ps(_mm_and_ps(reach, t), _mm_andnot_ps(reach, moved));
}
}  // namespace

// The same morph eight samples at a time on processors with AVX2: the operations are the same
// IEEE single-precision ones lane by lane, so the results are identical.
__attribute__((target("avx2"))) static void update_hmap_avx2(float *__restrict h, const float *__restrict t, float dt)
{
  const MorphConsts c4 = morph_consts(dt);
  const __m256 k = _mm256_set_m128(c4.k, c4.k), vdt = _mm256_set_m128(c4.dt, c4.dt);
  const __m256 sign = _mm256_set1_ps(-0.f), rest = _mm256_set1_ps(0.001f);
  for (int i = 0; i < HMAP_CELLS; i += 16)
  {
    __m256 h0 = _mm256_load_ps(h + i), h1 = _mm256_load_ps(h + i + 8);
    __m256 t0 = _mm256_load_ps(t + i), t1 = _mm256_load_ps(t + i + 8);
    __m256 d0 = _mm256_sub_ps(t0, h0), d1 = _mm256_sub_ps(t1, h1);
    __m256 a0 = _mm256_andnot_ps(sign, d0), a1 = _mm256_andnot_ps(sign, d1);
    int r0 = _mm256_movemask_ps(_mm256_cmp_ps(a0, rest, _CMP_LT_OQ));
    int r1 = _mm256_movemask_ps(_mm256_cmp_ps(a1, rest, _CMP_LT_OQ));
    if ((r0 & r1) == 255)
      continue;
    __m256 s0 = _mm256_add_ps(_mm256_mul_ps(a0, k), vdt), s1 = _mm256_add_ps(_mm256_mul_ps(a1, k), vdt);
    __m256 m0 = _mm256_add_ps(h0, _mm256_or_ps(s0, _mm256_and_ps(d0, sign)));
    __m256 m1 = _mm256_add_ps(h1, _mm256_or_ps(s1, _mm256_and_ps(d1, sign)));
    __m256 n0 = _mm256_blendv_ps(m0, t0, _mm256_cmp_ps(s0, a0, _CMP_GE_OQ));
    __m256 n1 = _mm256_blendv_ps(m1, t1, _mm256_cmp_ps(s1, a1, _CMP_GE_OQ));
    // Each group of four is written unless it is at rest.
    if (r0 == 0)
      _mm256_store_ps(h + i, n0);
    else
    {
      if ((r0 & 15) != 15)
        _mm_store_ps(h + i, _mm256_castps256_ps128(n0));
      if ((r0 >> 4) != 15)
        _mm_store_ps(h + i + 4, _mm256_extractf128_ps(n0, 1));
    }
    if (r1 == 0)
      _mm256_store_ps(h + i + 8, n1);
    else
    {
      if ((r1 & 15) != 15)
        _mm_store_ps(h + i + 8, _mm256_castps256_ps128(n1));
      if ((r1 >> 4) != 15)
        _mm_store_ps(h + i + 12, _mm256_extractf128_ps(n1, 1));
    }
  }
}

__attribute__((target("avx2"))) static void morph_hmap_avx2(const float *h, const float *t, float *out, float dt)
{
  const MorphConsts c4 = morph_consts(dt);
  const __m256 k = _mm256_set_m128(c4.k, c4.k), vdt = _mm256_set_m128(c4.dt, c4.dt);
  const __m256 sign = _mm256_set1_ps(-0.f);
  for (int i = 0; i < HMAP_CELLS; i += 8)
  {
    __m256 h0 = _mm256_load_ps(h + i), t0 = _mm256_load_ps(t + i);
    __m256 d0 = _mm256_sub_ps(t0, h0);
    __m256 a0 = _mm256_andnot_ps(sign, d0);
    __m256 s0 = _mm256_add_ps(_mm256_mul_ps(a0, k), vdt);
    __m256 m0 = _mm256_add_ps(h0, _mm256_or_ps(s0, _mm256_and_ps(d0, sign)));
    _mm256_storeu_ps(out + i, _mm256_blendv_ps(m0, t0, _mm256_cmp_ps(s0, a0, _CMP_GE_OQ)));
  }
}

void HeightmapData::updateHmap(float dt)
{
  if (terrain_use_avx2())
  {
    update_hmap_avx2(hmap, target_hmap, dt);
    return;
  }
  const MorphConsts c = morph_consts(dt);
  float *__restrict h = hmap;
  const float *__restrict t = target_hmap;
  for (int i = 0; i < HMAP_CELLS; i += 16)
  {
    // Four groups per pass. The gaps are tested first: a group whose four gaps are all below
    // 0.001 is at rest and not written, so a world at rest costs little more than the reads.
    __m128 h0 = _mm_load_ps(h + i), h1 = _mm_load_ps(h + i + 4);
    __m128 h2 = _mm_load_ps(h + i + 8), h3 = _mm_load_ps(h + i + 12);
    __m128 t0 = _mm_load_ps(t + i), t1 = _mm_load_ps(t + i + 4);
    __m128 t2 = _mm_load_ps(t + i + 8), t3 = _mm_load_ps(t + i + 12);
    __m128 a0 = _mm_andnot_ps(c.sign, _mm_sub_ps(t0, h0));
    __m128 a1 = _mm_andnot_ps(c.sign, _mm_sub_ps(t1, h1));
    __m128 a2 = _mm_andnot_ps(c.sign, _mm_sub_ps(t2, h2));
    __m128 a3 = _mm_andnot_ps(c.sign, _mm_sub_ps(t3, h3));
    __m128 rest01 = _mm_and_ps(_mm_cmplt_ps(a0, c.rest), _mm_cmplt_ps(a1, c.rest));
    __m128 rest23 = _mm_and_ps(_mm_cmplt_ps(a2, c.rest), _mm_cmplt_ps(a3, c.rest));
    if (_mm_movemask_ps(_mm_and_ps(rest01, rest23)) == 15)
      continue;
    __m128 ad;
    if (_mm_movemask_ps(_mm_cmplt_ps(a0, c.rest)) != 15)
      _mm_store_ps(h + i, morph4(h0, t0, c, ad));
    if (_mm_movemask_ps(_mm_cmplt_ps(a1, c.rest)) != 15)
      _mm_store_ps(h + i + 4, morph4(h1, t1, c, ad));
    if (_mm_movemask_ps(_mm_cmplt_ps(a2, c.rest)) != 15)
      _mm_store_ps(h + i + 8, morph4(h2, t2, c, ad));
    if (_mm_movemask_ps(_mm_cmplt_ps(a3, c.rest)) != 15)
      _mm_store_ps(h + i + 12, morph4(h3, t3, c, ad));
  }
}

void HeightmapData::morphHmap(float dt, float *out)
{
  // `out` may be hmap itself: each group is read before it is written.
  if (terrain_use_avx2())
  {
    morph_hmap_avx2(hmap, target_hmap, out, dt);
    return;
  }
  const MorphConsts c = morph_consts(dt);
  for (int i = 0; i < HMAP_CELLS; i += 4)
  {
    __m128 ad;
    _mm_storeu_ps(out + i, morph4(_mm_load_ps(hmap + i), _mm_load_ps(target_hmap + i), c, ad));
  }
}
