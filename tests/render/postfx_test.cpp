// Post-effects on the recording device: the targets (the float one only where it can be blended
// into), their life across resets and failures, and the order of the passes with the exchange
// of targets. What the passes compute is checked on real OpenGL (postfx_gl_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/postfx.h"
#include "render/resource_hooks.h"
#include "render/texture.h"
#include "shader_fixture.h"

namespace
{
// One full-screen draw as the log shows it.
struct Pass
{
  std::string target;  // "backbuffer" or a texture handle
  std::string shader;  // file name, then the defines' names
  bool cleared;
  uint32_t mask;  // colour write mask at the draw
};

class Postfx : public ShaderTest
{
protected:
  void SetUp() override
  {
    ShaderTest::SetUp();
    for (const char *f : {"postfx_main.sh", "postfx_none.sh", "mlaa_edge.sh", "mlaa_rows.sh", "mlaa_cols.sh",
                          "mlaa_combine.sh"})
      app.write(f, source(f));
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    postfx_allow_fp_blend = true;
    ASSERT_TRUE(init_d3d(nullptr, 320, 180));
    create_scene_image();
    init_postfx();
    rb.clearLog();
  }
  void TearDown() override
  {
    close_postfx();
    release_scene_image();
    close_d3d();
    postfx_allow_fp_blend = true;
    d3d_resource_hooks = D3dResourceHooks();
    ShaderTest::TearDown();
  }

