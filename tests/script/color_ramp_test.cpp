#include <gtest/gtest.h>

#include <cmath>

#include "script/script_math.h"
#include "script/sq_ramps.h"
#include "script/sq_vec4f.h"
#include "script_test_util.h"
#include "support/color_ramp.h"

namespace
{
void expect_vec(vec4f a, vec4f b, float eps = 0)
{
  for (int i = 0; i < 4; i++)
    EXPECT_NEAR(v_get(a, i), v_get(b, i), eps) << "component " << i;
}

float sample_or_default(const FloatRamp *r, float t) { return r ? r->get(t) : -1.f; }

struct RampScriptTest : ScriptTest
{
  void SetUp() override
  {
    ScriptTest::SetUp();
    register_ramp_classes(v);
    register_script_math(v);
    sqbind::bind_function(v, sqbind::root_table(v), "sample_or_default", &sample_or_default);
  }
  template <class Ramp>
  Ramp *ramp(const char *slot)
  {
    Ramp *r = nullptr;
    sqbind::getSlot(v, sqbind::root_table(v), slot, r);
    return r;
  }
};
}  // namespace

TEST(Ramps, SamplingAtTheEndsAndBetweenEntries)
{
  FloatRamp f;
  for (int i = 0; i <= 256; i++)
    f.c[i] = float(i * i);
  EXPECT_EQ(f.get(0), 0.f);
  EXPECT_EQ(f.get(-3), 0.f);
  EXPECT_EQ(f.get(NAN), 0.f);
  EXPECT_EQ(f.get(1), 65536.f);
  EXPECT_EQ(f.get(7), 65536.f);
  EXPECT_EQ(f.get(0.5f), 128.f * 128.f);
  EXPECT_EQ(f.get(10.25f / 256), 100.f + (121.f - 100.f) * 0.25f);
  EXPECT_EQ(f.get(255.5f / 256), (255.f * 255 + 65536.f) / 2);

  ColorRamp c;
  for (int i = 0; i <= 256; i++)
    c.c[i] = v_make(float(i), 0, float(-i), 1);
  expect_vec(c.get(0), c.c[0]);
  expect_vec(c.get(1), c.c[256]);
  expect_vec(c.get(0.5f), c.c[128]);
  expect_vec(c.get(3.75f / 256), v_make(3.75f, 0, -3.75f, 1));
}

TEST(Ramps, FillsAndTheReadyMadeRamps)
{
  FloatRamp f;
  ramp_linear(f, 0.5f, 2.f);
  EXPECT_EQ(f.c[0], 0.5f);
  EXPECT_EQ(f.c[128], 1.25f);
  EXPECT_EQ(f.c[256], 2.f);
  for (int i = 0; i <= 256; i++)
    ASSERT_EQ(size_05_2_anim.c[i], f.c[i]);
  EXPECT_EQ(size_05_4_anim.c[256], 4.f);
  EXPECT_EQ(size_05_4_anim.c[64], 0.5f + 3.5f * 64 / 256);
  for (float e : std_roll_anim.c)
    ASSERT_EQ(e, 0.f);

  // glow: black -> white over the first 10%, back to black over the last 90%.
  auto smooth = [](float s) { return s * s * (3 - 2 * s); };
  expect_vec(glow_std_fade_anim.c[0], v_zero());
  expect_vec(glow_std_fade_anim.c[256], v_zero());
  expect_vec(glow_std_fade_anim.c[13], v_splats(smooth(13.f / 256 / 0.1f)), 1e-6f);
  expect_vec(glow_std_fade_anim.c[128], v_splats(1 - smooth((0.5f - 0.1f) / 0.9f)), 1e-6f);
  // blend ramps keep white colour and fade alpha only.
  expect_vec(blend_end_fade_anim.c[0], v_make(1, 1, 1, 0));
  expect_vec(blend_end_fade_anim.c[128], v_splats(1));
  expect_vec(blend_end_fade_anim.c[256], v_make(1, 1, 1, 0));
  expect_vec(blend_std_fade_anim.c[240], v_make(1, 1, 1, v_extract_w(blend_std_fade_anim.c[240])));
  EXPECT_LT(v_extract_w(blend_rev_fade_anim.c[128]), 1.f);  // still fading in at the middle
}

TEST(Ramps, FadeInWinsWhereTheZonesOverlap)
{
  FloatRamp f;
  ramp_fade_in_out(f, 0.f, 1.f, 10.f, 0.7f, 0.7f);
  auto smooth = [](float s) { return s * s * (3 - 2 * s); };
  for (int i : {0, 50, 128, 179})
  {
    float t = float(i) / 256;
    EXPECT_FLOAT_EQ(f.c[i], smooth(t / 0.7f)) << i;  // 0.7 > t: fade-in, though t > 1 − 0.7
  }
  for (int i : {180, 220, 256})
  {
    float t = float(i) / 256;
    EXPECT_FLOAT_EQ(f.c[i], 1 + 9 * smooth((t - 0.3f) / 0.7f)) << i;
  }
  EXPECT_EQ(f.c[256], 10.f);
  // No overlap and no fades: the plateau everywhere.
  ramp_fade_in_out(f, 0.f, 3.f, 0.f, 0.f, 0.f);
  for (float e : f.c)
    ASSERT_EQ(e, 3.f);
}

