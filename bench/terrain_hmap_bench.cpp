// Height morph against a plain copy of the same bytes (the hmap array, 256 KiB).
#include <benchmark/benchmark.h>

#include <cstring>

#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
alignas(64) float copy_dst[HMAP_CELLS];
alignas(64) float morph_dst[HMAP_CELLS];

// Every sample far from its target, alternating direction, so that every group moves.
void make_moving_world()
{
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HD::hmap[i] = float(i & 255) * 0.1f;
    HD::target_hmap[i] = (i & 1) ? 1e30f : -1e30f;
  }
}

void make_world_at_rest()
{
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = HD::target_hmap[i] = float(i % 509) * 0.25f;
}
}  // namespace

static void BM_MemcpyHmap(benchmark::State &state)
{
  for (auto _ : state)
  {
    void *dst = copy_dst;
    benchmark::DoNotOptimize(dst);
    memcpy(dst, HD::hmap, sizeof(HD::hmap));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::hmap)));
}
BENCHMARK(BM_MemcpyHmap);

static void BM_UpdateHmapMoving(benchmark::State &state)
{
  make_moving_world();
  int n = 0;
  for (auto _ : state)
  {
    HD::updateHmap(0.05f);
    benchmark::ClobberMemory();
    if (++n == 1000)  // gaps shrink 1 % per step: refresh long before any sample arrives
    {
      state.PauseTiming();
      make_moving_world();
      n = 0;
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::hmap)));
}
BENCHMARK(BM_UpdateHmapMoving);

static void BM_UpdateHmapAtRest(benchmark::State &state)
{
  make_world_at_rest();
  for (auto _ : state)
  {
    HD::updateHmap(0.05f);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::hmap)));
}
BENCHMARK(BM_UpdateHmapAtRest);

static void BM_MorphHmap(benchmark::State &state)
{
  make_moving_world();
  for (auto _ : state)
  {
    HD::morphHmap(0.025f, morph_dst);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::hmap)));
}
BENCHMARK(BM_MorphHmap);
