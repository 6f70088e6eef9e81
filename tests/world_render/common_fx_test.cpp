// The effects' simulation without a device: particle pools (delays, ageing, free-list reuse,
// refused records), trails (handles, stopping, reuse), lightning (shape, edge cases) and the
// effect script machine (named effects, errors, reload after a fix).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "../render/shader_fixture.h"
#include "terrain/game_rnd.h"
#include "terrain/noise.h"
#include "world_render/common_fx.h"
#include "world_render/fx_script.h"

namespace
{
const vec4f ZERO = v_zero();

struct CommonFx : ::testing::Test
{
  void SetUp() override
  {
    reset_common_fx();
    set_error_message(nullptr);
  }
  void TearDown() override { reset_common_fx(); }

  static void addBlend(vec4f pos, vec4f vel, vec4f accel, float life, float delay)
  {
    add_blend_particle(pos, vel, accel, life, delay, 1.f, 0xFFFFFFFF, 0, 0, 64, 0, 0, nullptr, nullptr, nullptr);
  }
  static int liveCount(const ParticlePool &pool)
  {
    int n = 0;
    for (const Particle &p : pool.parts)
      n += p.life > 0.f;
    return n;
  }
};

float x_of(vec4f v) { return v_extract_x(v); }

TEST_F(CommonFx, DelayedParticlesStartWhereTheirDelayEnds)
{
  // delay 0.02: moved by the remaining 0.03 s of the first step at once
  addBlend(ZERO, v_make(1, 0, 0, 0), ZERO, 1.f, 0.02f);
  // delay 0.2: not moved, invisible until its age reaches 0
  addBlend(ZERO, v_make(1, 0, 0, 0), ZERO, 1.f, 0.2f);
  // no delay: one whole step
  addBlend(ZERO, v_make(1, 0, 0, 0), ZERO, 1.f, 0.f);
  const Particle *p = common_fx.blend.parts.data;
  EXPECT_FLOAT_EQ(x_of(p[0].pos), 0.03f);
  EXPECT_FLOAT_EQ(x_of(p[1].pos), 0.f);
  EXPECT_FLOAT_EQ(x_of(p[2].pos), 0.05f);

  uint8_t rec[40];
  for (int step = 0; step < 4; step++)  // ages -0.2, -0.15, -0.1, -0.05
  {
    EXPECT_FALSE(make_particle_instance(p[1], 0.001f, 0.02f, ZERO, rec)) << step;
    EXPECT_NEAR(x_of(p[1].pos), 0.f, 1e-6f) << step;
    update_common_fx(FX_STEP);
  }
  // Age 0: visible, moved by one step, drawn from where it started.
  EXPECT_TRUE(make_particle_instance(p[1], 0.001f, 0.02f, ZERO, rec));
  EXPECT_NEAR(x_of(p[1].pos), 0.05f, 1e-6f);
  EXPECT_EQ(x_of(p[1].prevPos), 0.f);
  float drawnX;
  memcpy(&drawnX, rec, 4);
  EXPECT_NEAR(drawnX, 0.f, 0.002f);
}

TEST_F(CommonFx, ParticlesAgeByTheStepAndTheirRecordsAreReused)
{
  // life 0.25 = 5 steps: freed in the update where the age reaches it
  addBlend(ZERO, ZERO, ZERO, 0.25f, 0.f);
  addBlend(ZERO, ZERO, ZERO, 10.f, 0.f);
  int steps = 0;
  while (common_fx.blend.parts[0].life > 0.f && steps < 100)
  {
    update_common_fx(FX_STEP);
    steps++;
  }
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(common_fx.blend.freeHead, 0);
  addBlend(v_make(7, 0, 0, 0), ZERO, ZERO, 1.f, 0.f);
  EXPECT_EQ(common_fx.blend.parts.size(), 2);
  EXPECT_EQ(x_of(common_fx.blend.parts[0].pos), 7.f);
  EXPECT_EQ(common_fx.blend.freeHead, -1);

  // Steady state: 100 new a step living 30 steps need 3000 records, and no more ever (no record
  // lost off the free list).
  reset_common_fx();
  for (int step = 0; step < 200; step++)
  {
    for (int i = 0; i < 100; i++)
      addBlend(ZERO, ZERO, ZERO, 1.49f, 0.f);
    update_common_fx(FX_STEP);
  }
  EXPECT_EQ(common_fx.blend.parts.size(), 3000);
  EXPECT_EQ(liveCount(common_fx.blend), 2900);
  int freeCount = 0;
  for (int i = common_fx.blend.freeHead; i >= 0 && freeCount <= 3000; i = common_fx.blend.parts[i].nextFree)
    freeCount++;
  EXPECT_EQ(freeCount, 100);
}

TEST_F(CommonFx, MotionFollowsDragAndAccelerationAtTheFixedStep)
{
  // A reference integration of the same rule in doubles stays within float rounding.
  const vec4f vel = v_make(3, 8, -2, 0.5f), accel = v_make(0, -9.8f, 1, 0.1f);
  addBlend(v_make(10, 2, 5, 0), vel, accel, 100.f, 0.f);
  double p[3] = {10, 2, 5}, v[3] = {3, 8, -2}, a[3] = {0, -9.8, 1}, drag = 0.5;
  auto step = [&](double s) {
    for (int k = 0; k < 3; k++)
    {
      v[k] += (a[k] - v[k] * drag) * s;
      p[k] += v[k] * s;
    }
    drag += 0.1 * s;
  };
  step(FX_STEP);
  for (int i = 0; i < 200; i++)
  {
    update_common_fx(FX_STEP);
    step(FX_STEP);
  }
  const Particle &q = common_fx.blend.parts[0];
  EXPECT_NEAR(x_of(q.pos), p[0], 1e-3);
  EXPECT_NEAR(v_extract_y(q.pos), p[1], 1e-3);
  EXPECT_NEAR(v_extract_z(q.pos), p[2], 1e-3);
}

TEST_F(CommonFx, HostileParticleAndTrailCallsAreRefusedOrIgnored)
{
  const float nan = std::nanf("");
  addBlend(ZERO, ZERO, ZERO, 0.f, 0.f);
  addBlend(ZERO, ZERO, ZERO, -1.f, 0.f);
  addBlend(ZERO, ZERO, ZERO, nan, 0.f);
  addBlend(ZERO, ZERO, ZERO, INFINITY, 0.f);
  addBlend(ZERO, ZERO, ZERO, 1.f, nan);
  EXPECT_EQ(liveCount(common_fx.blend), 0);

  for (int h : {-1, -100, MAX_TRAILS, 1 << 30, 5 /* free */})
  {
    add_trail_point(h, ZERO, ZERO, ZERO);
    set_trail_color(h, 0xFF00FF00);
    stop_trail_fx(h);
    kill_trail_fx(h);
  }
  EXPECT_EQ(common_fx.trails[5].count, 0);
  EXPECT_EQ(common_fx.trailFreeHead, 0);
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0xFFFFFFFF), 0);
  kill_trail_fx(0);
  kill_trail_fx(0);  // a second kill must not link the slot into the free list twice
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0xFFFFFFFF), 0);
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0xFFFFFFFF), 1);

  const int before = common_fx.bolts.size();
  add_lightning_fx(ZERO, v_make(10, 0, 0, 0), ZERO, 0.f, 1.f, 1.f, 1.f, ~0u, 10);
  add_lightning_fx(ZERO, v_make(10, 0, 0, 0), ZERO, 1.f, -1.f, 1.f, 1.f, ~0u, 10);
  add_lightning_fx(ZERO, v_make(10, 0, 0, 0), ZERO, 1.f, 1.f, 1.f, nan, ~0u, 10);
  add_lightning_fx(ZERO, v_make(10, 0, 0, 0), ZERO, 1.f, 1.f, 1.f, 1.f, ~0u, 1 << 30);
  ASSERT_EQ(common_fx.bolts.size(), before + 1);
  EXPECT_EQ(common_fx.bolts.back().points.size(), MAX_BOLT_POINTS);
}

