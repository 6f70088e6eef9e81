#include <gtest/gtest.h>

#include <cmath>

#include "script/script_math.h"
#include "script/sq_vec4f.h"
#include "script_test_util.h"
#include "support/color.h"
#include "terrain/game_rnd.h"

namespace
{
struct MathTest : ScriptTest
{
  uint64_t saved_seed = game_rnd_seed;

  void SetUp() override
  {
    ScriptTest::SetUp();
    register_ramp_classes(v);
    register_script_math(v);
  }
  void TearDown() override
  {
    ScriptTest::TearDown();
    game_rnd_seed = saved_seed;
  }

  // Runs `return <expr>` and gives the resulting vec4f (or the error text through `err`).
  vec4f vec(const char *expr)
  {
    std::string src = std::string("function tmp_v() { return ") + expr + " }";
    EXPECT_TRUE(exec(src.c_str()));
    SqObject r = func<SqObject>("tmp_v")();
    sqbind::StackGuard guard{v};
    sq_pushobject(v, r.o);
    return sqbind::SqArg<vec4f>::get(v, -1);
  }
  float num(const char *expr)
  {
    std::string src = std::string("function tmp_f() { return ") + expr + " }";
    EXPECT_TRUE(exec(src.c_str()));
    return callFloat("tmp_f");
  }
  SQInteger integer(const char *expr)
  {
    std::string src = std::string("function tmp_i() { return ") + expr + " }";
    EXPECT_TRUE(exec(src.c_str()));
    SqObject r = func<SqObject>("tmp_i")();
    EXPECT_EQ(r.type(), OT_INTEGER);
    return r.o._unVal.nInteger;
  }
  std::string error(const char *statement)
  {
    std::string src = std::string("function tmp_e() { ") + statement + " }";
    EXPECT_TRUE(exec(src.c_str()));
    std::string e;
    captured([&] { e = errorOf("tmp_e"); });
    return e;
  }
};

void expect_vec(vec4f a, float x, float y, float z, float w, float eps = 0)
{
  EXPECT_NEAR(v_extract_x(a), x, eps);
  EXPECT_NEAR(v_extract_y(a), y, eps);
  EXPECT_NEAR(v_extract_z(a), z, eps);
  EXPECT_NEAR(v_extract_w(a), w, eps);
}

// Sets the state so that the next draw returns r.
void seed_for(uint32_t r)
{
  uint64_t inv = GAME_RND_MUL;  // Newton iteration for the inverse modulo 2^64
  for (int i = 0; i < 6; i++)
    inv *= 2 - GAME_RND_MUL * inv;
  game_rnd_seed = ((uint64_t(r) << 32) - GAME_RND_INC) * inv;
}
}  // namespace

TEST_F(MathTest, RandomDrawsFollowTheSharedGenerator)
{
  game_rnd_seed = 12345;
  EXPECT_EQ(integer("irnd()"), 470636529);  // (0x1C0D57F1 & 0x7FFFFFFF)
  EXPECT_EQ(game_rnd_seed, 0x1C0D57F10C894254ull);
  EXPECT_EQ(integer("hmrnd()"), 0x6E);  // next upper half 0x43F04A6E
  integer("set_rnd_seed(-1), 0");
  EXPECT_EQ(game_rnd_seed, 0xFFFFFFFFFFFFFFFFull);
  integer("set_rnd_seed(0x123456789AB), 0");
  EXPECT_EQ(game_rnd_seed, 0x123456789ABull);

  seed_for(0x80000000u);
  EXPECT_EQ(num("frnd()"), 0.5f);
  seed_for(0x80000000u);
  EXPECT_EQ(num("srnd()"), 0.0f);
  seed_for(0x80000000u);
  EXPECT_EQ(num("hmfrnd()"), 128.0f);
  seed_for(0xC0000000u);
  EXPECT_EQ(num("hmsrnd()"), 64.0f);
  seed_for(0x40000000u);
  EXPECT_EQ(num("rndf(10, 2)"), 8.0f);
  // The top values round to 1.0 in float; the integer forms mask.
  seed_for(0xFFFFFFFFu);
  EXPECT_EQ(num("frnd()"), 1.0f);
  seed_for(0xFFFFFFFFu);
  EXPECT_EQ(integer("irnd()"), 0x7FFFFFFF);
  seed_for(1);
  EXPECT_EQ(num("srnd()"), -1.0f);
  // Rounded once: 0.1 + u·(0.3 − 0.1) in extended precision, then to float.
  seed_for(0x12345678u);
  long double u = (long double)0x12345678u * 0x1p-32L;
  EXPECT_EQ(num("rndf(0.1, 0.3)"), float(0.1f + u * ((long double)0.3f - 0.1f)));
  integer("randomize_rnd_seed(), 0");
  EXPECT_NE(game_rnd_seed, 0u);
}

