#pragma once
// Matrix44: a 4 x 4 float matrix used with row vectors (v' = v * M). A camera-to-world matrix
// holds the rows right, up, forward (w 0) and position (w 1); products compose left to right,
// so world * view * projection is a point's full transform.
#include <cmath>

#include "support/vec4f.h"

struct alignas(16) Matrix44
{
  float m[4][4];
};
static_assert(sizeof(Matrix44) == 64);

inline Matrix44 m44_identity()
{
  Matrix44 r = {};
  r.m[0][0] = r.m[1][1] = r.m[2][2] = r.m[3][3] = 1.f;
  return r;
}

inline vec4f m44_row(const Matrix44 &a, int i) { return {_mm_load_ps(a.m[i])}; }
inline void m44_set_row(Matrix44 &a, int i, vec4f v) { _mm_store_ps(a.m[i], v.m); }

// a * b: row i of the result is row i of a transformed by b.
inline Matrix44 m44_mul(const Matrix44 &a, const Matrix44 &b)
{
  Matrix44 r;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
    {
      float s = 0;
      for (int k = 0; k < 4; k++)
        s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

// Full inverse by cofactors in double precision; a singular matrix gives the identity (no NaN
// can leak into the shader constants).
inline Matrix44 m44_inverse(const Matrix44 &a)
{
  double s[16], inv[16];
  for (int i = 0; i < 16; i++)
    s[i] = a.m[i / 4][i % 4];
  inv[0] = s[5] * s[10] * s[15] - s[5] * s[11] * s[14] - s[9] * s[6] * s[15] + s[9] * s[7] * s[14] +
           s[13] * s[6] * s[11] - s[13] * s[7] * s[10];
  inv[4] = -s[4] * s[10] * s[15] + s[4] * s[11] * s[14] + s[8] * s[6] * s[15] - s[8] * s[7] * s[14] -
           s[12] * s[6] * s[11] + s[12] * s[7] * s[10];
  inv[8] = s[4] * s[9] * s[15] - s[4] * s[11] * s[13] - s[8] * s[5] * s[15] + s[8] * s[7] * s[13] +
           s[12] * s[5] * s[11] - s[12] * s[7] * s[9];
  inv[12] = -s[4] * s[9] * s[14] + s[4] * s[10] * s[13] + s[8] * s[5] * s[14] - s[8] * s[6] * s[13] -
            s[12] * s[5] * s[10] + s[12] * s[6] * s[9];
  inv[1] = -s[1] * s[10] * s[15] + s[1] * s[11] * s[14] + s[9] * s[2] * s[15] - s[9] * s[3] * s[14] -
           s[13] * s[2] * s[11] + s[13] * s[3] * s[10];
  inv[5] = s[0] * s[10] * s[15] - s[0] * s[11] * s[14] - s[8] * s[2] * s[15] + s[8] * s[3] * s[14] +
           s[12] * s[2] * s[11] - s[12] * s[3] * s[10];
  inv[9] = -s[0] * s[9] * s[15] + s[0] * s[11] * s[13] + s[8] * s[1] * s[15] - s[8] * s[3] * s[13] -
           s[12] * s[1] * s[11] + s[12] * s[3] * s[9];
  inv[13] = s[0] * s[9] * s[14] - s[0] * s[10] * s[13] - s[8] * s[1] * s[14] + s[8] * s[2] * s[13] +
            s[12] * s[1] * s[10] - s[12] * s[2] * s[9];
  inv[2] = s[1] * s[6] * s[15] - s[1] * s[7] * s[14] - s[5] * s[2] * s[15] + s[5] * s[3] * s[14] +
           s[13] * s[2] * s[7] - s[13] * s[3] * s[6];
  inv[6] = -s[0] * s[6] * s[15] + s[0] * s[7] * s[14] + s[4] * s[2] * s[15] - s[4] * s[3] * s[14] -
           s[12] * s[2] * s[7] + s[12] * s[3] * s[6];
  inv[10] = s[0] * s[5] * s[15] - s[0] * s[7] * s[13] - s[4] * s[1] * s[15] + s[4] * s[3] * s[13] +
            s[12] * s[1] * s[7] - s[12] * s[3] * s[5];
  inv[14] = -s[0] * s[5] * s[14] + s[0] * s[6] * s[13] + s[4] * s[1] * s[14] - s[4] * s[2] * s[13] -
            s[12] * s[1] * s[6] + s[12] * s[2] * s[5];
  inv[3] = -s[1] * s[6] * s[11] + s[1] * s[7] * s[10] + s[5] * s[2] * s[11] - s[5] * s[3] * s[10] -
           s[9] * s[2] * s[7] + s[9] * s[3] * s[6];
  inv[7] = s[0] * s[6] * s[11] - s[0] * s[7] * s[10] - s[4] * s[2] * s[11] + s[4] * s[3] * s[10] +
           s[8] * s[2] * s[7] - s[8] * s[3] * s[6];
  inv[11] = -s[0] * s[5] * s[11] + s[0] * s[7] * s[9] + s[4] * s[1] * s[11] - s[4] * s[3] * s[9] -
            s[8] * s[1] * s[7] + s[8] * s[3] * s[5];
  inv[15] = s[0] * s[5] * s[10] - s[0] * s[6] * s[9] - s[4] * s[1] * s[10] + s[4] * s[2] * s[9] +
            s[8] * s[1] * s[6] - s[8] * s[2] * s[5];
  double det = s[0] * inv[0] + s[1] * inv[4] + s[2] * inv[8] + s[3] * inv[12];
  if (!(std::fabs(det) > 1e-30) || !std::isfinite(det))
    return m44_identity();
  Matrix44 r;
  for (int i = 0; i < 16; i++)
    r.m[i / 4][i % 4] = float(inv[i] / det);
  return r;
}
