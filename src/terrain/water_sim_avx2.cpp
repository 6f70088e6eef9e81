// Eight-wide paths of the water step (see water_sim.cpp). Every lane performs the same IEEE
// single-precision operations, in the same order, as the plain paths.
#include <climits>
#include <cstring>
#include <immintrin.h>

#include "terrain/hmap_data.h"
#include "terrain/water_grid.h"

#define QM_AVX2 __attribute__((target("avx2")))

namespace
{
// ifloor of eight lanes: the floor in the int range, saturated beyond it, 0 for NaN/infinity.
QM_AVX2 __attribute__((noinline)) __m256i floor8_slow(__m256 v)
{
  const __m256 lo = _mm256_set1_ps(-2147483648.f), hi = _mm256_set1_ps(2147483648.f);
  const __m256 fmax = _mm256_set1_ps(3.402823466e38f), fmin = _mm256_set1_ps(-3.402823466e38f);
  __m256i t = _mm256_cvttps_epi32(v);
  __m256 corr = _mm256_cmp_ps(_mm256_cvtepi32_ps(t), v, _CMP_GT_OQ);
  t = _mm256_add_epi32(t, _mm256_castps_si256(corr));  // -1 where the truncation was above v
  __m256 in_range = _mm256_and_ps(_mm256_cmp_ps(v, lo, _CMP_GE_OQ), _mm256_cmp_ps(v, hi, _CMP_LT_OQ));
  __m256 above = _mm256_and_ps(_mm256_cmp_ps(v, hi, _CMP_GE_OQ), _mm256_cmp_ps(v, fmax, _CMP_LE_OQ));
  __m256 below = _mm256_and_ps(_mm256_cmp_ps(v, lo, _CMP_LT_OQ), _mm256_cmp_ps(v, fmin, _CMP_GE_OQ));
  __m256i r = _mm256_and_si256(t, _mm256_castps_si256(in_range));
  r = _mm256_or_si256(r, _mm256_and_si256(_mm256_set1_epi32(INT_MAX), _mm256_castps_si256(above)));
  r = _mm256_or_si256(r, _mm256_and_si256(_mm256_set1_epi32(INT_MIN), _mm256_castps_si256(below)));
  return r;
}

QM_AVX2 inline __m256i floor8(__m256 v)
{
  // Common case: every lane well inside the int range (|v| < 2^30, NaN fails the test).
  const __m256 lim = _mm256_set1_ps(1073741824.f);
  __m256 absv = _mm256_andnot_ps(_mm256_set1_ps(-0.f), v);
  if (_mm256_movemask_ps(_mm256_cmp_ps(absv, lim, _CMP_LT_OQ)) != 255)
    return floor8_slow(v);
  __m256i t = _mm256_cvttps_epi32(v);
  __m256 corr = _mm256_cmp_ps(_mm256_cvtepi32_ps(t), v, _CMP_GT_OQ);
  return _mm256_add_epi32(t, _mm256_castps_si256(corr));
}

// Grid offsets and fractions of eight bilinear sample points.
struct Bilin8
{
  __m256i off;
  __m256 fx, fz;
};

QM_AVX2 inline Bilin8 bilin_setup(__m256 px, __m256 pz)
{
  __m256i i = floor8(px), j = floor8(pz);
  Bilin8 b;
  b.fx = _mm256_sub_ps(px, _mm256_cvtepi32_ps(i));
  b.fz = _mm256_sub_ps(pz, _mm256_cvtepi32_ps(j));
  const __m256i m = _mm256_set1_epi32(255);
  __m256i row = _mm256_add_epi32(_mm256_and_si256(j, m), _mm256_set1_epi32(1));
  b.off = _mm256_add_epi32(_mm256_mullo_epi32(row, _mm256_set1_epi32(WG_STRIDE)),
                           _mm256_add_epi32(_mm256_and_si256(i, m), _mm256_set1_epi32(WG_PAD)));
  return b;
}

// Grid offsets of eight points, as plain ints for per-lane loads.
struct Offsets8
{
  alignas(32) int o[8];
};

// Two neighbouring samples (i, j) and (i + 1, j) of eight points: one 64-bit load per point
// fetches both; the pairs are split into the two rows of values in lane order.
QM_AVX2 inline void load_pairs(const float *g, const Offsets8 &off, __m256 &left, __m256 &right)
{
  auto pair = [g](int o) { return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(g + o)); };
  __m128i p01 = _mm_unpacklo_epi64(pair(off.o[0]), pair(off.o[1]));
  __m128i p23 = _mm_unpacklo_epi64(pair(off.o[2]), pair(off.o[3]));
  __m128i p45 = _mm_unpacklo_epi64(pair(off.o[4]), pair(off.o[5]));
  __m128i p67 = _mm_unpacklo_epi64(pair(off.o[6]), pair(off.o[7]));
  __m256 lo = _mm256_castsi256_ps(_mm256_set_m128i(p23, p01));  // l0 r0 l1 r1 | l2 r2 l3 r3
  __m256 hi = _mm256_castsi256_ps(_mm256_set_m128i(p67, p45));
  __m256 l = _mm256_shuffle_ps(lo, hi, 0x88);  // l0 l1 l4 l5 | l2 l3 l6 l7
  __m256 r = _mm256_shuffle_ps(lo, hi, 0xDD);
  left = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(l), 0xD8));
  right = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(r), 0xD8));
}

