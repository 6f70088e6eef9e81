#include "terrain/simd_dispatch.h"

bool terrain_allow_avx2 = true;

bool terrain_use_avx2()
{
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2 && terrain_allow_avx2;
}
