// Sixteen-wide velocity phase of the water step (see water_sim.cpp and water_sim_avx2.cpp): the
// same IEEE single-precision operations per lane, in the same order, as the plain and eight-wide
// paths. Blocks whose trace points reach further than one cell go to the eight-wide code.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics pass _mm512_undefined_ps() as the unused merge source, which its
// own uninitialized-value analysis reports once they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "terrain/hmap_data.h"
#include "terrain/water_grid.h"

#define QM_AVX512 __attribute__((target("avx2,avx512f")))

namespace
{
QM_AVX512 inline __m512 ld(const float *p) { return _mm512_loadu_ps(p); }

// As sample_near of the eight-wide path: corners picked from the 3 x 3 neighbourhood by mi
// (i = x, else x - 1) and mj (j = z, else z - 1).
QM_AVX512 inline __m512 sample_near(const float *p, __mmask16 mi, __mmask16 mj, __m512 fx, __m512 fz)
{
  __m512 xr[3];
#pragma GCC unroll 3
  for (int k = 0; k < 3; k++)
  {
    const float *r = p + (k - 1) * WG_STRIDE;
    const __m512 l = _mm512_mask_blend_ps(mi, ld(r - 1), ld(r));
    const __m512 rr = _mm512_mask_blend_ps(mi, ld(r), ld(r + 1));
    xr[k] = _mm512_add_ps(l, _mm512_mul_ps(_mm512_sub_ps(rr, l), fx));
  }
  const __m512 top = _mm512_mask_blend_ps(mj, xr[0], xr[1]), bottom = _mm512_mask_blend_ps(mj, xr[1], xr[2]);
  return _mm512_add_ps(top, _mm512_mul_ps(_mm512_sub_ps(bottom, top), fz));
}

struct Near16
{
  __mmask16 mi, mj, ok;
  __m512 fx, fz;
};

// floor here equals float(ifloor(v)) for every accepted v (see near_setup of the eight-wide path).
QM_AVX512 inline Near16 near_setup(__m512 px, __m512 pz, __m512 X, __m512 Z)
{
  const __m512 one = _mm512_set1_ps(1);
  const __m512 fi = _mm512_roundscale_ps(px, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  const __m512 fj = _mm512_roundscale_ps(pz, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  Near16 n;
  n.mi = _mm512_cmp_ps_mask(fi, X, _CMP_EQ_OQ);
  n.mj = _mm512_cmp_ps_mask(fj, Z, _CMP_EQ_OQ);
  const __mmask16 oki = n.mi | _mm512_cmp_ps_mask(fi, _mm512_sub_ps(X, one), _CMP_EQ_OQ);
  const __mmask16 okj = n.mj | _mm512_cmp_ps_mask(fj, _mm512_sub_ps(Z, one), _CMP_EQ_OQ);
  n.ok = oki & okj;
  n.fx = _mm512_sub_ps(px, fi);
  n.fz = _mm512_sub_ps(pz, fj);
  return n;
}

// The blocking rule: u >= 0 with no water to send out, or u < 0 with none to take in.
QM_AVX512 inline __mmask16 blocked(__m512 u, __m512 out, __m512 in)
{
  const __m512 zero = _mm512_setzero_ps();
  return (_mm512_cmp_ps_mask(u, zero, _CMP_GE_OQ) & _mm512_cmp_ps_mask(out, zero, _CMP_LE_OQ)) |
         (_mm512_cmp_ps_mask(u, zero, _CMP_LT_OQ) & _mm512_cmp_ps_mask(in, zero, _CMP_LE_OQ));
}
}  // namespace

QM_AVX512 void water_velocity_row_avx512(WaterScratch &w, const WaterStepConsts &cst, int z)
{
  const int S = WG_STRIDE;
  const __m512 dt = _mm512_set1_ps(cst.dt), damp = _mm512_set1_ps(cst.damp), keep = _mm512_set1_ps(cst.keep);
  const __m512 ten = _mm512_set1_ps(10), quarter = _mm512_set1_ps(0.25f), two = _mm512_set1_ps(2);
  const __m512 eighth = _mm512_set1_ps(0.125f), k32 = _mm512_set1_ps(3.2f), one = _mm512_set1_ps(1);
  const __m512 blocked_foam = _mm512_set1_ps(0.01f);
  const __m512 lane = _mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512 Z = _mm512_set1_ps(float(z));
  for (int x = 0; x < HMAP_SIZE; x += 16)
  {
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k, *D = w.d.f + k, *VX = w.vx.f + k, *VZ = w.vz.f + k, *F = w.foam.f + k;
    const __m512 X = _mm512_add_ps(_mm512_set1_ps(float(x)), lane);
    const __m512 vx0 = ld(VX), vz0 = ld(VZ);
    const __m512 ubx = _mm512_sub_ps(X, _mm512_mul_ps(vx0, dt));
    const __m512 sz = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(vz0, ld(VZ + 1)), ld(VZ - S)), ld(VZ + 1 - S));
    const __m512 ubz = _mm512_sub_ps(Z, _mm512_mul_ps(_mm512_mul_ps(dt, sz), quarter));
    const __m512 sx = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(ld(VX - 1), vx0), ld(VX + S)), ld(VX + S - 1));
    const __m512 vbx = _mm512_sub_ps(X, _mm512_mul_ps(_mm512_mul_ps(dt, sx), quarter));
    const __m512 vbz = _mm512_sub_ps(Z, _mm512_mul_ps(vz0, dt));
    const Near16 nu_pt = near_setup(ubx, ubz, X, Z), nv_pt = near_setup(vbx, vbz, X, Z);
    if ((nu_pt.ok & nv_pt.ok) != 0xFFFF)
    {
      water_velocity_block_avx2(w, cst, x, z);
      water_velocity_block_avx2(w, cst, x + 8, z);
      continue;
    }
    const __m512 su = sample_near(VX, nu_pt.mi, nu_pt.mj, nu_pt.fx, nu_pt.fz);
    const __m512 fu = sample_near(F, nu_pt.mi, nu_pt.mj, nu_pt.fx, nu_pt.fz);
    const __m512 sv = sample_near(VZ, nv_pt.mi, nv_pt.mj, nv_pt.fx, nv_pt.fz);
    const __m512 fv = sample_near(F, nv_pt.mi, nv_pt.mj, nv_pt.fx, nv_pt.fz);

    const __m512 h0 = ld(H), he = ld(H + 1), hn = ld(H + S);
    const __m512 d0 = ld(D), de = ld(D + 1), dn = ld(D + S);
    const __m512 lc = _mm512_add_ps(h0, d0), le = _mm512_add_ps(he, de), ln = _mm512_add_ps(hn, dn);
    const __m512 pu = _mm512_mul_ps(_mm512_mul_ps(_mm512_sub_ps(lc, le), dt), ten);
    const __m512 pv = _mm512_mul_ps(_mm512_mul_ps(_mm512_sub_ps(lc, ln), dt), ten);

    // min(a, b) as a < b ? a : b, like the eight-wide path's min_first.
    __m512 nu = _mm512_add_ps(_mm512_mul_ps(su, damp), pu);
    const __mmask16 bu = blocked(nu, _mm512_min_ps(_mm512_sub_ps(lc, he), d0), _mm512_min_ps(_mm512_sub_ps(le, h0), de));
    nu = _mm512_maskz_mov_ps(__mmask16(~bu), nu);
    __m512 nv = _mm512_add_ps(_mm512_mul_ps(sv, damp), pv);
    const __mmask16 bv = blocked(nv, _mm512_min_ps(_mm512_sub_ps(lc, hn), d0), _mm512_min_ps(_mm512_sub_ps(ln, h0), dn));
    nv = _mm512_maskz_mov_ps(__mmask16(~bv), nv);

    __m512 fs = _mm512_mul_ps(two, _mm512_add_ps(fu, fv));
    fs = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(_mm512_add_ps(fs, ld(F + S)), ld(F - 1)), ld(F + 1)), ld(F - S));
    __m512 nf = _mm512_mul_ps(_mm512_mul_ps(keep, fs), eighth);
    nf = _mm512_add_ps(nf, _mm512_mul_ps(k32, _mm512_add_ps(_mm512_mul_ps(pu, pu), _mm512_mul_ps(pv, pv))));
    nf = _mm512_add_ps(nf, _mm512_maskz_mov_ps(bu, blocked_foam));
    nf = _mm512_add_ps(nf, _mm512_maskz_mov_ps(bv, blocked_foam));
    nf = _mm512_min_ps(nf, one);

    _mm512_storeu_ps(w.u.row(z) + x, nu);
    _mm512_storeu_ps(w.v.row(z) + x, nv);
    _mm512_storeu_ps(w.f.row(z) + x, nf);
  }
}
