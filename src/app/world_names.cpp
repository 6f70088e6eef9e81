#include "app/world_names.h"

#include <cstdio>
#include <cstring>

WorldNameCheck check_world_name(HSQUIRRELVM v, const char *name, char *names, size_t names_size)
{
  names[0] = 0;
  const SQInteger top = sq_gettop(v);
  WorldNameCheck result = WorldNameCheck::Any;
  sq_pushroottable(v);
  sq_pushstring(v, "world_names", -1);
  if (SQ_SUCCEEDED(sq_rawget(v, -2)))
  {
    if (sq_gettype(v, -1) != OT_ARRAY)
      result = WorldNameCheck::Malformed;
    else
    {
      const SQInteger count = sq_getsize(v, -1);
      if (count > 0)
        result = WorldNameCheck::Unknown;
      size_t used = 0;
      for (SQInteger i = 0; i < count && result != WorldNameCheck::Malformed; i++)
      {
        sq_pushinteger(v, i);
        const SQChar *s = nullptr;
        if (SQ_FAILED(sq_rawget(v, -2)) || sq_gettype(v, -1) != OT_STRING || SQ_FAILED(sq_getstring(v, -1, &s)))
        {
          result = WorldNameCheck::Malformed;
          break;
        }
        if (result == WorldNameCheck::Unknown && strcmp(s, name) == 0)
          result = WorldNameCheck::Known;
        if (used < names_size)
          used += size_t(snprintf(names + used, names_size - used, "%s%s", i ? ", " : "", s));
        sq_pop(v, 1);
      }
    }
  }
  else
    sq_reseterror(v);  // a missing list is no error of the script's
  sq_settop(v, top);
  return result;
}
