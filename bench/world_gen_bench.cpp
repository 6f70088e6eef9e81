// The world generation interface's per-sample work: a mask applied natively against the same
// pass through a script function per sample (what world scripts pay for a callback), and the
// repaint pass that every shipped world runs. Items are world samples unless said otherwise.
// Then the masks built from points and fill levels, and whole worlds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "script/hmap_mask.h"
#include "script/mask_builders.h"
#include "script/script_math.h"
#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "script/world_gen_funcs.h"
#include "support/color_ramp.h"
#include "support/file_path.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

namespace
{
struct GenVm
{
  HSQUIRRELVM v = open_vm(1024);
  GenVm()
  {
    register_ramp_classes(v);
    register_hmap_mask(v);
    register_script_math(v);
    register_world_gen_functions(v);
    HeightmapData::reset();
  }
  ~GenVm() { close_vm(v); }
  // Compiles `src` as a function and calls it once per iteration.
  void run(benchmark::State &state, const char *src)
  {
    if (!compile_buffer(v, src, SQInteger(strlen(src)), "bench.nut"))
    {
      state.SkipWithError("compile failed");
      return;
    }
    sq_pushroottable(v);
    sq_call(v, 1, SQTrue, SQTrue);  // leaves the defined function's result (null)
    sq_pop(v, 2);
    for (auto _ : state)
    {
      sq_pushroottable(v);
      sq_pushstring(v, "body", -1);
      sq_get(v, -2);
      sq_pushroottable(v);
      if (SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)))
        state.SkipWithError("script failed");
      sq_pop(v, 2);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS);
  }
};
}  // namespace

static void BM_ApplyHeightMaskNative(benchmark::State &state)
{
  GenVm g;
  g.run(state, "::m <- HmapMask(0.001)\nfunction body() { apply_height_mask(::m, null) }");
}
BENCHMARK(BM_ApplyHeightMaskNative);

static void BM_ApplyHeightMaskScriptFunction(benchmark::State &state)
{
  GenVm g;
  g.run(state, "::m <- HmapMask(0.001)\nfunction body() { apply_height_mask(::m, function(h, m) { return h + m }) }");
}
BENCHMARK(BM_ApplyHeightMaskScriptFunction)->Unit(benchmark::kMillisecond);

static void BM_RepaintLand(benchmark::State &state)
{
  GenVm g;
  g.run(state, "function body() { repaint_land(function(x, z, c, t) { return [c, GT_SOIL, t, ST_GRASS] }) }");
}
BENCHMARK(BM_RepaintLand)->Unit(benchmark::kMillisecond);

static void BM_MaskFromSlope(benchmark::State &state)
{
  static HmapMask m;
  for (auto _ : state)
  {
    mask_from_slope(HeightmapData::hmap, m.v);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS);
}
BENCHMARK(BM_MaskFromSlope);

// A river's water the way the world script used to build it (every sample looks through every
// point in script) against the stamp that touches only the samples within each point's reach.
// Items are points.
namespace
{
const char *const river_points =
    "::pts <- []\nfor (local i = 0; i < 100; i++) ::pts.append([(40 + i * 0.7) % 256, (30 + i * 0.5) % 256, 0.5])\n";
}

static void BM_RiverMaskScriptPerSample(benchmark::State &state)
{
  GenVm g;
  std::string src = std::string(river_points) +
                    "function body() { HmapMask(function(x, z) { foreach (p in ::pts) { local dx = wrap(x - p[0]), "
                    "dz = wrap(z - p[1]); if (dx * dx + dz * dz < 4.0) return p[2] } return 0.0 }) }";
  g.run(state, src.c_str());
  state.SetItemsProcessed(int64_t(state.iterations()) * 100);
}
BENCHMARK(BM_RiverMaskScriptPerSample)->Unit(benchmark::kMillisecond);

static void BM_RiverMaskFromPoints(benchmark::State &state)
{
  GenVm g;
  std::string src = std::string(river_points) + "function body() { mask_from_points(::pts, 2.0, 1.0) }";
  g.run(state, src.c_str());
  state.SetItemsProcessed(int64_t(state.iterations()) * 100);
}
BENCHMARK(BM_RiverMaskFromPoints)->Unit(benchmark::kMillisecond);

static void BM_MaskFillLevels(benchmark::State &state)
{
  static HmapMask heights, levels;
  HeightmapData::makeFastNoise(heights.v, 20.f, 0.55f);
  for (auto _ : state)
  {
    fill_levels(heights.v, 0.f, levels.v);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS);
}
BENCHMARK(BM_MaskFillLevels)->Unit(benchmark::kMillisecond);

// A whole world from the shipped script, seed 7, as the world tool builds it: the median of five.
static void BM_GenerateWorld(benchmark::State &state, const char *name)
{
  char saved[sizeof(app_path)];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
  init_world_gen_vm();
  for (auto _ : state)
  {
    game_rnd_seed = 7;
    generate_world(name);
  }
  if (has_error_message())
    state.SkipWithError(get_error_message());
  close_world_gen_vm();
  memcpy(app_path, saved, sizeof(saved));
}
BENCHMARK_CAPTURE(BM_GenerateWorld, game, "game")->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_GenerateWorld, main_menu, "main_menu")->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(5)->ReportAggregatesOnly(true);