QM_AVX2 inline __m256 bilin_sample(const float *g, const Bilin8 &b, const Offsets8 &off)
{
  __m256 v00, v10, v01, v11;
  load_pairs(g, off, v00, v10);
  load_pairs(g + WG_STRIDE, off, v01, v11);
  __m256 a = _mm256_add_ps(v00, _mm256_mul_ps(_mm256_sub_ps(v10, v00), b.fx));
  __m256 c = _mm256_add_ps(v01, _mm256_mul_ps(_mm256_sub_ps(v11, v01), b.fx));
  return _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(c, a), b.fz));
}

// Bilinear samples of one field at eight trace points that all lie within one cell of their own
// cells: i = floor(px) is x - 1 or x and j = floor(pz) is z - 1 or z. The corners then come from
// the 3 x 3 neighbourhood of the cells (rows z - 1 .. z + 1, columns x - 1 .. x + 1 around p, the
// field at (x, z)), read with plain loads: per row the pair (i, i + 1) is picked by mi (set where
// i = x) and interpolated along x, then the pair of rows (j, j + 1) by mj (set where j = z). The
// operations on the picked values are exactly those of the general lookup.
QM_AVX2 inline __m256 sample_near(const float *p, __m256 mi, __m256 mj, __m256 fx, __m256 fz)
{
  __m256 xr[3];
#pragma GCC unroll 3
  for (int k = 0; k < 3; k++)
  {
    const float *r = p + (k - 1) * WG_STRIDE;
    const __m256 l = _mm256_blendv_ps(_mm256_loadu_ps(r - 1), _mm256_loadu_ps(r), mi);
    const __m256 rr = _mm256_blendv_ps(_mm256_loadu_ps(r), _mm256_loadu_ps(r + 1), mi);
    xr[k] = _mm256_add_ps(l, _mm256_mul_ps(_mm256_sub_ps(rr, l), fx));
  }
  const __m256 top = _mm256_blendv_ps(xr[0], xr[1], mj), bottom = _mm256_blendv_ps(xr[1], xr[2], mj);
  return _mm256_add_ps(top, _mm256_mul_ps(_mm256_sub_ps(bottom, top), fz));
}

// Trace point of eight cells: the cell fractions, and whether it lies in reach of sample_near.
// floor(v) here equals float(ifloor(v)) for every v it accepts (a coordinate x - t is never -0,
// and only finite values near x pass), so the fractions are those of the general lookup.
struct Near8
{
  __m256 mi, mj, fx, fz, ok;
};

