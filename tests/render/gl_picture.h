#pragma once
// Pictures drawn by real OpenGL without a display (EGL; Mesa's software rasteriser on CI
// machines): a scratch application directory holding copies of the shipped files a test draws
// with (so that no cache directory lands in the source tree), the device with its resource
// tables, pixels read back, and PNG files written for a person to look at.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "shader_fixture.h"

class GlPictureTest : public testing::Test
{
protected:
  GlBackend gl;
  ShaderAppDir app;
  bool ready = false;

  // Copies `files` from bin/ and opens the device at w x h; false (the test skips) without
  // headless OpenGL 3.3.
  bool start(int w, int h, std::initializer_list<const char *> files)
  {
    for (const char *f : files)
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, app.path(f),
                                 std::filesystem::copy_options::overwrite_existing);
    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    ready = init_d3d(nullptr, w, h);
    return ready;
  }
  void TearDown() override
  {
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
  }

  // Render target 0 as 0xAARRGGBB, row 0 at the top.
  std::vector<uint32_t> read(int w, int h)
  {
    std::vector<uint32_t> p(size_t(w * h), 0);
    EXPECT_TRUE(gl.readPixels(0, 0, w, h, p.data()));
    return p;
  }

  // Writes $QM_TEST_TMP/<name> (RGB) and says where.
  static void savePng(const char *name, const std::vector<uint32_t> &px, int w, int h)
  {
    std::vector<uint8_t> rgb(size_t(w * h * 3));
    for (size_t i = 0; i < size_t(w * h); i++)
      for (int c = 0; c < 3; c++)
        rgb[i * 3 + size_t(c)] = uint8_t(px[i] >> (16 - 8 * c));
    const char *base = getenv("QM_TEST_TMP");
    std::string out = std::string(base ? base : "/tmp") + "/" + name;
    ASSERT_NE(stbi_write_png(out.c_str(), w, h, 3, rgb.data(), w * 3), 0) << out;
    printf("picture written to %s\n", out.c_str());
  }
};

// Channel i (0 red, 1 green, 2 blue) of 0xAARRGGBB.
inline int channel_of(uint32_t c, int i) { return int((c >> (16 - 8 * i)) & 255); }
