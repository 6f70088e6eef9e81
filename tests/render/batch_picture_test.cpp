// The interface primitives and debug shapes drawn by real OpenGL without a display (EGL; Mesa's
// software rasteriser on CI machines): a small panel of rounded boxes with edges, a shadow and a
// glow, images and debug shapes, checked at chosen pixels. The picture is written to
// $QM_TEST_TMP/batch_picture.png for a person to look at (docs/batch_picture.png is a copy).
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "render/debug_vis.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/ui_render.h"
#include "support/file_path.h"

namespace
{
constexpr int W = 240, H = 160;
constexpr uint32_t BG = 0xFF304860;

int ch(uint32_t c, int i) { return int((c >> (16 - 8 * i)) & 255); }  // 0 red, 1 green, 2 blue

class BatchPicture : public testing::Test
{
protected:
  GlBackend gl;
  std::string dir;
  char saved_path[sizeof(app_path)];
  std::vector<uint32_t> pixels;
  bool ready = false;

  void SetUp() override
  {
    // The shipped shaders, copied so that a cache directory never lands in the source tree.
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_batch_picture_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    for (const char *f : {"roundedBox.sh", "uiImage.sh", "debug_vis.sh", "sh_common.inc", "sh_math.inc"})
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, dir + f,
                                 std::filesystem::copy_options::overwrite_existing);
    memcpy(saved_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());

    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    if (!init_d3d(nullptr, W, H))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    ready = true;
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    init_rounded_box_render();
    init_ui_image_render();
    init_debug_vis();
  }
  void TearDown() override
  {
    if (ready)
    {
      close_debug_vis();
      close_ui_image_render();
      close_rounded_box_render();
      common_vb_writer.close();
    }
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  uint32_t px(int x, int y) const { return pixels[size_t(y * W + x)]; }
  void expectNear(int x, int y, uint32_t want, int tol, const char *what) const
  {
    uint32_t got = px(x, y);
    for (int i = 0; i < 3; i++)
      EXPECT_NEAR(ch(got, i), ch(want, i), tol) << what << " at " << x << "," << y << " channel " << i
                                                << ": got 0x" << std::hex << got;
  }
  // True when a pixel within one of (x, y) has every channel at least `min`.
  bool brightNear(int x, int y, int min) const
  {
    for (int dy = -1; dy <= 1; dy++)
      for (int dx = -1; dx <= 1; dx++)
      {
        uint32_t c = px(x + dx, y + dy);
        if (ch(c, 0) >= min && ch(c, 1) >= min && ch(c, 2) >= min)
          return true;
      }
    return false;
  }
  void savePicture() const
  {
    std::vector<uint8_t> rgb(size_t(W * H * 3));
    for (int i = 0; i < W * H; i++)
      for (int c = 0; c < 3; c++)
        rgb[size_t(i * 3 + c)] = uint8_t(ch(pixels[size_t(i)], c));
    const char *base = getenv("QM_TEST_TMP");
    std::string out = std::string(base ? base : "/tmp") + "/batch_picture.png";
    ASSERT_NE(stbi_write_png(out.c_str(), W, H, 3, rgb.data(), W * 3), 0) << out;
    printf("batch picture written to %s\n", out.c_str());
  }
};

TEST_F(BatchPicture, PanelOfBoxesImagesAndDebugShapes)
{
  // A 2 by 2 texture: red, green / blue, white (row 0 at the top).
  Texture *tex = create_managed_texture(2, 2);
  ASSERT_NE(tex, nullptr);
  int pitch = 0;
  uint8_t *p = static_cast<uint8_t *>(lock_texture(tex, pitch, false));
  ASSERT_NE(p, nullptr);
  const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  memcpy(p, texels, 8);
  memcpy(p + pitch, texels + 2, 8);
  unlock_texture(tex);

  restore_back_buffer();
  clear_view(BG);
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_ui_screen_mapping();
  set_blend_prealpha();
  set_tex_filter(0, false);

  StdRenderBatchState img;
  init_ui_image_state(img, tex, nullptr);
  RenderBatch &b = gui_batch;
  b.clear();
  // A panel with a dark edge and a soft shadow down and right; corners rounded top-left and
  // bottom-right only.
  render_rounded_box(b, {16, 16, 104, 72}, v_make(16, 0, 16, 0), 0xFFE0C040, 3, 6, 6, 0, 0xC0101010, 6);
  // A button with a thin light edge and a green glow all round.
  render_rounded_box(b, {130, 20, 220, 60}, v_splats(10), 0xFF2060C0, 1.5f, 0, 0, 2, 0xFF60FF60, 10);
  // Images: the texture whole, then half transparent; a box drawn over the first image.
  render_ui_image(b, &img, {16, 96, 64, 144}, 0xFFFFFFFF, {0, 0, 1, 1});
  render_ui_image(b, &img, {72, 96, 104, 128}, 0x80FFFFFF, {0, 0, 1, 1});
  render_rounded_box(b, {56, 136, 76, 150}, v_splats(4), 0xFFF0F0F0, 0.5f, 0, 0, 0, 0, -1);
  b.render();
  EXPECT_EQ(b.groups.size(), 3) << "the first two boxes share a group, the last one may not move back";

  // Debug shapes with a view-projection mapping world x, y to pixels (y down).
  set_blend_none();
  const float tm[16] = {1.f / 120, 0, 0, 0, 0, -1.f / 80, 0, 0, 0, 0, 0, 0, -1, 1, 0.5f, 1};
  set_vs_const(0, tm, 4);
  start_draw_debug_vis();
  draw_debug_vis_solid_box(v_make(150, 130, 1, 1), v_make(120, 100, 0, 1), 0xFFFF3030, 0);
  draw_debug_vis_wire_box(v_make(160, 100, 0, 1), v_make(200, 140, 1, 1), 0xFFFFFFFF);
  draw_debug_vis_cross_point(v_make(220, 120, 0, 1), 10, 0xFFFFFFFF);
  draw_debug_vis_tri(v_make(120, 150, 0, 1), v_make(230, 150, 0, 1), v_make(175, 158, 0, 1), 0xFFFF0000,
                     0xFF00FF00, 0xFF0000FF);
  end_draw_debug_vis();
  release_texture(tex);

  pixels.assign(size_t(W * H), 0);
  ASSERT_TRUE(gl.readPixels(0, 0, W, H, pixels.data()));
  savePicture();

  // Panel: the fill, a square top-right corner, a rounded top-left corner, the edge, the shadow.
  expectNear(60, 44, 0xE0C040, 2, "panel fill");
  expectNear(102, 18, 0xE0C040, 2, "square corner");
  expectNear(18, 18, BG, 2, "outside the rounded corner");
  expectNear(24, 24, 0xE0C040, 2, "inside the rounded corner");
  for (int i = 0; i < 3; i++)
    EXPECT_LT(ch(px(60, 14), i), 0x30) << "dark edge above the panel";
  for (int i = 0; i < 3; i++)
    EXPECT_LT(ch(px(60, 76), i), ch(BG, i) * 4 / 5) << "shadow below the panel";
  expectNear(60, 84, BG, 2, "past the shadow");
  expectNear(10, 44, BG, 2, "left of the panel: the shadow lies to the right");
  // Button: fill, glow above it fading out.
  expectNear(175, 40, 0x2060C0, 2, "button fill");
  EXPECT_GT(ch(px(175, 17), 1), ch(BG, 1) + 40) << "glow above the button";
  EXPECT_LT(ch(px(175, 17), 1), 0xF0);
  expectNear(175, 4, BG, 2, "past the glow");
  // Images: texels by quadrant; half transparent over the background.
  expectNear(28, 108, 0xFF0000, 2, "image top-left texel");
  expectNear(52, 108, 0x00FF00, 2, "image top-right texel");
  expectNear(28, 132, 0x0000FF, 2, "image bottom-left texel");
  expectNear(46, 132, 0xFFFFFF, 2, "image bottom-right texel");
  expectNear(80, 104, 0x982430, 3, "half transparent image");
  expectNear(66, 143, 0xF0F0F0, 2, "box over the image");
  // Debug shapes.
  expectNear(135, 115, 0xFF3030, 2, "solid box");
  EXPECT_TRUE(brightNear(160, 120, 250)) << "wire box edge";
  EXPECT_TRUE(brightNear(180, 100, 250)) << "wire box edge";
  expectNear(180, 120, BG, 2, "inside the wire box");
  EXPECT_TRUE(brightNear(214, 120, 250)) << "cross point";
  EXPECT_TRUE(brightNear(220, 114, 250)) << "cross point";
  uint32_t tri = px(175, 152);
  EXPECT_GT(ch(tri, 0), 40);
  EXPECT_GT(ch(tri, 1), 40);
  EXPECT_GT(ch(tri, 2), 40) << "colours blended across the triangle";
}
}  // namespace
