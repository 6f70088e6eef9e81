#include "world_render/sky_script.h"

#include <cmath>
#include <cstdio>

#include "script/sq_func.h"
#include "script/sq_vm_reload.h"
#include "script/world_script.h"
#include "support/debug.h"
#include "support/visual_log.h"
#include "world_render/sky.h"

namespace
{
constexpr const char *error_prefix = "Error in sky script:";
constexpr const char *entry_point = "get_sky_colors";

SqReloadableVM sky_vm;
SqFunc<SqObject> get_sky_colors;

void bind_handle()
{
  get_sky_colors.lookup(sky_vm.vm, sqbind::root_table(sky_vm.vm), entry_point);
}

void release_handle()
{
  get_sky_colors.func.release();
  get_sky_colors.receiver.release();
  get_sky_colors.vm = nullptr;
}

// Pushes item `index` of the value on the stack top; throws naming `what` when it has none.
void push_item(HSQUIRRELVM v, SQInteger index, float angle, const char *what)
{
  sq_pushinteger(v, index);
  if (SQ_FAILED(sq_get(v, -2)))
  {
    static char text[160];
    snprintf(text, sizeof(text), "%s(%g): %s has no item %d (it must be an array of %d arrays of 3 numbers)",
             entry_point, angle, what, int(index), SKY_SCRIPT_VECTORS);
    sqbind::throw_error(text);
  }
}

// Reads the ten triples of the result on the stack top.
void read_colors(HSQUIRRELVM v, float angle, vec4f out[])
{
  static char text[160];
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
  {
    push_item(v, i, angle, "the result");
    char what[32];
    snprintf(what, sizeof(what), "item %d", i);
    float c[3];
    for (int k = 0; k < 3; k++)
    {
      push_item(v, k, angle, what);
      SQFloat f = 0;
      if (SQ_FAILED(sq_getfloat(v, -1, &f)))
      {
        snprintf(text, sizeof(text), "%s(%g): item %d[%d] is a %s, not a number", entry_point, angle, i, k,
                 sqbind::type_name(sq_gettype(v, -1)));
        sqbind::throw_error(text);
      }
      c[k] = float(f);
      if (!std::isfinite(c[k]))
      {
        snprintf(text, sizeof(text), "%s(%g): item %d[%d] is %g, not a finite number", entry_point, angle, i, k,
                 double(f));
        sqbind::throw_error(text);
      }
      sq_pop(v, 1);
    }
    out[i] = v_make(c[0], c[1], c[2], 0.f);
    sq_pop(v, 1);
  }
}

// Takes get_sky_colors out of the root table before a reload, so that a script that no longer
// defines it falls back to the default table; `saved` keeps it for a reload that fails.
void detach_entry_point(HSQUIRRELVM v, SqObject &saved)
{
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  sq_pushstring(v, entry_point, -1);
  if (SQ_SUCCEEDED(sq_deleteslot(v, -2, SQTrue)))
    saved.fromStack(v, -1);
}

// Puts the saved function back unless the failed reload defined it again.
void restore_entry_point(HSQUIRRELVM v, const SqObject &saved)
{
  if (saved.isNull())
    return;
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  sq_pushstring(v, entry_point, -1);
  if (SQ_SUCCEEDED(sq_rawget(v, -2)))
    return;
  sq_pushstring(v, entry_point, -1);
  sq_pushobject(v, saved.o);
  sq_newslot(v, -3, SQFalse);
}
}  // namespace

void init_sky_script(const char *script)
{
  close_sky_script();
  if (!sky_vm.init(1024))
    fatal("error creating sky script VM");
  if (!sky_vm.addScript(script ? script : SKY_SCRIPT))
    fatal("error in sky script\n%s", sqbind::last_error_text(sky_vm.vm));
  bind_handle();
}

void close_sky_script()
{
  release_handle();
  sky_vm.close();
  sky_vm.scripts.clear();
}

bool sky_script_colors(vec4f sun, vec4f out[])
{
  if (get_sky_colors.isNull())
  {
    for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
      out[i] = sky_default_vectors[i];
    return true;
  }
  const float angle = sky_sun_angle(sun);
  HSQUIRRELVM v = sky_vm.vm;
  try
  {
    SqObject result = get_sky_colors(angle);
    sqbind::StackGuard guard{v};
    result.pushTarget(v);
    vec4f colors[SKY_SCRIPT_VECTORS];
    read_colors(v, angle, colors);
    for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
      out[i] = colors[i];
    return true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(error_prefix, e);
    return false;
  }
}

bool reload_sky_script(bool &loaded)
{
  loaded = false;
  if (!sky_vm.vm || !sky_vm.isModified())
    return false;
  HSQUIRRELVM v = sky_vm.vm;
  set_error_message(nullptr);
  SqObject saved;
  detach_entry_point(v, saved);
  try
  {
    // Forced: the entry point was taken out, so every listed file runs again (main file first).
    if (!sky_vm.reload(true))
      sqbind::throw_call_failure(v, "the sky script did not load");
    loaded = true;
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(error_prefix, e);
    restore_entry_point(v, saved);
  }
  bind_handle();
  return true;
}
