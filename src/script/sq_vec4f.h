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

struct SqVec4f
{
  vec4f v;
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

template <>
struct SqArg<Vec4Value>
{
  static Vec4Value get(HSQUIRRELVM v, SQInteger i) { return {get_vec4f_value(v, i)}; }
};
}  // namespace sqbind
