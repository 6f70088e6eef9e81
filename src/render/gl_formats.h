#pragma once
// Direct3D texture formats as OpenGL formats.
#include <cstdint>

struct GlFormat
{
  uint32_t internal = 0;  // internal format
  uint32_t format = 0;    // pixel transfer format and type (uploads, locks)
  uint32_t type = 0;
  uint32_t swizzle[4] = {};  // how the shader reads r, g, b, a
  uint32_t pixel_bytes = 0;  // bytes per texel of uncompressed formats
  uint32_t block_bytes = 0;  // bytes per 4x4 block of compressed formats (0: uncompressed)
};

// False for a format this backend cannot create.
bool gl_format_of(uint32_t d3d_format, GlFormat &out);