QM_AVX2 inline Near8 near_setup(__m256 px, __m256 pz, __m256 X, __m256 Z)
{
  const __m256 one = _mm256_set1_ps(1);
  const __m256 fi = _mm256_floor_ps(px), fj = _mm256_floor_ps(pz);
  Near8 n;
  n.mi = _mm256_cmp_ps(fi, X, _CMP_EQ_OQ);
  n.mj = _mm256_cmp_ps(fj, Z, _CMP_EQ_OQ);
  n.ok = _mm256_and_ps(_mm256_or_ps(n.mi, _mm256_cmp_ps(fi, _mm256_sub_ps(X, one), _CMP_EQ_OQ)),
                       _mm256_or_ps(n.mj, _mm256_cmp_ps(fj, _mm256_sub_ps(Z, one), _CMP_EQ_OQ)));
  n.fx = _mm256_sub_ps(px, fi);
  n.fz = _mm256_sub_ps(pz, fj);
  return n;
}

// a < b ? a : b per lane, i.e. std::min(b, a).
QM_AVX2 inline __m256 min_first(__m256 a, __m256 b) { return _mm256_min_ps(a, b); }

QM_AVX2 inline __m256 ld(const float *p) { return _mm256_loadu_ps(p); }
}  // namespace

// Rows z0 .. z1 - 1 of the previous state: copied into tmpw and split into the field grids, with
// the wrapped padding (row 255 also becomes row -1, row 0 also row 256).
QM_AVX2 void water_load_rows_avx2(WaterScratch &w, int z0, int z1)
{
  const float *src = &HeightmapData::water[0].depth;
  float *prev = &HeightmapData::tmpw[0].depth;
  for (int z = z0; z < z1; z++)
  {
    for (int x = 0; x < HMAP_SIZE; x += 8)
    {
      const int o = 4 * hmap_idx(x, z);
      __m256 r0 = _mm256_load_ps(src + o), r1 = _mm256_load_ps(src + o + 8);
      __m256 r2 = _mm256_load_ps(src + o + 16), r3 = _mm256_load_ps(src + o + 24);
      _mm256_stream_ps(prev + o, r0);
      _mm256_stream_ps(prev + o + 8, r1);
      _mm256_stream_ps(prev + o + 16, r2);
      _mm256_stream_ps(prev + o + 24, r3);
      __m256 c04 = _mm256_permute2f128_ps(r0, r2, 0x20), c15 = _mm256_permute2f128_ps(r0, r2, 0x31);
      __m256 c26 = _mm256_permute2f128_ps(r1, r3, 0x20), c37 = _mm256_permute2f128_ps(r1, r3, 0x31);
      __m256 t0 = _mm256_unpacklo_ps(c04, c15), t1 = _mm256_unpackhi_ps(c04, c15);
      __m256 t2 = _mm256_unpacklo_ps(c26, c37), t3 = _mm256_unpackhi_ps(c26, c37);
      const int k = wg_idx(x, z);
      _mm256_storeu_ps(w.d.f + k, _mm256_shuffle_ps(t0, t2, 0x44));
      _mm256_storeu_ps(w.vx.f + k, _mm256_shuffle_ps(t0, t2, 0xEE));
      _mm256_storeu_ps(w.vz.f + k, _mm256_shuffle_ps(t1, t3, 0x44));
      _mm256_storeu_ps(w.foam.f + k, _mm256_shuffle_ps(t1, t3, 0xEE));
      _mm256_storeu_ps(w.h.f + k, _mm256_load_ps(HeightmapData::hmap + hmap_idx(x, z)));
    }
    water_wrap_loaded_row(w, z);
  }
}

// A lookup beyond the neighbourhood may read any row: the rows not yet split are split now.
QM_AVX2 __attribute__((noinline)) void load_remaining_rows(WaterScratch &w)
{
  water_load_rows_avx2(w, w.next_row, HMAP_SIZE - 2);
  w.next_row = HMAP_SIZE - 2;
}

