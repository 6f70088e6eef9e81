// The whole scene frame (sky, land and water, horizon, lighting, post-effects; no objects without
// the module) on the OpenGL device without a display (Mesa's software rasteriser here), over the
// "main_menu" world of seed 1 with the camera at (128, 30, 100), at both qualities and two sizes
// (arguments: quality, width). Each iteration is one frame between steps (the land's frame update
// and render_scene) and waits for the GPU. The same run times, between the iterations, one
// full-screen textured quad at the same size (the post-effects' plain copy); "x_quad" is the ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "bench_gl_device.h"
#include "app/app_globals.h"
#include "app/camera.h"
#include "app/scene_frame.h"
#include "app/scene_links.h"
#include "app/scene_renderers.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/postfx.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "script/world_gen.h"
#include "support/file_path.h"
#include "terrain/game_rnd.h"

namespace
{


struct SceneBench
{
  BenchGlDevice device;
  bool ready = false;

  SceneBench(int quality, int w, int h) : device(w, h)
  {
    if (!device.ready)
      return;
    ready = true;
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    gfx_quality = quality;
    use_postfx = quality == 1;
    init_scene_renderers();
    init_debug_vis();
    static bool generated = false;
    if (!generated)
    {
      init_world_gen_vm();
      game_rnd_seed = 1;
      generate_world("main_menu");
      close_world_gen_vm();
      generated = true;
    }
    camPos = prevCamPos = v_make(128.f, 30.f, 100.f, 1.f);
    set_camera_matrices(0.5f, -0.2f, 1.f);
    scene_links.land_mark_refresh();
    scene_links.land_frame_update(0.f);
  }
  ~SceneBench()
  {
    if (ready)
    {
      close_debug_vis();
      close_scene_renderers();
      common_vb_writer.close();
    }
  }

  double frame()
  {
    auto t0 = Clock::now();
    scene_links.land_frame_update(0.025f);
    render_scene(0.025f, 0.5f, v_zero());
    flush_gpu();
    return ms_since(t0);
  }
  double quad()
  {
    auto t0 = Clock::now();
    render_postfx(v_zero(), {false, false, false});
    flush_gpu();
    return ms_since(t0);
  }
};

void BM_SceneFrame(benchmark::State &state)
{
  const int w = int(state.range(1)), h = w * 9 / 16;
  SceneBench b(int(state.range(0)), w, h);
  if (!b.ready)
  {
    state.SkipWithError("no headless OpenGL 3.3");
    return;
  }
  b.frame();  // first use: programs linked, caches warm
  b.quad();
  double frame_ms = 0, quad_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    quad_ms += b.quad();
    state.ResumeTiming();
    frame_ms += b.frame();
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["quad_ms"] = quad_ms / n;
  state.counters["x_quad"] = frame_ms / quad_ms;
  state.SetLabel(std::string(state.range(0) ? "high quality " : "low quality ") + std::to_string(w) + "x" +
                 std::to_string(h));
}
BENCHMARK(BM_SceneFrame)
    ->Args({0, 640})
    ->Args({1, 640})
    ->Args({0, 1280})
    ->Args({1, 1280})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
}  // namespace
