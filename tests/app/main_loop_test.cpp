#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/app_globals.h"
#include "platform/timer.h"

namespace
{
constexpr int64_t FREQ = 1000000;  // one tick per microsecond
constexpr int64_t STEP = FREQ / 20;

// A fake clock with fixed costs for each kind of work.
class FakeDriver : public MainLoopDriver
{
public:
  int64_t t = 0;
  int64_t updateCost = 2000, renderCost = 3000, presentCost = 500, passCost = 0;
  bool deviceOk = true;
  int updates = 0, frames = 0, presents = 0, secondChecks = 0, passes = 0, sleeps = 0;
  std::string log;  // 'U' update, 'R' rendered frame
  std::function<bool(FakeDriver &)> stopWhen;
  std::function<void(FakeDriver &)> onUpdate;
  float minRenderIk = 1e9f, maxRenderIk = -1e9f;

  int64_t counter() override { return t; }
  void processMessages() override
  {
    passes++;
    t += passCost;
    if (stopWhen && stopWhen(*this))
      quit = true;
  }
  bool quitRequested() override { return quit; }
  void update(float dt) override
  {
    EXPECT_EQ(time_ik, 1.0f);
    EXPECT_EQ(dt, 0.05f);
    updates++;
    log += 'U';
    t += updateCost;
    if (onUpdate)
      onUpdate(*this);
  }
  void clearStepInput() override {}
  bool checkDevice() override { return deviceOk; }
  bool renderFrame(float dt) override
  {
    if (!deviceOk)
      return false;
    minRenderIk = std::min(minRenderIk, time_ik);
    maxRenderIk = std::max(maxRenderIk, time_ik);
    frames++;
    log += 'R';
    t += renderCost;
    return true;
  }
  void present() override
  {
    presents++;
    t += presentCost;
  }
  void sleepMsec(int ms) override
  {
    sleeps++;
    t += int64_t(ms) * 1000 + 1;
  }
  void oncePerSecond() override { secondChecks++; }

  bool quit = false;
};

class MainLoopTest : public testing::Test
{
protected:
  void SetUp() override
  {
    init_timer(FREQ);
    set_update_rate(20, 5);
    main_loop.one_frame_per_step = main_loop.fast = false;
    set_frame_cap(0);
  }
};
}  // namespace

TEST_F(MainLoopTest, UpdateRateRules)
{
  set_update_rate(0, -3);
  EXPECT_EQ(main_loop.step_ticks, FREQ);
  EXPECT_EQ(main_loop.max_catchup_steps, 0);
  init_timer(10);
  set_update_rate(20, 5);
  EXPECT_EQ(main_loop.step_ticks, 1);
}

TEST_F(MainLoopTest, TwentyStepsPerSimulatedSecondAndInterpolatedRenders)
{
  FakeDriver d;
  int simUpdatesBeforeOneSecond = 0;
  d.onUpdate = [&](FakeDriver &) {
    if (main_loop.last_update_time < FREQ)
      simUpdatesBeforeOneSecond++;
  };
  d.stopWhen = [](FakeDriver &f) { return f.t >= 3 * FREQ; };
  run_main_loop(d);
  EXPECT_EQ(simUpdatesBeforeOneSecond, 20);
  EXPECT_GE(d.updates, 60);
  EXPECT_LE(d.updates, 61);
  EXPECT_GT(d.frames, 60);
  EXPECT_GE(d.minRenderIk, 0.0f);
  EXPECT_LT(d.maxRenderIk, 1.0f);
  EXPECT_EQ(d.presents, d.frames);  // the last frame is presented before the loop returns
  EXPECT_GE(d.secondChecks, 2);
  EXPECT_LE(main_loop.frames_per_second, d.frames);
}

TEST_F(MainLoopTest, StallGivesAtMostSixUpdatesThenOneFrameThenNormalPace)
{
  FakeDriver d;
  size_t stallAt = 0;
  d.onUpdate = [&](FakeDriver &f) {
    if (f.updates == 10)
    {
      f.t += 4 * FREQ;  // a four-second stall inside an update
      stallAt = f.log.size() - 1;
    }
  };
  d.stopWhen = [](FakeDriver &f) { return f.t >= 6 * FREQ; };
  run_main_loop(d);
  ASSERT_GT(stallAt, 0u);
  std::string after = d.log.substr(stallAt);
  EXPECT_EQ(after.substr(0, 8), "UUUUUURU") << after.substr(0, 40);
  // Then the backlog is gone: never two updates in a row again.
  EXPECT_EQ(after.find("UU", 8), std::string::npos) << after;
  // About one more second of simulation after the stall, not five.
  int later = 0;
  for (size_t i = 8; i < after.size(); i++)
    later += after[i] == 'U';
  EXPECT_GE(later, 25);
  EXPECT_LE(later, 40);
}

