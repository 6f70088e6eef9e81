// The post-effect chain at 1280 x 720 on the OpenGL device without a display (Mesa's software
// rasteriser here), from the scene image to the back buffer: the final pass with the post-effect
// shader alone, and with the anti-aliasing before it. Each iteration waits for the GPU. Beside
// every chain the same run times one full-screen textured quad (the plain copy) between its
// iterations; "x_quad" is the chain's time over the quad's, "quad_ms" the quad's own time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_gl_device.h"
#include "render/device.h"
#include "render/gl_backend.h"
#include "render/postfx.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/texture.h"
#include "support/file_path.h"

namespace
{
constexpr int W = 1280, H = 720;

// A frame-like scene image: a sky gradient over a band of hills, with dark poles standing at
// several slants, so the anti-aliasing finds edges of many lengths and slopes.
std::vector<uint32_t> scene_picture()
{
  std::vector<uint32_t> img(size_t(W * H));
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
    {
      const float horizon = 420.f + 40.f * std::sin(float(x) * 0.011f) + 15.f * std::sin(float(x) * 0.037f);
      uint32_t c = y < horizon ? 0xFF000000u | uint32_t(90 + y / 6) << 16 | uint32_t(140 + y / 8) << 8 | 230u
                               : 0xFF3A6028u + uint32_t((x ^ y) & 7);
      for (int p = 0; p < 12; p++)
      {
        const float px = 80.f + 100.f * float(p) + (float(y) - 300.f) * (0.1f * float(p % 5) - 0.2f);
        if (y > 200 && y < 600 && std::fabs(float(x) - px) < 3.f + float(p % 3))
          c = 0xFF302820u;
      }
      img[size_t(y * W + x)] = c;
    }
  return img;
}

struct PostfxBenchWorld
{
  BenchGlDevice device{W, H};
  Texture *picture = nullptr;
  bool ready = false;

  PostfxBenchWorld()
  {
    if (!device.ready)
      return;
    ready = true;
    create_scene_image();
    init_postfx();
    picture = create_managed_texture(W, H);
    int pitch = 0;
    uint8_t *p = static_cast<uint8_t *>(lock_texture(picture, pitch, false));
    const std::vector<uint32_t> img = scene_picture();
    for (int y = 0; p && y < H; y++)
      memcpy(p + y * pitch, &img[size_t(y * W)], size_t(W) * 4);
    unlock_texture(picture);
  }
  ~PostfxBenchWorld()
  {
    if (ready)
    {
      release_texture(picture);
      close_postfx();
      release_scene_image();
    }
  }

  // A fresh scene image (the anti-aliasing exchanged the last one), the GPU idle.
  void prepare()
  {
    copy_texture(picture, postfx_rt.scene);
    flush_gpu();
  }
  // Milliseconds of one chain until the GPU is done.
  double run(PostfxFlags flags)
  {
    auto t0 = std::chrono::steady_clock::now();
    render_postfx(v_zero(), flags);
    flush_gpu();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
};

void BM_PostfxChain(benchmark::State &state)
{
  PostfxBenchWorld w;
  if (!w.ready)
  {
    state.SkipWithError("no headless OpenGL 3.3");
    return;
  }
  const PostfxFlags chain{true, state.range(0) != 0, false}, quad{false, false, false};
  w.prepare();
  w.run(chain);  // first use: programs linked, caches warm
  w.run(quad);
  double chain_ms = 0, quad_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    w.prepare();
    quad_ms += w.run(quad);
    state.ResumeTiming();
    chain_ms += w.run(chain);
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["quad_ms"] = quad_ms / n;
  state.counters["x_quad"] = chain_ms / quad_ms;
  state.SetLabel(state.range(0) ? "post-effect + anti-aliasing" : "post-effect only");
}
BENCHMARK(BM_PostfxChain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
}  // namespace
