#pragma once
// What the module tests share: the module loaded with the game's world script, running script
// text in the world machine and stepping the module.
#include <gtest/gtest.h>
#include <squirrel.h>

#include <string>

#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "platform/timer.h"
#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/visual_log.h"

// A suite over the built module and the shipped world script; everything goes at its end.
struct ModuleWorldTest : testing::Test
{
  static void SetUpTestSuite()
  {
    init_timer();
    load_gameobj_module(QM_MODULE_FILE);
    init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
    ASSERT_FALSE(has_error_message()) << get_error_message();
  }
  static void TearDownTestSuite()
  {
    close_world_gen_vm();
    gameobj_module.remove_all_gameobj();
    unbind_gameobj_module();
    release_gameobj_lists();
  }
};

// The value of the text's `return` as a string, "error: ..." when it throws, or "compile error".
inline std::string run_world_script(const std::string &src)
{
  HSQUIRRELVM v = get_world_script_vm();
  SQInteger top = sq_gettop(v);
  std::string out = "compile error";
  if (compile_buffer(v, src.c_str(), SQInteger(src.size()), "test.nut"))
  {
    sq_pushroottable(v);
    bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse));
    if (!ok)
      sq_getlasterror(v);
    sq_tostring(v, -1);
    const SQChar *s = nullptr;
    sq_getstring(v, -1, &s);
    out = std::string(ok ? "" : "error: ") + (s ? s : "?");
  }
  sq_settop(v, top);
  return out;
}

// n steps of the module's objects at the game's 20 steps a second.
inline void module_steps(int n)
{
  for (int i = 0; i < n; i++)
    gameobj_module.update_gameobj(0.05f);
}
