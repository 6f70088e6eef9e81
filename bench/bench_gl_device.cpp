#include "bench_gl_device.h"

#include <cstdio>
#include <cstring>

#include "render/device.h"
#include "render/resource_hooks.h"
#include "render/shader.h"

BenchGlDevice::BenchGlDevice(int w, int h)
{
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
  set_render_backend(&gl);
  isFullscreen = false;
  app_use_vsync = false;
  install_resource_hooks();
  d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
  d3d_resource_hooks.release_all_shaders = close_shaders;
  ready = init_d3d(nullptr, w, h);
}

BenchGlDevice::~BenchGlDevice()
{
  close_d3d();
  d3d_resource_hooks = D3dResourceHooks();
  set_render_backend(nullptr);
  memcpy(app_path, saved, sizeof(saved));
}
