// The script classes "ColorRamp" and "FloatRamp".
#include <cmath>
#include <cstdio>
#include <memory>

#include "script/script_math.h"
#include "script/sq_func.h"
#include "script/sq_ramps.h"
#include "script/sq_vec4f.h"
#include "support/color_ramp.h"

SQInteger sqbind::SqClassInfo<ColorRamp>::release(SQUserPointer p, SQInteger)
{
  delete static_cast<ColorRamp *>(p);
  return 0;
}

SQInteger sqbind::SqClassInfo<FloatRamp>::release(SQUserPointer p, SQInteger)
{
  delete static_cast<FloatRamp *>(p);
  return 0;
}

namespace
{
// Calls the script function f(t) for t = i/256, i = 0..256, with the root table as `this`,
// handing each result (on the stack) to `store`, which returns the value it stored. A value that
// is not finite is an error naming the ramp and t.
template <class Store>
void fill_from_script(HSQUIRRELVM v, const SqObject &f, const char *ramp, Store &&store)
{
  if (f.type() != OT_CLOSURE && f.type() != OT_NATIVECLOSURE)
  {
    static char text[64];
    snprintf(text, sizeof(text), "%s() needs a function(t)", ramp);
    sqbind::throw_error(text);
  }
  SqFunc<SqObject> fn;
  fn.vm = v;
  fn.func = f;
  fn.receiver.assignWeak(sqbind::root_table(v));
  for (int i = 0; i <= 256; i++)
  {
    const float t = float(i) / 256.0f;
    SqObject r = fn(t);
    sqbind::StackGuard guard{v};
    sq_pushobject(v, r.o);
    const vec4f value = store(i, v);
    if (!(std::isfinite(v_extract_x(value)) && std::isfinite(v_extract_y(value)) && std::isfinite(v_extract_z(value)) &&
          std::isfinite(v_extract_w(value))))
    {
      static char text[96];
      snprintf(text, sizeof(text), "%s() function returned a non-finite value at t = %g", ramp, double(t));
      sqbind::throw_error(text);
    }
  }
}

// The created ramp becomes the instance's payload, freed by its release hook.
template <class Ramp>
void attach(HSQUIRRELVM v, std::unique_ptr<Ramp> r)
{
  sqbind::init_instance(r.get(), v, &sqbind::SqClassInfo<Ramp>::release);
  r.release();
}

void color_ramp_ctor(HSQUIRRELVM v, SqObject f)
{
  auto r = std::make_unique<ColorRamp>();
  fill_from_script(v, f, "ColorRamp", [&](int i, HSQUIRRELVM vm) { return r->c[i] = sqbind::get_color_value(vm, -1); });
  attach(v, std::move(r));
}

void float_ramp_ctor(HSQUIRRELVM v, SqObject f)
{
  auto r = std::make_unique<FloatRamp>();
  fill_from_script(v, f, "FloatRamp",
                   [&](int i, HSQUIRRELVM vm) { return v_splats(r->c[i] = sqbind::SqArg<float>::get(vm, -1)); });
  attach(v, std::move(r));
}

ColorRamp *color_const(ColorValue c)
{
  ColorRamp *r = new ColorRamp;
  ramp_const(*r, c.v);
  return r;
}
ColorRamp *color_linear(ColorValue a, ColorValue b)
{
  ColorRamp *r = new ColorRamp;
  ramp_linear(*r, a.v, b.v);
  return r;
}
ColorRamp *color_fade(ColorValue a, ColorValue b, ColorValue c, float fade_in, float fade_out)
{
  ColorRamp *r = new ColorRamp;
  ramp_fade_in_out(*r, a.v, b.v, c.v, fade_in, fade_out);
  return r;
}
FloatRamp *float_const(float c)
{
  FloatRamp *r = new FloatRamp;
  ramp_const(*r, c);
  return r;
}
FloatRamp *float_linear(float a, float b)
{
  FloatRamp *r = new FloatRamp;
  ramp_linear(*r, a, b);
  return r;
}
FloatRamp *float_fade(float a, float b, float c, float fade_in, float fade_out)
{
  FloatRamp *r = new FloatRamp;
  ramp_fade_in_out(*r, a, b, c, fade_in, fade_out);
  return r;
}
}  // namespace

void register_ramp_classes(HSQUIRRELVM v)
{
  using namespace sqbind;
  SqObject cr = create_class(v, "ColorRamp", nullptr, tag_of<SqColorRamp>());
  bind_ctor(cr, &color_ramp_ctor);
  bind_method(cr, "get", &ColorRamp::get);
  bind_method(cr, "dump", &ColorRamp::dump);
  bind_function(v, cr, "constRamp", &color_const);
  bind_function(v, cr, "linear", &color_linear);
  bind_function(v, cr, "fadeInOut", &color_fade);

  SqObject fr = create_class(v, "FloatRamp", nullptr, tag_of<SqFloatRamp>());
  bind_ctor(fr, &float_ramp_ctor);
  bind_method(fr, "get", &FloatRamp::get);
  bind_method(fr, "dump", &FloatRamp::dump);
  bind_function(v, fr, "constRamp", &float_const);
  bind_function(v, fr, "linear", &float_linear);
  bind_function(v, fr, "fadeInOut", &float_fade);
}
