// Building shaders: from source through the driver's compiler, and from the cache file.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/device.h"
#include "render/shader.h"
#include "render/shader_cache.h"
#include "render/shader_include.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

bool shader_reload_in_progress = false;

// Cache files larger than this are not read.
static constexpr int64_t MAX_CACHE_FILE = 64l << 20;

namespace
{
// One compiled stage: its preprocessed text (what the cache keeps) and the device shader the
// driver made from it.
struct CompiledCode
{
  std::string text;
  ShaderHandle shader;
  bool pixel = false;
  void release()
  {
    if (shader && get_render_backend())
      get_render_backend()->releaseShader(shader);
    shader = {};
  }
};
}  // namespace

static void show_on_screen(const char *text, int len)
{
  if (shader_reload_in_progress && shader_message_hooks.append)
    shader_message_hooks.append(text, len);
}

// Logs compiler output under its heading (also on screen during a reload).
static void report_messages(const char *head, const std::string &msg)
{
  if (msg.empty())
    return;
  debug("%s", head);
  debug("%.*s", int(msg.size()), msg.c_str());
  show_on_screen(head, -1);
  show_on_screen(msg.c_str(), int(msg.size()));
}

// Logs a failure line (also on screen during a reload).
static void report_failure(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static void report_failure(const char *fmt, ...)
{
  char line[400];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line, sizeof(line), fmt, ap);
  va_end(ap);
  debug("%s", line);
  show_on_screen(line, -1);
}

bool shader_cache_path(const Shader *s, char *out, int size)
{
  std::string rel = "cache/";
  rel += s->name;
  // Each string of the defines block (names and values) adds '@' and the string with every
  // character other than an ASCII letter or digit replaced by '_'.
  for (int at = 0; at < s->definesLen;)
  {
    const char *str = s->defines + at;
    int l = int(strlen(str));
    if (l == 0 && (at + 1 >= s->definesLen))
      break;  // the final empty name
    rel += '@';
    for (int i = 0; i < l; i++)
    {
      char c = str[i];
      bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      rel += alnum ? c : '_';
    }
    at += l + 1;
  }
  rel += ".cache";
  // Room for the temporary name used while writing.
  if (strlen(app_path) + rel.size() + 5 >= 260 || int(rel.size()) >= size)
    return false;
  TempString<260> full = make_full_path(rel.c_str());
  if (full.length() + 1 > size)
    return false;
  memcpy(out, full.c_str(), size_t(full.length()) + 1);
  return true;
}

// Compiles one stage of `file` with the shader's defines plus VSH or PSH.
static bool compile_function(const char *profile, const char *file, const char *entry, Shader *s,
                             CompiledCode &code)
{
  bool pixel = !strcmp(entry, "psh");
  code = CompiledCode();
  code.pixel = pixel;
  std::string &text = code.text;
  // Defines in block order; reading stops at an empty name or an empty value.
  for (int at = 0; at < s->definesLen;)
  {
    const char *name = s->defines + at;
    if (!name[0])
      break;
    const char *value = name + strlen(name) + 1;
    if (!value[0])
      break;
    text += "#define ";
    text += name;
    text += ' ';
    text += value;
    text += '\n';
    at = int(value + strlen(value) + 1 - s->defines);
  }
  text += pixel ? "#define PSH  1\n" : "#define VSH  1\n";

  MyShaderInclude inc;
  inc.shader = s;
  std::string messages;
  bool ok = expand_shader_source(inc, file, text, messages);
  if (ok)
  {
    // The entry function runs inside main, followed by the device epilogue: the position
    // conversion for vertices, the alpha test for pixels (output 0 is `oC0`).
    text += pixel ? "#line 1 0\nvoid main()\n{\n  psh();\n  qm_alpha_test(oC0.a);\n}\n"
                  : "#line 1 0\nvoid main()\n{\n  vsh();\n  gl_Position = qm_device_position(gl_Position);\n}\n";
    RenderBackend *b = get_render_backend();
    std::string driver;
    ok = b && b->createShader(pixel, text.data(), uint32_t(text.size()), code.shader, &driver) == D3D_OK;
    messages += driver;
  }
  char head[400];
  snprintf(head, sizeof(head), "HLSL '%s', func '%s':", file, entry);
  report_messages(head, messages);
  if (!ok)
  {
    debug("FAILED to compile HLSL shader '%s', func '%s'", file, entry);
    code.release();
    return false;
  }
  int lines = 0;
  for (char c : text)
    lines += c == '\n';
  char size_line[96];
  int n = snprintf(size_line, sizeof(size_line), "%s: %d lines, %d bytes of GLSL", profile, lines,
                   int(text.size()));
  debug("%s (%s): %.*s", file, entry, n, size_line);
  return true;
}

