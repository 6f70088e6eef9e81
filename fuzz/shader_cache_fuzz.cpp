// Whatever a shader cache file holds, reading it stays inside the bytes, every accepted file has
// consistent parts (at most SHADER_CACHE_MAX_DEPS names, each once), and writing the parts back
// gives a file that reads the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "render/shader_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  ShaderCacheContents c;
  if (!parse_shader_cache(data, size, c))
    return 0;
  const char *begin = reinterpret_cast<const char *>(data), *end = begin + size;
  if (c.vs < begin || c.vs + c.vsLen > end || c.ps < begin || c.ps + c.psLen > end ||
      c.vsLen == 0 || c.psLen == 0)
    abort();
  if (c.deps.size() > size_t(SHADER_CACHE_MAX_DEPS))
    abort();
  std::set<std::string> unique(c.deps.begin(), c.deps.end());
  if (unique.size() != c.deps.size())
    abort();
  for (const std::string &d : c.deps)
    if (d.empty() || d.size() > SHADER_CACHE_MAX_NAME || memchr(d.data(), 0, d.size()))
      abort();

  std::string vs(c.vs, c.vsLen), ps(c.ps, c.psLen);
  std::string again = build_shader_cache(c.deps, vs, ps);
  ShaderCacheContents d;
  if (!parse_shader_cache(reinterpret_cast<const uint8_t *>(again.data()), again.size(), d) ||
      d.deps != c.deps || std::string(d.vs, d.vsLen) != vs || std::string(d.ps, d.psLen) != ps)
    abort();
  return 0;
}
