#pragma once
// What the module tests share: running script text in the world machine and stepping the module.
#include <squirrel.h>

#include <string>

#include "gameobj_host/gameobj_module.h"
#include "script/sq_vm.h"
#include "script/world_script.h"

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