TEST_F(MainLoopTest, CounterGoingBackwardsRebasesTheClock)
{
  FakeDriver d;
  d.onUpdate = [&](FakeDriver &f) {
    if (f.updates == 10)
      f.t -= 10 * FREQ;
  };
  bool jumped = false;
  int64_t start = 0;
  d.stopWhen = [&](FakeDriver &f) {
    if (f.updates >= 10 && !jumped)
      jumped = true, start = f.t;
    return jumped && f.t >= start + 2 * FREQ;
  };
  run_main_loop(d);
  // Two more seconds of steady stepping after the jump, without a catch-up burst or a hang.
  EXPECT_GE(d.updates, 10 + 38);
  EXPECT_LE(d.updates, 10 + 42);
  EXPECT_EQ(d.log.find("UU"), std::string::npos);
}

TEST_F(MainLoopTest, LostDeviceSleepsAndKeepsSimulating)
{
  FakeDriver d;
  d.deviceOk = false;
  d.stopWhen = [](FakeDriver &f) { return f.t >= FREQ; };
  run_main_loop(d);
  EXPECT_EQ(d.frames, 0);
  EXPECT_GE(d.updates, 20);
  EXPECT_LE(d.updates, 21);
}

TEST_F(MainLoopTest, QuitBeforeStartRunsNothing)
{
  FakeDriver d;
  d.quit = true;
  run_main_loop(d);
  EXPECT_EQ(d.updates, 0);
  EXPECT_EQ(d.frames, 0);
}

TEST_F(MainLoopTest, PacedLoopsSleepInsteadOfSpinning)
{
  // One frame per step (headless): N steps draw at most N + 1 frames, and the loop sleeps
  // between them: passes of the loop cost a microsecond, so a spinning loop makes thousands.
  FakeDriver d;
  d.renderCost = 200;
  d.passCost = 1;
  main_loop.one_frame_per_step = true;
  d.stopWhen = [](FakeDriver &f) { return f.updates >= 400; };
  run_main_loop(d);
  EXPECT_LE(d.frames, d.updates + 1);
  EXPECT_GE(d.frames, d.updates - 1);
  EXPECT_LE(d.passes, 5 * d.updates);
  EXPECT_GE(d.t, 399 * STEP);  // still real time
  EXPECT_LE(d.t, 401 * STEP);

  // A frame cap: 250 frames a second at most, the steps still on time.
  FakeDriver c;
  c.renderCost = 200;
  c.passCost = 1;
  main_loop.one_frame_per_step = false;
  set_frame_cap(250);
  c.stopWhen = [](FakeDriver &f) { return f.t >= 2 * FREQ; };
  run_main_loop(c);
  EXPECT_LE(c.frames, 501);
  EXPECT_GE(c.frames, 400);
  EXPECT_GE(c.updates, 40);
  EXPECT_LE(c.updates, 41);
  EXPECT_LE(c.passes, 2 * c.frames + c.updates * 3);
}

TEST_F(MainLoopTest, FastRunsStepsBackToBackWithOneFrameEach)
{
  FakeDriver d;
  main_loop.fast = true;
  d.stopWhen = [](FakeDriver &f) { return f.updates >= 100; };
  run_main_loop(d);
  EXPECT_EQ(d.sleeps, 0);
  std::string expected;
  for (int i = 0; i < 99; i++)
    expected += "UR";
  EXPECT_EQ(d.log, expected + "U");  // quit comes before the last step's frame
  EXPECT_EQ(d.t, 100 * d.updateCost + 99 * (d.renderCost + d.presentCost));  // no time waited
}

TEST(Timer, ConversionsDoNotOverflowLongSpans)
{
  init_timer(3579545);
  int64_t hour = int64_t(3579545) * 3600;
  EXPECT_EQ(get_time_msec(hour), 3600000);
  EXPECT_EQ(get_time_usec(3579545), 1000000);
  EXPECT_NEAR(get_time_sec(3579545 / 2), 0.5f, 1e-6f);
}
