// Filling an interface batch for one frame: 1000 rounded boxes and images over a grid of panels
// (no device needed; adding items never touches it). The pooled batch is cleared and refilled
// each frame as the interface does. The other one builds a new batch each frame: malloc hands the
// freed pool blocks back to the kernel, so its pages fault in again every frame and the figure is
// mostly the kernel's page faults (counted per frame), not the batch's work.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>

#include "render/render_batch.h"
#include "render/ui_render.h"

namespace
{
StdRenderBatchState image_states[4];

void fill_frame(RenderBatch &b, int items)
{
  for (int i = 0; i < items; i++)
  {
    // Panels of 10 items in a 10 by 10 grid: a box, then images and boxes inside it.
    float px = float((i / 10) % 10) * 64.0f, py = float((i / 100) % 10) * 48.0f;
    float x = px + float(i % 10) * 5.0f, y = py + float(i % 3) * 10.0f;
    if (i % 10 == 0)
      render_rounded_box(b, {px, py, px + 60, py + 44}, v_splats(6), 0xE0203040, 1.5f, 2, 2, 0, 0x80000000, 4);
    else if (i % 2)
      render_ui_image(b, &image_states[i % 4], {x, y, x + 16, y + 16}, 0xFFFFFFFF, {0, 0, 1, 1});
    else
      render_rounded_box(b, {x, y, x + 20, y + 8}, v_splats(3), 0xFF406080, 0.5f, 0, 0, 0, 0, -1);
  }
}

void BM_GuiBatchPooledFrame(benchmark::State &state)
{
  RenderBatch b;
  for (auto _ : state)
  {
    b.clear();
    fill_frame(b, int(state.range(0)));
    benchmark::DoNotOptimize(b.groups.data);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GuiBatchPooledFrame)->Arg(1000);

void BM_GuiBatchNewPoolPageFaults(benchmark::State &state)
{
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  for (auto _ : state)
  {
    RenderBatch b;
    fill_frame(b, int(state.range(0)));
    benchmark::DoNotOptimize(b.groups.data);
  }
  getrusage(RUSAGE_SELF, &after);
  state.counters["faults_per_frame"] =
      double(after.ru_minflt - before.ru_minflt) / double(std::max<int64_t>(state.iterations(), 1));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GuiBatchNewPoolPageFaults)->Arg(1000);
}  // namespace