// New velocities and foam of the eight cells x .. x + 7 of row z.
QM_AVX2 inline void velocity_block(WaterScratch &w, const WaterStepConsts &cst, int x, int z)
{
  const int S = WG_STRIDE;
  const __m256 dt = _mm256_set1_ps(cst.dt), damp = _mm256_set1_ps(cst.damp), keep = _mm256_set1_ps(cst.keep);
  // Division by 4 and by 8 is exactly multiplication by 0.25 and 0.125 (powers of two).
  const __m256 ten = _mm256_set1_ps(10), quarter = _mm256_set1_ps(0.25f), two = _mm256_set1_ps(2);
  const __m256 eighth = _mm256_set1_ps(0.125f), k32 = _mm256_set1_ps(3.2f), one = _mm256_set1_ps(1);
  const __m256 blocked_foam = _mm256_set1_ps(0.01f), zero = _mm256_setzero_ps();
  const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256 Z = _mm256_set1_ps(float(z));
  const int k = wg_idx(x, z);
  const float *H = w.h.f + k, *D = w.d.f + k, *VX = w.vx.f + k, *VZ = w.vz.f + k, *F = w.foam.f + k;
  const __m256 X = _mm256_add_ps(_mm256_set1_ps(float(x)), lane);
  const __m256 h0 = ld(H), he = ld(H + 1), hn = ld(H + S);
  const __m256 d0 = ld(D), de = ld(D + 1), dn = ld(D + S);
  const __m256 lc = _mm256_add_ps(h0, d0), le = _mm256_add_ps(he, de), ln = _mm256_add_ps(hn, dn);
  const __m256 pu = _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(lc, le), dt), ten);
  const __m256 pv = _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(lc, ln), dt), ten);
  const __m256 vx0 = ld(VX), vz0 = ld(VZ);

  // Trace-back points of the x face and the z face.
  const __m256 ubx = _mm256_sub_ps(X, _mm256_mul_ps(vx0, dt));
  const __m256 sz = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(vz0, ld(VZ + 1)), ld(VZ - S)), ld(VZ + 1 - S));
  const __m256 ubz = _mm256_sub_ps(Z, _mm256_mul_ps(_mm256_mul_ps(dt, sz), quarter));
  const __m256 sx = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(ld(VX - 1), vx0), ld(VX + S)), ld(VX + S - 1));
  const __m256 vbx = _mm256_sub_ps(X, _mm256_mul_ps(_mm256_mul_ps(dt, sx), quarter));
  const __m256 vbz = _mm256_sub_ps(Z, _mm256_mul_ps(vz0, dt));

  // Previous velocity and foam at both points: from the registers when every point of the
  // block is within one cell (the common case), else by the general lookup.
  __m256 su, sv, fu, fv;
  const Near8 nu_pt = near_setup(ubx, ubz, X, Z), nv_pt = near_setup(vbx, vbz, X, Z);
  if (_mm256_movemask_ps(_mm256_and_ps(nu_pt.ok, nv_pt.ok)) == 255)
  {
    su = sample_near(VX, nu_pt.mi, nu_pt.mj, nu_pt.fx, nu_pt.fz);
    fu = sample_near(F, nu_pt.mi, nu_pt.mj, nu_pt.fx, nu_pt.fz);
    sv = sample_near(VZ, nv_pt.mi, nv_pt.mj, nv_pt.fx, nv_pt.fz);
    fv = sample_near(F, nv_pt.mi, nv_pt.mj, nv_pt.fx, nv_pt.fz);
  }
  else
  {
    if (w.next_row < HMAP_SIZE - 2)
      load_remaining_rows(w);
    const Bilin8 bu_pt = bilin_setup(ubx, ubz), bv_pt = bilin_setup(vbx, vbz);
    Offsets8 bu_off, bv_off;
    _mm256_store_si256(reinterpret_cast<__m256i *>(bu_off.o), bu_pt.off);
    _mm256_store_si256(reinterpret_cast<__m256i *>(bv_off.o), bv_pt.off);
    su = bilin_sample(w.vx.f, bu_pt, bu_off);
    fu = bilin_sample(w.foam.f, bu_pt, bu_off);
    sv = bilin_sample(w.vz.f, bv_pt, bv_off);
    fv = bilin_sample(w.foam.f, bv_pt, bv_off);
  }

  __m256 nu = _mm256_add_ps(_mm256_mul_ps(su, damp), pu);
  __m256 out = min_first(_mm256_sub_ps(lc, he), d0);
  __m256 in = min_first(_mm256_sub_ps(le, h0), de);
  const __m256 bu = _mm256_or_ps(
    _mm256_and_ps(_mm256_cmp_ps(nu, zero, _CMP_GE_OQ), _mm256_cmp_ps(out, zero, _CMP_LE_OQ)),
    _mm256_and_ps(_mm256_cmp_ps(nu, zero, _CMP_LT_OQ), _mm256_cmp_ps(in, zero, _CMP_LE_OQ)));
  nu = _mm256_andnot_ps(bu, nu);

  __m256 nv = _mm256_add_ps(_mm256_mul_ps(sv, damp), pv);
  out = min_first(_mm256_sub_ps(lc, hn), d0);
  in = min_first(_mm256_sub_ps(ln, h0), dn);
  const __m256 bv = _mm256_or_ps(
    _mm256_and_ps(_mm256_cmp_ps(nv, zero, _CMP_GE_OQ), _mm256_cmp_ps(out, zero, _CMP_LE_OQ)),
    _mm256_and_ps(_mm256_cmp_ps(nv, zero, _CMP_LT_OQ), _mm256_cmp_ps(in, zero, _CMP_LE_OQ)));
  nv = _mm256_andnot_ps(bv, nv);

  // Foam: carried from both trace points and the four neighbours, made by pressure and by
  // blocked faces. (Adding +0 for an open face changes nothing: the sum is never -0.)
  __m256 fs = _mm256_mul_ps(two, _mm256_add_ps(fu, fv));
  fs = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(_mm256_add_ps(fs, ld(F + S)), ld(F - 1)), ld(F + 1)), ld(F - S));
  __m256 nf = _mm256_mul_ps(_mm256_mul_ps(keep, fs), eighth);
  nf = _mm256_add_ps(nf, _mm256_mul_ps(k32, _mm256_add_ps(_mm256_mul_ps(pu, pu), _mm256_mul_ps(pv, pv))));
  nf = _mm256_add_ps(nf, _mm256_and_ps(bu, blocked_foam));
  nf = _mm256_add_ps(nf, _mm256_and_ps(bv, blocked_foam));
  nf = _mm256_min_ps(nf, one);

  _mm256_storeu_ps(w.u.row(z) + x, nu);
  _mm256_storeu_ps(w.v.row(z) + x, nv);
  _mm256_storeu_ps(w.f.row(z) + x, nf);
}

