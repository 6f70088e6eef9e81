// Sixteen-wide passes of the water step (see water_sim.cpp and water_sim_avx2.cpp): the same IEEE
// single-precision operations per lane, in the same order, as the plain and eight-wide paths.
// Blocks whose trace points reach further than one cell go to the eight-wide code. The world
// arrays are 64-byte aligned (hmap_data.cpp), as are the field grids and rings at column 0.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics pass _mm512_undefined_ps() as the unused merge source, which its
// own uninitialized-value analysis reports once they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <cstring>
#include <immintrin.h>

#include "terrain/hmap_data.h"
#include "terrain/water_grid.h"

#define QM_AVX512 __attribute__((target("avx2,avx512f")))

namespace
{
QM_AVX512 inline __m512 ld(const float *p) { return _mm512_loadu_ps(p); }
// A load the compiler may not fold into a merge-masked load (a blend with memory operand), which
// is slower on the processors measured than a plain load and a register blend.
QM_AVX512 inline __m512 ldr(const float *p)
{
  __m512 v = _mm512_loadu_ps(p);
  asm("" : "+v"(v));
  return v;
}

// As sample_near of the eight-wide path: corners picked from the 3 x 3 neighbourhood by mi
// (i = x, else x - 1) and mj (j = z, else z - 1).
QM_AVX512 inline __m512 sample_near(const float *p, __mmask16 mi, __mmask16 mj, __m512 fx, __m512 fz)
{
  __m512 xr[3];
#pragma GCC unroll 3
  for (int k = 0; k < 3; k++)
  {
    const float *r = p + (k - 1) * WG_STRIDE;
    const __m512 m = ldr(r - 1), c = ldr(r), n = ldr(r + 1);
    const __m512 l = _mm512_mask_blend_ps(mi, m, c);
    const __m512 rr = _mm512_mask_blend_ps(mi, c, n);
    xr[k] = _mm512_add_ps(l, _mm512_mul_ps(_mm512_sub_ps(rr, l), fx));
  }
  const __m512 top = _mm512_mask_blend_ps(mj, xr[0], xr[1]), bottom = _mm512_mask_blend_ps(mj, xr[1], xr[2]);
  return _mm512_add_ps(top, _mm512_mul_ps(_mm512_sub_ps(bottom, top), fz));
}

// Column numbers as floats, loaded instead of converted per block.
struct ColumnCoords
{
  alignas(64) float x[HMAP_SIZE], x_minus_1[HMAP_SIZE];
  ColumnCoords()
  {
    for (int i = 0; i < HMAP_SIZE; i++)
    {
      x[i] = float(i);
      x_minus_1[i] = float(i - 1);
    }
  }
};
const ColumnCoords column_coords;

struct Near16
{
  __mmask16 mi, mj, ok;
  __m512 fx, fz;
};

// floor here equals float(ifloor(v)) for every accepted v (see near_setup of the eight-wide path).
QM_AVX512 inline Near16 near_setup(__m512 px, __m512 pz, __m512 X, __m512 Xm1, __m512 Z, __m512 Zm1)
{
  const __m512 fi = _mm512_roundscale_ps(px, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  const __m512 fj = _mm512_roundscale_ps(pz, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  Near16 n;
  n.mi = _mm512_cmp_ps_mask(fi, X, _CMP_EQ_OQ);
  n.mj = _mm512_cmp_ps_mask(fj, Z, _CMP_EQ_OQ);
  const __mmask16 oki = n.mi | _mm512_cmp_ps_mask(fi, Xm1, _CMP_EQ_OQ);
  const __mmask16 okj = n.mj | _mm512_cmp_ps_mask(fj, Zm1, _CMP_EQ_OQ);
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

// Cells x .. x + 15 of row z of the previous state: copied into tmpw (streaming stores: nothing
// reads tmpw during the step) and split into the field grids.
struct SplitIdx
{
  __m512i even_pd, odd_pd, even, odd;
};

QM_AVX512 inline SplitIdx split_idx()
{
  return {_mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15),
          _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30),
          _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31)};
}

QM_AVX512 inline __m512d pd(__m512 v) { return _mm512_castps_pd(v); }
QM_AVX512 inline __m512 ps(__m512d v) { return _mm512_castpd_ps(v); }

QM_AVX512 inline void load_block(WaterScratch &w, const SplitIdx &ix, int x, int z)
{
  const int o = 4 * hmap_idx(x, z);
  const float *src = &HeightmapData::water[0].depth + o;
  float *prev = &HeightmapData::tmpw[0].depth + o;
  const __m512 r0 = _mm512_load_ps(src), r1 = _mm512_load_ps(src + 16);
  const __m512 r2 = _mm512_load_ps(src + 32), r3 = _mm512_load_ps(src + 48);
  _mm512_stream_ps(prev, r0);
  _mm512_stream_ps(prev + 16, r1);
  _mm512_stream_ps(prev + 32, r2);
  _mm512_stream_ps(prev + 48, r3);
  // Pairs (depth, vel_x) and (vel_z, foam) of eight cells, then the single fields.
  const __m512 du_lo = ps(_mm512_permutex2var_pd(pd(r0), ix.even_pd, pd(r1)));
  const __m512 vf_lo = ps(_mm512_permutex2var_pd(pd(r0), ix.odd_pd, pd(r1)));
  const __m512 du_hi = ps(_mm512_permutex2var_pd(pd(r2), ix.even_pd, pd(r3)));
  const __m512 vf_hi = ps(_mm512_permutex2var_pd(pd(r2), ix.odd_pd, pd(r3)));
  const int k = wg_idx(x, z);
  _mm512_store_ps(w.d.f + k, _mm512_permutex2var_ps(du_lo, ix.even, du_hi));
  _mm512_store_ps(w.vx.f + k, _mm512_permutex2var_ps(du_lo, ix.odd, du_hi));
  _mm512_store_ps(w.vz.f + k, _mm512_permutex2var_ps(vf_lo, ix.even, vf_hi));
  _mm512_store_ps(w.foam.f + k, _mm512_permutex2var_ps(vf_lo, ix.odd, vf_hi));
  _mm512_store_ps(w.h.f + k, _mm512_load_ps(HeightmapData::hmap + hmap_idx(x, z)));
}
}  // namespace

