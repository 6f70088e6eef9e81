#pragma once
// The script class "vec4f": an instance whose user pointer is a heap SqVec4f owned by the
// instance, and the conversions of script values to vec4f.
#include "script/sqbind.h"
#include "support/vec4f.h"

// Any value convertible to vec4f: a number gives four equal components, an array its elements
// 0..3, a "vec4f" instance its copy; anything else throws "getInst: invalid argument type".
struct Vec4Value
{
  vec4f v;
};

// A colour: an integer is a packed colour (0xAARRGGBB), anything else goes through the
// value-to-vec4f conversion.
struct ColorValue
{
  vec4f v;
};

// The payload of a script "vec4f" instance; its members are the class's script methods.
struct SqVec4f
{
  vec4f v;

  float _get(SQInteger index) const;
  void _set(SQInteger index, float value);
  vec4f _add(Vec4Value b) const { return v + b.v; }
  vec4f _sub(Vec4Value b) const { return v - b.v; }
  vec4f _mul(Vec4Value b) const { return v * b.v; }
  vec4f _div(Vec4Value b) const { return v / b.v; }
  vec4f _unm() const { return -v; }
};

template <>
struct sqbind::SqClassInfo<SqVec4f>
{
  using Tag = SqVec4f;
  static constexpr const char *name = "vec4f";
  static SQInteger release(SQUserPointer p, SQInteger size);
};

namespace sqbind
{
// The value-to-vec4f conversion of the value at idx.
vec4f get_vec4f_value(HSQUIRRELVM v, SQInteger idx);
// The colour conversion of the value at idx (integers are packed colours).
vec4f get_color_value(HSQUIRRELVM v, SQInteger idx);

template <>
struct SqArg<Vec4Value>
{
  static Vec4Value get(HSQUIRRELVM v, SQInteger i) { return {get_vec4f_value(v, i)}; }
};
template <>
struct SqArg<ColorValue>
{
  static ColorValue get(HSQUIRRELVM v, SQInteger i) { return {get_color_value(v, i)}; }
};
}  // namespace sqbind
