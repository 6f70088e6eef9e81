// Instanced renderers on the recording device: records drawn in flushes of whole records in the
// order written, blocks recycled, instancing and culling put back; declarations of every kind
// with every mesh layout fit the vertex inputs; the house pieces and their placement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "../render/shader_fixture.h"
#include "mesh_builder.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/mesh.h"
#include "render/resource_hooks.h"
#include "render/vbuf.h"
#include "world_render/inst_objects.h"
#include "world_render/shadows.h"

namespace
{
const char *empty_shader = "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n";

// A triangle mesh of the given layout.
MeshFile triangle(Layout layout)
{
  Builder b;
  for (V3 p : {V3{0, 0, 0}, V3{1, 0, 0}, V3{0, 0, 1}})
  {
    Vtx v;
    v.p = p;
    v.n = {0, 1, 0};
    b.add(v);
  }
  b.tri(0, 1, 2, {0, 1, 0});
  return pack_mesh(b, layout, "lo.sh", "hi.sh", {{0, 1, 0, 0.5f}, {0, 3, 0, 0.25f}});
}

class InstTest : public testing::Test
{
protected:
  RecordingBackend rb;
  ShaderAppDir app;

  void SetUp() override
  {
    set_render_backend(&rb);
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    for (const char *s : {"lo.sh", "hi.sh", "dr_shadow.sh"})
      app.write(s, empty_shader);
    for (Layout l : {Layout::Simple, Layout::Morph, Layout::Building})
    {
      std::vector<uint8_t> bytes = encode_mesh(triangle(l));
      app.write("t" + std::to_string(int(l)) + ".mesh", std::string(bytes.begin(), bytes.end()));
    }
  }
  void TearDown() override
  {
    close_all_inst_renderers();
    close_obj_shadows();
    free_inst_blocks();
    free_all_meshes();
    common_vb_writer.close();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
  }
  int count(const char *prefix) const { return int(rb.callsStartingWith(prefix).size()); }
};

TEST_F(InstTest, RecordsAreDrawnInFlushesOfWholeRecordsInTheOrderWritten)
{
  SimpleInstRender r;
  r.init("t0.mesh", 0);
  rb.clearLog();
  r.render();
  EXPECT_TRUE(rb.calls.empty()) << "an empty queue draws nothing";

  const int n = 3000;  // 2340 records of 28 bytes fill the writer, 660 follow
  for (int i = 0; i < n; i++)
  {
    SimpleInstData d;
    make_simple_inst(m44_identity(), 0xFF000000u | uint32_t(i), d);
    memcpy(r.addInstance(), &d, sizeof(d));
  }
  EXPECT_EQ(r.instanceCount(), n);
  const int blocks = r.queue.count;
  EXPECT_EQ(blocks, (n + INST_BLOCK_BYTES / 28 - 1) / (INST_BLOCK_BYTES / 28));
  r.render();
  EXPECT_EQ(rb.callsStartingWith("DrawIndexedPrimitive("),
            (std::vector<std::string>{"DrawIndexedPrimitive(4, 0, 0, 3, 0, 1)", "DrawIndexedPrimitive(4, 0, 0, 3, 0, 1)"}));
  EXPECT_EQ(count("SetStreamSourceFreq(0, 0x40000924)"), 1) << "2340 records";
  EXPECT_EQ(count("SetStreamSourceFreq(0, 0x40000294)"), 1) << "660 records";
  EXPECT_EQ(rb.callsStartingWith("SetStreamSourceFreq(").back(), "SetStreamSourceFreq(1, 0x00000001)")
      << "instancing off after the draw";
  EXPECT_EQ(count("SetTexture(0, 0)"), 1) << "a mesh without textures unbinds stage 0";
  EXPECT_EQ(rb.callsStartingWith("SetRenderState(CULLMODE").back(), "SetRenderState(CULLMODE, 3)");
  const std::vector<uint8_t> &last = rb.buffers[common_vb_writer.vb->buffer];
  for (int i = 0; i < 660; i++)
  {
    uint32_t color;
    memcpy(&color, last.data() + 28 * i + 24, 4);
    ASSERT_EQ(color & 0xFFFFFF, uint32_t(2340 + i)) << "the second flush starts where the first ended";
  }
  EXPECT_EQ(r.queue.head, nullptr);
  int free_blocks = 0;
  for (InstBlock *b = inst_free_blocks; b; b = b->next)
    free_blocks += b->used == 0;
  EXPECT_EQ(free_blocks, blocks) << "every block back on the free list, empty";
  r.addInstance();
  EXPECT_EQ(r.queue.count, 1);
  r.close();
}

TEST_F(InstTest, DeclarationsOfEveryKindFitTheVertexInputs)
{
  SimpleInstRender simple;
  MorphInstRender morph;
  SplineInstRender spline;
  BuildingInstRender building;
  const struct
  {
    InstRender *r;
    const char *mesh;
  } kinds[] = {{&simple, "t0.mesh"}, {&morph, "t1.mesh"}, {&spline, "t0.mesh"}, {&building, "t3.mesh"}};
  for (const auto &k : kinds)
  {
    rb.clearLog();
    k.r->init(k.mesh, 1);
    EXPECT_EQ(rb.callsStartingWith("CreateVertexShader").size(), k.r == &simple ? 1u : 0u) << "hi.sh is shared";
    const std::vector<D3dVertexElement> &e = rb.vdecls[k.r->decl];
    int inum = 0;
    k.r->instElements(inum);
    ASSERT_EQ(int(e.size()), k.r->mesh->vsd.size() + inum + 1);
    uint32_t taken = 0;
    int stream1 = 0;
    for (size_t i = 0; i + 1 < e.size(); i++)
    {
      int loc = gl_attrib_location(e[i].usage, e[i].usageIndex);
      ASSERT_TRUE(loc >= 0 && loc < 16) << i;
      EXPECT_FALSE(taken & (1u << loc)) << "element " << i << " shares location " << loc;
      taken |= 1u << loc;
      stream1 += e[i].stream == 1;
      if (e[i].stream == 1)
      {
        EXPECT_LE(e[i].offset + 4, k.r->instStride());
      }
    }
    EXPECT_EQ(stream1, inum);
  }
  EXPECT_STREQ(shader_slots[0].name, "hi.sh") << "quality 1 takes the second name";

  init_obj_shadows();
  for (VDecl d : shadow_state.decls)
  {
    uint32_t taken = 0;
    for (const D3dVertexElement &e : rb.vdecls[d])
      if (e.stream != 0xFF)
      {
        int loc = gl_attrib_location(e.usage, e.usageIndex);
        ASSERT_TRUE(loc >= 0 && loc < 16 && !(taken & (1u << loc)));
        taken |= 1u << loc;
      }
  }
  for (const auto &k : kinds)
    k.r->close();
}

TEST_F(InstTest, HousePiecesStandOnTheirSquares)
{
  for (int i = 0; i < num_house_tiles; i++)
  {
    const InstRendererEntry *e = nullptr;
    for (const InstRendererEntry &x : inst_renderers)
      if (x.render == house_tile_info[i])
        e = &x;
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, house_piece_inst_names[i]);
  }
  static float heights[256 * 256];
  for (int i = 0; i < 256 * 256; i++)
    heights[i] = float(i);
  HeightmapData::Surface s = {0xFF123456, 0, 0, 0, 5, HP_CASTLE_WALK, 0};
  BuildingInstData d = make_house_piece_inst(s, 255, 511, heights);
  EXPECT_EQ(d.x, 255);
  EXPECT_EQ(d.z, 511);
  EXPECT_EQ(d.heights[0], float((255 << 8) | 255)) << "coordinates wrap";
  EXPECT_EQ(d.heights[1], float(255 << 8));
  EXPECT_EQ(d.heights[2], float(255));
  EXPECT_EQ(d.heights[3], 0.f);
  EXPECT_EQ(d.rotColor, 0x05123456u);