TEST_F(CommonFx, TrailsKeepSixteenPointsStopAndReturnTheirSlots)
{
  const int h = add_trail_fx(v_make(5, 1, 5, 0), ZERO, v_make(0, 0.2f, 0, 0), 0.5f, 0xFF102030);
  ASSERT_EQ(h, 0);
  EXPECT_EQ(common_fx.trails[h].pts[common_fx.trails[h].head].color, 0xFF102030u);  // colour before the point
  set_trail_color(h, 0xFFFFFFFF);
  for (int i = 1; i <= 16; i++)
    add_trail_point(h, v_make(5.f + float(i), 1, 5, 0), ZERO, ZERO);
  const TrailSlot &tr = common_fx.trails[h];
  EXPECT_EQ(tr.count, 16);
  // The newest is the 17th point; the oldest left is the 2nd (the first was overwritten).
  EXPECT_EQ(x_of(tr.pts[tr.head].pos), 21.f);
  EXPECT_EQ(x_of(tr.pts[(tr.head + 15) % 16].pos), 6.f);

  // A point across the world's edge lands on the copy next to the trail.
  add_trail_point(h, v_make(22.f + 256.f, 1, 5 - 256.f, 0), ZERO, ZERO);
  EXPECT_EQ(x_of(tr.pts[tr.head].pos), 22.f);
  EXPECT_EQ(v_extract_z(tr.pts[tr.head].pos), 5.f);

  stop_trail_fx(h);
  for (int step = 1; step <= 16; step++)
  {
    update_common_fx(FX_STEP);
    EXPECT_EQ(tr.count, 16 - step);
  }
  EXPECT_EQ(common_fx.trailFreeHead, h);  // back on the free list
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0), h);
  EXPECT_FALSE(common_fx.trails[h].stopping);

  // Every slot in use: the next add gets no trail.
  for (int i = 1; i < MAX_TRAILS; i++)
    ASSERT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0), i);
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0), -1);
  kill_trail_fx(1234);
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0), 1234);
}