QM_AVX2 void water_velocity_block_avx2(WaterScratch &w, const WaterStepConsts &cst, int x, int z)
{
  velocity_block(w, cst, x, z);
}

QM_AVX2 void water_velocity_row_avx2(WaterScratch &w, const WaterStepConsts &cst, int z)
{
  for (int x = 0; x < HMAP_SIZE; x += 8)
    velocity_block(w, cst, x, z);
}

QM_AVX2 void water_outflows_row_avx2(WaterScratch &w, const WaterStepConsts &cst, int z)
{
  const int S = WG_STRIDE;
  const __m256 out_rate = _mm256_set1_ps(cst.out_rate), zero = _mm256_setzero_ps();
  const __m256 neg0 = _mm256_set1_ps(-0.f), thresh = _mm256_set1_ps(0.001f);
  const float *U = w.u.row(z), *V = w.v.row(z), *Vs = w.v.row(z - 1);
  float *A = w.amount.row(z), *FW = w.fw.row(z), *FS = w.fs.row(z), *FE = w.fe.row(z), *FN = w.fn.row(z);
  for (int x = 0; x < HMAP_SIZE; x += 8)
  {
    const int k = wg_idx(x, z);
    const float *H = w.h.f + k;
    const __m256 d0 = ld(w.d.f + k);
    const __m256 lv = _mm256_add_ps(ld(H), d0);
    __m256 ow = _mm256_xor_ps(ld(U + x - 1), neg0), os = _mm256_xor_ps(ld(Vs + x), neg0);
    __m256 oe = ld(U + x), on = ld(V + x);
    ow = _mm256_andnot_ps(_mm256_or_ps(_mm256_cmp_ps(ow, zero, _CMP_LT_OQ), _mm256_cmp_ps(lv, ld(H - 1), _CMP_LT_OQ)), ow);
    os = _mm256_andnot_ps(_mm256_or_ps(_mm256_cmp_ps(os, zero, _CMP_LT_OQ), _mm256_cmp_ps(lv, ld(H - S), _CMP_LT_OQ)), os);
    oe = _mm256_andnot_ps(_mm256_or_ps(_mm256_cmp_ps(oe, zero, _CMP_LT_OQ), _mm256_cmp_ps(lv, ld(H + 1), _CMP_LT_OQ)), oe);
    on = _mm256_andnot_ps(_mm256_or_ps(_mm256_cmp_ps(on, zero, _CMP_LT_OQ), _mm256_cmp_ps(lv, ld(H + S), _CMP_LT_OQ)), on);
    const __m256 total = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(ow, os), oe), on);
    __m256 am = _mm256_mul_ps(total, out_rate);
    const __m256 take = _mm256_and_ps(_mm256_cmp_ps(d0, zero, _CMP_GT_OQ), _mm256_cmp_ps(am, thresh, _CMP_GT_OQ));
    am = min_first(d0, am);
    const __m256 kk = _mm256_div_ps(am, total);
    _mm256_storeu_ps(A + x, _mm256_and_ps(take, am));
    _mm256_storeu_ps(FW + x, _mm256_blendv_ps(neg0, _mm256_mul_ps(kk, ow), take));
    _mm256_storeu_ps(FS + x, _mm256_blendv_ps(neg0, _mm256_mul_ps(kk, os), take));
    _mm256_storeu_ps(FE + x, _mm256_blendv_ps(neg0, _mm256_mul_ps(kk, oe), take));
    _mm256_storeu_ps(FN + x, _mm256_blendv_ps(neg0, _mm256_mul_ps(kk, on), take));
  }
}

