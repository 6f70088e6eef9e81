#pragma once
// A script machine with the whole world generation interface registered, over a fresh world.
#include "script/hmap_mask.h"
#include "script/script_math.h"
#include "script/world_gen_funcs.h"
#include "script_test_util.h"
#include "support/color_ramp.h"
#include "terrain/hmap_data.h"
#include "terrain/noise.h"

struct WorldGenFixture : ScriptTest
{
  void SetUp() override
  {
    ScriptTest::SetUp();
    register_ramp_classes(v);
    register_hmap_mask(v);
    register_script_math(v);
    register_world_gen_functions(v);
    HeightmapData::reset();
  }

  // Runs `body` as a function's body and returns the error text ("" on success).
  std::string run(const std::string &body)
  {
    std::string src = "function test_body() {\n" + body + "\n}";
    if (!exec(src.c_str()))
      return "compile error";
    std::string err;
    captured([&] { err = errorOf("test_body"); });
    return err;
  }
  float runFloat(const std::string &expr)
  {
    std::string src = "function test_value() { return (" + expr + ").tofloat() }";
    EXPECT_TRUE(exec(src.c_str()));
    return callFloat("test_value");
  }
};
