// Path resolution never overflows and never leaves "." or ".." parts in an absolute result.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/file_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  char name[240];
  size_t n = size < sizeof(name) - 1 ? size : sizeof(name) - 1;
  memcpy(name, data, n);
  name[n] = 0;
  strcpy(app_path, "/game/bin/");
  TempString<260> p = make_full_path(name);
  if (strchr(p.str, '\\'))
    abort();
  if (p.str[0] == '/' && (strstr(p.str, "/./") || strstr(p.str, "/../") || strstr(p.str, "//")))
    abort();
  return 0;
}
