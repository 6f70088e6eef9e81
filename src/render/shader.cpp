// Shader slots: sharing by name and defines, binding, constants, the compiler switch and close.
#include "render/shader.h"

#include <cstdlib>
#include <cstring>

#include "render/device.h"
#include "render/shader_cache.h"
#include "support/debug.h"

Shader shader_slots[MAX_SHADERS];
bool shader_compiler_disabled = false;
ShaderMessageHooks shader_message_hooks;

static bool compiler_loaded = false;

void init_shader_compiler()
{
  // The driver compiles GLSL whenever a device exists; switching it off exercises running from
  // the shader cache alone, as on a machine that has no compiler.
  const char *env = getenv("QM_NO_SHADER_COMPILER");
  bool off = shader_compiler_disabled || (env && env[0] && strcmp(env, "0") != 0);
  compiler_loaded = !off && get_render_backend();
  debug(compiler_loaded ? "shader compiler available" : "no shader compiler");
}

bool shader_compiler_available() { return compiler_loaded; }

int shader_defines_length(const char *defines)
{
  if (!defines)
    return 0;
  int at = 0;
  // Pairs of strings until an empty name; the final empty name counts.
  for (;;)
  {
    int l = int(strnlen(defines + at, size_t(SHADER_DEFINES_SIZE - at)));
    G_ASSERT(at+l<SHADER_DEFINES_SIZE);
    if (l == 0)
      return at == 0 ? 0 : at + 1;
    at += l + 1;
    l = int(strnlen(defines + at, size_t(SHADER_DEFINES_SIZE - at)));
    G_ASSERT(at+l<SHADER_DEFINES_SIZE);
    at += l + 1;
  }
}

bool add_shader_dependency(Shader *s, const char *name, int64_t time)
{
  // Both stages read the same files: each file is recorded once.
  for (const ShaderDependency &e : s->deps)
    if (!strcmp(e.name, name))
      return true;
  if (s->deps.size() >= SHADER_CACHE_MAX_DEPS)
    return false;
  ShaderDependency d;
  size_t l = strlen(name);
  G_ASSERT(l<sizeof(d.name));
  memcpy(d.name, name, l + 1);
  d.time = time;
  s->deps.push_back(d);
  return true;
}

static void release_device_shaders(Shader *s)
{
  RenderBackend *b = get_render_backend();
  if (b && s->vs)
    b->releaseShader(s->vs);
  if (b && s->ps)
    b->releaseShader(s->ps);
  s->vs = s->ps = {};
}

static void free_slot(Shader *s)
{
  if (bound_shader == s)
    set_shader(nullptr);
  release_device_shaders(s);
  s->deps.clear();
  s->name[0] = 0;
  s->definesLen = 0;
  s->refcount = 0;
}

Shader *create_shader(const char *name, const char *defines)
{
  G_ASSERT(name);
  size_t name_len = strlen(name);
  G_ASSERT(name_len<SHADER_NAME_SIZE);
  int defines_len = shader_defines_length(defines);

  for (Shader &s : shader_slots)
    if (s.vs && !strcmp(s.name, name) && s.definesLen == defines_len &&
        !memcmp(s.defines, defines ? defines : "", size_t(defines_len)))
    {
      s.refcount++;
      return &s;
    }

  Shader *s = nullptr;
  for (Shader &f : shader_slots)
    if (!f.vs)
    {
      s = &f;
      break;
    }
  if (!s)
    fatal("reached maximum shader count!");

  memcpy(s->name, name, name_len + 1);
  if (defines_len)
    memcpy(s->defines, defines, size_t(defines_len));
  s->definesLen = defines_len;

  if (!load_cached_shader(s) && !(compiler_loaded && compile_shader(s)))
  {
    free_slot(s);
    fatal("can't create shader from %s'%s'", compiler_loaded ? "" : "cache for ", name);
  }
  s->refcount++;
  return s;
}

void destroy_shader(Shader *s)
{
  if (!s)
    return;
  G_ASSERT(s->refcount>0);
  if (--s->refcount > 0)
    return;
  free_slot(s);
  G_ASSERT(s->deps.empty());
}

Shader *bound_shader = nullptr;

void set_shader(Shader *s)
{
  bound_shader = s;
  if (RenderBackend *b = get_render_backend())
    b->setShaders(s ? s->vs : ShaderHandle{}, s ? s->ps : ShaderHandle{});
}

void set_vs_const(int start, const float *data, int count)
{
  if (RenderBackend *b = get_render_backend())
    b->setShaderConstants(false, start, data, count);
}

void set_ps_const(int start, const float *data, int count)
{
  if (RenderBackend *b = get_render_backend())
    b->setShaderConstants(true, start, data, count);
}

void close_shaders()
{
  for (Shader &s : shader_slots)
    if (s.vs || s.ps || s.refcount)
      free_slot(&s);
  compiler_loaded = false;
}
