#include "script/world_gen.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/timer.h"
#include "script/hmap_mask.h"
#include "script/script_math.h"
#include "script/world_gen_funcs.h"
#include "script/world_gen_hooks.h"
#include "support/debug.h"
#include "support/dyn_array.h"
#include "support/splash.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

WorldGenScript world_gen;
WorldGenHooks world_gen_hooks;

void show_script_error(const char *prefix, const sqbind::SquirrelError &e)
{
  const char *text = e.text ? e.text : "unknown error";
  const char *sep = e.where ? "\n" : "", *where = e.where ? e.where : "";
  DynArray<char> msg;
  const int len = snprintf(nullptr, 0, "%s\n%s%s%s", prefix, text, sep, where);
  msg.resize(len + 1);
  snprintf(msg.data, size_t(len) + 1, "%s\n%s%s%s", prefix, text, sep, where);
  set_error_message(msg.data);
}

void check_entry_point(const SqFunc<void> &f, const char *name)
{
  const SQObjectType t = f.func.type();
  if (f.isNull() || t == OT_CLOSURE || t == OT_NATIVECLOSURE)
    return;
  static char text[128];
  const char *type = sqbind::type_name(t);
  snprintf(text, sizeof(text), "'%s' is %s %s, not a function", name, strchr("aeiou", type[0]) ? "an" : "a", type);
  sqbind::throw_error(text);
}

void require_entry_point(const SqFunc<void> &f, const char *name)
{
  if (f.isNull())
  {
    static char text[64];
    snprintf(text, sizeof(text), "No '%s' function in script", name);
    throw sqbind::SquirrelError(text);
  }
  check_entry_point(f, name);
}

namespace
{
bool water_is_finite(const HD::Water &w)
{
  return std::isfinite(w.depth) && std::isfinite(w.vel_x) && std::isfinite(w.vel_z) && std::isfinite(w.foam);
}
}  // namespace

int find_non_finite_world(int *first)
{
  int count = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    if (!std::isfinite(HD::hmap[i]) || !water_is_finite(HD::water[i]))
    {
      if (count++ == 0 && first)
        *first = i;
    }
  return count;
}

namespace
{
struct EntryPoint
{
  const char *name;
  SqFunc<void> WorldGenScript::*func;
};
constexpr EntryPoint entry_points[3] = {{GENERATE_WORLD_FUNC, &WorldGenScript::generate_world},
                                        {PROCESS_EVENT_FUNC, &WorldGenScript::process_event},
                                        {UPDATE_SCRIPT_FUNC, &WorldGenScript::update_script}};

void bind_world_script_handles()
{
  HSQUIRRELVM v = world_gen.vm.vm;
  SqObject root = sqbind::root_table(v);
  for (const EntryPoint &e : entry_points)
    (world_gen.*e.func).lookup(v, root, e.name);
}

// After a load or reload: an entry point that is defined but no function is a script error.
bool entry_points_ok()
{
  try
  {
    for (const EntryPoint &e : entry_points)
      check_entry_point(world_gen.*e.func, e.name);
    return true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(WORLD_GEN_ERROR, e);
    return false;
  }
}

// A world the script left with non-finite heights or water is an error; the samples become 0 so
// that the water step and the renderer never see them.
void check_world_is_finite()
{
  int first = 0;
  const int count = find_non_finite_world(&first);
  if (!count)
    return;
  char text[200];
  snprintf(text, sizeof(text),
           "generate_world left %d samples with non-finite heights or water (the first at x %d, z %d); "
           "they were set to 0",
           count, first & (HMAP_SIZE - 1), first >> HMAP_SIZE_SHIFT);
  if (has_error_message())
    append_error_message(text, -1);
  else
    show_script_error(WORLD_GEN_ERROR, sqbind::SquirrelError(text));
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    if (!std::isfinite(HD::hmap[i]))
      HD::hmap[i] = 0;
    if (!water_is_finite(HD::water[i]))
      HD::water[i] = HD::Water{};
  }
}

// Takes the entry points out of the root table before a reload, so that a function the changed
// script no longer defines is gone afterwards; `saved` keeps them for a reload that fails.
void detach_entry_points(HSQUIRRELVM v, SqObject (&saved)[3])
{
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  for (int i = 0; i < 3; i++)
  {
    sq_pushstring(v, entry_points[i].name, -1);
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
    sq_pushstring(v, entry_points[i].name, -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2)))
    {
      sq_pop(v, 1);
      continue;
    }
    sq_pushstring(v, entry_points[i].name, -1);
    sq_pushobject(v, saved[i].o);
    sq_newslot(v, -3, SQFalse);
  }
}

void release_world_script_handles()
{
  for (const EntryPoint &e : entry_points)
  {
    SqFunc<void> &f = world_gen.*e.func;
    f.func.release();
    f.receiver.release();
    f.vm = nullptr;
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
  bool loaded = false;
  try
  {
    if (!world_gen.vm.addScript(script ? script : WORLD_GEN_SCRIPT))
      sqbind::throw_call_failure(v, "the world script did not load");
    loaded = true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(WORLD_GEN_ERROR, e);
  }
  bind_world_script_handles();
  if (loaded)
    entry_points_ok();
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
  // Effects of the old world go before the script (and the objects it creates) can start new ones.
  if (world_gen_hooks.reset_common_fx)
    world_gen_hooks.reset_common_fx();
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);

  try
  {
    require_entry_point(world_gen.generate_world, GENERATE_WORLD_FUNC);
    world_gen.generate_world(name);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(WORLD_GEN_ERROR, e);
  }
  check_world_is_finite();

  if (world_gen.vm.vm)
    sq_collectgarbage(world_gen.vm.vm);
  memcpy(HD::target_hmap, HD::hmap, sizeof(HD::hmap));
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
  if (world_gen_hooks.full_land_update)
    world_gen_hooks.full_land_update();
  if (world_gen_hooks.reset_update_time)
    world_gen_hooks.reset_update_time();
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
    show_script_error(WORLD_GEN_ERROR, e);
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
    // Forced: the entry points were taken out, so every listed file runs again (main file
    // first), whichever of them changed.
    if (!world_gen.vm.reload(true))
      sqbind::throw_call_failure(v, "the world script did not load");
    ok = true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(WORLD_GEN_ERROR, e);
    restore_entry_points(v, saved);
  }
  bind_world_script_handles();
  ok = ok && entry_points_ok();
  if (ok)
    generate_world("game");
  return true;
}