  EXPECT_FALSE(queue_house_piece(s, 0, 0, heights)) << "no mesh yet";
  castle_walk_inst.init("t3.mesh", 0);
  EXPECT_TRUE(queue_house_piece(s, 0, 0, heights));
  s.house_piece = 19;
  EXPECT_FALSE(queue_house_piece(s, 0, 0, heights)) << "no such piece";
  EXPECT_EQ(castle_walk_inst.instanceCount(), 1);
}

TEST_F(InstTest, PackedRowsAndShadowBallsFollowTheMatrix)
{
  Matrix44 tm = m44_identity();
  const float a = 0.6f, s = 2.5f;
  m44_set_row(tm, 0, v_make(std::cos(a) * s, 0, -std::sin(a) * s, 0));
  m44_set_row(tm, 1, v_make(0, s, 0, 0));
  m44_set_row(tm, 2, v_make(std::sin(a) * s, 0, std::cos(a) * s, 0));
  m44_set_row(tm, 3, v_make(10, 20, 30, 1));
  SimpleInstData d;
  make_simple_inst(tm, 0x80808080, d);
  for (int i = 0; i < 3; i++)
    for (int k = 0; k < 3; k++)
    {
      const uint32_t c = d.rows[i];
      const float dir = float((c >> (16 - 8 * k)) & 255) / 255.f * 2 - 1, len = float(c >> 24) / 255.f * INST_ROW_SCALE;
      EXPECT_NEAR(dir * len, tm.m[i][k], 0.05f) << i << " " << k;
    }
  EXPECT_EQ(d.pos[2], 30.f);

  stone1_inst.init("t0.mesh", 0);
  ShadowView view = {m44_identity(), v_make(1, 1, 1, 0), v_zero(), v_make(0, 1, 0, 0)};
  start_render_shadows(view);
  stone1_inst.renderShadowBalls(tm, 2.f);
  ASSERT_EQ(shadow_state.debugBalls.size(), 2);
  EXPECT_NEAR(v_extract_y(shadow_state.debugBalls[1]), 20 + 3 * s, 1e-4f);
  EXPECT_NEAR(v_extract_w(shadow_state.debugBalls[1]), 0.5f, 1e-6f) << "radius times the scale";
}
}  // namespace