QM_AVX512 void water_load_rows_avx512(WaterScratch &w, int z0, int z1)
{
  const SplitIdx ix = split_idx();
  for (int z = z0; z < z1; z++)
  {
    for (int x = 0; x < HMAP_SIZE; x += 16)
      load_block(w, ix, x, z);
    water_wrap_loaded_row(w, z);
  }
}

QM_AVX512 void water_velocity_row_avx512(WaterScratch &w, const WaterStepConsts &cst, int z, int load_z)
{
  const SplitIdx ix = split_idx();
  const int S = WG_STRIDE;
  const __m512 dt = _mm512_set1_ps(cst.dt), damp = _mm512_set1_ps(cst.damp), keep = _mm512_set1_ps(cst.keep);
  const __m512 ten = _mm512_set1_ps(10), quarter = _mm512_set1_ps(0.25f), two = _mm512_set1_ps(2);
  const __m512 eighth = _mm512_set1_ps(0.125f), k32 = _mm512_set1_ps(3.2f), one = _mm512_set1_ps(1);
  const __m512 blocked_foam = _mm512_set1_ps(0.01f);
  const __m512 Z = _mm512_set1_ps(float(z)), Zm1 = _mm512_set1_ps(float(z - 1));
  float *const U = w.u.row(z), *const V = w.v.row(z), *const NF = w.f.row(z);
  for (int x = 0; x < HMAP_SIZE; x += 16)
  {
    // The copy of a later row rides along: its shuffles and memory traffic overlap this row's
    // arithmetic.
    if (load_z >= 0 && w.next_row == load_z)
      load_block(w, ix, x, load_z);
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k, *D = w.d.f + k, *VX = w.vx.f + k, *VZ = w.vz.f + k, *F = w.foam.f + k;
    const __m512 X = _mm512_load_ps(column_coords.x + x), Xm1 = _mm512_load_ps(column_coords.x_minus_1 + x);
    const __m512 vx0 = ld(VX), vz0 = ld(VZ);
    const __m512 ubx = _mm512_sub_ps(X, _mm512_mul_ps(vx0, dt));
    const __m512 sz = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(vz0, ld(VZ + 1)), ld(VZ - S)), ld(VZ + 1 - S));
    const __m512 ubz = _mm512_sub_ps(Z, _mm512_mul_ps(_mm512_mul_ps(dt, sz), quarter));
    const __m512 sx = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(ld(VX - 1), vx0), ld(VX + S)), ld(VX + S - 1));
    const __m512 vbx = _mm512_sub_ps(X, _mm512_mul_ps(_mm512_mul_ps(dt, sx), quarter));
    const __m512 vbz = _mm512_sub_ps(Z, _mm512_mul_ps(vz0, dt));
    const Near16 nu_pt = near_setup(ubx, ubz, X, Xm1, Z, Zm1), nv_pt = near_setup(vbx, vbz, X, Xm1, Z, Zm1);
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
    // Open faces add nothing (the eight-wide path adds +0, which changes no value: nf is never -0).
    nf = _mm512_mask_add_ps(nf, bu, nf, blocked_foam);
    nf = _mm512_mask_add_ps(nf, bv, nf, blocked_foam);
    nf = _mm512_min_ps(nf, one);

    _mm512_store_ps(U + x, nu);
    _mm512_store_ps(V + x, nv);
    _mm512_store_ps(NF + x, nf);
  }
  if (load_z >= 0 && w.next_row == load_z)
  {
    water_wrap_loaded_row(w, load_z);
    w.next_row = load_z + 1;
  }
}


