// The world generation interface's per-sample work: a mask applied natively against the same
// pass through a script function per sample (what world scripts pay for a callback), and the
// repaint pass that every shipped world runs. Items are world samples.
#include <benchmark/benchmark.h>

#include <cstring>

#include "script/color_ramp.h"
#include "script/hmap_mask.h"
#include "script/script_math.h"
#include "script/sq_vm.h"
#include "script/world_gen_funcs.h"
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
