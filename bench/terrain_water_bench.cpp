// One water step on a rough, wet world against a copy of the water array (1 MiB).
#include <benchmark/benchmark.h>

#include <cstring>

#include "terrain/hmap_data.h"
#include "terrain/noise.h"
#include "terrain/simd_dispatch.h"

using HD = HeightmapData;

namespace
{
alignas(64) HD::Water copy_dst[HMAP_CELLS];

void make_wet_world()
{
  HD::reset();
  game_rnd_seed = 99;
  reseed_noise();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HD::hmap[hmap_idx(x, z)] = 12 * tiled_fractal_noise2(float(x) / 32, float(z) / 32, 8, 6, nullptr, 0.55f);
  HD::addWater(1);
  for (int i = 0; i < 200; i++)  // let the water start flowing
    HD::simWater(0.05f);
}
}  // namespace

static void BM_MemcpyWater(benchmark::State &state)
{
  for (auto _ : state)
  {
    void *dst = copy_dst;
    benchmark::DoNotOptimize(dst);
    memcpy(dst, HD::water, sizeof(HD::water));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::water)));
}
BENCHMARK(BM_MemcpyWater);

static void BM_SimWater(benchmark::State &state)
{
  terrain_allow_avx2 = state.range(0) != 0;
  make_wet_world();
  for (auto _ : state)
  {
    HD::simWater(0.05f);
    benchmark::ClobberMemory();
  }
  terrain_allow_avx2 = true;
}
BENCHMARK(BM_SimWater)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
