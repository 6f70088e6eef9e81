// Shaders on the real OpenGL backend without a display: the shipped include files and the check
// shader compile and link, constants reach whichever program draws, a broken edit keeps drawing
// with the old program, and the cache runs with the compiler switched off. Tiny targets only.
#include <gtest/gtest.h>

#include <filesystem>

#include "render/device.h"
#include "render/gl_backend.h"
#include "render/shader.h"
#include "shader_fixture.h"

namespace
{
constexpr int W = 8, H = 8;

struct Vertex
{
  float x, y, z;
  uint32_t color;
};

std::string gl_screen;

class ShaderGl : public testing::Test
{
protected:
  GlBackend gl;
  ShaderAppDir app;

  void SetUp() override
  {
    for (const char *f : {"sh_common.inc", "sh_math.inc", "test_color.sh"})
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, app.path(f));
    std::filesystem::create_directories(app.path("cache"));
    gl_screen.clear();
    shader_message_hooks.clear = [] { gl_screen.clear(); };
    shader_message_hooks.append = [](const char *t, int l) {
      gl_screen.append(t, l < 0 ? strlen(t) : size_t(l));
      gl_screen += '\n';
    };
    if (!start())
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
  }
  void TearDown() override
  {
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    shader_message_hooks = ShaderMessageHooks();
    shader_compiler_disabled = false;
    set_render_backend(nullptr);
  }
  bool start()
  {
    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    if (!init_d3d(nullptr, W, H))
      return false;
    restore_back_buffer();
    set_cull_mode(0);
    return true;
  }
  void setConsts(float vr, float vg, float vb, float va, float pr, float pg, float pb, float pa)
  {
    float v[4] = {vr, vg, vb, va}, p[4] = {pr, pg, pb, pa};
    set_vs_const(0, v, 1);
    set_ps_const(0, p, 1);
  }
  // A full-target white quad; the pixel in the middle, alpha dropped.
  uint32_t drawAndRead()
  {
    clear_view(0xFF000000);
    Vertex v[4] = {{-1, -1, 0, 0xFFFFFFFF}, {-1, 1, 0, 0xFFFFFFFF}, {1, -1, 0, 0xFFFFFFFF},
                   {1, 1, 0, 0xFFFFFFFF}};
    gl.setFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_EQ(gl.drawPrimitiveUp(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex)), D3D_OK);
    uint32_t p = 0;
    EXPECT_TRUE(gl.readPixels(W / 2, H / 2, 1, 1, &p));
    return p & 0xFFFFFF;
  }
};
}  // namespace

TEST_F(ShaderGl, ConstantsAreDeviceStateSharedByEveryProgram)
{
  Shader *a = create_shader("test_color.sh", nullptr);
  Shader *b = create_shader("test_color.sh", "OTHER\0 1\0");
  ASSERT_NE(a, b);
  set_shader(a);
  setConsts(1, 1, 1, 1, 1, 0, 0, 1);
  EXPECT_EQ(drawAndRead(), 0xFF0000u);

  // Set while b is bound, seen by a; both stages' registers count.
  set_shader(b);
  setConsts(0, 1, 1, 1, 1, 1, 1, 1);
  set_shader(a);
  EXPECT_EQ(drawAndRead(), 0x00FFFFu);
  set_shader(b);
  EXPECT_EQ(drawAndRead(), 0x00FFFFu);

  // The alpha test runs on the pixel shader's output.
  setConsts(1, 1, 1, 1, 1, 1, 1, 0.25f);
  set_atest(128);
  EXPECT_EQ(drawAndRead(), 0u);
  set_atest(0);
  EXPECT_EQ(drawAndRead(), 0xFFFFFFu);
  set_shader(nullptr);
}

TEST_F(ShaderGl, BrokenEditKeepsDrawingAndTheCacheRunsWithoutCompiler)
{
  std::string good = app.read("test_color.sh");
  app.write("edit.sh", good);
  Shader *s = create_shader("edit.sh", nullptr);
  set_shader(s);
  setConsts(1, 1, 1, 1, 0, 0, 1, 1);
  EXPECT_EQ(drawAndRead(), 0x0000FFu);

  std::string broken = good;
  broken.replace(broken.find("oC0 = v_color * ps_c[0];"), 24, "oC0 = v_color * ps_c[0]");
  app.write("edit.sh", broken);
  app.setTime("edit.sh", 10);
  reload_shaders(false);
  EXPECT_NE(gl_screen.find("HLSL 'edit.sh', func 'psh':\n0:"), std::string::npos) << gl_screen;
  EXPECT_NE(gl_screen.find("can't create pixel shader from 'edit.sh'\nFAILED to reload shader 'edit.sh'"),
            std::string::npos);
  set_shader(s);
  EXPECT_EQ(drawAndRead(), 0x0000FFu);

  // Restart without the compiler: the cache still holds the good code.
  close_d3d();
  shader_compiler_disabled = true;
  ASSERT_TRUE(start());
  EXPECT_FALSE(shader_compiler_available());
  s = create_shader("edit.sh", nullptr);
  set_shader(s);
  setConsts(1, 1, 1, 1, 0, 1, 0, 1);
  EXPECT_EQ(drawAndRead(), 0x00FF00u);
}
