#pragma once
// Reading shader source files: the include handler and the expansion of #include lines.
#include <cstdint>
#include <string>

#include "render/d3d_types.h"

struct Shader;

constexpr HRESULT32 SHADER_E_OUTOFMEMORY = 0x8007000Eu;
// Include files nest at most this deep (a file including itself ends there).
constexpr int MAX_SHADER_INCLUDE_DEPTH = 16;
// Source files larger than this are not read.
constexpr int64_t MAX_SHADER_FILE = 0x3FFFFFFF;
// MyShaderInclude::error when the shader already reads SHADER_CACHE_MAX_DEPS files.
constexpr int SHADER_TOO_MANY_FILES = -100;

// Opens source files for the compiler. Names are resolved against the executable's directory
// (make_full_path), never against the including file's directory. While it belongs to a shader
// being compiled, every file it opens becomes one of that shader's dependencies.
struct MyShaderInclude
{
  Shader *shader = nullptr;
  // Why the last open failed: a file_read.h code, or SHADER_TOO_MANY_FILES.
  int error = 0;

  // Reads the whole regular file (read_file rules) into a new block: D3D_OK,
  // D3DERR_INVALIDCALL when the file cannot be opened or read or the shader already has
  // SHADER_CACHE_MAX_DEPS files, SHADER_E_OUTOFMEMORY when no block can be had.
  HRESULT32 open(int type, const char *name, const void *parent, const void **data,
                 uint32_t *bytes);
  void close(const void *data);
};

// Appends the text of `name` to `out` with each `#include "file"` line replaced by that file's
// expanded text. "#line" directives keep the compiler's line numbers: the source-string number
// is the file's index in the shader's dependency list (0: the main file). Problems are appended
// to `messages`; false when a file could not be read.
bool expand_shader_source(MyShaderInclude &inc, const char *name, std::string &out,
                          std::string &messages);