  static std::string handle(const Texture *t) { return std::to_string(t->tex.id); }
  std::string shaderName(const std::string &set_shaders) const
  {
    unsigned vs = 0, ps = 0;
    sscanf(set_shaders.c_str(), "SetShaders(%u, %u)", &vs, &ps);
    for (const Shader &s : shader_slots)
      if (s.vs && s.vs.id == vs)
        return std::string(s.name) + (s.definesLen ? std::string(" ") + s.defines : "");
    return "?";
  }
  std::vector<Pass> passes() const
  {
    const std::string mask_call = "SetRenderState(COLORWRITEENABLE, ";
    std::vector<Pass> out;
    Pass cur{"", "", false, 0xF};
    for (const std::string &c : rb.calls)
    {
      if (c.rfind("SetRenderTarget(0, ", 0) == 0)
      {
        cur.target = c.substr(19, c.size() - 20);
        cur.cleared = false;
      }
      else if (c.rfind("Clear(", 0) == 0)
        cur.cleared = true;
      else if (c.rfind("SetShaders(", 0) == 0)
        cur.shader = shaderName(c);
      else if (c.rfind(mask_call, 0) == 0)
        cur.mask = uint32_t(std::stoul(c.substr(mask_call.size())));
      else if (c.rfind("DrawPrimitiveUP(", 0) == 0)
        out.push_back(cur);
    }
    return out;
  }
};

TEST_F(Postfx, TargetsAreScreenSizedAndFollowResets)
{
  const PostfxTargets t = postfx_rt;
  for (const Texture *tex : {t.scene, t.a, t.b, t.c, t.d})
  {
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(rb.textures[tex->tex].format, uint32_t(D3DFMT_A8R8G8B8));
    EXPECT_EQ(rb.textures[tex->tex].w, 320);
  }
  ASSERT_NE(t.fp, nullptr) << "RGBA16F can be blended into";
  EXPECT_EQ(rb.textures[t.fp->tex].format, uint32_t(D3DFMT_A16B16G16R16F));
  ASSERT_TRUE(resize_d3d(400, 300, false, true));
  for (const Texture *tex : {t.scene, t.a, t.b, t.c, t.d, t.fp})
  {
    ASSERT_NE(tex->tex.id, 0u);
    EXPECT_EQ(rb.textures[tex->tex].w, 400);
    EXPECT_EQ(rb.textures[tex->tex].h, 300);
  }
  // Without blending into float targets the effects get no FP target.
  close_postfx();
  EXPECT_EQ(postfx_rt.a, nullptr);
  postfx_allow_fp_blend = false;
  init_postfx();
  EXPECT_EQ(postfx_rt.fp, nullptr);
  EXPECT_NE(postfx_rt.d, nullptr);
}

TEST_F(Postfx, AntiAliasingRunsEightPassesEachWayAndTheResultBecomesTheSceneImage)
{
  const PostfxTargets before = postfx_rt;
  render_postfx(v_zero(), {true, true, false});
  const std::vector<Pass> p = passes();
  ASSERT_EQ(p.size(), 19u);
  EXPECT_EQ(p[0].shader, "mlaa_edge.sh");
  EXPECT_EQ(p[0].target, handle(before.a));
  // Rows: B, then C, B, ... (the two exchange after every pass); the first pass clears.
  std::string b = handle(before.b), c = handle(before.c), d = handle(before.d);
  for (int i = 0; i < 8; i++)
  {
    SCOPED_TRACE(i);
    EXPECT_EQ(p[1 + i].shader, i == 0 ? "mlaa_rows.sh FIRST" : "mlaa_rows.sh");
    EXPECT_EQ(p[1 + i].target, b);
    EXPECT_EQ(p[1 + i].cleared, i == 0);
    std::swap(b, c);
  }
  // Columns: B and D exchange; the last pass writes blue and alpha of C beside the rows.
  for (int i = 0; i < 8; i++)
  {
    SCOPED_TRACE(i);
    const Pass &q = p[9 + i];
    EXPECT_EQ(q.shader, i == 0 ? "mlaa_cols.sh FIRST" : i == 7 ? "mlaa_cols.sh FINAL" : "mlaa_cols.sh");
    EXPECT_EQ(q.target, i == 7 ? c : b);
    EXPECT_EQ(q.cleared, i == 0);
    EXPECT_EQ(q.mask, i == 7 ? 0xCu : 0xFu);
    std::swap(b, d);
  }
  EXPECT_EQ(p[17].shader, "mlaa_combine.sh");
  EXPECT_EQ(p[17].target, b);
  EXPECT_EQ(p[17].mask, 0xFu);
  EXPECT_EQ(p[18].shader, "postfx_main.sh");
  EXPECT_EQ(p[18].target, "backbuffer");
  // The blended image is the scene image from now on; the old scene image is the new B.
  EXPECT_EQ(handle(postfx_rt.scene), p[17].target);
  EXPECT_EQ(postfx_rt.b, before.scene);
  EXPECT_EQ(postfx_rt.a, before.a);
}

TEST_F(Postfx, WithoutAntiAliasingOnlyTheFinalPassRuns)
{
  struct Case
  {
    PostfxFlags flags;
    const char *shader;
  } cases[] = {
      {{true, false, false}, "postfx_main.sh"},
      {{false, false, false}, "postfx_none.sh"},
      {{true, false, true}, "postfx_none.sh"},  // wireframe: the plain copy
  };
  const PostfxTargets before = postfx_rt;
  for (const Case &c : cases)
  {
    rb.clearLog();
    render_postfx(v_zero(), c.flags);
    const std::vector<Pass> p = passes();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].shader, c.shader);
    EXPECT_EQ(p[0].target, "backbuffer");
    EXPECT_EQ(postfx_rt.scene, before.scene) << "the scene image is never exchanged";
    EXPECT_EQ(rb.callsStartingWith("SetRenderState(FILLMODE, 3)").size(), 1u) << "wireframe off";
  }
}

TEST_F(Postfx, MissingTargetsAreFatal)
{
  close_postfx();
  rb.texture_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_EXIT(init_postfx(), testing::ExitedWithCode(100), "can't create textures for post-effect");
  release_scene_image();
  EXPECT_EXIT(create_scene_image(), testing::ExitedWithCode(100), "can't create scene image texture");
}
}  // namespace
