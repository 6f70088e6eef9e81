// Instanced drawing on the OpenGL device without a display (Mesa's software rasteriser here):
// 1000, 10 000 and 100 000 instances of one small mesh (a quad, two triangles) queued and drawn by
// SimpleInstRender, against one draw of the same triangles baked into one vertex buffer (no
// instancing), timed between the instanced runs. Each run waits for the GPU. "ns_per_inst" is the
// instanced time over the count, "x_plain" the instanced time over the plain draw's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "bench_gl_device.h"
#include "mesh_builder.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/mesh.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/file_path.h"
#include "world_render/inst_render.h"

namespace
{
constexpr int W = 320, H = 180;

struct InstBenchWorld
{
  BenchGlDevice device{W, H};
  std::string mesh_path;
  SimpleInstRender quads;
  VertexBuffer *baked = nullptr, *one = nullptr;
  int baked_count = 0;
  bool ready = false;

  explicit InstBenchWorld(int n)
  {
    if (!device.ready)
      return;
    ready = true;
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    Builder b;
    for (V3 p : {V3{0, 0, 0}, V3{0.8f, 0, 0}, V3{0, 0.8f, 0}, V3{0.8f, 0.8f, 0}})
    {
      Vtx v;
      v.p = p;
      v.n = {0, 0, -1};
      b.add(v);
    }
    b.tri(0, 1, 2, {0, 0, -1});
    b.tri(2, 1, 3, {0, 0, -1});
    mesh_path = (std::filesystem::temp_directory_path() / "qm_bench_quad.mesh").string();
    save_mesh(mesh_path, pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple.sh", {}));
    quads.init(mesh_path.c_str(), 0);

    // The same triangles as one list: every instance's quad placed in the mesh itself.
    const int side = grid_side(n);
    baked = create_vb(uint32_t(n) * 6 * 28, BUF_STATIC);
    uint8_t *p = static_cast<uint8_t *>(lock_vb(baked, 0, 0));
    const int corner[6] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < n; i++)
      for (int k : corner)
      {
        const float v[6] = {float(i % side) + (k & 1) * 0.8f, float(i / side) + (k >> 1) * 0.8f, 0, 0, 0, -1};
        const uint32_t c = 0xFFFFFFFF;
        memcpy(p, v, 24);
        memcpy(p + 24, &c, 4);
        p += 28;
      }
    unlock_vb(baked);
    baked_count = n;
    one = create_vb(28, BUF_STATIC);
    SimpleInstData id;
    make_simple_inst(m44_identity(), 0xFF808080, id);
    memcpy(lock_vb(one, 0, 28), &id, 28);
    unlock_vb(one);

    // Clip space over the grid, the sky registers left at zero (the light does not change the cost).
    const float s = 2.f / float(side);
    const float glob[16] = {s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1, 0, -1, -1, 0.5f, 1};
    set_vs_const(0, glob, 4);
    set_zenable(false);
  }
  ~InstBenchWorld()
  {
    if (ready)
    {
      quads.close();
      free_vb(baked);
      free_vb(one);
      free_inst_blocks();
      free_all_meshes();
      common_vb_writer.close();
      std::filesystem::remove(mesh_path);
    }
  }
  static int grid_side(int n)
  {
    int s = 1;
    while (s * s < n)
      s++;
    return s;
  }

  // Milliseconds to queue and draw n instances until the GPU is done.
  double instanced(int n)
  {
    const int side = grid_side(n);
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++)
    {
      SimpleInstData *d = static_cast<SimpleInstData *>(quads.addInstance());
      make_simple_inst(m44_identity(), 0xFF808080, *d);
      d->pos[0] = float(i % side);
      d->pos[1] = float(i / side);
    }
    quads.render();
    flush_gpu();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  // Milliseconds of one draw of the baked triangles (the one record of stream 1 for all vertices).
  double plain()
  {
    auto t0 = std::chrono::steady_clock::now();
    set_vdecl(quads.decl);
    set_shader(quads.shader);
    set_vb(0, baked, 0, 28);
    set_vb(1, one, 0, 28);
    set_instancing(1);
    draw_prim(D3DPT_TRIANGLELIST, 0, uint32_t(baked_count) * 2);
    set_instancing(0);
    flush_gpu();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
};

void BM_InstancedDraw(benchmark::State &state)
{
  const int n = int(state.range(0));
  InstBenchWorld w(n);
  if (!w.ready)
  {
    state.SkipWithError("no headless OpenGL 3.3");
    return;
  }
  w.instanced(n);  // first use: programs linked, blocks allocated
  w.plain();
  double inst_ms = 0, plain_ms = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    plain_ms += w.plain();
    state.ResumeTiming();
    inst_ms += w.instanced(n);
  }
  state.counters["ns_per_inst"] = inst_ms * 1e6 / double(n) / double(std::max<int64_t>(state.iterations(), 1));
  state.counters["x_plain"] = inst_ms / plain_ms;
}
BENCHMARK(BM_InstancedDraw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
}  // namespace