bool compile_shader(Shader *s)
{
  G_ASSERT(s);
  s->deps.clear();
  CompiledCode vs, ps;
  if (!compile_function("vs_3_0", s->name, "vsh", s, vs))
  {
    report_failure("can't create vertex shader from '%s'", s->name);
    return false;
  }
  s->vs = vs.shader;
  vs.shader = {};
  if (!compile_function("ps_3_0", s->name, "psh", s, ps))
  {
    report_failure("can't create pixel shader from '%s'", s->name);
    return false;
  }
  s->ps = ps.shader;
  ps.shader = {};
  // The two stages are checked as a pair: a mismatch between them belongs to neither.
  std::string link_messages;
  if (get_render_backend()->linkShaders(s->vs, s->ps, &link_messages) != D3D_OK)
  {
    char head[400];
    snprintf(head, sizeof(head), "HLSL '%s', link of 'vsh' and 'psh':", s->name);
    report_messages(head, link_messages);
    report_failure("can't link vertex and pixel shader of '%s'", s->name);
    return false;
  }

  char path[260];
  if (shader_cache_path(s, path, sizeof(path)))
  {
    std::vector<std::string> names;
    for (const ShaderDependency &d : s->deps)
      names.emplace_back(d.name);
    std::string bytes = build_shader_cache(names, vs.text, ps.text);
    // A missing cache directory means no caching; only other failures are worth a line.
    if (!write_shader_cache_file(path, bytes) && get_file_time(make_full_path("cache/")) != 0)
      debug("can't write shader cache '%s'", path);
  }
  return true;
}

bool load_cached_shader(Shader *s)
{
  G_ASSERT(s);
  s->deps.clear();
  char path[260];
  std::string bytes;
  int err = 0;
  if (!shader_cache_path(s, path, sizeof(path)))
    return false;
  if (!read_file(path, MAX_CACHE_FILE, bytes, err))
  {
    if (err != ENOENT)  // no cache yet is the usual case; anything else is worth a line
      debug("can't read shader cache '%s': %s", path, file_error_text(err));
    return false;
  }
  ShaderCacheContents c;
  if (!parse_shader_cache(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), c))
    return false;

  // With the compiler the cache is stale when any file it was built from is newer or missing
  // (a removed or renamed file may mean the source changed), or when it does not name the
  // shader's own source (a cache nobody could ever find out of date).
  bool compiler = shader_compiler_available();
  int64_t cache_time = get_file_time(path);
  bool stale = false, names_source = false;
  s->deps.reserve(int(c.deps.size()));
  for (const std::string &name : c.deps)
  {
    int64_t t = compiler ? get_file_time(make_full_path(name.c_str())) : 0;
    static_assert(SHADER_CACHE_MAX_NAME < sizeof(ShaderDependency::name));
    ShaderDependency d;  // the parser keeps names unique and short enough
    memcpy(d.name, name.c_str(), name.size() + 1);
    d.time = t;
    s->deps.push_back(d);
    stale = stale || (compiler && (t == 0 || t > cache_time));
    names_source = names_source || name == s->name;
  }
  stale = stale || (compiler && !names_source);
  if (stale)
  {
    s->deps.clear();
    return false;
  }

  RenderBackend *b = get_render_backend();
  std::string messages;
  ShaderHandle vs, ps;
  bool ok = b && b->createShader(false, c.vs, c.vsLen, vs, &messages) == D3D_OK &&
            b->createShader(true, c.ps, c.psLen, ps, &messages) == D3D_OK &&
            b->linkShaders(vs, ps, &messages) == D3D_OK;
  if (!ok)
  {
    if (!messages.empty())
      debug("cached shader '%s': %s", s->name, messages.c_str());
    if (vs)
      b->releaseShader(vs);
    if (ps)
      b->releaseShader(ps);
    s->deps.clear();
    return false;
  }
  s->vs = vs;
  s->ps = ps;
  debug("loaded shader '%s' from cache", s->name);
  return true;
}

void reload_shaders(bool force)
{
  if (!shader_compiler_available())
    return;
  RenderBackend *b = get_render_backend();
  bool started = false;
  for (Shader &s : shader_slots)
  {
    if (!s.vs)
      continue;
    bool changed = force || s.deps.empty();
    for (int i = 0; i < s.deps.size() && !changed; i++)
      changed = get_file_time(make_full_path(s.deps[i].name)) != s.deps[i].time;
    if (!changed)
      continue;
    if (!started)
    {
      started = true;
      shader_reload_in_progress = true;
      if (shader_message_hooks.clear)
        shader_message_hooks.clear();
    }
    // The old pair stays aside until the new one is built, so a broken edit keeps drawing with
    // the last good code.
    ShaderHandle old_vs = s.vs, old_ps = s.ps;
    s.vs = s.ps = {};
    if (compile_shader(&s))
    {
      debug("reloaded shader '%s'", s.name);
      if (bound_shader == &s)
        set_shader(&s);
      b->releaseShader(old_vs);
      if (old_ps)
        b->releaseShader(old_ps);
    }
    else
    {
      report_failure("FAILED to reload shader '%s'", s.name);
      if (s.vs)
        b->releaseShader(s.vs);
      if (s.ps)
        b->releaseShader(s.ps);
      s.vs = old_vs;
      s.ps = old_ps;
    }
  }
  shader_reload_in_progress = false;
}