QM_AVX2 void water_settle_row_avx2(const WaterScratch &w, int z)
{
  float *dst = &HeightmapData::water[0].depth;
  const float *FNs = w.fn.row(z - 1), *FE = w.fe.row(z), *A = w.amount.row(z), *FW = w.fw.row(z),
              *FSn = w.fs.row(z + 1), *U = w.u.row(z), *V = w.v.row(z), *F = w.f.row(z);
  for (int x = 0; x < HMAP_SIZE; x += 8)
  {
    __m256 dep = ld(w.d.f + wg_idx(x, z));
    dep = _mm256_add_ps(dep, ld(FNs + x));
    dep = _mm256_add_ps(dep, ld(FE + x - 1));
    dep = _mm256_sub_ps(dep, ld(A + x));
    dep = _mm256_add_ps(dep, ld(FW + x + 1));
    dep = _mm256_add_ps(dep, ld(FSn + x));
    // Back to cells of four fields.
    const __m256 nu = ld(U + x), nv = ld(V + x), nf = ld(F + x);
    __m256 a = _mm256_unpacklo_ps(dep, nu), b = _mm256_unpackhi_ps(dep, nu);
    __m256 c = _mm256_unpacklo_ps(nv, nf), e = _mm256_unpackhi_ps(nv, nf);
    __m256 c04 = _mm256_shuffle_ps(a, c, 0x44), c15 = _mm256_shuffle_ps(a, c, 0xEE);
    __m256 c26 = _mm256_shuffle_ps(b, e, 0x44), c37 = _mm256_shuffle_ps(b, e, 0xEE);
    float *p = dst + 4 * hmap_idx(x, z);
    _mm256_store_ps(p, _mm256_permute2f128_ps(c04, c15, 0x20));
    _mm256_store_ps(p + 8, _mm256_permute2f128_ps(c26, c37, 0x20));
    _mm256_store_ps(p + 16, _mm256_permute2f128_ps(c04, c15, 0x31));
    _mm256_store_ps(p + 24, _mm256_permute2f128_ps(c26, c37, 0x31));
  }
}
