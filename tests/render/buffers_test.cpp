// Buffer pools and shared vertex declarations on the recording backend.
#include <gtest/gtest.h>
#include <unistd.h>

#include "render/texture.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "resource_fixture.h"

namespace
{
using Buffers = ResourceTest;
using VertexDecls = ResourceTest;

TEST_F(Buffers, PoolsTakeFirstFreeSlotsAndReportExhaustion)
{
  VertexBuffer *s = create_vb(96, BUF_STATIC);
  IndexBuffer *ib = create_ib(100, 0);
  ASSERT_TRUE(s && ib);
  EXPECT_EQ(s, vertex_buffer_slot(0));
  EXPECT_EQ(ib, index_buffer_slot(0));
  EXPECT_EQ(ib->size, 200u);  // 16-bit indices
  EXPECT_EQ(count("CreateVertexBuffer(96, static)"), 1);
  EXPECT_EQ(count("CreateIndexBuffer(200, dynamic)"), 1);

  for (int i = 1; i < MAX_BUFFERS; i++)
  {
    ASSERT_NE(create_vb(16, BUF_STATIC), nullptr);
    ASSERT_NE(create_ib(8, BUF_STATIC), nullptr);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_vb(16, 0), nullptr);
  EXPECT_EQ(create_ib(8, 0), nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("reached MAX_BUFFERS for VB"), std::string::npos);
  EXPECT_NE(out.find("reached MAX_BUFFERS for IB"), std::string::npos);

  free_vb(vertex_buffer_slot(7));
  free_ib(nullptr);  // ignored
  EXPECT_EQ(create_vb(32, 0), vertex_buffer_slot(7));
  close_d3d();
  EXPECT_EQ(rb.live_objects(), 0);
  EXPECT_FALSE(vertex_buffer_slot(7)->used);
}

TEST_F(Buffers, CreationFailuresLocksAndBinding)
{
  rb.buffer_error = D3DERR_OUTOFVIDEOMEMORY;
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_vb(16, 0), nullptr);
  EXPECT_EQ(create_ib(16, BUF_STATIC), nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("error creating VB (code 0x8876017C)"), std::string::npos);
  EXPECT_NE(out.find("error creating IB (code 0x8876017C)"), std::string::npos);
  EXPECT_FALSE(vertex_buffer_slot(0)->used);
  rb.buffer_error = D3D_OK;

  // More indices than 32 bits of bytes can count are refused, not wrapped to a small buffer.
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_ib(0x80000000u, 0), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("error creating IB"), std::string::npos);

  VertexBuffer *s = create_vb(64, BUF_STATIC);
  VertexBuffer *d = create_vb(64, 0);
  rb.clearLog();
  uint8_t *p = static_cast<uint8_t *>(lock_vb(s, 16, 16));
  ASSERT_NE(p, nullptr);
  p[0] = 42;
  unlock_vb(s);
  EXPECT_EQ(rb.buffers.at(s->buffer)[16], 42);
  ASSERT_NE(lock_vb(d, 0, 64), nullptr);
  unlock_vb(d);
  std::vector<std::string> locks = rb.callsStartingWith("LockBuffer(");
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_EQ(locks[0], "LockBuffer(" + std::to_string(s->buffer.id) + ", 16, 16)");  // static: in place
  EXPECT_EQ(locks[1], "LockBuffer(" + std::to_string(d->buffer.id) + ", 0, 64, discard)");
  // Ranges past the end never reach the device.
  EXPECT_EQ(lock_vb(s, 60, 8), nullptr);
  EXPECT_EQ(lock_vb(s, 64, 0), nullptr);
  EXPECT_EQ(lock_vb(s, 0xFFFFFFF0u, 32), nullptr);
  EXPECT_EQ(rb.callsStartingWith("LockBuffer(").size(), 2u);

  rb.clearLog();
  IndexBuffer *ib = create_ib(6, BUF_STATIC);
  set_vb(1, d, 8, 24);
  set_ib(ib);
  set_vb(0, nullptr, 0, 0);
  set_ib(nullptr);
  EXPECT_EQ(count("SetStreamSource(1, " + std::to_string(d->buffer.id) + ", 8, 24)"), 1);
  EXPECT_EQ(count("SetIndices(" + std::to_string(ib->buffer.id) + ")"), 1);
  EXPECT_EQ(count("SetStreamSource(0, 0, 0, 0)"), 1);
  EXPECT_EQ(count("SetIndices(0)"), 1);
}

TEST_F(Buffers, ResetRecreatesDynamicBuffersWithTheirSize)
{
  VertexBuffer *s = create_vb(64, BUF_STATIC);
  VertexBuffer *d = create_vb(4096, 0);
  IndexBuffer *di = create_ib(300, 0);
  Texture *rt = create_screen_render_target();
  BufferHandle static_buf = s->buffer, old_dyn = d->buffer;
  rb.clearLog();
  ASSERT_TRUE(resize_d3d(320, 240, false, true));
  EXPECT_EQ(s->buffer, static_buf);
  EXPECT_EQ(count("ReleaseBuffer(" + std::to_string(static_buf.id) + ")"), 0);
  EXPECT_EQ(count("ReleaseBuffer(" + std::to_string(old_dyn.id) + ")"), 1);
  EXPECT_EQ(count("CreateVertexBuffer(4096, dynamic)"), 1);
  EXPECT_EQ(count("CreateIndexBuffer(600, dynamic)"), 1);
  EXPECT_TRUE(d->used && di->used);
  EXPECT_NE(d->buffer.id, 0u);
  EXPECT_EQ(d->size, 4096u);

  // Order: buffers go before textures, textures come back before buffers.
  auto at = [&](const std::string &prefix) {
    for (int i = 0; i < int(rb.calls.size()); i++)
      if (rb.calls[size_t(i)].rfind(prefix, 0) == 0)
        return i;
    return -1;
  };
  EXPECT_LT(at("SetIndices(0)"), at("ReleaseBuffer("));
  EXPECT_LT(at("ReleaseBuffer("), at("ReleaseTexture("));
  EXPECT_LT(at("ReleaseTexture("), at("Reset("));
  EXPECT_LT(at("Reset("), at("CreateTexture(320x240"));
  EXPECT_LT(at("CreateTexture(320x240"), at("CreateVertexBuffer(4096"));
  EXPECT_NE(rt->tex.id, 0u);

  // A buffer that cannot be recreated logs the creation message and keeps its slot.
  rb.buffer_error = D3DERR_OUTOFVIDEOMEMORY;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(resize_d3d(320, 240, false, true));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("error creating VB (code 0x8876017C)"),
            std::string::npos);
  EXPECT_TRUE(d->used);
  EXPECT_EQ(d->buffer.id, 0u);
  EXPECT_EQ(lock_vb(d, 0, 0), nullptr);
}