TEST_F(CommonFx, TrailsDriftWithTheirPointsAndStayInTheWorld)
{
  const int h = add_trail_fx(v_make(255.5f, 0, -0.5f, 0), v_make(1, 0, 0, 0), ZERO, 1.f, 0);
  update_common_fx(FX_STEP);
  const TrailPoint &p = common_fx.trails[h].pts[common_fx.trails[h].head];
  // the newest point's x and z moved into [0, 256); the interpolation keeps both ends together
  EXPECT_NEAR(x_of(p.prevPos), 255.5f, 1e-4f);
  EXPECT_NEAR(x_of(p.pos), 255.55f, 1e-4f);
  EXPECT_NEAR(v_extract_z(p.pos), 255.5f, 1e-4f);
  for (int i = 0; i < 20; i++)
    update_common_fx(FX_STEP);
  EXPECT_GE(x_of(p.pos), 0.f);
  EXPECT_LT(x_of(p.pos), 256.5f);
}

TEST_F(CommonFx, LightningRunsFromStartToEndWithinItsNoiseEnvelope)
{
  game_rnd_seed = 42;
  const vec4f from = v_make(10, 20, 30, 0), to = v_make(250, 25, 32, 0), bend = v_make(-8, 4, 0, 0);
  add_lightning_fx(from, to, bend, 0.5f, 3.f, 2.f, 0.4f, 0xFFC0D0FF, 1);
  ASSERT_EQ(common_fx.bolts.size(), 1);
  EXPECT_EQ(common_fx.bolts[0].points.size(), 3);  // at least 3 points
  add_lightning_fx(from, to, bend, 0.5f, 3.f, 2.f, 0.4f, 0xFFC0D0FF, 64);
  const LightningBolt &b = common_fx.bolts[1];
  ASSERT_EQ(b.points.size(), 64);
  const vec4f end = v_make(250 - 256, 25, 32, 0);  // the copy of `to` nearest to `from`
  EXPECT_EQ(x_of(b.points[0].pos), 10.f);
  EXPECT_EQ(x_of(b.points[63].pos), x_of(end));
  EXPECT_EQ(b.points[0].color, 0u);
  EXPECT_EQ(b.points[63].color, 0u);
  // noise1 stays within 1, so four octaves within 1.875: every point within the envelope
  // amplitude * 4 s (1 - s) * 1.875 of its base on the bent path; u grows along the bolt.
  float maxDev = 0;
  for (int j = 0; j < 64; j++)
  {
    const float s = float(j) / 63.f;
    const vec4f base = from + bend * s + (end - from - bend) * (s * s);
    const vec4f d = b.points[j].pos - base;
    const float envelope = 2.f * 4.f * s * (1.f - s) * 1.875f;
    for (float c : {x_of(d), v_extract_y(d), v_extract_z(d)})
      EXPECT_LE(std::fabs(c), envelope + 1e-4f) << j;
    maxDev = std::max(maxDev, std::fabs(v_extract_y(d)));
    if (j > 0)
    {
      EXPECT_GT(b.points[j].u, b.points[j - 1].u);
      EXPECT_EQ(b.points[j].color, 0xFFC0D0FFu * (j < 63));
    }
  }
  EXPECT_GT(maxDev, 0.1f);  // it is shaken at all

  // Bolts go when their age reaches their life; the others keep their order.
  add_lightning_fx(from, to, bend, 0.5f, 3.f, 2.f, 0.1f, 0xFF000001, 8);
  for (int i = 0; i < 2; i++)
    update_common_fx(FX_STEP);
  ASSERT_EQ(common_fx.bolts.size(), 2);
  EXPECT_EQ(common_fx.bolts[1].points.size(), 64);
  for (int i = 0; i < 6; i++)
    update_common_fx(FX_STEP);
  EXPECT_EQ(common_fx.bolts.size(), 0);
}

