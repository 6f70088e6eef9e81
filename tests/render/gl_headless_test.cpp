// The OpenGL backend without a display (EGL; Mesa's software rasteriser on CI machines): known
// primitives through the device layer, checked by reading the pixels back. Tiny targets only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/device.h"
#include "render/gl_backend.h"
#include "render/texture.h"

namespace
{
constexpr int W = 16, H = 16;

struct Vertex
{
  float x, y, z;
  uint32_t color;  // 0xAARRGGBB
};

class GlHeadless : public testing::Test
{
protected:
  GlBackend gl;

  void SetUp() override
  {
    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    if (!init_d3d(nullptr, W, H))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    restore_back_buffer();
    set_cull_mode(0);
  }
  void TearDown() override
  {
    close_d3d();
    set_render_backend(nullptr);
  }

  void draw(const Vertex *v, int count, uint32_t type)
  {
    gl.setFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    uint32_t prims = type == D3DPT_TRIANGLESTRIP ? uint32_t(count - 2) : uint32_t(count / 3);
    ASSERT_EQ(gl.drawPrimitiveUp(type, prims, v, sizeof(Vertex)), D3D_OK);
  }
  // A rectangle in clip coordinates (y up), drawn as a strip.
  void quad(float x0, float y0, float x1, float y1, float z, uint32_t c)
  {
    Vertex v[4] = {{x0, y0, z, c}, {x0, y1, z, c}, {x1, y0, z, c}, {x1, y1, z, c}};
    draw(v, 4, D3DPT_TRIANGLESTRIP);
  }
  void fill(float z, uint32_t c) { quad(-1, -1, 1, 1, z, c); }
  // Pixel of render target 0, row 0 at the top; alpha dropped (the back buffer has none).
  uint32_t px(int x, int y, bool with_alpha = false)
  {
    uint32_t p = 0;
    EXPECT_TRUE(gl.readPixels(x, y, 1, 1, &p));
    return with_alpha ? p : (p & 0xFFFFFF);
  }
  Texture makeTarget()
  {
    Texture t;
    EXPECT_EQ(gl.createTexture(W, H, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, t.tex), D3D_OK);
    t.width = W;
    t.height = H;
    t.format = D3DFMT_A8R8G8B8;
    t.used = 1;
    return t;
  }
};

int channel(uint32_t c, int shift) { return int((c >> shift) & 255); }

void expect_color_near(uint32_t got, const float want[3], const char *what)
{
  for (int i = 0; i < 3; i++)
  {
    int g = channel(got, 16 - 8 * i);
    int w = int(std::lround(std::clamp(want[i], 0.f, 1.f) * 255.f));
    EXPECT_NEAR(g, w, 2) << what << " channel " << i << " got 0x" << std::hex << got;
  }
}

TEST_F(GlHeadless, BlendModesFollowTheirFactors)
{
  const uint32_t dst = 0xFF406080, src = 0x80C02010;
  float d[3], s[3];
  for (int i = 0; i < 3; i++)
  {
    d[i] = float(channel(dst, 16 - 8 * i)) / 255.f;
    s[i] = float(channel(src, 16 - 8 * i)) / 255.f;
  }
  float a = float(src >> 24) / 255.f;
  struct Mode
  {
    const char *name;
    void (*set)();
    float (*f)(float s, float d, float a);
  } modes[] = {
      {"none", set_blend_none, [](float s, float, float) { return s; }},
      {"additive", set_blend_additive, [](float s, float d, float) { return s + d; }},
      {"smooth_add", set_blend_smooth_add, [](float s, float d, float) { return s + d * (1 - s); }},
      {"alpha", set_blend_alpha, [](float s, float d, float a) { return s * a + d * (1 - a); }},
      {"prealpha", set_blend_prealpha, [](float s, float d, float a) { return s + d * (1 - a); }},
      {"multiply", set_blend_multiply, [](float s, float d, float) { return s * d; }},
  };
  for (const Mode &m : modes)
  {
    clear_view_color(dst);
    m.set();
    fill(0.5f, src);
    float want[3];
    for (int i = 0; i < 3; i++)
      want[i] = m.f(s[i], d[i], a);
    expect_color_near(px(8, 8), want, m.name);
  }
  set_blend_none();
}

TEST_F(GlHeadless, DepthStencilAlphaTestAndClearsOnATextureTarget)
{
  Texture rt = makeTarget();
  set_render_target(&rt, 0, true);
  clear_view(0xFF000000);

  // Depth: nearer wins with the default less-or-equal test; without writes the depth stays.
  set_zenable(true);
  set_zwrite(true);
  fill(0.5f, 0xFFFF0000);
  fill(0.7f, 0xFF00FF00);
  EXPECT_EQ(px(3, 3), 0xFF0000u);
  fill(0.3f, 0xFF0000FF);
  EXPECT_EQ(px(3, 3), 0x0000FFu);
  set_zwrite(false);
  fill(0.1f, 0xFFFFFFFF);
  fill(0.2f, 0xFF00FF00);  // still in front of the stored 0.3
  EXPECT_EQ(px(3, 3), 0x00FF00u);
  set_zenable(false);
  set_zwrite(true);

  // Stencil: mark the left half without touching colour, then draw where marked.
  clear_view(0xFF000000);
  set_color_write_mask(0);
  set_stencil_test(0xFF, 1, D3DCMP_ALWAYS);
  set_stencil_replace_bits(0xFF);
  quad(-1, -1, 0, 1, 0.5f, 0xFFFFFFFF);
  set_color_write_mask(0xF);
  EXPECT_EQ(px(3, 3), 0u);
  set_stencil_test(0xFF, 1, D3DCMP_EQUAL);
  set_stencil_replace_bits(0);  // passing pixels keep their stencil
  fill(0.5f, 0xFF00FF00);
  set_stencil_test(0xFF, 0, D3DCMP_EQUAL);
  fill(0.5f, 0xFF0000FF);
  EXPECT_EQ(px(3, 8), 0x00FF00u);
  EXPECT_EQ(px(12, 8), 0x0000FFu);
  set_stencil_test(0, 0, 0);

  // Alpha test: reference 128 passes alpha 0x80 and rejects 0x7F; off passes alpha 0.
  clear_view_color(0xFF000000);
  set_atest(128);
  fill(0.5f, 0x7FFF0000);
  EXPECT_EQ(px(8, 8), 0u);
  fill(0.5f, 0x80FF0000);
  EXPECT_EQ(px(8, 8), 0xFF0000u);
  set_atest(0);
  fill(0.5f, 0x0000FF00);
  EXPECT_EQ(px(8, 8), 0x00FF00u);

  // Clears ignore the colour mask and stay inside the viewport.
  set_color_write_mask(0);
  set_viewport(0, 0, W / 2, H);
  clear_view_color(0xFFFFFFFF);
  set_color_write_mask(0xF);
  EXPECT_EQ(px(2, 2), 0xFFFFFFu);
  EXPECT_EQ(px(12, 2), 0x00FF00u);
  set_viewport(0, 0, W, H);

  // copy_texture takes the whole picture to another target.
  Texture copy = makeTarget();
  copy_texture(&rt, &copy);
  set_render_target(&copy, 0, false);
  EXPECT_EQ(px(2, 2), 0xFFFFFFu);
  EXPECT_EQ(px(12, 2), 0x00FF00u);
  restore_back_buffer();
  gl.releaseTexture(copy.tex);
  gl.releaseTexture(rt.tex);
}

TEST_F(GlHeadless, OrientationAndCullingOnTexturesAndTheBackBuffer)
{
  Texture rt = makeTarget();
  for (int pass = 1; pass >= 0; pass--)
  {
    if (pass == 0)
      restore_back_buffer();
    else
      set_render_target(&rt, 0, false);
    SCOPED_TRACE(pass == 0 ? "back buffer" : "texture");
    // Clip y > 0 is the top of the picture: row 0.
    set_cull_mode(0);
    clear_view_color(0xFF000000);
    quad(-1, 0, 1, 1, 0.5f, 0xFFFF0000);
    EXPECT_EQ(px(8, 0), 0xFF0000u);
    EXPECT_EQ(px(8, H / 2 - 1), 0xFF0000u);
    EXPECT_EQ(px(8, H / 2), 0u);
    EXPECT_EQ(px(8, H - 1), 0u);
    // The full-screen quad of the post-effects covers every edge row and column.
    clear_view_color(0xFF000000);
    draw_postfx();
    for (int c : {0, W - 1})
      for (int r : {0, H - 1})
        EXPECT_EQ(px(c, r), 0xFFFFFFu) << c << "," << r;

    // Counter-clockwise as seen is culled, clockwise drawn.
    set_cull_mode(1);
    clear_view_color(0xFF000000);
    Vertex ccw[3] = {{-1, -1, 0.5f, 0xFF00FF00}, {1, -1, 0.5f, 0xFF00FF00}, {-1, 1, 0.5f, 0xFF00FF00}};
    draw(ccw, 3, D3DPT_TRIANGLELIST);
    EXPECT_EQ(px(2, H - 3), 0u);
    Vertex cw[3] = {{-1, -1, 0.5f, 0xFF0000FF}, {-1, 1, 0.5f, 0xFF0000FF}, {1, -1, 0.5f, 0xFF0000FF}};
    draw(cw, 3, D3DPT_TRIANGLELIST);
    EXPECT_EQ(px(2, H - 3), 0x0000FFu);
    set_cull_mode(0);
  }
  restore_back_buffer();
  gl.releaseTexture(rt.tex);
}

TEST_F(GlHeadless, FramesAreFencedAndResetsResizeTheBackBuffer)
{
  set_d3d_frame_renderer([](float) {
    restore_back_buffer();
    clear_view(0xFF102030);
  });
  int drawn = 0;
  for (int i = 0; i < 6; i++)
    if (render_d3d_frame(0.f))
    {
      drawn++;
      EXPECT_EQ(px(1, 1), 0x102030u);
      present_d3d();
    }
  EXPECT_GE(drawn, 4);
  flush_gpu();
  set_d3d_frame_renderer(nullptr);

  ASSERT_TRUE(resize_d3d(8, 4, false, false));
  EXPECT_EQ(d3d_wd, 8);
  EXPECT_EQ(d3d_ht, 4);
  restore_back_buffer();
  clear_view_color(0xFF0000FF);
  EXPECT_EQ(px(7, 3), 0x0000FFu);
  EXPECT_GT(get_free_texmem(), 0u);
}
}  // namespace
