// Debug drawing: the switch between triangles and lines, and the geometry of the shapes.
#include <algorithm>
#include <set>
#include <tuple>

#include "batch_fixture.h"
#include "render/debug_vis.h"

namespace
{
class DebugVisTest : public BatchTest
{
protected:
  void SetUp() override
  {
    BatchTest::SetUp();
    init_debug_vis();
    rb.clearLog();
  }
  void TearDown() override
  {
    close_debug_vis();
    BatchTest::TearDown();
  }
  // The vertices written since start, read back from the buffer before the final flush.
  std::vector<DebugVisVertex> written() const
  {
    const DynVBWriter &w = common_vb_writer;
    size_t n = size_t(w.cur - w.startPtr) / sizeof(DebugVisVertex);
    const DebugVisVertex *v = reinterpret_cast<const DebugVisVertex *>(w.startPtr);
    return std::vector<DebugVisVertex>(v, v + n);
  }
};

using Pt = std::tuple<float, float, float>;
std::set<Pt> points(const std::vector<DebugVisVertex> &v)
{
  std::set<Pt> s;
  for (const DebugVisVertex &p : v)
    s.insert({p.x, p.y, p.z});
  return s;
}

TEST_F(DebugVisTest, SwitchingBetweenTrianglesAndLinesDrawsInOrder)
{
  start_draw_debug_vis();
  EXPECT_EQ(rb.callsStartingWith("SetRenderState(CULLMODE"), std::vector<std::string>{"SetRenderState(CULLMODE, 1)"});
  vec4f a = v_make(0, 0, 0, 1), b = v_make(1, 0, 0, 1), c = v_make(0, 1, 0, 1);
  draw_debug_vis_tri(a, b, c, 0xFFFF0000);
  draw_debug_vis_tri(a, c, b, 0xFFFF0000);
  EXPECT_EQ(common_vb_writer.cur - common_vb_writer.startPtr, 96) << "48 bytes a triangle";
  draw_debug_vis_line(a, b, 0xFF00FF00);
  EXPECT_EQ(debug_vis_mode(), uint32_t(D3DPT_LINELIST));
  EXPECT_EQ(common_vb_writer.cur - common_vb_writer.startPtr, 32) << "32 bytes a line";
  draw_debug_vis_line(b, c, 0xFF00FF00);
  draw_debug_vis_line(c, a, 0xFF00FF00);
  draw_debug_vis_tri(a, b, c, 0xFF0000FF);
  end_draw_debug_vis();
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("),
            (std::vector<std::string>{"DrawPrimitive(4, 0, 2)", "DrawPrimitive(2, 0, 3)", "DrawPrimitive(4, 0, 1)"}));
  EXPECT_EQ(rb.callsStartingWith("SetRenderState(CULLMODE").back(), "SetRenderState(CULLMODE, 3)");
  EXPECT_EQ(common_vb_writer.startPtr, nullptr);

  // A new start begins with triangles whatever the last mode was.
  rb.clearLog();
  start_draw_debug_vis();
  draw_debug_vis_line(a, b, 0xFF00FF00);
  end_draw_debug_vis();
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("), std::vector<std::string>{"DrawPrimitive(2, 0, 1)"});
}

TEST_F(DebugVisTest, ManyShapesFlushAtTheBufferEnd)
{
  start_draw_debug_vis();
  // 65536 / 48 = 1365 whole triangles fit; the 1366th draws the first batch.
  for (int i = 0; i < 1366; i++)
    draw_debug_vis_tri(v_zero(), v_make(1, 0, 0, 0), v_make(0, 1, 0, 0), 0xFFFFFFFF);
  end_draw_debug_vis();
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("),
            (std::vector<std::string>{"DrawPrimitive(4, 0, 1365)", "DrawPrimitive(4, 0, 1)"}));
}

TEST_F(DebugVisTest, BoxesTakeCornersInAnyOrder)
{
  start_draw_debug_vis();
  draw_debug_vis_cube(v_make(5, 6, 7, 1), 1, 0xFF123456);
  std::vector<DebugVisVertex> cube = written();
  ASSERT_EQ(cube.size(), 36u) << "12 triangles";
  std::set<Pt> want;
  for (int i = 0; i < 8; i++)
    want.insert({i & 1 ? 6.f : 4.f, i & 2 ? 7.f : 5.f, i & 4 ? 8.f : 6.f});
  EXPECT_EQ(points(cube), want) << "the 2 by 2 by 2 box centred on the point";
  for (const DebugVisVertex &v : cube)
    EXPECT_EQ(v.color, 0xFF123456u);
  // Each face of the cube: two triangles covering a whole side (area 4 each side).
  float area = 0;
  for (size_t i = 0; i < cube.size(); i += 3)
  {
    const DebugVisVertex &a = cube[i], &b = cube[i + 1], &c = cube[i + 2];
    float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
    float cx = uy * wz - uz * wy, cy = uz * wx - ux * wz, cz = ux * wy - uy * wx;
    area += 0.5f * std::sqrt(cx * cx + cy * cy + cz * cz);
  }
  EXPECT_FLOAT_EQ(area, 24.f);
  end_draw_debug_vis();

  // The same box from opposite corners, from mixed corners, grown from a smaller box.
  const vec4f corners[3][2] = {{v_make(6, 7, 8, 1), v_make(4, 5, 6, 1)},
                               {v_make(4, 7, 6, 1), v_make(6, 5, 8, 1)},
                               {v_make(5.5f, 6.5f, 7.5f, 1), v_make(4.5f, 5.5f, 6.5f, 1)}};
  for (int k = 0; k < 3; k++)
  {
    start_draw_debug_vis();
    draw_debug_vis_solid_box(corners[k][0], corners[k][1], 0xFF123456, k == 2 ? 0.5f : 0.f);
    EXPECT_EQ(points(written()), want) << k;
    end_draw_debug_vis();
  }
}

TEST_F(DebugVisTest, WireBoxesAndCrossPointsAreLines)
{
  start_draw_debug_vis();
  draw_debug_vis_wire_box(v_make(1, 1, 1, 1), v_make(0, 0, 0, 1), 0xFF00FF00);
  std::vector<DebugVisVertex> lines = written();
  ASSERT_EQ(lines.size(), 24u);
  for (size_t i = 0; i < lines.size(); i += 2)
  {
    const DebugVisVertex &a = lines[i], &b = lines[i + 1];
    float len = std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
    EXPECT_FLOAT_EQ(len, 1.f) << "an edge joins corners differing along one axis";
  }
  EXPECT_EQ(points(lines).size(), 8u);
  end_draw_debug_vis();

  start_draw_debug_vis();
  draw_debug_vis_cross_point(v_make(10, 20, 30, 1), 2, 0xFFFFFFFF);
  std::vector<DebugVisVertex> cross = written();
  ASSERT_EQ(cross.size(), 6u);
  EXPECT_EQ(points(cross), (std::set<Pt>{{8, 20, 30}, {12, 20, 30}, {10, 18, 30}, {10, 22, 30}, {10, 20, 28}, {10, 20, 32}}));
  end_draw_debug_vis();
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("),
            (std::vector<std::string>{"DrawPrimitive(2, 0, 12)", "DrawPrimitive(2, 0, 3)"}));
}
}  // namespace
