#pragma once
// Render batches, the vertex writer and the interface primitives on the recording backend: the
// real buffer, declaration and shader tables, the shader sources of bin/, and the writer's draws
// captured with the bytes they drew.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/recording_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "support/file_path.h"

// One call of a draw callback: the count, the parameter and the bytes written before it.
struct CapturedDraw
{
  int count;
  uint64_t parameter;
  std::vector<uint8_t> bytes;
};

class BatchTest : public testing::Test
{
public:
  static BatchTest *active;
  std::vector<CapturedDraw> draws;

  // A draw callback that keeps what the writer drew, `bytes_per_prim` bytes per primitive.
  static void capture(int count, uint64_t parameter)
  {
    BatchTest &t = *active;
    const std::vector<uint8_t> &buf = t.rb.buffers[common_vb_writer.vb->buffer];
    size_t n = size_t(count) * size_t(t.bytes_per_prim);
    if (n > buf.size())
      n = buf.size();
    t.draws.push_back({count, parameter, std::vector<uint8_t>(buf.begin(), buf.begin() + long(n))});
  }

protected:
  RecordingBackend rb;
  int bytes_per_prim = 0;
  char saved_path[sizeof(app_path)];

  void SetUp() override
  {
    active = this;
    memcpy(saved_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
    set_render_backend(&rb);
    isFullscreen = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    rb.clearLog();
  }
  void TearDown() override
  {
    common_vb_writer.abandon();
    common_vb_writer.close();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    active = nullptr;
  }
  int count(const std::string &prefix) const { return int(rb.callsStartingWith(prefix.c_str()).size()); }
};
