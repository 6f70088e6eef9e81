#include "render/shader_include.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/shader.h"
#include "render/shader_cache.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

HRESULT32 MyShaderInclude::open(int, const char *name, const void *, const void **data,
                                uint32_t *bytes)
{
  G_ASSERT(data);
  G_ASSERT(bytes);
  *data = nullptr;
  *bytes = 0;
  error = 0;
  TempString<260> path = make_full_path(name);
  int64_t size = 0;
  int fd = open_regular_file(path, MAX_SHADER_FILE, size, error);
  if (fd < 0)
    return D3DERR_INVALIDCALL;
  void *block = malloc(size_t(size) + 1);
  if (!block)
  {
    ::close(fd);
    error = ENOMEM;
    return SHADER_E_OUTOFMEMORY;
  }
  bool ok = read_exact(fd, block, size_t(size), error);
  ::close(fd);
  if (!ok)
  {
    free(block);
    return D3DERR_INVALIDCALL;
  }
  if (shader && !add_shader_dependency(shader, name, get_file_time(path)))
  {
    free(block);
    error = SHADER_TOO_MANY_FILES;
    return D3DERR_INVALIDCALL;
  }
  static_cast<char *>(block)[size] = 0;
  *data = block;
  *bytes = uint32_t(size);
  return D3D_OK;
}

void MyShaderInclude::close(const void *data) { free(const_cast<void *>(data)); }

// Index of `name` in the shader's dependency list; 0 without a shader.
static int dependency_index(const Shader *s, const char *name)
{
  if (!s)
    return 0;
  for (int i = 0; i < s->deps.size(); i++)
    if (!strcmp(s->deps[i].name, name))
      return i;
  return 0;
}

// The file name of an `#include "name"` (or <name>) line; false for any other line.
static bool include_name(const char *line, const char *end, char *name, int size)
{
  const char *p = line;
  while (p < end && (*p == ' ' || *p == '\t'))
    p++;
  if (p == end || *p != '#')
    return false;
  p++;
  while (p < end && (*p == ' ' || *p == '\t'))
    p++;
  if (end - p < 7 || memcmp(p, "include", 7) != 0)
    return false;
  p += 7;
  while (p < end && (*p == ' ' || *p == '\t'))
    p++;
  if (p == end || (*p != '"' && *p != '<'))
    return false;
  char close = *p == '"' ? '"' : '>';
  const char *q = ++p;
  while (q < end && *q != close)
    q++;
  if (q == end || q - p >= size || q == p)
    return false;
  memcpy(name, p, size_t(q - p));
  name[q - p] = 0;
  return true;
}

static bool starts_directive(const char *line, const char *end, const char *word)
{
  while (line < end && (*line == ' ' || *line == '\t'))
    line++;
  if (line == end || *line != '#')
    return false;
  line++;
  while (line < end && (*line == ' ' || *line == '\t'))
    line++;
  size_t l = strlen(word);
  return size_t(end - line) >= l && memcmp(line, word, l) == 0;
}

static bool expand(MyShaderInclude &inc, const char *name, int depth, std::string &out,
                   std::string &messages)
{
  const void *data = nullptr;
  uint32_t bytes = 0;
  HRESULT32 hr = inc.open(0, name, nullptr, &data, &bytes);
  if (hr != D3D_OK)
  {
    char why[64], buf[400];
    if (inc.error == SHADER_TOO_MANY_FILES)
      snprintf(why, sizeof(why), "more than %d files in one shader", SHADER_CACHE_MAX_DEPS);
    else
      snprintf(why, sizeof(why), "%s", file_error_text(inc.error));
    snprintf(buf, sizeof(buf), "can't open '%s': %s (code 0x%08X)\n", name, why, hr);
    messages += buf;
    return false;
  }
  int index = dependency_index(inc.shader, name);
  char line_dir[48];
  snprintf(line_dir, sizeof(line_dir), "#line 1 %d\n", index);
  out += line_dir;

  bool ok = true;
  const char *text = static_cast<const char *>(data), *end = text + bytes;
  int line_no = 1;
  for (const char *p = text; p < end && ok; line_no++)
  {
    const char *eol = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
    const char *le = eol ? eol : end;
    char inc_name[SHADER_NAME_SIZE];
    if (include_name(p, le, inc_name, sizeof(inc_name)))
    {
      if (depth + 1 >= MAX_SHADER_INCLUDE_DEPTH)
      {
        char buf[400];
        snprintf(buf, sizeof(buf), "%d:%d: includes nested too deep at '%s'\n", index, line_no,
                 inc_name);
        messages += buf;
        ok = false;
      }
      else
        ok = expand(inc, inc_name, depth + 1, out, messages);
      snprintf(line_dir, sizeof(line_dir), "#line %d %d\n", line_no + 1, index);
      out += line_dir;
    }
    else if (starts_directive(p, le, "version"))
      out += "\n";  // the device adds the one version line every stage needs
    else
    {
      out.append(p, size_t(le - p));
      out += '\n';
    }
    p = eol ? eol + 1 : end;
  }
  inc.close(data);
  return ok;
}

bool expand_shader_source(MyShaderInclude &inc, const char *name, std::string &out,
                          std::string &messages)
{
  return expand(inc, name, 0, out, messages);
}