TEST_F(MathTest, WrapKeepsValuesInTheHalfOpenRange)
{
  EXPECT_EQ(num("wrap(128)"), 128.f);
  EXPECT_EQ(num("wrap(-128)"), 128.f);
  EXPECT_EQ(num("wrap(300)"), 44.f);
  EXPECT_EQ(num("wrap(-300)"), -44.f);
  EXPECT_EQ(num("wrap(-129)"), 127.f);
  EXPECT_EQ(num("wrap(129)"), -127.f);
  EXPECT_EQ(num("wrap(0.5)"), 0.5f);
}

TEST_F(MathTest, Vec4fConstructionIndexingAndOperators)
{
  expect_vec(vec("vec4f(1, 2, 3, 4)"), 1, 2, 3, 4);
  expect_vec(vec("vec4f(5)"), 5, 5, 5, 5);
  expect_vec(vec("vec4f(6, 2)"), 6, 6, 6, 6);
  expect_vec(vec("vec4f(7, 2, 3)"), 7, 7, 7, 7);
  expect_vec(vec("make4f(1, 2, 3, 4)"), 1, 2, 3, 4);
  expect_vec(vec("make4f(2, 3)"), 2, 2, 2, 2);
  EXPECT_EQ(error("vec4f()"), "sq_get*() failed (type error)");
  EXPECT_EQ(error("make4f()"), "sq_get*() failed (type error)");
  EXPECT_EQ(error("vec4f(1, 2, \"z\", 4)"), "sq_get*() failed (type error)");

  EXPECT_EQ(num("vec4f(1, 2, 3, 4)[3]"), 4.f);
  expect_vec(vec("(function() { local a = vec4f(0); a[2] = 9; a[0] = a[2] + 1; return a })()"), 10, 0, 9, 0);
  EXPECT_EQ(error("vec4f(0)[4]"), "vec4f index out of range");
  EXPECT_EQ(error("vec4f(0)[-1]"), "vec4f index out of range");
  EXPECT_EQ(error("vec4f(0)[0x100000000]"), "vec4f index out of range");
  EXPECT_EQ(error("local a = vec4f(0); a[4] = 1"), "vec4f index out of range");
  EXPECT_EQ(error("vec4f(0)[\"x\"]"), "sq_get*() failed (type error)");

  expect_vec(vec("vec4f(1, 2, 3, 4) + 1"), 2, 3, 4, 5);
  expect_vec(vec("vec4f(1, 2, 3, 4) - [1, 1, 1, 1]"), 0, 1, 2, 3);
  expect_vec(vec("vec4f(1, 2, 3, 4) * vec4f(2, 0, 1, -1)"), 2, 0, 3, -4);
  expect_vec(vec("vec4f(1, 2, 3, 4) / 2"), 0.5f, 1, 1.5f, 2);
  expect_vec(vec("-vec4f(1, -2, 0, 4)"), -1, 2, 0, -4);
  EXPECT_EQ(error("vec4f(1) + {}"), "getInst: invalid argument type");
  EXPECT_EQ(error("vec4f(1) + [1, 2]"), "the index '2' does not exist");  // the machine's own text
  // An instance made without the constructor has no vector behind it.
  EXPECT_EQ(error("vec4f.instance()[0]"), "invalid 'this' in C++ method call");
}

TEST_F(MathTest, VectorFunctions)
{
  expect_vec(vec("cross(vec4f(1, 0, 0, 5), vec4f(0, 1, 0, 7))"), 0, 0, 1, 0);
  expect_vec(vec("cross(vec4f(2, 3, 4, 0), vec4f(5, 6, 7, 0))"), 3 * 7 - 4 * 6, 4 * 5 - 2 * 7, 2 * 6 - 3 * 5, 0);
  expect_vec(vec("dot3(vec4f(1, 2, 3, 100), vec4f(4, 5, 6, 100))"), 32, 32, 32, 32);
  expect_vec(vec("len3Sq(vec4f(1, 2, 2, 9))"), 9, 9, 9, 9);
  expect_vec(vec("len3(vec4f(1, 2, 2, 9))"), 3, 3, 3, 3);
  expect_vec(vec("norm3(vec4f(0, 3, 4, 10))"), 0, 0.6f, 0.8f, 2, 1e-6f);
  expect_vec(vec("norm3(vec4f(0, 0, 0, 1))"), 0, 0, 0, 0);
  expect_vec(vec("norm3a(vec4f(0, 3, 4, 10))"), 0, 0.6f, 0.8f, 2, 2e-3f);
  EXPECT_EQ(num("getx(vec4f(1, 2, 3, 4)) + gety(vec4f(1, 2, 3, 4)) * 10 + getz(vec4f(1, 2, 3, 4)) * 100"), 321.f);
  expect_vec(vec("make_dir_xz(0.25)"), 0, 0, 1, 0, 1e-6f);
  expect_vec(vec("make_dir_2d(vec4f(1, 0, 0, 0), vec4f(0, 0, 2, 0), 0.5)"), -1, 0, 0, 0, 1e-6f);
  EXPECT_EQ(error("len3(1.0)"), "getInst: invalid argument type");
  EXPECT_EQ(error("cross(vec4f(1), [1, 2, 3, 4])"), "getInst: invalid argument type");
}

