#include "terrain/simd_dispatch.h"

bool terrain_allow_avx2 = true;

bool terrain_use_avx2()
{
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2 && terrain_allow_avx2;
}

bool terrain_allow_avx512 = true;

bool terrain_use_avx512()
{
  static const bool has_avx512 = __builtin_cpu_supports("avx512f");
  return has_avx512 && terrain_allow_avx512 && terrain_use_avx2();
}
