// The terrain shaping operations, one world pass per iteration. Items are world samples, so the
// gradient-noise operation can be read beside one octave of tiled_noise2 over the same grid.
#include <benchmark/benchmark.h>

#include <vector>

#include "support/color_ramp.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"

using HD = HeightmapData;

namespace
{
void per_world(benchmark::State &state) { state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS); }
}  // namespace

static void BM_TiledNoise2OneOctaveGrid(benchmark::State &state)
{
  const int tile = 8;
  for (auto _ : state)
  {
    float sum = 0;
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
        sum += tiled_noise2(float(x) * tile / 256.f, float(z) * tile / 256.f, tile);
    benchmark::DoNotOptimize(sum);
  }
  per_world(state);
}
BENCHMARK(BM_TiledNoise2OneOctaveGrid);

static void BM_AddSimplexNoise(benchmark::State &state)
{
  HD::reset();
  const int octaves = int(state.range(0));
  for (auto _ : state)
  {
    HD::addSimplexNoise(0.0f, 1.0f, 8, octaves, 0.5f);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_AddSimplexNoise)->Arg(1)->Arg(6);

static void BM_MakeFastNoise(benchmark::State &state)
{
  std::vector<float> out(HMAP_CELLS);
  for (auto _ : state)
  {
    HD::makeFastNoise(out.data(), 1.0f, 0.6f);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_MakeFastNoise);

static void BM_AddFastNoise(benchmark::State &state)
{
  HD::reset();
  alignas(16) static ColorRamp ramp;
  for (int i = 0; i <= 256; i++)
    ramp.c[i] = v_make(float(i) / 256, 0.5f, 0.2f, 0.7f);
  const ColorRamp *r = state.range(0) ? &ramp : nullptr;
  for (auto _ : state)
  {
    HD::addFastNoise(0.0f, 1.0f, r, GT_SOIL, 200, 0.6f);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_AddFastNoise)->Arg(0)->Arg(1)->ArgName("ramp");

static void BM_AddVoronoiHills(benchmark::State &state)
{
  HD::reset();
  for (auto _ : state)
  {
    HD::addVoronoiHills(16, 1.0f, 4.0f, 1.5f);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_AddVoronoiHills);

static void BM_GenVoronoiFaults(benchmark::State &state)
{
  HD::reset();
  for (auto _ : state)
  {
    HD::genVoronoiFaults(8, 1.0f, 9.0f, 0.5f, 2, 3, 2.0f);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_GenVoronoiFaults);

static void BM_GenFault(benchmark::State &state)
{
  HD::reset();
  for (auto _ : state)
  {
    HD::genFault({128, 128}, {1, 0.3f}, 10.0f, 0.5f, 2.0f, nullptr, GT_NONE, 0, HD::hmap);
    benchmark::ClobberMemory();
  }
  per_world(state);
}
BENCHMARK(BM_GenFault);

// Not a whole-world pass: a crater of radius 32 visits a 129 x 129 square twice.
static void BM_GenCrater(benchmark::State &state)
{
  HD::reset();
  for (auto _ : state)
  {
    HD::genCrater({100.5f, 80.5f}, 32.0f, 0.3f, HD::hmap);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GenCrater);

static void BM_PlaceCastle(benchmark::State &state)
{
  HD::reset();
  for (auto _ : state)
  {
    HD::placeHouse(100, 100, -1, HD::hmap, true);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlaceCastle);
