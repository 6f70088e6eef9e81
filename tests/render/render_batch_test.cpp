// Render batches: which items share a group, that the drawn picture equals drawing in submission
// order, state changes between groups, and the pool across frames.
#include <random>

#include "batch_fixture.h"
#include "render/render_batch.h"
#include "render/texture.h"

namespace
{
// An item for these tests: its rectangle and its state's number, drawn as one primitive.
struct TestPrim
{
  BatchRect rect;
  int state;
};

// A state that draws through the capturing callback and notes its applies and finishes.
class CaptureState : public BaseRenderBatchState
{
public:
  int id = 0;
  std::vector<std::string> *log = nullptr;
  void apply(BaseRenderBatchState *prev) override
  {
    BaseRenderBatchState::apply(prev);
    log->push_back("apply " + std::to_string(id));
    common_vb_writer.start(BatchTest::capture, uint64_t(id));
  }
  void finish() override
  {
    BaseRenderBatchState::finish();
    log->push_back("finish " + std::to_string(id));
  }
};

class RenderBatchTest : public BatchTest
{
protected:
  std::vector<std::string> events;
  CaptureState states[4];

  void SetUp() override
  {
    BatchTest::SetUp();
    bytes_per_prim = sizeof(TestPrim);
    for (int i = 0; i < 4; i++)
    {
      states[i].id = i;
      states[i].log = &events;
    }
  }
  void add(RenderBatch &b, int state, float x0, float y0, float x1, float y1)
  {
    TestPrim p = {{x0, y0, x1, y1}, state};
    memcpy(b.add(&states[state], p.rect, sizeof(p), 1), &p, sizeof(p));
  }
  // The primitives in the order the writer drew them.
  std::vector<TestPrim> drawn() const
  {
    std::vector<TestPrim> out;
    for (const CapturedDraw &d : draws)
      for (size_t i = 0; i + sizeof(TestPrim) <= d.bytes.size(); i += sizeof(TestPrim))
      {
        TestPrim p;
        memcpy(&p, d.bytes.data() + i, sizeof(p));
        EXPECT_EQ(uint64_t(p.state), d.parameter) << "drawn with another item's state";
        out.push_back(p);
      }
    return out;
  }
};

// Paints integer rectangles (half-open) into a grid, later ones over earlier ones.
std::vector<int> paint(const std::vector<TestPrim> &prims, int size)
{
  std::vector<int> grid(size_t(size * size), -1);
  for (const TestPrim &p : prims)
    for (int y = int(p.rect.y0); y < int(p.rect.y1); y++)
      for (int x = int(p.rect.x0); x < int(p.rect.x1); x++)
        grid[size_t(y * size + x)] = p.state;
  return grid;
}

TEST_F(RenderBatchTest, ItemsMoveBackOnlyPastGroupsTheyDoNotCover)
{
  RenderBatch b;
  // Same state around a separate item of another state: one group for both.
  add(b, 0, 0, 0, 10, 10);
  add(b, 1, 20, 0, 30, 10);
  add(b, 0, 40, 0, 50, 10);
  ASSERT_EQ(b.groups.size(), 2);
  EXPECT_EQ(b.groups[0].state, &states[0]);
  EXPECT_EQ(b.groups[0].first->next, b.groups[0].last);
  EXPECT_FLOAT_EQ(b.groups[0].rect.x1, 50.f);

  // Covering an item of the later group: a new group at the end.
  add(b, 0, 25, 5, 35, 15);
  ASSERT_EQ(b.groups.size(), 3);
  EXPECT_EQ(b.groups[2].state, &states[0]);

  // Later items of that state join the newest group of it.
  add(b, 0, 60, 0, 61, 1);
  EXPECT_EQ(b.groups.size(), 3);
  EXPECT_FLOAT_EQ(b.groups[2].rect.x1, 61.f);

  // Group bounds overlap but no item does: state 1 moves back past group 2 into group 1.
  RenderBatch c;
  add(c, 1, 0, 0, 10, 10);
  add(c, 0, 0, 20, 10, 30);
  add(c, 0, 20, 0, 30, 10);  // group 0's bounds now cover (0..30, 0..30)
  add(c, 1, 20, 20, 30, 30);
  EXPECT_EQ(c.groups.size(), 2);
}

TEST_F(RenderBatchTest, TouchingEdgesCountOnTheMinSideOnly)
{
  // The new item's left edge on the later item's right edge: overlap, a new group.
  RenderBatch a;
  add(a, 0, 0, 0, 10, 10);
  add(a, 1, 10, 0, 20, 10);
  add(a, 0, 20, 0, 30, 10);
  EXPECT_EQ(a.groups.size(), 3);
  // The new item's right edge on the later item's left edge: no overlap, one group.
  RenderBatch b;
  add(b, 0, 30, 0, 40, 10);
  add(b, 1, 10, 0, 20, 10);
  add(b, 0, 0, 0, 10, 10);
  EXPECT_EQ(b.groups.size(), 2);
  // The same along y.
  RenderBatch c;
  add(c, 0, 0, 0, 10, 10);
  add(c, 1, 0, 10, 10, 20);
  add(c, 0, 0, 20, 10, 30);
  EXPECT_EQ(c.groups.size(), 3);
  RenderBatch d;
  add(d, 0, 0, 30, 10, 40);
  add(d, 1, 0, 10, 10, 20);
  add(d, 0, 0, 0, 10, 10);
  EXPECT_EQ(d.groups.size(), 2);
}

TEST_F(RenderBatchTest, DrawnPictureEqualsSubmissionOrder)
{
  constexpr int S = 24;
  int groups_total = 0, items_total = 0;
  for (unsigned seed = 1; seed <= 200; seed++)
  {
    std::mt19937 rnd(seed);
    RenderBatch b(1024);  // small blocks: items spread over several
    std::vector<TestPrim> submitted;
    int n = 5 + int(rnd() % 40);
    for (int i = 0; i < n; i++)
    {
      int x0 = int(rnd() % S), y0 = int(rnd() % S);
      int x1 = x0 + 1 + int(rnd() % 8), y1 = y0 + 1 + int(rnd() % 8);
      x1 = x1 > S ? S : x1;
      y1 = y1 > S ? S : y1;
      int st = int(rnd() % 4);
      add(b, st, float(x0), float(y0), float(x1), float(y1));
      submitted.push_back({{float(x0), float(y0), float(x1), float(y1)}, st});
    }
    draws.clear();
    b.render();
    std::vector<TestPrim> got = drawn();
    ASSERT_EQ(got.size(), submitted.size()) << "seed " << seed;
    ASSERT_EQ(paint(got, S), paint(submitted, S)) << "seed " << seed;
    groups_total += b.groups.size();
    items_total += n;
  }
  // Regrouping really happens (a batch that never merges would pass the picture check).
  EXPECT_LT(groups_total, items_total * 3 / 4);
}

TEST_F(RenderBatchTest, GroupsApplyTheirStateAndFinishInOrder)
{
  Texture t1, t2;
  t1.tex = TextureHandle{901};
  t2.tex = TextureHandle{902};
  states[0].texture = &t1;
  states[1].texture = &t2;  // same shader and declaration, another texture
  RenderBatch b;
  add(b, 0, 0, 0, 10, 10);
  add(b, 1, 5, 5, 15, 15);
  add(b, 0, 8, 8, 20, 20);
  b.render();
  EXPECT_EQ(events, (std::vector<std::string>{"apply 0", "finish 0", "apply 1", "finish 1", "apply 0", "finish 0"}));
  // The first group binds everything; later ones only what changed (the texture).
  EXPECT_EQ(count("SetShaders("), 1);
  EXPECT_EQ(count("SetVertexDeclaration("), 1);
  EXPECT_EQ(rb.callsStartingWith("SetTexture(0"),
            (std::vector<std::string>{"SetTexture(0, 901)", "SetTexture(0, 902)", "SetTexture(0, 901)"}));
  EXPECT_EQ(draws.size(), 3u);
  EXPECT_EQ(common_vb_writer.startPtr, nullptr);
  // Rendering leaves the batch filled: a second render draws the same again.
  draws.clear();
  b.render();
  EXPECT_EQ(draws.size(), 3u);
}

TEST_F(RenderBatchTest, StdStateBindsTheWriterAndDrawsTriangleLists)
{
  StdRenderBatchState st;
  st.stride = 24;
  RenderBatch b;
  for (int i = 0; i < 3; i++)
    memset(b.add(&st, {float(i * 10), 0, float(i * 10 + 5), 5}, 6 * 24, 2), 0, 6 * 24);
  b.render();
  EXPECT_EQ(count("SetStreamSource(0, " + std::to_string(common_vb_writer.vb->buffer.id) + ", 0, 24)"), 1);
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("), std::vector<std::string>{"DrawPrimitive(4, 0, 6)"});
}

TEST_F(RenderBatchTest, ItemsSplitAtTheWriterEndAndOversizedItemsAreFatal)
{
  RenderBatch b(4096);
  // Three items of 30000 bytes: the third does not fit after two.
  for (int i = 0; i < 3; i++)
  {
    TestPrim *p = static_cast<TestPrim *>(b.add(&states[0], {float(i), 0, float(i) + 1, 1}, 30000, 1));
    memset(static_cast<void *>(p), 0, 30000);
    *p = {{float(i), 0, float(i) + 1, 1}, 0};
  }
  bytes_per_prim = 30000;
  b.render();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].count, 2);
  EXPECT_EQ(draws[1].count, 1);

