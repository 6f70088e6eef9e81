#pragma once
// The one place where the engine's Matrix44 meets the device layer's D3dMatrix. Both are row
// vector matrices with the same element order, so the conversion is a copy.
#include <cstring>

#include "render/d3d_types.h"
#include "support/matrix44.h"

static_assert(sizeof(D3dMatrix) == sizeof(Matrix44));

inline D3dMatrix to_d3d_matrix(const Matrix44 &a)
{
  D3dMatrix r;
  std::memcpy(r.m, a.m, sizeof(r.m));
  return r;
}

inline Matrix44 from_d3d_matrix(const D3dMatrix &a)
{
  Matrix44 r;
  std::memcpy(r.m, a.m, sizeof(r.m));
  return r;
}