TEST(PackedColors, ConvertBothWays)
{
  expect_vec(color_to_vec4f(0x80FF0000u), 1, 0, 0, 128.f / 255.f);
  expect_vec(color_to_vec4f(0x00010203u), 1.f / 255, 2.f / 255, 3.f / 255, 0);
  EXPECT_EQ(vec4f_to_color(v_make(1, 0, 0, 128.f / 255.f)), 0x80FF0000u);
  // Clamped, scaled and rounded to nearest; NaN packs as 0.
  EXPECT_EQ(vec4f_to_color(v_make(2, -1, 0.5f / 255.f + 1e-4f, NAN)), 0x00FF0001u);
  EXPECT_EQ(vec4f_to_color(v_make(1.4f / 255.f, 1.6f / 255.f, 0, 1)), 0xFF010200u);
  for (uint32_t c : {0u, 0xFFFFFFFFu, 0x12345678u, 0x80FF7F01u})
    EXPECT_EQ(vec4f_to_color(color_to_vec4f(c)), c);
}

TEST_F(MathTest, ColorFunctionsTakePackedColorsOrVectors)
{
  expect_vec(vec("lerpcolor(0x80FF0000, vec4f(0), 0)"), 1, 0, 0, 128.f / 255.f);
  expect_vec(vec("lerpcolor(0xFF000000, [0, 1, 0, 0], 0.25)"), 0, 0.25f, 0, 0.75f);
  // An integer is a packed colour (0x00000001), a float a grey of four equal components.
  expect_vec(vec("lerpcolor(1, 3.0, 0.5)"), 1.5f, 1.5f, 1.f / 255 + (3 - 1.f / 255) * 0.5f, 1.5f, 1e-6f);
  expect_vec(vec("mix3colors(0xFFFF0000, 0.5, 0x0000FF00, 0.25, vec4f(1), 2)"), 2.5f, 2.25f, 2, 2.5f);
  expect_vec(vec("mix4colors(vec4f(1), 1, vec4f(2), 2, vec4f(3), 3, vec4f(4), 4)"), 30, 30, 30, 30);
  EXPECT_EQ(error("lerpcolor({}, 0, 0)"), "getInst: invalid argument type");
}

TEST(ColorConversions, HsvSectorsAndWrap)
{
  expect_vec(hsv2rgba(0, 1, 1, 1), 1, 0, 0, 1);
  expect_vec(hsv2rgba(60, 1, 1, 0.5f), 1, 1, 0, 0.5f, 1e-6f);
  expect_vec(hsv2rgba(120, 1, 1, 1), 0, 1, 0, 1, 1e-6f);
  expect_vec(hsv2rgba(180, 1, 1, 1), 0, 1, 1, 1, 1e-6f);
  expect_vec(hsv2rgba(240, 1, 1, 1), 0, 0, 1, 1, 1e-6f);
  expect_vec(hsv2rgba(300, 1, 1, 1), 1, 0, 1, 1, 1e-6f);
  expect_vec(hsv2rgba(30, 1, 1, 1), 1, 0.5f, 0, 1, 1e-6f);
  expect_vec(hsv2rgba(330, 0.5f, 0.8f, 1), 0.8f, 0.4f, 0.6f, 1, 1e-6f);
  expect_vec(hsv2rgba(360, 1, 1, 1), 1, 0, 0, 1);
  expect_vec(hsv2rgba(-360, 1, 1, 1), 1, 0, 0, 1);
  expect_vec(hsv2rgba(123, 0, 0.25f, 1), 0.25f, 0.25f, 0.25f, 1);
  // A hue just below 0 makes the sector round up to 6: it is sector 0 with no fraction.
  expect_vec(hsv2rgba(-1e-6f, 1, 1, 1), 1, 0, 0, 1);
  expect_vec(hsv2rgba(NAN, 1, 1, 1), 1, 0, 0, 1);
}

TEST(ColorConversions, LchMatchesKnownSrgbColors)
{
  expect_vec(lch2rgba(100, 0, 0, 1), 1, 1, 1, 1, 2e-3f);
  expect_vec(lch2rgba(0, 0, 0, 0.5f), 0, 0, 0, 0.5f, 1e-6f);
  expect_vec(lch2rgba(50, 0, 123, 1), 119.f / 255, 119.f / 255, 119.f / 255, 1, 3e-3f);
  expect_vec(lch2rgba(53.24f, 104.55f, 40.0f, 1), 1, 0, 0, 1, 5e-3f);
  expect_vec(lch2rgba(87.73f, 119.78f, 136.02f, 1), 0, 1, 0, 1, 5e-3f);
  expect_vec(lch2rgba(32.30f, 133.81f, 306.29f, 1), 0, 0, 1, 1, 5e-3f);
}

TEST_F(MathTest, ScriptColorConversions)
{
  expect_vec(vec("hsv2rgba(240, 1, 1, 0.5)"), 0, 0, 1, 0.5f, 1e-6f);
  expect_vec(vec("lch2rgba(100, 0, 0, 1)"), 1, 1, 1, 1, 2e-3f);
}
