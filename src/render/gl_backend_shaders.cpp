// The OpenGL backend's shaders: compiling, pairing vertex and pixel shaders into programs, and
// the constant registers.
#include "render/gl_backend_internal.h"

#include <cstring>

#include "support/debug.h"

HRESULT32 GlBackend::createShader(bool pixel, const char *code, uint32_t len, ShaderHandle &out,
                                  std::string *messages)
{
  out = {};
  if (!st->device)
    return D3DERR_INVALIDCALL;
  // The device block needs its stage define; the code defines the stage again for itself.
  const char *src[] = {"#version 330 core\n", pixel ? "#define PSH 1\n" : "#define VSH 1\n",
                       gl_device_glsl, pixel ? "#undef PSH\n" : "#undef VSH\n", code};
  GLint lens[] = {-1, -1, -1, -1, GLint(len)};
  GLuint sh = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
  glShaderSource(sh, 5, src, lens);
  glCompileShader(sh);
  GLint ok = 0, log_len = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  glGetShaderiv(sh, GL_INFO_LOG_LENGTH, &log_len);
  if (messages)
  {
    messages->clear();
    if (log_len > 1)
    {
      messages->resize(size_t(log_len));
      glGetShaderInfoLog(sh, log_len, nullptr, messages->data());
      messages->resize(strlen(messages->c_str()));
    }
  }
  if (!ok)
  {
    glDeleteShader(sh);
    return D3DERR_INVALIDCALL;
  }
  Object o;
  o.kind = pixel ? ObjKind::PixelShader : ObjKind::VertexShader;
  o.name = sh;
  out = {add(o)};
  return D3D_OK;
}

ShaderProgram *GlBackend::pairProgram(ShaderHandle vs, ShaderHandle ps, std::string *messages)
{
  State &s = *st;
  for (ShaderProgram &p : s.programs)
    if (p.vs == vs && p.ps == ps)
      return &p;
  const Object *v = get(vs.id), *f = get(ps.id);
  if (!v || !f || v->kind != ObjKind::VertexShader || f->kind != ObjKind::PixelShader)
    return nullptr;
  GLuint prog = glCreateProgram();
  glAttachShader(prog, v->name);
  glAttachShader(prog, f->name);
  glLinkProgram(prog);
  GLint ok = 0, log_len = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  glGetProgramiv(prog, GL_INFO_LOG_LENGTH, &log_len);
  if (!ok)
  {
    std::string text;
    if (log_len > 1)
    {
      text.resize(size_t(log_len));
      glGetProgramInfoLog(prog, log_len, nullptr, text.data());
      text.resize(strlen(text.c_str()));
    }
    if (messages)
      *messages = text;
    else
      debug("can't link shader pair %u/%u: %s", vs.id, ps.id, text.c_str());
    glDeleteProgram(prog);
    return nullptr;
  }
  prepareProgram(prog);
  ShaderProgram p;
  p.vs = vs;
  p.ps = ps;
  p.program = prog;
  // Samplers s0..s15 read texture units 0..15; the register arrays are found by name.
  glUseProgram(prog);
  for (int i = 0; i < MAX_UNITS; i++)
  {
    char name[8];
    snprintf(name, sizeof(name), "s%d", i);
    GLint loc = glGetUniformLocation(prog, name);
    if (loc >= 0)
      glUniform1i(loc, i);
  }
  GLint count = 0;
  glGetProgramiv(prog, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; i++)
  {
    char name[64];
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(prog, GLuint(i), sizeof(name), nullptr, &size, &type, name);
    if (!strncmp(name, "vs_c", 4) && (name[4] == 0 || name[4] == '['))
    {
      p.vs_loc = glGetUniformLocation(prog, "vs_c");
      p.vs_size = size < MAX_VS_CONSTS ? size : MAX_VS_CONSTS;
    }
    else if (!strncmp(name, "ps_c", 4) && (name[4] == 0 || name[4] == '['))
    {
      p.ps_loc = glGetUniformLocation(prog, "ps_c");
      p.ps_size = size < MAX_PS_CONSTS ? size : MAX_PS_CONSTS;
    }
  }
  glUseProgram(0);
  s.programs.push_back(p);
  return &s.programs.back();
}

void GlBackend::uploadConstants(ShaderProgram &p)
{
  State &s = *st;
  if (p.vs_version != s.vs_version)
  {
    int n = s.vs_used < p.vs_size ? s.vs_used : p.vs_size;
    if (p.vs_loc >= 0 && n > 0)
      glUniform4fv(p.vs_loc, n, &s.vs_c[0][0]);
    p.vs_version = s.vs_version;
  }
  if (p.ps_version != s.ps_version)
  {
    int n = s.ps_used < p.ps_size ? s.ps_used : p.ps_size;
    if (p.ps_loc >= 0 && n > 0)
      glUniform4fv(p.ps_loc, n, &s.ps_c[0][0]);
    p.ps_version = s.ps_version;
  }
}

HRESULT32 GlBackend::linkShaders(ShaderHandle vs, ShaderHandle ps, std::string *messages)
{
  if (messages)
    messages->clear();
  return pairProgram(vs, ps, messages) ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlBackend::releaseShader(ShaderHandle sh)
{
  Object *o = get(sh.id);
  if (!o || (o->kind != ObjKind::VertexShader && o->kind != ObjKind::PixelShader))
    return;
  State &s = *st;
  for (size_t i = s.programs.size(); i-- > 0;)
    if (s.programs[i].vs == sh || s.programs[i].ps == sh)
    {
      glDeleteProgram(s.programs[i].program);
      s.programs.erase(s.programs.begin() + long(i));
    }
  if (s.vs == sh)
    s.vs = {};
  if (s.ps == sh)
    s.ps = {};
  glDeleteShader(o->name);
  remove(sh.id);
}

void GlBackend::setShaders(ShaderHandle vs, ShaderHandle ps)
{
  st->vs = vs;
  st->ps = ps;
}

void GlBackend::setShaderConstants(bool pixel, int start, const float *data, int count)
{
  State &s = *st;
  int limit = pixel ? MAX_PS_CONSTS : MAX_VS_CONSTS;
  if (start < 0 || count <= 0 || start >= limit)
    return;
  if (count > limit - start)
    count = limit - start;
  memcpy(pixel ? s.ps_c[start] : s.vs_c[start], data, size_t(count) * 4 * sizeof(float));
  int &used = pixel ? s.ps_used : s.vs_used;
  if (used < start + count)
    used = start + count;
  (pixel ? s.ps_version : s.vs_version)++;
}