// --- the effect script -------------------------------------------------------------------------
struct FxScript : CommonFx
{
  ShaderAppDir app;
  void TearDown() override
  {
    close_fx_script();
    CommonFx::TearDown();
  }
  void writeScript(const std::string &text)
  {
    app.write("test/fx.nut", text);
    // a new modification time even within the file system's clock step
    static int bump = 0;
    std::filesystem::last_write_time(app.path("test/fx.nut"),
                                     std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++bump));
  }
};

const char *const named_effects[] = {"fire",         "smoke",        "splash",        "sparks",   "magic_trail",
                                     "land_dust",    "meteor_trail", "meteor_impact", "lightning"};

TEST_F(FxScript, EveryNamedEffectOfTheShippedScriptMakesParticlesTheSameWayForOneSeed)
{
  std::filesystem::create_directories(app.path("test"));
  std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/test/fx.nut", app.path("test/fx.nut"));
  init_fx_script();
  ASSERT_STREQ(get_error_message(), "");
  auto run = [](const char *name) {
    reset_common_fx();
    game_rnd_seed = 7;
    for (int step = 0; step < 10; step++)
    {
      call_fx_script(name, v_make(10, 5, 10, 0), v_make(12, 6, 10, 0), v_make(0.5f, 0.7f, 1, 1), 1.f);
      update_common_fx(FX_STEP);
      update_fx_script(FX_STEP);
    }
    std::vector<float> out;
    for (const ParticlePool *pool : {&common_fx.blend, &common_fx.glow})
      for (const Particle &p : pool->parts)
        if (p.life > 0.f)
          for (float c : {x_of(p.pos), v_extract_y(p.pos), v_extract_z(p.pos), p.size, float(p.color)})
            out.push_back(c);
    return out;
  };
  for (const char *name : named_effects)
  {
    const std::vector<float> a = run(name);
    EXPECT_STREQ(get_error_message(), "") << name;
    EXPECT_GT(a.size(), 0u) << name;
    EXPECT_EQ(run(name), a) << name;
  }
  EXPECT_GT(common_fx.bolts.size(), 0);  // the last one, lightning
}