QM_AVX512 void water_outflows_row_avx512(WaterScratch &w, const WaterStepConsts &cst, int z)
{
  const int S = WG_STRIDE;
  const __m512 out_rate = _mm512_set1_ps(cst.out_rate), zero = _mm512_setzero_ps();
  const __m512 neg0 = _mm512_set1_ps(-0.f), thresh = _mm512_set1_ps(0.001f);
  const float *U = w.u.row(z), *V = w.v.row(z), *Vs = w.v.row(z - 1);
  float *A = w.amount.row(z), *FW = w.fw.row(z), *FS = w.fs.row(z), *FE = w.fe.row(z), *FN = w.fn.row(z);
  // A face sends where its velocity is not below 0 and the level not below the neighbour's
  // ground (NLT: true for NaN too, as the negated test of the plain path). With masks, each test
  // and each untaken lane costs one operation rather than the eight-wide path's two.
  auto keep = [&](__m512 o, __m512 lv, const float *h) QM_AVX512 {
    return _mm512_maskz_mov_ps(_mm512_mask_cmp_ps_mask(_mm512_cmp_ps_mask(o, zero, _CMP_NLT_UQ), lv, ld(h), _CMP_NLT_UQ), o);
  };
  auto negate = [&](__m512 v) QM_AVX512 {
    return _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(v), _mm512_castps_si512(neg0)));
  };
  for (int x = 0; x < HMAP_SIZE; x += 16)
  {
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k;
    const __m512 d0 = _mm512_load_ps(w.d.f + k);
    const __m512 lv = _mm512_add_ps(_mm512_load_ps(H), d0);
    const __m512 ow = keep(negate(ld(U + x - 1)), lv, H - 1);
    const __m512 os = keep(negate(_mm512_load_ps(Vs + x)), lv, H - S);
    const __m512 oe = keep(_mm512_load_ps(U + x), lv, H + 1);
    const __m512 on = keep(_mm512_load_ps(V + x), lv, H + S);
    const __m512 total = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(ow, os), oe), on);
    __m512 am = _mm512_mul_ps(total, out_rate);
    const __mmask16 take = _mm512_mask_cmp_ps_mask(_mm512_cmp_ps_mask(d0, zero, _CMP_GT_OQ), am, thresh, _CMP_GT_OQ);
    am = _mm512_min_ps(d0, am);
    const __m512 kk = _mm512_div_ps(am, total);
    _mm512_store_ps(A + x, _mm512_maskz_mov_ps(take, am));
    _mm512_store_ps(FW + x, _mm512_mask_mul_ps(neg0, take, kk, ow));
    _mm512_store_ps(FS + x, _mm512_mask_mul_ps(neg0, take, kk, os));
    _mm512_store_ps(FE + x, _mm512_mask_mul_ps(neg0, take, kk, oe));
    _mm512_store_ps(FN + x, _mm512_mask_mul_ps(neg0, take, kk, on));
  }
}

QM_AVX512 void water_settle_row_avx512(const WaterScratch &w, int z)
{
  float *dst = &HeightmapData::water[0].depth;
  const float *FNs = w.fn.row(z - 1), *FE = w.fe.row(z), *A = w.amount.row(z), *FW = w.fw.row(z),
              *FSn = w.fs.row(z + 1), *U = w.u.row(z), *V = w.v.row(z), *F = w.f.row(z);
  const __m512i lo = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
  const __m512i hi = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
  const __m512i lo_pd = _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11), hi_pd = _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15);
  for (int x = 0; x < HMAP_SIZE; x += 16)
  {
    __m512 dep = _mm512_load_ps(w.d.f + wg_idx(x, z));
    dep = _mm512_add_ps(dep, _mm512_load_ps(FNs + x));
    dep = _mm512_add_ps(dep, ld(FE + x - 1));
    dep = _mm512_sub_ps(dep, _mm512_load_ps(A + x));
    dep = _mm512_add_ps(dep, ld(FW + x + 1));
    dep = _mm512_add_ps(dep, _mm512_load_ps(FSn + x));
    // Back to cells of four fields: pairs (depth, vel_x) and (vel_z, foam), then whole cells.
    const __m512 nu = _mm512_load_ps(U + x), nv = _mm512_load_ps(V + x), nf = _mm512_load_ps(F + x);
    const __m512d du_lo = _mm512_castps_pd(_mm512_permutex2var_ps(dep, lo, nu));
    const __m512d du_hi = _mm512_castps_pd(_mm512_permutex2var_ps(dep, hi, nu));
    const __m512d vf_lo = _mm512_castps_pd(_mm512_permutex2var_ps(nv, lo, nf));
    const __m512d vf_hi = _mm512_castps_pd(_mm512_permutex2var_ps(nv, hi, nf));
    float *p = dst + 4 * hmap_idx(x, z);
    _mm512_store_ps(p, _mm512_castpd_ps(_mm512_permutex2var_pd(du_lo, lo_pd, vf_lo)));
    _mm512_store_ps(p + 16, _mm512_castpd_ps(_mm512_permutex2var_pd(du_lo, hi_pd, vf_lo)));
    _mm512_store_ps(p + 32, _mm512_castpd_ps(_mm512_permutex2var_pd(du_hi, lo_pd, vf_hi)));
    _mm512_store_ps(p + 48, _mm512_castpd_ps(_mm512_permutex2var_pd(du_hi, hi_pd, vf_hi)));
  }
}
