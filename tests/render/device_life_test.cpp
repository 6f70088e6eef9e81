// Creation, close and reset of the device on the recording backend.
#include "device_fixture.h"

RecordingBackend *RecordingDeviceTest::active = nullptr;
int RecordingDeviceTest::after_reset_calls = 0;

namespace
{
using DeviceLife = RecordingDeviceTest;

TEST_F(DeviceLife, InitBuildsSurfacesQueriesAndSamplers)
{
  close_d3d();
  rb.clearLog();
  ASSERT_TRUE(init_d3d(nullptr, 320, 200));
  EXPECT_EQ(d3d_wd, 320);
  EXPECT_EQ(d3d_ht, 200);
  EXPECT_EQ(d3d_state.back_buffer_format, uint32_t(D3DFMT_X8R8G8B8));
  expectOrder({"CreateObject", "CreateDevice(hw, 320x200, windowed)",
               "CreateDepthStencilSurface(320x200, 75)", "CreateEventQuery", "IssueQuery",
               "CreateEventQuery", "IssueQuery", "CreateEventQuery", "SetSamplerState"});
  // Two frame queries issued at creation, the flush query not.
  EXPECT_EQ(count("IssueQuery"), 2);
  EXPECT_EQ(count("SetSamplerState"), 16 * 6);
  EXPECT_EQ(count("CreateRenderTargetSurface"), 0);  // no separate scene colour surface
  EXPECT_EQ(rb.last_pp.presentationInterval, D3DPRESENT_INTERVAL_ONE);
  EXPECT_FALSE(rb.last_pp.enableAutoDepthStencil);
  EXPECT_EQ(rb.last_pp.multiSampleType, 0u);
  EXPECT_TRUE(rb.last_pp.windowed);
}

TEST_F(DeviceLife, InitFallsBackToSoftwareThenGivesUpCleanly)
{
  close_d3d();
  rb.fail_hw_device = true;
  rb.clearLog();
  ASSERT_TRUE(init_d3d(nullptr, 320, 200));
  expectOrder({"CreateDevice(hw", "CreateDevice(sw"});

  rb.fail_sw_device = true;
  EXPECT_FALSE(init_d3d(nullptr, 320, 200));
  EXPECT_FALSE(d3d_state.device);
  EXPECT_EQ(rb.live_objects(), 0);  // the first device and the API object are released

  rb.fail_hw_device = rb.fail_sw_device = false;
  rb.fail_depth_surface = true;
  EXPECT_FALSE(init_d3d(nullptr, 320, 200));
  EXPECT_EQ(rb.live_objects(), 0);
  EXPECT_FALSE(render_d3d_frame(0.f));
  EXPECT_FALSE(resize_d3d(100, 100, false, true));
}

TEST_F(DeviceLife, CloseReleasesEverythingInOrderOnce)
{
  close_d3d();
  expectOrder({"ReleaseQuery", "ReleaseQuery", "ReleaseQuery", "hook:release_all_textures",
               "hook:release_all_buffers", "hook:release_all_vdecls", "hook:release_all_shaders",
               "ReleaseSurface", "ReleaseDevice", "ReleaseObject"});
  EXPECT_EQ(rb.live_objects(), 0);
  rb.clearLog();
  close_d3d();  // nothing is left to release twice
  EXPECT_EQ(count("Release"), 0);
  EXPECT_EQ(rb.live_objects(), 0);
}

TEST_F(DeviceLife, ResizeToTheCurrentSizeAndModeTouchesNothing)
{
  EXPECT_TRUE(resize_d3d(0, 0, false, false));
  EXPECT_TRUE(resize_d3d(640, 360, false, false));
  EXPECT_TRUE(rb.calls.empty());
  EXPECT_EQ(after_reset_calls, 0);
}

TEST_F(DeviceLife, ForcedResetReleasesAndRecreatesDefaultPoolInOrder)
{
  int live = rb.live_objects();
  ASSERT_TRUE(resize_d3d(0, 0, false, true));
  std::vector<std::string> order = {"SetIndices(0)"};
  for (int i = 0; i < 16; i++)
    order.push_back("SetStreamSource(" + std::to_string(i) + ", 0");
  for (const char *p :
       {"hook:release_dynamic_buffers", "hook:release_default_pool_textures", "ReleaseQuery",
        "ReleaseQuery", "ReleaseQuery", "ReleaseSurface", "Reset(640x360, windowed) -> 0x00000000",
        "hook:recreate_default_pool_textures", "hook:recreate_dynamic_buffers",
        "CreateDepthStencilSurface(640x360", "CreateEventQuery", "IssueQuery", "CreateEventQuery",
        "IssueQuery", "CreateEventQuery", "SetSamplerState", "app:after_reset"})
    order.push_back(p);
  expectOrder(order);
  EXPECT_EQ(count("SetSamplerState"), 16 * 6);
  EXPECT_EQ(after_reset_calls, 1);
  EXPECT_EQ(rb.live_objects(), live);  // nothing leaked, nothing lost
  EXPECT_EQ(d3d_state.frame_counter, 0);
}

TEST_F(DeviceLife, ResizeKeepsZeroDimensionsAndSwitchesModes)
{
  ASSERT_TRUE(resize_d3d(800, 0, false, false));
  EXPECT_EQ(d3d_wd, 800);
  EXPECT_EQ(d3d_ht, 360);

  // Full-screen takes the display mode's size whatever was asked.
  rb.clearLog();
  ASSERT_TRUE(resize_d3d(1024, 768, true, false));
  EXPECT_TRUE(isFullscreen);
  EXPECT_EQ(d3d_wd, 1920);
  EXPECT_EQ(d3d_ht, 1080);
  EXPECT_FALSE(rb.last_pp.windowed);
  EXPECT_EQ(find("Reset(1920x1080, fullscreen)"), find("Reset"));

  ASSERT_TRUE(resize_d3d(640, 360, false, false));
  EXPECT_FALSE(isFullscreen);
  EXPECT_EQ(d3d_wd, 640);
  EXPECT_EQ(after_reset_calls, 3);
}

TEST_F(DeviceLife, InitInFullScreenTakesTheDisplaySize)
{
  close_d3d();
  isFullscreen = true;
  rb.display = DisplayMode{1600, 900, D3DFMT_X8R8G8B8};
  ASSERT_TRUE(init_d3d(nullptr, 640, 360));
  EXPECT_EQ(d3d_wd, 1600);
  EXPECT_EQ(d3d_ht, 900);
  isFullscreen = false;
}

TEST_F(DeviceLife, VsyncOffPresentsImmediately)
{
  app_use_vsync = false;
  ASSERT_TRUE(resize_d3d(0, 0, false, true));
  EXPECT_EQ(rb.last_pp.presentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
}

TEST_F(DeviceLife, FailedResetStaysPendingUntilARetrySucceeds)
{
  rb.failing_resets = 1;
  rb.reset_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_FALSE(resize_d3d(800, 600, false, false));
  EXPECT_TRUE(d3d_state.reset_pending);
  EXPECT_EQ(d3d_state.scene_depth.id, 0u);  // released resources stay released
  EXPECT_EQ(after_reset_calls, 0);

  // No frame while the reset is pending, and a resize to the old size is no "nothing to do".
  EXPECT_FALSE(render_d3d_frame(0.f));
  EXPECT_EQ(count("BeginScene"), 0);

  rb.clearLog();
  EXPECT_TRUE(check_d3d_device());
  EXPECT_GE(find("Reset(800x600, windowed) -> 0x00000000"), 0);
  EXPECT_FALSE(d3d_state.reset_pending);
  EXPECT_EQ(d3d_wd, 800);
  EXPECT_EQ(d3d_ht, 600);
  EXPECT_NE(d3d_state.scene_depth.id, 0u);
  EXPECT_EQ(after_reset_calls, 1);
  EXPECT_TRUE(render_d3d_frame(0.f));
}

TEST_F(DeviceLife, FailedDepthSurfaceAfterResetIsRetried)
{
  rb.fail_depth_surface = true;
  EXPECT_FALSE(resize_d3d(0, 0, false, true));
  EXPECT_TRUE(d3d_state.reset_pending);
  EXPECT_FALSE(render_d3d_frame(0.f));
  rb.fail_depth_surface = false;
  EXPECT_TRUE(check_d3d_device());
  EXPECT_TRUE(render_d3d_frame(0.f));
}

TEST_F(DeviceLife, RenderTargetKinds)
{
  const uint32_t want[] = {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_G16R16, D3DFMT_R16F,
                           D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_G32R32F,
                           D3DFMT_A32B32G32R32F, D3DFMT_UNKNOWN};
  for (int kind = 0; kind <= 9; kind++)
    EXPECT_EQ(get_render_target_format(kind), want[kind]) << kind;
  EXPECT_EQ(get_render_target_format(-1), uint32_t(D3DFMT_UNKNOWN));
}
}  // namespace