TEST_F(FxScript, ErrorsAreShownAndTheScriptRecoversAfterAFix)
{
  call_fx_script("fire", ZERO, ZERO, ZERO, 0.f);  // no machine yet: nothing happens
  EXPECT_STREQ(get_error_message(), "");

  writeScript("function fire(a, b, c, d) {\n  add_glow_particle(a, b, { life = 1.0 })\n}\n");
  init_fx_script();
  EXPECT_STREQ(get_error_message(), "");
  call_fx_script("fire", ZERO, ZERO, ZERO, 0.f);
  EXPECT_NE(strstr(get_error_message(), "Error in fx script:\n"), nullptr);
  EXPECT_NE(strstr(get_error_message(), "'accel'"), nullptr) << get_error_message();
  call_fx_script("nothing_here", ZERO, ZERO, ZERO, 0.f);
  EXPECT_STREQ(get_error_message(), "Error in fx script:\nNo 'nothing_here' function in script");

  // A script that does not compile: shown, the game goes on, the next edit is picked up.
  writeScript("function fire(a, b, c, d) {\n  add_glow_particle(a, b, \n");
  addBlend(ZERO, ZERO, ZERO, 5.f, 0.f);
  const int t = add_trail_fx(ZERO, ZERO, ZERO, 1.f, 0);
  EXPECT_TRUE(check_fx_script_reload());
  EXPECT_NE(strstr(get_error_message(), "Error in fx script:"), nullptr);
  EXPECT_EQ(liveCount(common_fx.blend), 0);  // particles vanish, trails stay
  EXPECT_GT(common_fx.trails[t].count, 0);
  update_fx_script(FX_STEP);
  EXPECT_FALSE(check_fx_script_reload());

  writeScript(
      "function fire(a, b, c, d) {\n"
      "  add_glow_particle(a, b, { accel = vec4f(0, 1, 0, 0), life = 1.0, delay = 0.0, size = d, mapU = 0,\n"
      "    mapV = 0, mapSize = 64, startRoll = 0, rollScale = 0, colorAnim = ColorRamp.linear(0xFFFFFFFF, 0),\n"
      "    sizeAnim = null, rollAnim = null, color = vec4f(1, 0.5, 2, 1) })\n"
      "}\n"
      "steps <- 0\n"
      "function update_fx(dt) { steps++ }\n");
  EXPECT_TRUE(check_fx_script_reload());
  EXPECT_STREQ(get_error_message(), "");
  call_fx_script("fire", ZERO, ZERO, ZERO, 2.f);
  EXPECT_STREQ(get_error_message(), "");
  ASSERT_EQ(liveCount(common_fx.glow), 1);
  const Particle &p = common_fx.glow.parts[common_fx.glow.parts.size() - 1];
  EXPECT_EQ(p.color, 0xFFFF80FFu);  // a vector colour is clamped and packed
  EXPECT_EQ(p.size, 2.f);
  // Only the particle points at its ramp: the machine keeps it alive while the particle lives
  // (the sanitizer build sees a read of a freed ramp otherwise), then lets it go.
  ASSERT_NE(p.colorAnim, nullptr);
  for (int i = 0; i < 10; i++)
    update_common_fx(FX_STEP);
  uint8_t rec[40];
  ASSERT_TRUE(make_particle_instance(p, 0.f, 0.f, ZERO, rec));
  D3dColor c;
  memcpy(&c, rec + 20, 4);
  for (int ch = 0; ch < 4; ch++)  // half way along the ramp
    EXPECT_NEAR(int((c >> (8 * ch)) & 255), int((0x80804080u >> (8 * ch)) & 255), 1) << ch;
  EXPECT_EQ(prune_fx_script_ramps(), 1);
  for (int i = 0; i < 11; i++)
    update_common_fx(FX_STEP);
  EXPECT_EQ(prune_fx_script_ramps(), 0);
}
}  // namespace
