// Droplet erosion speed on a rough world: droplet steps per second and the average path length.
// The shipped world script's settings and colour reactions run beside the same settings without
// reactions and the common textbook eroder (no colour), so that their ratios come from one run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "terrain/erosion_detail.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"
#include "textbook_eroder.h"

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

namespace
{
// What bin/gen/main.nut passes to gen_droplet_erosion: its settings and, when asked, its two
// reactions (blue fades to half, green to 0.85), built the way the script binding builds them.
HD::ErosionParams shipped_params(bool with_reactions)
{
  HD::ErosionParams p;
  p.Kq = 8;
  p.Kr = 0.6f;
  p.Kd = 0.05f;
  p.Ki = 0.2f;
  p.minSlope = 0.02f;
  p.depositBlend = 1.5f;
  p.reactionTime = 60;
  if (!with_reactions)
    return p;
  const float from[2][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}}, to[2][4] = {{0, 0, 0.5f, 0}, {0, 0.85f, 0, 0}};
  for (int r = 0; r < 2; r++)
  {
    HD::Reaction re;
    for (int ch = 0; ch < 4; ch++)
    {
      re.delta[ch] = (to[r][ch] - from[r][ch]) * 0.003f;
      re.order[ch] = int(std::nearbyint(from[r][ch]));
    }
    p.reactions.push_back(re);
  }
  return p;
}
}  // namespace

static void BM_DropletErosionShipped(benchmark::State &state)
{
  HD::ErosionParams p = shipped_params(true);
  run_erosion(state, p);
}
BENCHMARK(BM_DropletErosionShipped)->Arg(16384)->Unit(benchmark::kMillisecond);

static void BM_DropletErosionShippedNoReactions(benchmark::State &state)
{
  HD::ErosionParams p = shipped_params(false);
  run_erosion(state, p);
}
BENCHMARK(BM_DropletErosionShippedNoReactions)->Arg(16384)->Unit(benchmark::kMillisecond);

// The textbook eroder with its usual settings on the same rough world.
static void BM_TextbookEroder(benchmark::State &state)
{
  make_rough_world();
  const std::vector<float> h0(HD::hmap, HD::hmap + HMAP_CELLS);
  std::vector<float> map(HMAP_CELLS);
  const TextbookEroder eroder(HMAP_SIZE, TextbookEroderParams{});
  const unsigned droplets = unsigned(state.range(0));
  uint64_t steps = 0, last = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    map = h0;
    state.ResumeTiming();
    last = eroder.erode(map.data(), droplets, 77);
    steps += last;
  }
  state.counters["steps/s"] = benchmark::Counter(double(steps), benchmark::Counter::kIsRate);
  state.counters["path_len"] = double(last) / double(droplets);
}
BENCHMARK(BM_TextbookEroder)->Arg(16384)->Unit(benchmark::kMillisecond);
