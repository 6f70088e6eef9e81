#include "script/world_gen.h"

#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/main_loop.h"
#include "app/timer.h"
#include "gui/splash.h"
#include "gui/visual_log.h"
#include "script/hmap_mask.h"
#include "script/script_math.h"
#include "script/world_gen_funcs.h"
#include "script/world_gen_hooks.h"
#include "support/debug.h"
#include "support/dyn_array.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

WorldGenScript world_gen;
WorldGenHooks world_gen_hooks;

// "<prefix>\n<text>" as the on-screen error message.
void show_script_error(const char *prefix, const char *text)
{
  if (!text)
    text = "unknown error";
  DynArray<char> msg;
  const int len = snprintf(nullptr, 0, "%s\n%s", prefix, text);
  msg.resize(len + 1);
  snprintf(msg.data, size_t(len) + 1, "%s\n%s", prefix, text);
  set_error_message(msg.data);
}

namespace
{
void bind_world_script_handles()
{
  HSQUIRRELVM v = world_gen.vm.vm;
  SqObject root = sqbind::root_table(v);
  world_gen.generate_world.lookup(v, root, "generate_world");
  world_gen.process_event.lookup(v, root, "process_event");
  world_gen.update_script.lookup(v, root, "update_script");
}

const char *const entry_points[3] = {"generate_world", "process_event", "update_script"};

// Takes the entry points out of the root table before a reload, so that a function the changed
// script no longer defines is gone afterwards; `saved` keeps them for a reload that fails.
void detach_entry_points(HSQUIRRELVM v, SqObject (&saved)[3])
{
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  for (int i = 0; i < 3; i++)
  {
    sq_pushstring(v, entry_points[i], -1);
    if (SQ_SUCCEEDED(sq_deleteslot(v, -2, SQTrue)))
    {
      saved[i].fromStack(v, -1);
      sq_pop(v, 1);
    }
  }
}

// Puts back the saved entry points that the failed reload did not define again.
void restore_entry_points(HSQUIRRELVM v, SqObject (&saved)[3])
{
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  for (int i = 0; i < 3; i++)
  {
    if (saved[i].isNull())
      continue;
    sq_pushstring(v, entry_points[i], -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2)))
    {
      sq_pop(v, 1);
      continue;
    }
    sq_pushstring(v, entry_points[i], -1);
    sq_pushobject(v, saved[i].o);
    sq_newslot(v, -3, SQFalse);
  }
}

void release_world_script_handles()
{
  for (SqFunc<void> *f : {&world_gen.generate_world, &world_gen.process_event, &world_gen.update_script})
  {
    f->func.release();
    f->receiver.release();
    f->vm = nullptr;
  }
}
}  // namespace

void init_world_gen_vm(const char *script)
{
  close_world_gen_vm();
  if (!world_gen.vm.init(1024))
    fatal("error creating world gen script VM");
  HSQUIRRELVM v = world_gen.vm.vm;
  register_ramp_classes(v);
  register_hmap_mask(v);
  rebind_world_gen_gameobj();
  register_script_math(v);
  register_world_gen_functions(v);
  try
  {
    if (!world_gen.vm.addScript(script ? script : WORLD_GEN_SCRIPT))
      throw sqbind::SquirrelError(sqbind::last_error_text(v));
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error("Error in world gen script:", e.text);
  }
  bind_world_script_handles();
}

void close_world_gen_vm()
{
  release_world_script_handles();
  world_gen.vm.close();
  world_gen.vm.scripts.clear();
}

void generate_world(const char *name)
{
  show_splash("Generating new world...", -1);
  const int64_t start = get_ref_time();
  if (world_gen_hooks.remove_all_gameobj)
    world_gen_hooks.remove_all_gameobj();
  if (world_gen_hooks.before_generate)
    world_gen_hooks.before_generate();
  HD::reset();
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);

  try
  {
    if (world_gen.generate_world.isNull())
      throw sqbind::SquirrelError("No 'generate_world' function in script");
    world_gen.generate_world(name);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error("Error in world gen script:", e.text);
  }

  if (world_gen.vm.vm)
    sq_collectgarbage(world_gen.vm.vm);
  memcpy(HD::target_hmap, HD::hmap, sizeof(HD::hmap));
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
  if (world_gen_hooks.reset_common_fx)
    world_gen_hooks.reset_common_fx();
  if (world_gen_hooks.full_land_update)
    world_gen_hooks.full_land_update();
  reset_update_time();
  if (world_gen_hooks.after_generate)
    world_gen_hooks.after_generate();
  debug("generated world in %d ms", get_time_msec(get_ref_time() - start));
}

void rebind_world_gen_gameobj()
{
  if (!world_gen.vm.vm || !world_gen_hooks.bind_gameobj)
    return;
  try
  {
    world_gen_hooks.bind_gameobj(world_gen.vm.vm);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error("Error in world gen script:", e.text);
  }
}

bool check_world_gen_reload()
{
  if (!world_gen.vm.vm || !world_gen.vm.isModified())
    return false;
  HSQUIRRELVM v = world_gen.vm.vm;
  set_error_message(nullptr);
  SqObject saved[3];
  detach_entry_points(v, saved);
  bool ok = false;
  try
  {
    if (!world_gen.vm.reload(false))
      throw sqbind::SquirrelError(sqbind::last_error_text(v));
    ok = true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error("Error in world gen script:", e.text);
    restore_entry_points(v, saved);
  }
  bind_world_script_handles();
  if (ok)
    generate_world("game");
  return true;
}
