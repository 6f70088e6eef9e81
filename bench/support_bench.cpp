#include <benchmark/benchmark.h>

#include "support/dyn_array.h"

static void BM_DynArrayAppend(benchmark::State &state)
{
  for (auto _ : state)
  {
    DynArray<int> a;
    for (int i = 0; i < state.range(0); i++)
      a.push_back(i);
    benchmark::DoNotOptimize(a.data);
  }
}
BENCHMARK(BM_DynArrayAppend)->Arg(1024);