TEST_F(Buffers, CreationNeedsADevice)
{
  close_d3d();
  EXPECT_EXIT(create_vb(16, 0), testing::ExitedWithCode(100), "failed ASSERT\\(d3d\\)");
}

const VsdElement pos_color_uv[] = {
    {0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
    {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
    {16, 1, VSDT_SHORT2, VSDU_TEXCOORD, 1},
    {20, 0, 9, 7, 0},  // unknown type and usage codes
    {0, VSD_END, 0, 0, 0},
};

TEST_F(VertexDecls, EqualDescriptionsShareOneDeclaration)
{
  VDecl a = create_vdecl(pos_color_uv);
  VsdElement copy[5];
  memcpy(copy, pos_color_uv, sizeof(copy));
  VDecl b = create_vdecl(copy);
  EXPECT_EQ(a, b);
  EXPECT_EQ(vdecl_count(), 1);
  EXPECT_EQ(count("CreateVertexDeclaration("), 1);

  const std::vector<D3dVertexElement> &e = rb.vdecls.at(a);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].type, D3DDECLTYPE_FLOAT3);
  EXPECT_EQ(e[0].usage, D3DDECLUSAGE_POSITION);
  EXPECT_EQ(e[1].type, D3DDECLTYPE_D3DCOLOR);
  EXPECT_EQ(e[1].usage, D3DDECLUSAGE_COLOR);
  EXPECT_EQ(e[2].stream, 1);
  EXPECT_EQ(e[2].offset, 16);
  EXPECT_EQ(e[2].type, D3DDECLTYPE_SHORT2);
  EXPECT_EQ(e[2].usage, D3DDECLUSAGE_TEXCOORD);
  EXPECT_EQ(e[2].usageIndex, 1);
  EXPECT_EQ(e[3].type, D3DDECLTYPE_UNUSED);
  EXPECT_EQ(e[3].usage, D3DDECLUSAGE_TANGENT);
  EXPECT_EQ(e[4].stream, 0xFF);
  EXPECT_EQ(e[4].type, D3DDECLTYPE_UNUSED);

  // A different offset, usage index or length is a different declaration.
  copy[2].usageIndex = 2;
  EXPECT_NE(create_vdecl(copy), a);
  copy[1] = copy[4];
  VDecl shorter = create_vdecl(copy);
  EXPECT_NE(shorter, a);
  EXPECT_EQ(vdecl_count(), 3);
  rb.clearLog();
  set_vdecl(shorter);
  EXPECT_EQ(rb.calls[0], "SetVertexDeclaration(" + std::to_string(shorter.id) + ")");

  close_d3d();
  EXPECT_EQ(vdecl_count(), 0);
  EXPECT_EQ(rb.live_objects(), 0);
}

TEST_F(VertexDecls, LimitsAndRefusals)
{
  VsdElement desc[40];
  for (int i = 0; i < 40; i++)
    desc[i] = VsdElement{uint16_t(i * 4), 0, VSDT_FLOAT1, VSDU_TEXCOORD, uint8_t(i)};
  desc[31].stream = VSD_END;  // 31 elements: the longest description
  EXPECT_NE(create_vdecl(desc).id, 0u);
  desc[31].stream = 0;
  desc[32].stream = VSD_END;
  EXPECT_EXIT(create_vdecl(desc), testing::ExitedWithCode(100), "failed ASSERT\\(i<MAX_VDECL_LEN\\)");

  // 64 distinct declarations fit; the 65th is fatal.
  VsdElement one[2] = {{0, 0, VSDT_FLOAT4, VSDU_POSITION, 0}, {0, VSD_END, 0, 0, 0}};
  for (int i = 1; i < MAX_VDECLS; i++)
  {
    one[0].offset = uint16_t(i);
    ASSERT_NE(create_vdecl(one).id, 0u);
  }
  EXPECT_EQ(vdecl_count(), MAX_VDECLS);
  one[0].offset = 1;
  EXPECT_NE(create_vdecl(one).id, 0u);  // an existing one is still found
  one[0].offset = 999;
  EXPECT_EXIT(create_vdecl(one), testing::ExitedWithCode(100), "reached maximum vertex declaration count");
}

TEST_F(VertexDecls, RefusedDeclarationDumpsTheDescription)
{
  rb.vdecl_error = D3DERR_INVALIDCALL;
  // The dump goes to the log (standard output): send it where the death test looks.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        create_vdecl(pos_color_uv);
      },
      testing::ExitedWithCode(100),
      "VSD:\n     0  0  3  0  0\n    12  0  5  2  0\n    16  1  6  3  1\n    20  0  9  7  0\n"
      ".*failed to create vertex declaration \\(code 0x8876086C\\)");
}
}  // namespace
