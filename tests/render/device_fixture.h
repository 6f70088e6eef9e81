#pragma once
// A device layer on the recording backend, with the resource services logging into the same
// call log so that orders across the device and the tables can be checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/recording_backend.h"

class RecordingDeviceTest : public testing::Test
{
public:
  static RecordingBackend *active;
  static int after_reset_calls;
  static void note(const char *what) { active->calls.emplace_back(what); }

protected:
  RecordingBackend rb;

  void SetUp() override
  {
    active = &rb;
    after_reset_calls = 0;
    set_render_backend(&rb);
    isFullscreen = false;
    app_use_vsync = true;
    d3d_limit_buffered_frames = true;
    d3d_resource_hooks = D3dResourceHooks();
    d3d_resource_hooks.release_all_textures = [] { note("hook:release_all_textures"); };
    d3d_resource_hooks.release_all_buffers = [] { note("hook:release_all_buffers"); };
    d3d_resource_hooks.release_all_vdecls = [] { note("hook:release_all_vdecls"); };
    d3d_resource_hooks.release_all_shaders = [] { note("hook:release_all_shaders"); };
    d3d_resource_hooks.release_dynamic_buffers = [] { note("hook:release_dynamic_buffers"); };
    d3d_resource_hooks.release_default_pool_textures = [] { note("hook:release_default_pool_textures"); };
    d3d_resource_hooks.recreate_default_pool_textures = [] { note("hook:recreate_default_pool_textures"); };
    d3d_resource_hooks.recreate_dynamic_buffers = [] { note("hook:recreate_dynamic_buffers"); };
    set_d3d_after_reset([] {
      after_reset_calls++;
      note("app:after_reset");
    });
    set_d3d_frame_renderer(nullptr);
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    rb.clearLog();
  }

  void TearDown() override
  {
    close_d3d();
    set_d3d_after_reset(nullptr);
    set_d3d_frame_renderer(nullptr);
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    active = nullptr;
  }

  // Position of the first log line starting with `prefix` at or after `from`; -1 if none.
  int find(const std::string &prefix, int from = 0) const
  {
    for (int i = from; i < int(rb.calls.size()); i++)
      if (rb.calls[size_t(i)].compare(0, prefix.size(), prefix) == 0)
        return i;
    return -1;
  }
  int count(const std::string &prefix) const { return int(rb.callsStartingWith(prefix.c_str()).size()); }
  // Checks that the prefixes appear in this order in the log.
  void expectOrder(const std::vector<std::string> &prefixes) const
  {
    int at = 0;
    for (const std::string &p : prefixes)
    {
      int i = find(p, at);
      EXPECT_GE(i, 0) << "missing or out of order: " << p;
      if (i < 0)
        return;
      at = i + 1;
    }
  }
};
