#include "render/shader_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

static uint32_t read_u32(const uint8_t *p)
{
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static void put_u32(std::string &out, uint32_t v)
{
  for (int i = 0; i < 4; i++)
    out += char((v >> (8 * i)) & 255);
}

bool parse_shader_cache(const uint8_t *data, size_t size, ShaderCacheContents &out)
{
  out = ShaderCacheContents();
  if (!data || size < SHADER_CACHE_HEADER || read_u32(data) != SHADER_CACHE_MAGIC)
    return false;
  uint64_t deps_len = read_u32(data + 4), vs_len = read_u32(data + 8), ps_len = read_u32(data + 12);
  if (SHADER_CACHE_HEADER + deps_len + vs_len + ps_len != size || vs_len == 0 || ps_len == 0)
    return false;
  const char *block = reinterpret_cast<const char *>(data + SHADER_CACHE_HEADER);
  // Names until the first empty one or the block's end; each must end inside the block.
  std::unordered_set<std::string_view> seen;
  int count = 0;
  size_t at = 0;
  while (at < deps_len)
  {
    const char *name = block + at;
    const void *zero = memchr(name, 0, size_t(deps_len - at));
    if (!zero)
      return false;
    size_t l = size_t(static_cast<const char *>(zero) - name);
    if (l == 0)
      break;
    if (l > SHADER_CACHE_MAX_NAME || ++count > SHADER_CACHE_MAX_DEPS)
      return false;
    if (seen.emplace(name, l).second)
      out.deps.emplace_back(name, l);
    at += l + 1;
  }
  out.vs = block + deps_len;
  out.vsLen = uint32_t(vs_len);
  out.ps = out.vs + vs_len;
  out.psLen = uint32_t(ps_len);
  return true;
}

std::string build_shader_cache(const std::vector<std::string> &deps, const std::string &vs,
                               const std::string &ps)
{
  std::string block;
  for (const std::string &d : deps)
  {
    block += d;
    block += '\0';
  }
  block += '\0';
  std::string out;
  put_u32(out, SHADER_CACHE_MAGIC);
  put_u32(out, uint32_t(block.size()));
  put_u32(out, uint32_t(vs.size()));
  put_u32(out, uint32_t(ps.size()));
  out += block;
  out += vs;
  out += ps;
  return out;
}

bool write_shader_cache_file(const char *path, const std::string &bytes)
{
  char tmp[300];
  if (snprintf(tmp, sizeof(tmp), "%s.tmp", path) >= int(sizeof(tmp)))
    return false;
  // Whatever stands at the temporary name must not block the open (a FIFO) or be written
  // through (a link): non-blocking, no links followed, regular files only.
  int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  struct stat st;
  FILE *f = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "wb") : nullptr;
  if (!f)
  {
    close(fd);
    return false;  // not ours to remove
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (ok)
    ok = rename(tmp, path) == 0;
  if (!ok)
    remove(tmp);
  return ok;
}
