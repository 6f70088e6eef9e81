// The post-effect passes on real OpenGL without a display, on synthetic scene images: the final
// pass copies (and tints) exactly, and the anti-aliasing softens a hard diagonal edge while
// leaving flat areas, pixels away from edges and one-pixel lines alone. The before and after
// pictures are written to $QM_TEST_TMP/postfx_aa.png.
#include <cmath>
#include <cstring>

#include "gl_picture.h"
#include "render/postfx.h"
#include "render/texture.h"

namespace
{
constexpr int W = 64, H = 48;
constexpr uint32_t DARK = 0xFF202830, LIGHT = 0xFFE8D8C0;

// A hard edge (light below y = 6 + 0.3 x, left half), a one-pixel line of slope 1/5 and one of
// slope 1 (right half), flat areas everywhere else.
std::vector<uint32_t> test_scene()
{
  std::vector<uint32_t> img(size_t(W * H), DARK);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < 30; x++)
      if (float(y) + 0.5f > 6.f + 0.3f * (float(x) + 0.5f))
        img[size_t(y * W + x)] = LIGHT;
  for (int x = 34; x < W - 2; x++)
    img[size_t((8 + (x - 34) / 5) * W + x)] = LIGHT;
  for (int x = 34; x < 56; x++)
    img[size_t((22 + x - 34) * W + x)] = LIGHT;
  return img;
}

int brightness(uint32_t c) { return channel_of(c, 0) + channel_of(c, 1) + channel_of(c, 2); }

class PostfxGl : public GlPictureTest
{
protected:
  Texture *source = nullptr;

  void SetUp() override
  {
    if (!start(W, H, {"postfx_main.sh", "postfx_none.sh", "mlaa_edge.sh", "mlaa_rows.sh", "mlaa_cols.sh",
                      "mlaa_combine.sh", "mlaa_runs.inc", "sh_postfx.inc", "sh_common.inc", "sh_math.inc"}))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    create_scene_image();
    init_postfx();
    source = create_managed_texture(W, H);
    ASSERT_NE(source, nullptr);
  }
  void TearDown() override
  {
    if (ready)
    {
      release_texture(source);
      close_postfx();
      release_scene_image();
    }
    GlPictureTest::TearDown();
  }

  // Draws `img` as this frame's scene image, runs the post-effects and reads the back buffer.
  std::vector<uint32_t> run(const std::vector<uint32_t> &img, vec4f tint, PostfxFlags flags)
  {
    int pitch = 0;
    uint8_t *p = static_cast<uint8_t *>(lock_texture(source, pitch, false));
    EXPECT_NE(p, nullptr);
    for (int y = 0; p && y < H; y++)
      memcpy(p + y * pitch, &img[size_t(y * W)], size_t(W) * 4);
    unlock_texture(source);
    copy_texture(source, postfx_rt.scene);
    render_postfx(tint, flags);
    return read(W, H);
  }
};

TEST_F(PostfxGl, WithoutAntiAliasingTheFinalImageIsTheSceneImage)
{
  std::vector<uint32_t> img = test_scene();
  for (int i = 0; i < W * H; i++)  // every channel value somewhere
    img[size_t(i)] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  for (PostfxFlags flags : {PostfxFlags{false, false, false}, PostfxFlags{true, false, true}})
  {
    const std::vector<uint32_t> out = run(img, v_make(1.f, 0.f, 0.f, 0.f), flags);
    for (int i = 0; i < W * H; i++)
      ASSERT_EQ(out[size_t(i)] & 0xFFFFFF, img[size_t(i)] & 0xFFFFFF) << "pixel " << i;
  }
  // A half tint towards red.
  const std::vector<uint32_t> out = run(img, v_make(1.f, 0.f, 0.f, 0.5f), {});
  for (int i = 0; i < W * H; i += 7)
  {
    EXPECT_NEAR(channel_of(out[size_t(i)], 0), (channel_of(img[size_t(i)], 0) + 255) / 2.f, 1.f);
    EXPECT_NEAR(channel_of(out[size_t(i)], 2), channel_of(img[size_t(i)], 2) / 2.f, 1.f);
  }
}

TEST_F(PostfxGl, AntiAliasingSoftensEdgesAndLeavesTheRestAlone)
{
  const std::vector<uint32_t> img = test_scene();
  const std::vector<uint32_t> out = run(img, v_zero(), {false, true, false});
  std::vector<uint32_t> both(img);
  both.insert(both.end(), out.begin(), out.end());
  savePng("postfx_aa.png", both, W, 2 * H);

  set_render_target(postfx_rt.scene, 0, false);
  EXPECT_EQ(read(W, H), out) << "the anti-aliased image became the scene image";

  auto src = [&](int x, int y) { return img[size_t(std::clamp(y, 0, H - 1) * W + std::clamp(x, 0, W - 1))]; };
  const int dark = brightness(DARK), light = brightness(LIGHT);
  int changed = 0, softened_edge = 0;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
    {
      const uint32_t s = src(x, y), o = out[size_t(y * W + x)];
      changed += (o & 0xFFFFFF) != (s & 0xFFFFFF);
      // A pixel that matches its four neighbours has no edge to blend across: exactly as it was.
      if (s == src(x - 1, y) && s == src(x + 1, y) && s == src(x, y - 1) && s == src(x, y + 1))
      {
        ASSERT_EQ(o & 0xFFFFFF, s & 0xFFFFFF) << "flat at " << x << "," << y;
      }
      const int b = brightness(o);
      if (x < 30 && b > dark + 30 && b < light - 30)
        softened_edge++;
    }
  // The edge crosses 30 columns in about 9 steps; every step gets intermediate values, and they
  // come closer to the true coverage of the pixels by the light side than the hard edge was.
  EXPECT_GE(softened_edge, 18) << "the diagonal edge is softened";
  EXPECT_GT(changed, softened_edge);
  double hard_error = 0, soft_error = 0;
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 28; x++)
    {
      int inside = 0;  // 8 x 8 samples under the line
      for (int sy = 0; sy < 8; sy++)
        for (int sx = 0; sx < 8; sx++)
          inside += float(y) + (float(sy) + 0.5f) / 8.f > 6.f + 0.3f * (float(x) + (float(sx) + 0.5f) / 8.f);
      const double truth = inside / 64.0;
      auto light_share = [&](uint32_t c) { return double(brightness(c) - dark) / double(light - dark); };
      hard_error += std::fabs(light_share(src(x, y)) - truth);
      soft_error += std::fabs(light_share(out[size_t(y * W + x)]) - truth);
    }
  EXPECT_LT(soft_error, 0.4 * hard_error) << "closer to the true edge";
  // The block's right side is a straight edge without steps, and its corner stays square.
  for (int y = 15; y < H; y++)
    for (int x : {29, 30})
      EXPECT_EQ(out[size_t(y * W + x)] & 0xFFFFFF, src(x, y) & 0xFFFFFF) << "side at " << x << "," << y;
  // The one-pixel lines keep at least half their contrast on every pixel.
  for (int x = 34; x < W - 2; x++)
  {
    const int y1 = 8 + (x - 34) / 5;
    EXPECT_GE(brightness(out[size_t(y1 * W + x)]), (dark + light) / 2 - 3) << "shallow line at " << x;
    if (x < 56)
    {
      EXPECT_GE(brightness(out[size_t((22 + x - 34) * W + x)]), (dark + light) / 2 - 3) << "steep line at " << x;
    }
  }
}
}  // namespace
