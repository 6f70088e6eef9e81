// The effect script machine and the functions bound into it.
#include "world_render/fx_script.h"

#include <squirrel.h>

#include <cstdio>
#include <unordered_set>
#include <vector>

#include "script/script_math.h"
#include "script/sq_func.h"
#include "script/sq_ramps.h"
#include "script/sq_vec4f.h"
#include "script/sq_vm_reload.h"
#include "script/world_script.h"
#include "support/debug.h"
#include "support/visual_log.h"
#include "world_render/common_fx.h"

namespace
{
constexpr const char *error_prefix = "Error in fx script:";
constexpr int PRUNE_STEPS = 20;

SqReloadableVM fx_vm;
SqFunc<void> update_fx;
int steps_since_prune = 0;

// A script ramp some particle points at, kept alive by this reference.
struct HeldRamp
{
  const void *ramp;
  SqObject ref;
};
std::vector<HeldRamp> held_ramps;

// The ramp of slot `name` (null allowed); the script instance is held while particles use it.
template <class Ramp>
const Ramp *ramp_slot(HSQUIRRELVM v, const SqObject &desc, const char *name)
{
  SqObject value;
  sqbind::getSlot(v, desc, name, value);
  sqbind::StackGuard guard{v};
  sq_pushobject(v, value.o);
  const Ramp *r = sqbind::SqArg<Ramp *>::get(v, -1);
  if (!r)
    return nullptr;
  for (const HeldRamp &h : held_ramps)
    if (h.ramp == r)
      return r;
  held_ramps.push_back({r, value});
  return r;
}

// An integer is a packed colour; anything else is read as a vec4f and packed.
D3dColor color_slot(HSQUIRRELVM v, const SqObject &desc)
{
  SqObject value;
  sqbind::getSlot(v, desc, "color", value);
  sqbind::StackGuard guard{v};
  sq_pushobject(v, value.o);
  SQInteger packed = 0;
  if (sq_gettype(v, -1) == OT_INTEGER && SQ_SUCCEEDED(sq_getinteger(v, -1, &packed)))
    return D3dColor(packed);
  return vec4f_to_color(sqbind::get_vec4f_value(v, -1));
}

using AddParticle = void (*)(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                             const ColorRamp *, const FloatRamp *, const FloatRamp *);

void add_from_table(AddParticle add, HSQUIRRELVM v, vec4f pos, vec4f vel, const SqObject &desc)
{
  if (desc.type() != OT_TABLE && desc.type() != OT_INSTANCE)
    sqbind::throw_error("the particle description must be a table");
  vec4f accel;
  float life, delay, size, mapU, mapV, mapSize, startRoll, rollScale;
  sqbind::getSlot(v, desc, "accel", accel);
  sqbind::getSlot(v, desc, "life", life);
  sqbind::getSlot(v, desc, "delay", delay);
  sqbind::getSlot(v, desc, "size", size);
  sqbind::getSlot(v, desc, "mapU", mapU);
  sqbind::getSlot(v, desc, "mapV", mapV);
  sqbind::getSlot(v, desc, "mapSize", mapSize);
  sqbind::getSlot(v, desc, "startRoll", startRoll);
  sqbind::getSlot(v, desc, "rollScale", rollScale);
  const ColorRamp *colorAnim = ramp_slot<ColorRamp>(v, desc, "colorAnim");
  const FloatRamp *sizeAnim = ramp_slot<FloatRamp>(v, desc, "sizeAnim");
  const FloatRamp *rollAnim = ramp_slot<FloatRamp>(v, desc, "rollAnim");
  const D3dColor color = color_slot(v, desc);
  add(pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale, colorAnim, sizeAnim,
      rollAnim);
}

void script_blend_particle(HSQUIRRELVM v, vec4f pos, vec4f vel, SqObject desc)
{
  add_from_table(add_blend_particle, v, pos, vel, desc);
}
void script_glow_particle(HSQUIRRELVM v, vec4f pos, vec4f vel, SqObject desc)
{
  add_from_table(add_glow_particle, v, pos, vel, desc);
}
void script_lightning(vec4f from, vec4f to, vec4f bend, float width, float wavelength, float amplitude, float life,
                      SQInteger color, SQInteger points)
{
  add_lightning_fx(from, to, bend, width, wavelength, amplitude, life, D3dColor(color), int(points));
}

void bind_fx_functions(HSQUIRRELVM v)
{
  register_ramp_classes(v);
  register_script_math(v);
  const SqObject root = sqbind::root_table(v);
  sqbind::bind_function(v, root, "add_blend_particle", &script_blend_particle);
  sqbind::bind_function(v, root, "add_glow_particle", &script_glow_particle);
  sqbind::bind_function(v, root, "add_lightning_fx", &script_lightning);
}

void lookup_update_fx() { update_fx.lookup(fx_vm.vm, sqbind::root_table(fx_vm.vm), "update_fx"); }

void release_update_fx()
{
  update_fx.func.release();
  update_fx.receiver.release();
  update_fx.vm = nullptr;
}

void show_load_error(const char *fallback)
{
  try
  {
    sqbind::throw_call_failure(fx_vm.vm, fallback);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(error_prefix, e);
  }
}
}  // namespace

void init_fx_script(const char *script)
{
  close_fx_script();
  if (!fx_vm.init(1024))
    fatal("error creating fx script VM");
  bind_fx_functions(fx_vm.vm);
  if (fx_vm.addScript(script ? script : FX_SCRIPT))
    lookup_update_fx();
  else
    show_load_error("the fx script did not load");
}

void update_fx_script(float dt)
{
  if (++steps_since_prune >= PRUNE_STEPS)
    prune_fx_script_ramps();
  if (update_fx.isNull())
    return;
  try
  {
    update_fx(dt);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(error_prefix, e);
  }
}

bool check_fx_script_reload()
{
  if (!fx_vm.vm || !fx_vm.isModified())
    return false;
  clear_particles_and_bolts();
  held_ramps.clear();
  release_update_fx();
  set_error_message(nullptr);
  if (fx_vm.reload(true))
    lookup_update_fx();
  else
    show_load_error("the fx script did not load");
  return true;
}

void close_fx_script()
{
  release_update_fx();
  held_ramps.clear();
  fx_vm.close();
  fx_vm.scripts.clear();
}

void call_fx_script(const char *name, vec4f a, vec4f b, vec4f c, float d)
{
  if (!fx_vm.vm)
  {
    debug("call_fx_script('%s'): no fx script machine", name ? name : "");
    return;
  }
  try
  {
    SqFunc<void> f;
    if (!name || !f.lookup(fx_vm.vm, sqbind::root_table(fx_vm.vm), name) || f.isNull())
    {
      static char text[160];
      snprintf(text, sizeof(text), "No '%s' function in script", name ? name : "");
      sqbind::throw_error(text);
    }
    f(a, b, c, d);
  }
  catch (const sqbind::SquirrelError &e)
  {
    show_script_error(error_prefix, e);
  }
}

int prune_fx_script_ramps()
{
  steps_since_prune = 0;
  if (held_ramps.empty())
    return 0;
  std::unordered_set<const void *> used;
  for (const ParticlePool *pool : {&common_fx.blend, &common_fx.glow})
    for (const Particle &p : pool->parts)
      if (p.life > 0.f)
      {
        used.insert(p.colorAnim);
        used.insert(p.sizeAnim);
        used.insert(p.rollAnim);
      }
  std::erase_if(held_ramps, [&](const HeldRamp &h) { return !used.count(h.ramp); });
  return int(held_ramps.size());
}
