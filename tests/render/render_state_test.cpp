// Each exported state function sets exactly its device state.
#include <cmath>

#include "device_fixture.h"

namespace
{
using RenderState = RecordingDeviceTest;
using Calls = std::vector<std::string>;

std::string rs(const char *name, uint32_t v)
{
  return std::string("SetRenderState(") + name + ", " + std::to_string(v) + ")";
}

TEST_F(RenderState, BlendModes)
{
  struct Case
  {
    void (*fn)();
    uint32_t src, dst;
  } cases[] = {{set_blend_additive, D3DBLEND_ONE, D3DBLEND_ONE},
               {set_blend_smooth_add, D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR},
               {set_blend_alpha, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
               {set_blend_prealpha, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
               {set_blend_multiply, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO}};
  for (const Case &c : cases)
  {
    rb.clearLog();
    c.fn();
    EXPECT_EQ(rb.calls, (Calls{rs("ALPHABLENDENABLE", 1), rs("SRCBLEND", c.src), rs("DESTBLEND", c.dst)}));
  }
  rb.clearLog();
  set_blend_none();
  EXPECT_EQ(rb.calls, (Calls{rs("ALPHABLENDENABLE", 0)}));
}

TEST_F(RenderState, AlphaTestCullDepthAndFill)
{
  set_atest(0);
  EXPECT_EQ(rb.calls, (Calls{rs("ALPHATESTENABLE", 0)}));
  rb.clearLog();
  set_atest(-5);
  EXPECT_EQ(rb.calls, (Calls{rs("ALPHATESTENABLE", 0)}));
  rb.clearLog();
  set_atest(1);
  EXPECT_EQ(rb.calls, (Calls{rs("ALPHATESTENABLE", 1), rs("ALPHAFUNC", D3DCMP_GREATEREQUAL), rs("ALPHAREF", 1)}));
  rb.clearLog();
  set_atest(200);
  EXPECT_EQ(rb.calls.back(), rs("ALPHAREF", 200));

  rb.clearLog();
  set_cull_mode(0);
  set_cull_mode(1);
  set_cull_mode(2);
  set_cull_mode(-1);
  EXPECT_EQ(rb.calls, (Calls{rs("CULLMODE", D3DCULL_NONE), rs("CULLMODE", D3DCULL_CCW),
                             rs("CULLMODE", D3DCULL_CCW), rs("CULLMODE", D3DCULL_CCW)}));

  rb.clearLog();
  set_zenable(true);
  set_zenable(false);
  set_zwrite(true);
  set_zwrite(false);
  set_color_write_mask(0x5);
  set_wireframe(true);
  set_wireframe(false);
  EXPECT_EQ(rb.calls, (Calls{rs("ZENABLE", 1), rs("ZENABLE", 0), rs("ZWRITEENABLE", 1),
                             rs("ZWRITEENABLE", 0), rs("COLORWRITEENABLE", 5),
                             rs("FILLMODE", D3DFILL_WIREFRAME), rs("FILLMODE", D3DFILL_SOLID)}));
}

TEST_F(RenderState, Stencil)
{
  set_stencil_test(0, 3, D3DCMP_EQUAL);
  EXPECT_EQ(rb.calls, (Calls{rs("STENCILENABLE", 0)}));
  rb.clearLog();
  set_stencil_test(0xF0, 3, D3DCMP_EQUAL);
  EXPECT_EQ(rb.calls, (Calls{rs("STENCILENABLE", 1), rs("STENCILMASK", 0xF0), rs("STENCILREF", 3),
                             rs("STENCILFUNC", D3DCMP_EQUAL)}));
  rb.clearLog();
  set_stencil_replace_bits(0);
  EXPECT_EQ(rb.calls, (Calls{rs("STENCILWRITEMASK", 0), rs("STENCILFAIL", D3DSTENCILOP_KEEP),
                             rs("STENCILZFAIL", D3DSTENCILOP_KEEP), rs("STENCILPASS", D3DSTENCILOP_KEEP)}));
  rb.clearLog();
  set_stencil_replace_bits(0x81);
  EXPECT_EQ(rb.calls, (Calls{rs("STENCILWRITEMASK", 0x81), rs("STENCILFAIL", D3DSTENCILOP_KEEP),
                             rs("STENCILZFAIL", D3DSTENCILOP_KEEP), rs("STENCILPASS", D3DSTENCILOP_REPLACE)}));
}

TEST_F(RenderState, ClearsAndViewport)
{
  clear_view(0x11223344);
  clear_view_color(0xFF000000);
  clear_view_z();
  set_viewport(10, 20, 300, 200);
  EXPECT_EQ(rb.calls, (Calls{"Clear(7, 0x11223344, 1, 0)", "Clear(1, 0xFF000000, 1, 0)",
                             "Clear(6, 0x00000000, 1, 0)", "SetViewport(10, 20, 300, 200, 0, 1)"}));
}

TEST_F(RenderState, ProjectionAndGlobalTransform)
{
  set_proj_tm(float(M_PI) / 2, 2.0f, 1.0f, 11.0f);
  D3dMatrix view;
  for (int i = 0; i < 4; i++)
    view.m[i][i] = 1;
  view.m[3][0] = 5;  // translate x by 5
  view.m[3][2] = 3;  // and z by 3
  set_view_tm(view);
  D3dMatrix g;
  get_glob_tm(g);
  // s = 1 / tan(45 deg) = 1; q = 11 / 10.
  EXPECT_NEAR(g.m[0][0], 0.5f, 1e-6f);
  EXPECT_NEAR(g.m[1][1], 1.0f, 1e-6f);
  EXPECT_NEAR(g.m[2][2], 1.1f, 1e-6f);
  EXPECT_NEAR(g.m[2][3], 1.0f, 1e-6f);
  // Row 3 = translation row x projection: (5 * 0.5, 0, 3 * 1.1 - 1.1, 3).
  EXPECT_NEAR(g.m[3][0], 2.5f, 1e-6f);
  EXPECT_NEAR(g.m[3][2], 3 * 1.1f - 1.1f, 1e-5f);
  EXPECT_NEAR(g.m[3][3], 3.0f, 1e-6f);
  // A point on the near plane maps to depth 0, on the far plane to depth 1.
  D3dMatrix p;
  rb.getTransform(D3DTS_PROJECTION, p);
  for (float z : {1.0f, 11.0f})
  {
    float zc = z * p.m[2][2] + p.m[3][2], w = z * p.m[2][3];
    EXPECT_NEAR(zc / w, z == 1.0f ? 0.0f : 1.0f, 1e-6f);
  }
}

TEST_F(RenderState, InstancingAndFlushAndTextureMemory)
{
  set_instancing(7);
  set_instancing(0);
  EXPECT_EQ(rb.calls, (Calls{"SetStreamSourceFreq(0, 0x40000007)", "SetStreamSourceFreq(1, 0x80000001)",
                             "SetStreamSourceFreq(0, 0x00000001)", "SetStreamSourceFreq(1, 0x00000001)"}));
  rb.clearLog();
  flush_gpu();
  std::string q = std::to_string(d3d_state.flush_query.id);
  EXPECT_EQ(rb.calls, (Calls{"IssueQuery(" + q + ")", "GetQueryData(" + q + ")"}));
  // A lost device ends the wait instead of hanging it.
  rb.gpu_follows = false;
  rb.cooperative_level = D3DERR_DEVICELOST;
  flush_gpu();
  rb.cooperative_level = D3D_OK;
  EXPECT_EQ(get_free_texmem(), 256u << 20);

  rb.stream_freq_error = D3DERR_INVALIDCALL;
  EXPECT_EXIT(set_instancing(2), testing::ExitedWithCode(100), "failed SetStreamSourceFreq");
  close_d3d();
  EXPECT_EXIT(get_free_texmem(), testing::ExitedWithCode(100), "failed ASSERT\\(d3d\\)");
  EXPECT_EXIT(flush_gpu(), testing::ExitedWithCode(100), "failed ASSERT\\(flush_query\\)");
}
}  // namespace