  RenderBatch big;
  memset(big.add(&states[0], {0, 0, 1, 1}, COMMON_VB_WRITER_SIZE + 16, 1), 0, COMMON_VB_WRITER_SIZE + 16);
  EXPECT_EXIT(big.render(), testing::ExitedWithCode(100), "batch vertex buffer is not large enough");
}

TEST_F(RenderBatchTest, ClearKeepsThePoolBlocksForTheNextFrame)
{
  RenderBatch b(2048);
  auto fill = [&] {
    for (int i = 0; i < 100; i++)
      add(b, i % 3, float(i), 0, float(i) + 0.5f, 1);
  };
  fill();
  std::vector<AccumAlloc::Block *> blocks;
  for (AccumAlloc::Block *k = b.pool.head; k; k = k->next)
    blocks.push_back(k);
  ASSERT_GT(blocks.size(), 1u);

  b.clear();
  EXPECT_EQ(b.groups.size(), 0);
  draws.clear();
  b.render();
  EXPECT_TRUE(draws.empty());

  fill();
  std::vector<AccumAlloc::Block *> again;
  for (AccumAlloc::Block *k = b.pool.head; k; k = k->next)
    again.push_back(k);
  EXPECT_EQ(again, blocks) << "the same blocks serve the next frame, none added";
  EXPECT_EQ(b.groups.size(), 3);
  b.render();
  EXPECT_EQ(drawn().size(), 100u);
}

TEST_F(RenderBatchTest, SwappedCornersStillCoverTheArea)
{
  RenderBatch b;
  add(b, 0, 0, 0, 10, 10);
  add(b, 1, 12, 12, 2, 2);  // corners swapped: covers 2..12
  add(b, 0, 5, 5, 6, 6);    // under that item: may not move back before it
  EXPECT_EQ(b.groups.size(), 3);
  EXPECT_FLOAT_EQ(b.groups[1].rect.x0, 2.f);
}
}  // namespace
