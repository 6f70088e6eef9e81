#pragma once
// Shaders: one ".sh" source file compiled under one set of defines into a vertex and a pixel
// shader. Slots are shared by name and defines through reference counts, compiled code is cached
// in "cache/" beside the executable, and changed sources are recompiled while the game runs.
// The source conventions are written down in docs/shaders.md.
#include <cstdint>

#include "render/backend.h"
#include "support/dyn_array.h"
#include "support/export.h"

constexpr int MAX_SHADERS = 64;
constexpr int SHADER_NAME_SIZE = 260;
constexpr int SHADER_DEFINES_SIZE = 512;

// A file a shader was built from, with its modification time (0 without the compiler).
struct ShaderDependency
{
  char name[SHADER_NAME_SIZE];
  int64_t time;
};

// One slot; free while `vs` is 0.
struct Shader
{
  ShaderHandle vs;
  ShaderHandle ps;
  char name[SHADER_NAME_SIZE] = {};
  // Pairs of zero-terminated strings (name, value) ended by an empty name; length 0: no defines.
  char defines[SHADER_DEFINES_SIZE] = {};
  int definesLen = 0;
  DynArray<ShaderDependency> deps;
  int refcount = 0;
};

extern Shader shader_slots[MAX_SHADERS];

// Loads the compiler (called when the device is created): logs "shader compiler available" or
// "no shader compiler". The compiler is the GL driver; it is switched off by
// `shader_compiler_disabled` or the environment variable QM_NO_SHADER_COMPILER=1.
void init_shader_compiler();
bool shader_compiler_available();
extern bool shader_compiler_disabled;

// `defines`: null or a block "NAME", 0, " 1", 0, ..., 0. Fatal when the slots are full or the
// shader can be built neither from the cache nor from source.
QM_EXPORT Shader *create_shader(const char *name, const char *defines);
QM_EXPORT void destroy_shader(Shader *s);
// Binds the shader's pair; null unbinds both.
void set_shader(Shader *s);
// Uploads `count` registers of four floats starting at register `start`.
void set_vs_const(int start, const float *data, int count);
void set_ps_const(int start, const float *data, int count);
// Rebuilds shaders whose files changed (every shader when `force`); called once per second.
void reload_shaders(bool force);
// Releases every slot whatever its count, then the compiler.
void close_shaders();

// The on-screen error message (the visual log fills these in): cleared at the start of a reload
// pass, then compiler messages and failures are appended. Unset entries are skipped.
struct ShaderMessageHooks
{
  void (*clear)() = nullptr;
  void (*append)(const char *text, int len) = nullptr;
};
extern ShaderMessageHooks shader_message_hooks;

// Internals shared by the shader sources (shader.cpp, shader_compile.cpp, shader_cache.cpp).
bool compile_shader(Shader *s);
bool load_cached_shader(Shader *s);
// Length of a defines block including its final empty name; 0 for null or an empty block.
// A block longer than SHADER_DEFINES_SIZE is fatal.
int shader_defines_length(const char *defines);
// "cache/<name><suffix>.cache" through make_full_path; false when the path does not fit.
bool shader_cache_path(const Shader *s, char *out, int size);
// Appends a dependency record unless one of that name exists (fatal when the name does not fit);
// false when the shader already has SHADER_CACHE_MAX_DEPS files.
bool add_shader_dependency(Shader *s, const char *name, int64_t time);
// The shader of the latest set_shader (a reload binds its new pair again).
extern Shader *bound_shader;
// True while reload_shaders rebuilds shaders (compile messages also go on screen).
extern bool shader_reload_in_progress;
