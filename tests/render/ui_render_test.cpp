// Rounded boxes and images: the vertex layouts the shaders read, the quad each item covers, and
// the shaders and declarations they are drawn with.
#include "batch_fixture.h"
#include "render/texture.h"
#include "render/ui_render.h"
#include "render/vdecl.h"

namespace
{
class UiRenderTest : public BatchTest
{
protected:
  void SetUp() override
  {
    BatchTest::SetUp();
    init_rounded_box_render();
    init_ui_image_render();
  }
  void TearDown() override
  {
    close_ui_image_render();
    close_rounded_box_render();
    BatchTest::TearDown();
  }
};

uint32_t byte(D3dColor c, int i) { return (c >> (i * 8)) & 255; }

TEST_F(UiRenderTest, RoundedBoxVertexPacksItsArgumentsInOrder)
{
  RoundedBoxVertex v[6];
  BatchRect quad = make_rounded_box_vertices(v, {10, 20, 110, 70}, v_make(4, 300, -2, 7.6f), 0xFF112233, 3,
                                             -5.25f, 6.25f, 2.25f, 0x80000000, -1);
  // No shadow: the rectangle grown by the edge.
  EXPECT_FLOAT_EQ(quad.x0, 7);
  EXPECT_FLOAT_EQ(quad.y0, 17);
  EXPECT_FLOAT_EQ(quad.x1, 113);
  EXPECT_FLOAT_EQ(quad.y1, 73);
  const float xs[6] = {7, 113, 113, 7, 113, 7}, ys[6] = {17, 17, 73, 17, 73, 73};
  for (int i = 0; i < 6; i++)
  {
    EXPECT_FLOAT_EQ(v[i].x, xs[i]) << i;
    EXPECT_FLOAT_EQ(v[i].y, ys[i]) << i;
    EXPECT_FLOAT_EQ(v[i].cx, 60);
    EXPECT_FLOAT_EQ(v[i].cy, 45);
    EXPECT_FLOAT_EQ(v[i].w, 100);
    EXPECT_FLOAT_EQ(v[i].h, 50);
    EXPECT_EQ(v[i].color, 0xFF112233u);
    EXPECT_EQ(v[i].color2, 0x80000000u);
    EXPECT_FLOAT_EQ(v[i].extra, -1);
  }
  // A D3DCOLOR reaches the shader as (r, g, b, a) = bytes 2, 1, 0, 3: the radii in argument
  // order, clamped to 0..255 and rounded.
  EXPECT_EQ(byte(v[0].radii, 2), 4u);
  EXPECT_EQ(byte(v[0].radii, 1), 255u);
  EXPECT_EQ(byte(v[0].radii, 0), 0u);
  EXPECT_EQ(byte(v[0].radii, 3), 8u);
  // Offset x, offset y and size as value / 255 + 0.5; the edge as value / 255.
  EXPECT_EQ(byte(v[0].params, 2), 122u);  // -5.25 + 127.5 rounded
  EXPECT_EQ(byte(v[0].params, 1), 134u);  // 6.25 + 127.5
  EXPECT_EQ(byte(v[0].params, 0), 130u);  // 2.25 + 127.5
  EXPECT_EQ(byte(v[0].params, 3), 3u);
  // The field offsets the declaration gives.
  EXPECT_EQ(offsetof(RoundedBoxVertex, cx), 8u);
  EXPECT_EQ(offsetof(RoundedBoxVertex, radii), 24u);
  EXPECT_EQ(offsetof(RoundedBoxVertex, color), 28u);
  EXPECT_EQ(offsetof(RoundedBoxVertex, color2), 32u);
  EXPECT_EQ(offsetof(RoundedBoxVertex, params), 36u);
  EXPECT_EQ(offsetof(RoundedBoxVertex, extra), 40u);
}

TEST_F(UiRenderTest, RoundedBoxQuadCoversEdgeAndShadow)
{
  RoundedBoxVertex v[6];
  // Edges thinner than half a pixel count as half a pixel, for the quad and the packed byte alike.
  BatchRect q = make_rounded_box_vertices(v, {0, 0, 10, 10}, v_zero(), 0, 0.1f, 0, 0, 0, 0, -1);
  EXPECT_FLOAT_EQ(q.x0, -0.5f);
  EXPECT_FLOAT_EQ(q.y1, 10.5f);
  EXPECT_EQ(byte(v[0].params, 3), 0u);  // 0.5 / 255 rounds to 0; the shader reads at least 0.5 too
  // A shadow moved right and down, grown by size + extra.
  q = make_rounded_box_vertices(v, {0, 0, 10, 10}, v_zero(), 0, 1, 6, 8, 2, 0, 3);
  EXPECT_FLOAT_EQ(q.x0, -1);
  EXPECT_FLOAT_EQ(q.y0, -1);
  EXPECT_FLOAT_EQ(q.x1, 21);
  EXPECT_FLOAT_EQ(q.y1, 23);
  // extra 0 still has a shadow; a shadow shrunk to nothing adds nothing.
  q = make_rounded_box_vertices(v, {0, 0, 10, 10}, v_zero(), 0, 1, -20, 0, 0, 0, 0);
  EXPECT_FLOAT_EQ(q.x0, -20);
  q = make_rounded_box_vertices(v, {0, 0, 10, 10}, v_zero(), 0, 1, -20, 0, -8, 0, 0);
  EXPECT_FLOAT_EQ(q.x0, -1);
  // Corners given the other way round describe the same box.
  RoundedBoxVertex w[6];
  make_rounded_box_vertices(v, {0, 0, 10, 10}, v_zero(), 0, 1, 0, 0, 0, 0, -1);
  make_rounded_box_vertices(w, {10, 10, 0, 0}, v_zero(), 0, 1, 0, 0, 0, 0, -1);
  EXPECT_EQ(memcmp(v, w, sizeof(v)), 0);
}

TEST_F(UiRenderTest, BoxesAndImagesGoThroughTheBatch)
{
  Texture tex;
  tex.tex = TextureHandle{77};
  StdRenderBatchState img;
  init_ui_image_state(img, &tex, nullptr);
  EXPECT_EQ(img.stride, 20);
  EXPECT_NE(img.shader, nullptr);
  EXPECT_NE(img.shader, get_rounded_box_state()->shader);
  EXPECT_STREQ(get_rounded_box_state()->shader->name, "roundedBox.sh");
  EXPECT_STREQ(img.shader->name, "uiImage.sh");
  EXPECT_EQ(get_rounded_box_state()->stride, 44);

  RenderBatch b;
  render_rounded_box(b, {0, 0, 100, 100}, v_splats(8), 0xFF202020, 2, 0, 4, 0, 0x80000000, 6);
  render_ui_image(b, &img, {10, 20, 42, 36}, 0xFFFFFFFF, {0.25f, 0.5f, 0.75f, 1.0f});
  ASSERT_EQ(b.groups.size(), 2);
  RenderBatch::Item *it = b.groups[1].first;
  EXPECT_EQ(it->dataSize, 120);
  EXPECT_EQ(it->primCount, 2);
  const UiImageVertex *v = static_cast<const UiImageVertex *>(it->data());
  // Top-left, top-right, bottom-right, top-left, bottom-right, bottom-left.
  const float want[6][4] = {{10, 20, 0.25f, 0.5f}, {42, 20, 0.75f, 0.5f}, {42, 36, 0.75f, 1}, {10, 20, 0.25f, 0.5f},
                            {42, 36, 0.75f, 1},   {10, 36, 0.25f, 1}};
  for (int i = 0; i < 6; i++)
  {
    EXPECT_FLOAT_EQ(v[i].x, want[i][0]);
    EXPECT_FLOAT_EQ(v[i].y, want[i][1]);
    EXPECT_FLOAT_EQ(v[i].u, want[i][2]);
    EXPECT_FLOAT_EQ(v[i].v, want[i][3]);
    EXPECT_EQ(v[i].color, 0xFFFFFFFFu);
  }
  b.render();
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("),
            (std::vector<std::string>{"DrawPrimitive(4, 0, 2)", "DrawPrimitive(4, 0, 2)"}));
  EXPECT_EQ(count("SetTexture(0, 77)"), 1);
}

TEST_F(UiRenderTest, DeclarationsMatchTheVertexLayouts)
{
  VDecl box = get_rounded_box_state()->vdecl;
  ASSERT_TRUE(rb.vdecls.count(box));
  const std::vector<D3dVertexElement> &e = rb.vdecls[box];
  ASSERT_EQ(e.size(), 8u);  // seven elements and the end
  const struct { uint16_t offset; uint8_t type, usage, index; } want[7] = {
    {0, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_POSITION, 0},   {8, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 0},
    {24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_TEXCOORD, 1}, {28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0},
    {32, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},    {36, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_TEXCOORD, 2},
    {40, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, 3},
  };
  for (int i = 0; i < 7; i++)
  {
    EXPECT_EQ(e[size_t(i)].offset, want[i].offset) << i;
    EXPECT_EQ(e[size_t(i)].type, want[i].type) << i;
    EXPECT_EQ(e[size_t(i)].usage, want[i].usage) << i;
    EXPECT_EQ(e[size_t(i)].usageIndex, want[i].index) << i;
  }
}
}  // namespace
