// The effects with 10 000 live particles (half blend, half glow, each living 20 steps and
// replaced when it dies, so the pools stay full).
//   BM_FxStep: one update step of the pools (drag, acceleration, ageing, free-list returns and
//   the adds that refill them), against a memcpy of the same records (1.28 MB), timed between the
//   steps: "ns_per_particle" and "x_memcpy".
//   BM_FxFrame: one frame of the effects on the OpenGL device (Mesa's llvmpipe here) at 640 x 360,
//   the GPU waited for: instance records written, instanced draws into the float target, the
//   composite over the scene image; against the same frame without particles (clear and
//   composite only), timed between the frames: "ns_per_particle" (the difference over the count)
//   and "x_empty". Argument 0: sprites of 0.3 to 0.5 units, about 15 to 25 pixels across (the
//   fill dominates); 1: sprites of a twentieth of that, a pixel or two (the cost per record).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_gl_device.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/postfx.h"
#include "render/shader.h"
#include "render/texture.h"
#include "support/matrix44.h"
#include "terrain/game_rnd.h"
#include "world_render/common_fx.h"

namespace
{
constexpr int PARTICLES = 10000, LIFE_STEPS = 20;
constexpr int W = 640, H = 360;

float rnd(float lo, float hi) { return lo + (hi - lo) * game_rnd_unit(game_rnd()); }
float sprite_scale = 1.f;

// One step's worth of new particles: a fountain of sparks and puffs around (128, 10, 128).
void add_batch(int n)
{
  for (int i = 0; i < n; i++)
  {
    const vec4f pos = v_make(128.f + rnd(-4, 4), 10.f + rnd(0, 2), 128.f + rnd(-4, 4), 0);
    const vec4f vel = v_make(rnd(-1, 1), rnd(1, 4), rnd(-1, 1), 0.5f);
    const vec4f accel = v_make(0, -3.f, 0, 0.1f);
    const float life = LIFE_STEPS * FX_STEP - 0.001f;
    if (i & 1)
      add_glow_particle(pos, vel, accel, life, 0.f, 0.3f * sprite_scale, 0xFFFFA050, 384, 0, 64, rnd(0, 6), 1.f,
                        &glow_std_fade_anim, &size_05_2_anim, nullptr);
    else
      add_blend_particle(pos, vel, accel, life, 0.f, 0.5f * sprite_scale, 0x80808080, 64, 0, 64, rnd(0, 6), 1.f,
                         &blend_std_fade_anim, &size_05_4_anim, nullptr);
  }
}

// The pools full: 10 000 live, PARTICLES / LIFE_STEPS replaced every step.
void fill_pools()
{
  reset_common_fx();
  game_rnd_seed = 1;
  for (int s = 0; s < LIFE_STEPS; s++)
  {
    add_batch(PARTICLES / LIFE_STEPS);
    update_common_fx(FX_STEP);
  }
}

void step_once()
{
  add_batch(PARTICLES / LIFE_STEPS);
  update_common_fx(FX_STEP);
}

void BM_FxStep(benchmark::State &state)
{
  fill_pools();
  const size_t bytes = size_t(common_fx.blend.parts.size() + common_fx.glow.parts.size()) * sizeof(Particle);
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  double step_ms = 0, copy_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    auto c0 = Clock::now();
    memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    copy_ms += ms_since(c0);
    state.ResumeTiming();
    auto t0 = Clock::now();
    step_once();
    step_ms += ms_since(t0);
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["ns_per_particle"] = step_ms * 1e6 / n / PARTICLES;
  state.counters["x_memcpy"] = step_ms / copy_ms;
  reset_common_fx();
}
BENCHMARK(BM_FxStep)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

struct FxBenchWorld
{
  BenchGlDevice device{W, H};
  Texture *fp = nullptr;
  bool ready = false;

  FxBenchWorld()
  {
    if (!device.ready)
      return;
    ready = true;
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    postfx_rt = PostfxTargets();
    postfx_rt.scene = create_screen_render_target();
    postfx_rt.fp = fp = create_render_target(0, 0, 5);
    init_common_fx();
    // The camera 20 units south of the fountain, looking north.
    Matrix44 itm = m44_identity();
    m44_set_row(itm, 3, v_make(128, 12, 108, 1));
    Matrix44 proj = {};
    proj.m[0][0] = 1.2f;
    proj.m[1][1] = 1.2f * float(W) / float(H);
    proj.m[2][2] = 512.f / 511.9f;
    proj.m[2][3] = 1.f;
    proj.m[3][2] = -0.1f * 512.f / 511.9f;
    const Matrix44 glob = m44_mul(m44_inverse(itm), proj);
    set_vs_const(0, &glob.m[0][0], 4);
    set_common_fx_camera(itm);
  }
  ~FxBenchWorld()
  {
    if (!ready)
      return;
    close_common_fx();
    release_texture(postfx_rt.scene);
    release_texture(fp);
    postfx_rt = PostfxTargets();
    common_vb_writer.close();
  }
  double frame()
  {
    auto t0 = Clock::now();
    set_render_target(postfx_rt.scene, 0, true);
    clear_view(0xFF304050);
    render_common_fx(0.025f, 0.5f);
    flush_gpu();
    return ms_since(t0);
  }
};

void BM_FxFrame(benchmark::State &state)
{
  FxBenchWorld w;
  if (!w.ready)
  {
    state.SkipWithError("no headless OpenGL 3.3");
    return;
  }
  sprite_scale = state.range(0) ? 0.05f : 1.f;
  fill_pools();
  DynArray<Particle> blend, glow;
  blend = common_fx.blend.parts;
  glow = common_fx.glow.parts;
  w.frame();  // first use: programs linked
  double full_ms = 0, empty_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    common_fx.blend.parts.erase(0, common_fx.blend.parts.size());
    common_fx.glow.parts.erase(0, common_fx.glow.parts.size());
    empty_ms += w.frame();
    common_fx.blend.parts = blend;
    common_fx.glow.parts = glow;
    state.ResumeTiming();
    full_ms += w.frame();
  }
  const double n = double(std::max<int64_t>(state.iterations(), 1));
  state.counters["ns_per_particle"] = (full_ms - empty_ms) * 1e6 / n / PARTICLES;
  state.counters["x_empty"] = full_ms / empty_ms;
  reset_common_fx();
  sprite_scale = 1.f;
}
BENCHMARK(BM_FxFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
}  // namespace
