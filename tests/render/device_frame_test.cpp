// Frames, buffered-frame limiting, device loss and the main loop on the recording backend.
#include <gtest/gtest.h>

#include "app/main_loop.h"
#include "device_fixture.h"
#include "platform/timer.h"
#include "render/texture.h"

namespace
{
using DeviceFrame = RecordingDeviceTest;

TEST_F(DeviceFrame, FrameSetsDefaultsAroundTheRendererAndIssuesItsQuery)
{
  set_d3d_frame_renderer([](float dt) {
    EXPECT_FLOAT_EQ(dt, 0.25f);
    RecordingDeviceTest::note("app:frame");
  });
  ASSERT_TRUE(render_d3d_frame(0.25f));
  QueryHandle q0 = d3d_state.frame_query[0];
  expectOrder({"GetQueryData(" + std::to_string(q0.id) + ")", "BeginScene",
               "SetRenderState(CULLMODE, 3)", "SetRenderState(LIGHTING, 0)",
               "SetTextureStageState(0, 1, 4)", "SetTextureStageState(0, 2, 2)",
               "SetTextureStageState(0, 3, 0)", "SetTextureStageState(0, 4, 4)",
               "SetTextureStageState(0, 5, 2)", "SetTextureStageState(0, 6, 0)", "app:frame",
               "EndScene", "IssueQuery(" + std::to_string(q0.id) + ")"});
  EXPECT_EQ(d3d_state.frame_counter, 1);
  ASSERT_TRUE(render_d3d_frame(0.25f));
  EXPECT_EQ(d3d_state.frame_counter, 0);
  EXPECT_EQ(count("IssueQuery(" + std::to_string(d3d_state.frame_query[1].id) + ")"), 1);
}

TEST_F(DeviceFrame, GpuTwoFramesBehindSkipsWithoutAdvancingTheCounter)
{
  rb.gpuCatchUp();
  rb.gpu_follows = false;  // the GPU stops here
  ASSERT_TRUE(render_d3d_frame(0.f));  // waits on the creation-time queries: passed
  ASSERT_TRUE(render_d3d_frame(0.f));
  rb.clearLog();
  EXPECT_FALSE(render_d3d_frame(0.f));  // frame 1 is not finished
  EXPECT_FALSE(render_d3d_frame(0.f));
  EXPECT_EQ(d3d_state.frame_counter, 0);
  EXPECT_EQ(count("BeginScene"), 0);
  EXPECT_EQ(count("IssueQuery"), 0);

  rb.gpu_done++;  // frame 1 done, frame 2 not
  EXPECT_TRUE(render_d3d_frame(0.f));
  EXPECT_EQ(d3d_state.frame_counter, 1);
  EXPECT_FALSE(render_d3d_frame(0.f));

  // Without the limit frames go on whatever the GPU does.
  d3d_limit_buffered_frames = false;
  EXPECT_TRUE(render_d3d_frame(0.f));
  EXPECT_TRUE(render_d3d_frame(0.f));
}

TEST_F(DeviceFrame, LostDeviceIsResetOnlyWhenItCanBe)
{
  rb.cooperative_level = D3DERR_DEVICELOST;
  EXPECT_FALSE(check_d3d_device());
  EXPECT_FALSE(render_d3d_frame(0.f));
  EXPECT_EQ(count("Reset"), 0);

  rb.cooperative_level = D3DERR_DEVICENOTRESET;
  EXPECT_TRUE(check_d3d_device());
  EXPECT_EQ(find("Reset(640x360, windowed) -> 0x00000000"), find("Reset"));
  EXPECT_EQ(after_reset_calls, 1);
  EXPECT_TRUE(render_d3d_frame(0.f));
  EXPECT_TRUE(check_d3d_device());
  EXPECT_EQ(count("Reset"), 1);
}

// The main loop over the real device functions with a fake clock.
class DeviceLoopDriver : public MainLoopDriver
{
public:
  RecordingBackend *rb = nullptr;
  int64_t t = 0;
  int updates = 0, frames = 0, presents = 0, sleeps = 0;
  int updatesWhileLost = 0;
  bool quit = false;

