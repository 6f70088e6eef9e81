#pragma once
// How the ramps are bound: native functions taking ColorRamp* or FloatRamp* accept a "ColorRamp"
// or "FloatRamp" instance (or null), and functions returning a new ramp hand it to the script.
#include "script/sqbind.h"
#include "support/color_ramp.h"

template <>
struct sqbind::SqClassInfo<ColorRamp>
{
  using Tag = SqColorRamp;
  static constexpr const char *name = "ColorRamp";
  static SQInteger release(SQUserPointer p, SQInteger size);
};

template <>
struct sqbind::SqClassInfo<FloatRamp>
{
  using Tag = SqFloatRamp;
  static constexpr const char *name = "FloatRamp";
  static SQInteger release(SQUserPointer p, SQInteger size);
};
