// Hostile world scripts run through the world generation machine: each one ends in an error
// message that names what went wrong and where, prints its report once, leaves a finite world and
// a machine that still runs scripts.
#include <string>
#include <string_view>

#include "script/world_gen.h"
#include "script_test_util.h"
#include "support/visual_log.h"

using namespace std::string_view_literals;

namespace
{
struct Hostile
{
  const char *name;
  std::string_view script;  // gen/main.nut (may hold a NUL byte)
  const char *error;        // part of the error message
  const char *where;        // part of the message naming the place, or null
};

const Hostile hostile_scripts[] = {
    {"suspend in generate_world", "function generate_world(name) { ::suspend(1) }",
     "suspend() is only allowed inside a thread", "at bin/gen/main.nut(1) in generate_world()"},
    {"suspend while loading", "function generate_world(name) {}\n::suspend(1)",
     "suspend() is only allowed inside a thread", "bin/gen/main.nut(2)"},
    {"generator entry point", "function generate_world(name) { yield 1 }", "'generate_world' is a generator function",
     nullptr},
    {"class entry point", "class generate_world {}", "'generate_world' is a class, not a function", nullptr},
    {"integer entry point", "generate_world <- 5", "'generate_world' is an integer, not a function", nullptr},
    {"integer update_script", "function generate_world(name) {}\nupdate_script <- 5",
     "'update_script' is an integer, not a function", nullptr},
    {"throw 42", "function generate_world(name) {\n  throw 42\n}", "throw 42",
     "at bin/gen/main.nut(2) in generate_world()"},
    {"ramp callback throws",
     "function generate_world(name) {\n  FloatRamp(function(t) { if (t > 0.5) throw \"late\"; return t })\n}",
     "\nlate\n", "from bin/gen/main.nut(2) in generate_world()"},
    {"mask callback error",
     "function generate_world(name) {\n  HmapMask(function(x, z) {\n    return undefined_name })\n}",
     "the index 'undefined_name' does not exist", "at bin/gen/main.nut(3)"},
    {"compile error", "function generate_world(name) {\n  local x = \n}", "bin/gen/main.nut(3,", nullptr},
    {"NUL byte", "function generate_world(name) {}\0 throw 5"sv, "bin/gen/main.nut(1,33): error: NUL byte at offset 32",
     nullptr},
    {"infinite mask", "function generate_world(name) { HmapMask(function(x, z) { return 1e30 * 1e30 }) }",
     "HmapMask() function returned inf at x 0, z 0", nullptr},
    {"infinite mask value", "function generate_world(name) { HmapMask(1e30 * 1e30) }",
     "non-finite argument in HmapMask()", nullptr},
    {"NaN mask",
     "function generate_world(name) { HmapMask(function(x, z) { return x == 3 && z == 2 ? 0.0 / 0.0 : 1 }) }",
     "nan at x 3, z 2", nullptr},
    {"NaN height function",
     "function generate_world(name) { apply_height_mask(null, function(h) { return h / 0.0 - h / 0.0 }) }",
     "apply_height_mask() function returned", nullptr},
    {"NaN FloatRamp", "function generate_world(name) { FloatRamp(function(t) { return t > 0.5 ? 0.0 / 0.0 : t }) }",
     "FloatRamp() function returned a non-finite value at t = 0.503906", nullptr},
    {"overflowing amplitudes",
     "function generate_world(name) {\n  for (local i = 0; i < 3; i++) add_fast_noise(0, 3e38, null, GT_NONE, 255, 0.5)\n}",
     "generate_world left ", "non-finite heights or water"},
    {"overflowing water",
     "function generate_world(name) { local m = HmapMask(3e38); apply_water_mask(m, null); apply_water_mask(m, null) }",
     "non-finite heights or water", nullptr},
    {"2^62 droplets", "function generate_world(name) { gen_droplet_erosion(1 << 62, null) }",
     "gen_droplet_erosion() runs at most 1048576 droplets, not 4611686018427387904", nullptr},
    {"1000 erosion reactions",
     "function generate_world(name) { gen_droplet_erosion(1, { reactions = array(1000, [0, 0, 0]) }) }",
     "erosion takes at most 8 reactions, not 1000", nullptr},
    {"constructor of another class",
     "function generate_world(name) { local m = HmapMask(0.25); vec4f.constructor.call(m, 7.0); m.getraw(0, 0) }",
     "invalid 'this' in C++ ctor call", nullptr},
    {"constructor run twice", "function generate_world(name) { local m = HmapMask(0.25); HmapMask.constructor.call(m, 7.0) }",
     "C++ ctor called on an instance that already has its object", nullptr},
};

int count_of(const std::string &text, const char *what)
{
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    n++;
  return n;
}
}  // namespace

TEST(HostileWorldScripts, EachEndsInAClearErrorAndLeavesTheMachineUsable)
{
  for (const Hostile &h : hostile_scripts)
  {
    SCOPED_TRACE(h.name);
    TempAppDir dir;
    dir.write("gen/main.nut", std::string(h.script));
    set_error_message(nullptr);
    std::string log = ScriptTest::captured([] {
      init_world_gen_vm();
      if (!has_error_message())
        generate_world("game");
    });
    const std::string msg = get_error_message();
    EXPECT_NE(msg.find(h.error), std::string::npos) << msg;
    if (h.where)
    {
      EXPECT_NE(msg.find(h.where), std::string::npos) << msg;
    }
    EXPECT_EQ(msg.find("SqFunc<> call failed"), std::string::npos);
    EXPECT_LE(count_of(log, "CALLSTACK\n"), 1) << log;  // one report per failure
    EXPECT_EQ(find_non_finite_world(nullptr), 0);

    HSQUIRRELVM v = world_gen.vm.vm;
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
    const char *probe = "return 6 * 7";
    ASSERT_TRUE(compile_buffer(v, probe, SQInteger(strlen(probe)), "probe"));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    SQInteger r = 0;
    sq_getinteger(v, -1, &r);
    EXPECT_EQ(r, 42);
    sq_pop(v, 2);
    close_world_gen_vm();
    set_error_message(nullptr);
  }
}
