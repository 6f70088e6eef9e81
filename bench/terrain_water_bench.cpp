// One water step on a rough, wet world against a copy of the water array (1 MiB), on each path
// (plain, eight-wide, sixteen-wide; a path the processor lacks is skipped), and the passes of the
// step on their own: splitting the previous state into the field grids, the velocity phase, the
// outflows and the settling, each over all rows, eight and sixteen lanes wide. The passes show
// which one a change helps (their sum is close to BM_SimWater16).
#include <benchmark/benchmark.h>

#include <cstring>

#include "terrain/hmap_data.h"
#include "terrain/noise.h"
#include "terrain/simd_dispatch.h"
#include "terrain/water_grid.h"

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

// One whole step on the path chosen by the two switches.
static void sim_water(benchmark::State &state, bool avx2, bool avx512)
{
  terrain_allow_avx2 = avx2;
  terrain_allow_avx512 = avx512;
  if (terrain_use_avx2() == avx2 && terrain_use_avx512() == avx512)
  {
    make_wet_world();
    for (auto _ : state)
    {
      HD::simWater(0.05f);
      benchmark::ClobberMemory();
    }
  }
  else
    state.SkipWithError("the processor lacks the instructions of this path");
  terrain_allow_avx2 = terrain_allow_avx512 = true;
}
static void BM_SimWaterPlain(benchmark::State &state) { sim_water(state, false, false); }
static void BM_SimWater8(benchmark::State &state) { sim_water(state, true, false); }
static void BM_SimWater16(benchmark::State &state) { sim_water(state, true, true); }
BENCHMARK(BM_SimWaterPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimWater8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimWater16)->Unit(benchmark::kMicrosecond);

namespace
{
WaterScratch scratch;
const WaterStepConsts consts{0.05f, 1 - 0.03f * 0.05f, 1 - 5 * 0.05f, 4 * 0.05f};

bool set_up(benchmark::State &state, bool needs_avx512)
{
  if (!terrain_use_avx2() || (needs_avx512 && !terrain_use_avx512()))
  {
    state.SkipWithError("the processor lacks the instructions of this path");
    return false;
  }
  static bool done = false;
  if (done)
    return true;
  done = true;
  make_wet_world();
  // Every row of the grids and rings filled once, so that each pass reads realistic values.
  water_load_rows_avx2(scratch, 0, HMAP_SIZE);
  scratch.next_row = HMAP_SIZE - 2;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    water_velocity_row_avx2(scratch, consts, z);
    scratch.u.wrap_columns(z);
  }
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    water_outflows_row_avx2(scratch, consts, z);
    scratch.fw.wrap_columns(z);
    scratch.fe.wrap_columns(z);
  }
  return true;
}

template <class Pass>
void run_rows(benchmark::State &state, bool needs_avx512, Pass pass)
{
  if (!set_up(state, needs_avx512))
    return;
  for (auto _ : state)
  {
    for (int z = 0; z < HMAP_SIZE; z++)
      pass(z);
    benchmark::ClobberMemory();
  }
}
}  // namespace

static void BM_WaterPassSplit8(benchmark::State &state)
{
  run_rows(state, false, [](int z) { water_load_rows_avx2(scratch, z, z + 1); });
}
static void BM_WaterPassSplit16(benchmark::State &state)
{
  run_rows(state, true, [](int z) { water_load_rows_avx512(scratch, z, z + 1); });
}
static void BM_WaterPassVelocity8(benchmark::State &state)
{
  run_rows(state, false, [](int z) { water_velocity_row_avx2(scratch, consts, z); });
}
static void BM_WaterPassVelocity16(benchmark::State &state)
{
  run_rows(state, true, [](int z) { water_velocity_row_avx512(scratch, consts, z, -1); });
}
static void BM_WaterPassOutflows8(benchmark::State &state)
{
  run_rows(state, false, [](int z) { water_outflows_row_avx2(scratch, consts, z); });
}
static void BM_WaterPassOutflows16(benchmark::State &state)
{
  run_rows(state, true, [](int z) { water_outflows_row_avx512(scratch, consts, z); });
}
static void BM_WaterPassSettle8(benchmark::State &state)
{
  run_rows(state, false, [](int z) { water_settle_row_avx2(scratch, z); });
}
static void BM_WaterPassSettle16(benchmark::State &state)
{
  run_rows(state, true, [](int z) { water_settle_row_avx512(scratch, z); });
}
BENCHMARK(BM_WaterPassSplit8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassSplit16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassVelocity8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassVelocity16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassOutflows8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassOutflows16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassSettle8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterPassSettle16)->Unit(benchmark::kMicrosecond);
