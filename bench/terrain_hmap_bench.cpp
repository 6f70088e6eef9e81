// Height morph against a pass that moves the same bytes: the morph of a moving world reads hmap
// and target_hmap and writes hmap back (256 KiB each), so the baseline reads two arrays of that
// size and writes the first in place, four samples to a register, one max each for arithmetic.
#include <benchmark/benchmark.h>

#include <immintrin.h>

#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
alignas(64) float base_h[HMAP_CELLS];
alignas(64) float base_t[HMAP_CELLS];
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

static void BM_ReadTwoWriteOneHmap(benchmark::State &state)
{
  for (int i = 0; i < HMAP_CELLS; i++)
    base_h[i] = float(i & 255), base_t[i] = -1.f;
  for (auto _ : state)
  {
    float *h = base_h;
    benchmark::DoNotOptimize(h);
    for (int i = 0; i < HMAP_CELLS; i += 8)
    {
      _mm_store_ps(h + i, _mm_max_ps(_mm_load_ps(h + i), _mm_load_ps(base_t + i)));
      _mm_store_ps(h + i + 4, _mm_max_ps(_mm_load_ps(h + i + 4), _mm_load_ps(base_t + i + 4)));
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sizeof(HD::hmap)));
}
BENCHMARK(BM_ReadTwoWriteOneHmap);

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
