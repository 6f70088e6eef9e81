#include "script/world_script.h"

#include <cstdio>

#include "script/world_gen.h"
#include "support/debug.h"
#include "support/visual_log.h"

namespace
{
const char *const world_script_error = "Error in world script:";

template <class Fn>
bool guarded(Fn &&fn)
{
  try
  {
    fn();
    return true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(world_script_error, e);
    return false;
  }
}

void send_event(auto &&push_event)
{
  guarded([&] {
    require_entry_point(world_gen.process_event, PROCESS_EVENT_FUNC);
    push_event();
  });
}
}  // namespace

HSQUIRRELVM get_world_script_vm() { return world_gen.vm.vm; }

void update_world_script(float dt)
{
  if (world_gen.update_script.isNull())
    return;
  guarded([&] {
    check_entry_point(world_gen.update_script, UPDATE_SCRIPT_FUNC);
    world_gen.update_script(dt);
  });
}

void world_script_event(const SqObject &event)
{
  send_event([&] { world_gen.process_event(event); });
}

void world_script_str_event(const char *name)
{
  send_event([&] { world_gen.process_event(name ? name : ""); });
}

int get_world_script_bool(const char *name, int def)
{
  HSQUIRRELVM v = world_gen.vm.vm;
  int result = def;
  guarded([&] {
    if (!v)
      throw sqbind::SquirrelError("no world script");
    sqbind::StackGuard guard{v};
    sq_pushroottable(v);
    sq_pushstring(v, name ? name : "", -1);
    if (SQ_FAILED(sq_get(v, -2)))
    {
      // sq_get leaves no error of its own: raise the text a script would see.
      debug("getGlobal '%s' failed", name ? name : "");
      static char text[160];
      snprintf(text, sizeof(text), "the index '%.100s' does not exist", name ? name : "");
      throw sqbind::SquirrelError(text);
    }
    SQBool b = SQFalse;
    sq_tobool(v, -1, &b);
    result = b ? 1 : 0;
  });
  return result;
}

bool call_bool_func(SqFunc<bool> &func, bool def)
{
  if (func.isNull())
    return def;
  bool result = def;
  guarded([&] { result = func(); });
  return result;
}
