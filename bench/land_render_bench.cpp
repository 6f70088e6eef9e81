// The land and water renderer on the OpenGL device without a display (Mesa's software rasteriser
// here), over the "game" world of seed 7 with the camera low over a lake shore, at both qualities
// (argument 0 low, 1 high):
// - BM_LandStep: one simulation step's work, the flow step and the frame that uploads the changed
//   world (levels, colours, normals, aperture) and builds the geometry;
// - BM_LandFrame: one frame between steps, the cross-fades, the geometry and the land and water
//   drawn at 1280 x 720 (the scene image, or the three deferred targets at high quality).
// Each iteration waits for the GPU. The same run times, between the iterations, a memcpy of the
// world arrays the upload reads (hmap, water, surface: 2 MB) and one full-screen textured quad at
// 1280 x 720 (the post-effects' plain copy); "x_memcpy" and "x_quad" are the ratios to them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "bench_gl_device.h"
#include "render/device.h"
#include "render/gl_backend.h"
#include "render/postfx.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/file_path.h"
#include "terrain/game_rnd.h"
#include "world_render/land_render.h"
#include "world_render/sky.h"

namespace
{
constexpr int W = 1280, H = 720;
using HD = HeightmapData;


struct LandBenchWorld
{
  BenchGlDevice device{W, H};
  Texture *targets[3] = {};
  Matrix44 glob;
  vec4f cam = v_make(70.f, 20.f, 150.f, 1.f);
  std::vector<uint8_t> copy = std::vector<uint8_t>(sizeof(HD::hmap) + sizeof(HD::water) + sizeof(HD::surface));
  bool ready = false;

  explicit LandBenchWorld(int quality)
  {
    if (!device.ready)
      return;
    ready = true;
    create_scene_image();
    init_postfx();
    init_sky();
    init_land_render(quality);
    for (Texture *&t : targets)
      t = create_screen_render_target();
    init_world_gen_vm();
    game_rnd_seed = 7;
    generate_world("game");
    close_world_gen_vm();
    land_frame_update(0.f, cam, 2);

    // Looking west over the lake, a little down; the game's projection.
    Matrix44 itm;
    m44_set_row(itm, 0, v_make(0.f, 0.f, 1.f, 0.f));
    m44_set_row(itm, 1, v_make(-0.247f, 0.969f, 0.f, 0.f));
    m44_set_row(itm, 2, v_make(-0.969f, -0.247f, 0.f, 0.f));
    m44_set_row(itm, 3, cam);
    const float ys = 1.327f, xs = ys * float(H) / float(W), q = 512.f / 511.9f;
    Matrix44 proj = {};
    proj.m[0][0] = xs;
    proj.m[1][1] = ys;
    proj.m[2][2] = q;
    proj.m[2][3] = 1.f;
    proj.m[3][2] = -q * 0.1f;
    glob = m44_mul(m44_inverse(itm), proj);
  }
  ~LandBenchWorld()
  {
    if (ready)
    {
      for (Texture *t : targets)
        release_texture(t);
      close_land_render();
      close_sky();
      close_postfx();
      release_scene_image();
    }
  }

  double step()
  {
    auto t0 = Clock::now();
    land_step_update(cam);
    land_frame_update(0.f, cam, 2);
    flush_gpu();
    return ms_since(t0);
  }
  double frame()
  {
    auto t0 = Clock::now();
    land_frame_update(0.025f, cam, 2);
    if (land.quality == 1)
    {
      set_render_target(targets[0], 0, true);
      set_render_target(targets[1], 1, false);
      set_render_target(targets[2], 2, false);
    }
    else
      set_render_target(postfx_rt.scene, 0, true);
    clear_view(0x00FFFFFF);
    set_vs_const(0, &glob.m[0][0], 4);
    set_vs_const(4, reinterpret_cast<const float *>(&cam), 1);
    set_zenable(true);
    set_zwrite(true);
    draw_land();
    draw_water(0.5f);
    set_render_target(nullptr, 1, false);
    set_render_target(nullptr, 2, false);
    flush_gpu();
    return ms_since(t0);
  }
  double memcpy_world()
  {
    auto t0 = Clock::now();
    uint8_t *p = copy.data();
    memcpy(p, HD::hmap, sizeof(HD::hmap));
    memcpy(p + sizeof(HD::hmap), HD::water, sizeof(HD::water));
    memcpy(p + sizeof(HD::hmap) + sizeof(HD::water), HD::surface, sizeof(HD::surface));
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
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

template <double (LandBenchWorld::*Work)()>
void run_land_bench(benchmark::State &state)
{
  LandBenchWorld w(int(state.range(0)));
  if (!w.ready)
  {
    state.SkipWithError("no headless OpenGL 3.3");
    return;
  }
  (w.*Work)();  // first use: programs linked, caches warm
  w.quad();
  double work_ms = 0, memcpy_ms = 0, quad_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    memcpy_ms += w.memcpy_world();
    quad_ms += w.quad();
    state.ResumeTiming();
    work_ms += (w.*Work)();
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["memcpy_ms"] = memcpy_ms / n;
  state.counters["quad_ms"] = quad_ms / n;
  state.counters["x_memcpy"] = work_ms / memcpy_ms;
  state.counters["x_quad"] = work_ms / quad_ms;
  state.SetLabel(state.range(0) ? "high quality" : "low quality");
}

void BM_LandStep(benchmark::State &state) { run_land_bench<&LandBenchWorld::step>(state); }
void BM_LandFrame(benchmark::State &state) { run_land_bench<&LandBenchWorld::frame>(state); }
BENCHMARK(BM_LandStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LandFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
}  // namespace
