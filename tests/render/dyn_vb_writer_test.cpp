// The shared vertex writer: when it draws, what it draws, and its misuse checks.
#include <gmock/gmock.h>

#include "batch_fixture.h"
#include "render/d3d_types.h"

BatchTest *BatchTest::active = nullptr;

namespace
{
using WriterTest = BatchTest;

TEST_F(WriterTest, FlushesOnlyWhenTheNextWriteWouldPassTheBufferEnd)
{
  DynVBWriter &w = common_vb_writer;
  bytes_per_prim = 64;
  w.start(capture, 7);
  for (int i = 0; i < COMMON_VB_WRITER_SIZE / 64; i++)
    memset(w.alloc(64, 1), i & 255, 64);
  EXPECT_EQ(w.spaceLeft(), 0);
  EXPECT_TRUE(draws.empty()) << "writing exactly up to the end must not draw";

  // One byte more: everything so far is drawn first, the byte lands at the start again.
  uint8_t *p = static_cast<uint8_t *>(w.alloc(1, 1));
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].count, COMMON_VB_WRITER_SIZE / 64);
  EXPECT_EQ(draws[0].parameter, 7u);
  EXPECT_EQ(draws[0].bytes[64 * 1023], 1023 & 255);
  EXPECT_EQ(p, w.startPtr);
  EXPECT_EQ(w.count, 1);
  EXPECT_EQ(w.renderFunc, capture) << "a flush that is not final keeps the callback";

  w.flush(true);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[1].count, 1);
  EXPECT_EQ(w.startPtr, nullptr);
  EXPECT_EQ(w.renderFunc, nullptr);
  // Every lock discards the old contents (the driver renames the buffer).
  for (const std::string &l : rb.callsStartingWith("LockBuffer"))
    EXPECT_THAT(l, testing::HasSubstr("discard"));
}

TEST_F(WriterTest, FlushesWithNothingWrittenDrawNothing)
{
  DynVBWriter &w = common_vb_writer;
  w.flush(true);  // not started: nothing happens
  w.start(capture, 0);
  w.flush(false);
  EXPECT_NE(w.startPtr, nullptr) << "an empty flush that is not final keeps the lock";
  EXPECT_EQ(count("LockBuffer"), 1);
  w.flush(true);
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(w.renderFunc, nullptr);
  EXPECT_EQ(w.startPtr, nullptr);
  EXPECT_EQ(count("UnlockBuffer"), 1);
  // Startable again.
  w.start(capture, 0);
  w.write("abcd", 4, 1);
  bytes_per_prim = 4;
  w.flush(true);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(std::string(draws[0].bytes.begin(), draws[0].bytes.end()), "abcd");
}

TEST_F(WriterTest, StandardAndInstancedCallbacksDraw)
{
  DynVBWriter &w = common_vb_writer;
  w.start(std_dyn_vb_render, D3DPT_LINELIST);
  w.alloc(32, 1);
  w.alloc(32, 1);
  w.flush(true);
  EXPECT_EQ(rb.callsStartingWith("DrawPrimitive("), std::vector<std::string>{"DrawPrimitive(2, 0, 2)"});

  rb.clearLog();
  w.start(inst_dyn_vb_render, inst_render_param(24, 12));
  for (int i = 0; i < 5; i++)
    w.alloc(40, 1);
  w.flush(true);
  EXPECT_EQ(rb.callsStartingWith("DrawIndexedPrimitive("),
            std::vector<std::string>{"DrawIndexedPrimitive(4, 0, 0, 24, 0, 12)"});
  EXPECT_EQ(count("SetStreamSourceFreq(0, 0x40000005)"), 1) << "five instances";
  const std::vector<std::string> freq = rb.callsStartingWith("SetStreamSourceFreq(");
  ASSERT_GE(freq.size(), 2u);
  EXPECT_EQ(freq[freq.size() - 2], "SetStreamSourceFreq(0, 0x00000001)") << "a later draw has one instance";
  EXPECT_EQ(freq.back(), "SetStreamSourceFreq(1, 0x00000001)");
}

TEST_F(WriterTest, BufferFollowsAResetInItsSlot)
{
  DynVBWriter &w = common_vb_writer;
  VertexBuffer *vb = w.vb;
  ASSERT_TRUE(resize_d3d(800, 600, false, false));
  EXPECT_EQ(w.vb, vb);
  ASSERT_NE(vb->buffer.id, 0u);
  EXPECT_EQ(vb->size, uint32_t(COMMON_VB_WRITER_SIZE));
  w.start(capture, 0);
  EXPECT_NE(w.startPtr, nullptr);
  w.flush(true);
}

TEST_F(WriterTest, MisuseIsFatal)
{
  DynVBWriter &w = common_vb_writer;
  w.start(capture, 0);
  EXPECT_EXIT(w.start(capture, 0), testing::ExitedWithCode(100), "failed ASSERT\\(!startPtr\\)");
  EXPECT_EXIT(w.close(), testing::ExitedWithCode(100), "failed ASSERT\\(!startPtr\\)");
  EXPECT_EXIT(w.init(1024), testing::ExitedWithCode(100), "failed ASSERT\\(!startPtr\\)");
  EXPECT_EXIT(w.alloc(COMMON_VB_WRITER_SIZE + 1, 1), testing::ExitedWithCode(100), "failed ASSERT");
  w.flush(true);
  EXPECT_EXIT(w.alloc(16, 1), testing::ExitedWithCode(100), "failed ASSERT\\(startPtr\\)");

  w.close();
  rb.buffer_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_EXIT(w.init(65536), testing::ExitedWithCode(100), "can't create dynamic VB of size 65536");
}

TEST_F(WriterTest, AbandonDropsALockWithoutDrawing)
{
  DynVBWriter &w = common_vb_writer;
  w.start(capture, 0);
  w.alloc(48, 1);
  w.abandon();
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(w.startPtr, nullptr);
  w.close();  // the orderly shutdown after a fatal error in mid-draw can close it
  EXPECT_EQ(w.vb, nullptr);
}
}  // namespace
