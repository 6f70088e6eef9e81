#include "script/sq_vec4f.h"

#include "support/color.h"

static void check_index(SQInteger index)
{
  if (index < 0 || index > 3)
    sqbind::throw_error("vec4f index out of range");
}

float SqVec4f::_get(SQInteger index) const
{
  check_index(index);
  return v_get(v, int(index));
}

void SqVec4f::_set(SQInteger index, float value)
{
  check_index(index);
  v = v_set(v, int(index), value);
}

SQInteger sqbind::SqClassInfo<SqVec4f>::release(SQUserPointer p, SQInteger)
{
  delete static_cast<SqVec4f *>(p);
  return 0;
}

namespace sqbind
{
vec4f SqArg<vec4f>::get(HSQUIRRELVM v, SQInteger i)
{
  void *p = get_instance_up(v, i, tag_of<SqVec4f>());
  if (!p)
    throw_error(inst_error_text);
  return static_cast<SqVec4f *>(p)->v;
}

void push_result(HSQUIRRELVM v, vec4f r)
{
  using Info = SqClassInfo<SqVec4f>;
  SqVec4f *p = new SqVec4f{r};
  try
  {
    push_instance(v, p, tag_of<SqVec4f>(), Info::name, &Info::release);
  }
  catch (const SquirrelError &)
  {
    delete p;  // no instance took it
    throw;
  }
}

vec4f get_vec4f_value(HSQUIRRELVM v, SQInteger idx)
{
  switch (arg_type(v, idx))
  {
    case OT_INTEGER:
    case OT_FLOAT:
    {
      SQFloat f = 0;
      sq_getfloat(v, idx, &f);
      return v_splats(f);
    }
    case OT_ARRAY:
    {
      StackGuard guard{v};
      float c[4];
      for (int i = 0; i < 4; i++)
      {
        sq_pushinteger(v, i);
        if (SQ_FAILED(sq_get(v, idx < 0 ? idx - 1 : idx)))
          throw_error(last_error_text(v));
        SQFloat f = 0;
        if (SQ_FAILED(sq_getfloat(v, -1, &f)))
          throw_error(type_error_text);
        c[i] = f;
        sq_pop(v, 1);
      }
      return v_make(c[0], c[1], c[2], c[3]);
    }
    case OT_INSTANCE:
      return SqArg<vec4f>::get(v, idx);
    default: throw_error(inst_error_text);
  }
}

vec4f get_color_value(HSQUIRRELVM v, SQInteger idx)
{
  if (arg_type(v, idx) == OT_INTEGER)
  {
    SQInteger n = 0;
    sq_getinteger(v, idx, &n);
    return color_to_vec4f(D3dColor(uint64_t(n)));
  }
  return get_vec4f_value(v, idx);
}
}  // namespace sqbind
