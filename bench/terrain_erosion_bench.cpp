// Droplet erosion speed on a rough world: droplet steps per second and the average path length.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "terrain/erosion_detail.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"

using HD = HeightmapData;

namespace
{
void make_rough_world()
{
  HD::reset();
  game_rnd_seed = 2024;
  reseed_noise();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      int i = hmap_idx(x, z);
      HD::hmap[i] = 40 * tiled_fractal_noise2(float(x) / 32, float(z) / 32, 8, 6, nullptr, 0.55f);
      HD::surface[i].color = 0xFF000000u | (game_rnd() & 0x00FFFFFFu);
    }
}

void run_erosion(benchmark::State &state, HD::ErosionParams &p)
{
  make_rough_world();
  std::vector<float> h0(HD::hmap, HD::hmap + HMAP_CELLS);
  std::vector<HD::Surface> s0(HD::surface, HD::surface + HMAP_CELLS);
  const unsigned droplets = unsigned(state.range(0));
  uint64_t steps = 0;
  // Keep the statistics lines out of the benchmark table.
  fflush(stdout);
  int saved_fd = dup(1), null_fd = open("/dev/null", O_WRONLY);
  dup2(null_fd, 1);
  for (auto _ : state)
  {
    state.PauseTiming();
    memcpy(HD::hmap, h0.data(), sizeof(HD::hmap));
    memcpy(HD::surface, s0.data(), sizeof(HD::surface));
    game_rnd_seed = 77;
    state.ResumeTiming();
    HD::genDropletErosion(droplets, p);
    steps += last_erosion_stats.total_steps;
  }
  fflush(stdout);
  dup2(saved_fd, 1);
  close(saved_fd);
  close(null_fd);
  state.counters["steps/s"] = benchmark::Counter(double(steps), benchmark::Counter::kIsRate);
  state.counters["path_len"] = double(last_erosion_stats.total_steps) / double(droplets);
}
}  // namespace

static void BM_DropletErosion(benchmark::State &state)
{
  HD::ErosionParams p;
  run_erosion(state, p);
}
BENCHMARK(BM_DropletErosion)->Arg(16384)->Unit(benchmark::kMillisecond);

// The development key's settings: little capacity, quick deposits.
static void BM_DropletErosionDevKey(benchmark::State &state)
{
  HD::ErosionParams p;
  p.Kq = 0.1f;
  p.Kd = 0.9f;
  run_erosion(state, p);
}
BENCHMARK(BM_DropletErosionDevKey)->Arg(16384)->Unit(benchmark::kMillisecond);