TEST(Ramps, DumpWritesPastableSource)
{
  FloatRamp f;
  ramp_linear(f, 0.f, 256.f);
  ::testing::internal::CaptureStdout();
  f.dump("sizes");
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("\nstatic FloatRamp sizes=\n{\n  0, 1, 2, 3, 4, 5, 6, 7,\n  8, 9, 10,", 0), 0u) << out;
  std::string tail = " 253, 254, 255,\n  256,\n};\n";
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), ','), 257);

  ColorRamp c;
  ramp_const(c, v_make(0.5f, 0.25f, 1, 0));
  ::testing::internal::CaptureStdout();
  c.dump("glow");
  out = ::testing::internal::GetCapturedStdout();
  const char *e = " make4f(0.5, 0.25, 1, 0),";
  std::string line4 = std::string(" ") + e + e + e + e + "\n";
  EXPECT_EQ(out.rfind("\nstatic ColorRamp glow=\n{\n" + line4 + line4, 0), 0u) << out;
  EXPECT_EQ(out.substr(out.size() - line4.size() - 30), line4 + " " + e + "\n};\n");
}

TEST_F(RampScriptTest, ConstructionFromScriptFunctions)
{
  ASSERT_TRUE(exec(R"(
    cr <- ColorRamp(function(t) { return t < 0.5 ? 0x80FF0000 : (t < 0.75 ? [t, 0, 0, 1] : vec4f(t)) })
    fr <- FloatRamp(function(t) { return t < 0.5 ? 1 : t * 2 })
    function fetch() { return cr.get(0.5)[0] + fr.get(1) * 10 + fr.get(0) * 100 }
  )"));
  ColorRamp *cr = ramp<ColorRamp>("cr");
  FloatRamp *fr = ramp<FloatRamp>("fr");
  ASSERT_TRUE(cr && fr);
  expect_vec(cr->c[0], v_make(1, 0, 0, 128.f / 255));
  expect_vec(cr->c[127], v_make(1, 0, 0, 128.f / 255));
  expect_vec(cr->c[128], v_make(0.5f, 0, 0, 1));
  expect_vec(cr->c[256], v_splats(1));
  EXPECT_EQ(fr->c[0], 1.f);
  EXPECT_EQ(fr->c[256], 2.f);
  EXPECT_EQ(callFloat("fetch"), 0.5f + 20 + 100);
}

TEST_F(RampScriptTest, StaticFactoriesAndNativeUse)
{
  ASSERT_TRUE(exec(R"(
    function f1() { return ColorRamp.constRamp(0xFF00FF00).get(0.3)[1] + ColorRamp.linear(vec4f(0), 4.0).get(0.25)[3] * 10 }
    function f2() { return FloatRamp.linear(2, 4).get(0.5) + FloatRamp.constRamp(7).get(0.9) * 10 }
    function f3() { return ColorRamp.fadeInOut(0, 0xFFFFFFFF, 0, 0.5, 0.5).get(0.5)[0] + FloatRamp.fadeInOut(0, 3, 0, 0.1, 0.1).get(0.5) * 10 }
    function f4() { return sample_or_default(null, 0.5) + sample_or_default(FloatRamp.linear(0, 1), 0.5) }
    function bad_ramp() { sample_or_default(vec4f(1), 0.5) }
    function color_for_float() { sample_or_default(ColorRamp.constRamp(0), 0.5) }
  )"));
  EXPECT_EQ(callFloat("f1"), 1.f + 10);
  EXPECT_EQ(callFloat("f2"), 3.f + 70);
  EXPECT_EQ(callFloat("f3"), 1.f + 30);
  EXPECT_EQ(callFloat("f4"), -1.f + 0.5f);
  std::string e1, e2;
  captured([&] {
    e1 = errorOf("bad_ramp");
    e2 = errorOf("color_for_float");
  });
  EXPECT_EQ(e1, "getInst: invalid argument type");
  EXPECT_EQ(e2, "getInst: invalid argument type");
}

TEST_F(RampScriptTest, FailingRampFunctionsAreScriptErrors)
{
  ASSERT_TRUE(exec(R"(
    function not_a_function() { return ColorRamp(5) }
    function throws() { return FloatRamp(function(t) { if (t > 0.5) throw "late"; return t }) }
    function wrong_type() { return FloatRamp(function(t) { return "x" }) }
    function unconvertible() { return ColorRamp(function(t) { return {} }) }
    function caught() { try { FloatRamp(function(t) { return null }) } catch (e) { return e } }
    function dump_it() { FloatRamp.constRamp(1).dump("one"); ColorRamp.constRamp(0).dump("c") }
  )"));
  std::string e[4];
  captured([&] {
    e[0] = errorOf("not_a_function");
    e[1] = errorOf("throws");
    e[2] = errorOf("wrong_type");
    e[3] = errorOf("unconvertible");
  });
  EXPECT_EQ(e[0], "ColorRamp() needs a function(t)");
  EXPECT_EQ(e[1], "late");  // the callback's own error
  EXPECT_EQ(e[2], "sq_get*() failed (type error)");
  EXPECT_EQ(e[3], "getInst: invalid argument type");
  SqObject r = func<SqObject>("caught")();
  EXPECT_EQ(r.type(), OT_STRING);
  std::string out = captured([&] { func<void>("dump_it")(); });
  EXPECT_EQ(out.rfind("\nstatic FloatRamp one=\n{\n  1, 1,", 0), 0u);
  EXPECT_NE(out.find("\nstatic ColorRamp c=\n{\n  make4f(0, 0, 0, 0),"), std::string::npos);
}
