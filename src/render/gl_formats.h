#pragma once
// Direct3D texture formats as OpenGL formats.
#include <cstdint>

struct GlFormat
{
  uint32_t internal = 0;  // internal format
  uint32_t format = 0;    // pixel transfer format and type (uploads, locks)
  uint32_t type = 0;
  uint32_t swizzle[4] = {};  // how the shader reads r, g, b, a
};

// False for a format this backend cannot create.
bool gl_format_of(uint32_t d3d_format, GlFormat &out);