  int64_t counter() override { return t; }
  void processMessages() override {}
  bool quitRequested() override { return quit; }
  void update(float) override
  {
    updates++;
    t += 1000;
    if (rb->cooperative_level != D3D_OK)
      updatesWhileLost++;
    if (updates == 20)
      rb->cooperative_level = D3DERR_DEVICELOST;
    if (updates == 60)
      rb->cooperative_level = D3DERR_DEVICENOTRESET;
    if (updates == 100)
      quit = true;
  }
  void clearStepInput() override {}
  bool checkDevice() override { return check_d3d_device(); }
  bool renderFrame(float dt) override
  {
    bool drawn = render_d3d_frame(dt);
    frames += drawn;
    t += 2000;
    return drawn;
  }
  void present() override
  {
    presents++;
    present_d3d();
  }
  void sleepMsec(int ms) override
  {
    sleeps++;
    t += int64_t(ms) * 1000 + 1;
  }
  void oncePerSecond() override {}
};

TEST_F(DeviceFrame, SimulationRunsOnWhileTheDeviceIsLost)
{
  init_timer(1000000);
  set_update_rate(20, 5);
  DeviceLoopDriver drv;
  drv.rb = &rb;
  set_d3d_frame_renderer(nullptr);
  run_main_loop(drv);
  EXPECT_EQ(drv.updates, 100);
  EXPECT_GE(drv.updatesWhileLost, 39);  // updates 21..60 ran without a device
  EXPECT_GT(drv.sleeps, 0);             // the loop waited instead of spinning
  EXPECT_EQ(count("Reset"), 1);         // reset once it could be, not before
  EXPECT_EQ(after_reset_calls, 1);
  EXPECT_GT(drv.frames, 60);            // frames before the loss and after the reset
  EXPECT_EQ(drv.presents, drv.frames);
  EXPECT_EQ(rb.cooperative_level, D3D_OK);
}

TEST_F(DeviceFrame, SplashFrameIsOneScenePresentedAtOnce)
{
  static int drawn;
  drawn = 0;
  set_d3d_splash_drawer([] { drawn++; });
  draw_splash_frame();
  set_d3d_splash_drawer(nullptr);
  EXPECT_EQ(drawn, 1);
  expectOrder({"BeginScene", "SetRenderState(CULLMODE, 3)", "EndScene", "Present"});
  close_d3d();
  rb.clearLog();
  draw_splash_frame();  // without a device: nothing
  EXPECT_TRUE(rb.calls.empty());
}

TEST_F(DeviceFrame, RenderTargetsBindTheSceneDepthOnlyForTargetZero)
{
  Texture tex;
  tex.tex = TextureHandle{42};
  set_render_target(&tex, 0, true);
  set_render_target(&tex, 0, false);
  set_render_target(&tex, 1, true);
  set_render_target(nullptr, 1, true);
  restore_back_buffer();
  std::string depth = "SetDepthStencilSurface(" + std::to_string(d3d_state.scene_depth.id) + ")";
  EXPECT_EQ(rb.calls, (std::vector<std::string>{"SetRenderTarget(0, 42)", depth,
                                                "SetRenderTarget(0, 42)", "SetDepthStencilSurface(0)",
                                                "SetRenderTarget(1, 42)", "SetRenderTarget(1, 0)",
                                                "SetRenderTarget(0, backbuffer)",
                                                "SetDepthStencilSurface(0)"}));
}

TEST_F(DeviceFrame, CopyAndFullScreenQuad)
{
  Texture a, b;
  a.tex = TextureHandle{5};
  b.tex = TextureHandle{6};
  copy_texture(&a, &b);
  draw_postfx();
  EXPECT_EQ(rb.calls, (std::vector<std::string>{"StretchRect(5, 6, 1)", "SetFVF(0x2)",
                                                "DrawPrimitiveUP(5, 2, stride 12, first -1 -1 0)"}));
}

TEST_F(DeviceFrame, EmptyDrawsAreSkippedAndFailedDrawsAreFatal)
{
  draw_prim(D3DPT_TRIANGLELIST, 0, 0);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 0, 0, 0);
  EXPECT_TRUE(rb.calls.empty());
  draw_indexed(D3DPT_TRIANGLELIST, 4, 0, 8, 6, 2);
  EXPECT_EQ(rb.calls.back(), "DrawIndexedPrimitive(4, 4, 0, 8, 6, 2)");
  rb.draw_error = D3DERR_INVALIDCALL;
  EXPECT_EXIT(draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), testing::ExitedWithCode(100),
              "draw_indexed failed \\(code 0x8876086C\\)");
  EXPECT_EXIT(draw_prim(D3DPT_TRIANGLESTRIP, 0, 2), testing::ExitedWithCode(100),
              "draw_prim failed \\(code 0x8876086C\\)");
  Texture none;
  EXPECT_EXIT(copy_texture(&none, &none), testing::ExitedWithCode(100), "failed ASSERT\\(fromTex\\)");
}
}  // namespace
