#include "render/gl_formats.h"

#include <epoxy/gl.h>

#include "render/d3d_types.h"

bool gl_format_of(uint32_t d3d_format, GlFormat &f)
{
  f = GlFormat();
  f.swizzle[0] = GL_RED;
  f.swizzle[1] = GL_GREEN;
  f.swizzle[2] = GL_BLUE;
  f.swizzle[3] = GL_ALPHA;
  switch (d3d_format)
  {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      // Memory order B, G, R, A: one 32-bit 0xAARRGGBB per pixel, as Direct3D lays it out.
      f.internal = GL_RGBA8;
      f.format = GL_BGRA;
      f.type = GL_UNSIGNED_INT_8_8_8_8_REV;
      if (d3d_format == D3DFMT_X8R8G8B8)
        f.swizzle[3] = GL_ONE;
      f.pixel_bytes = 4;
      return true;
    case D3DFMT_L8:
      f.internal = GL_R8;
      f.format = GL_RED;
      f.type = GL_UNSIGNED_BYTE;
      f.swizzle[1] = f.swizzle[2] = GL_RED;
      f.swizzle[3] = GL_ONE;
      f.pixel_bytes = 1;
      return true;
    case D3DFMT_G16R16:
      f.internal = GL_RG16;
      f.format = GL_RG;
      f.type = GL_UNSIGNED_SHORT;
      f.pixel_bytes = 4;
      return true;
    case D3DFMT_R16F:
      f.internal = GL_R16F;
      f.format = GL_RED;
      f.type = GL_HALF_FLOAT;
      f.pixel_bytes = 2;
      return true;
    case D3DFMT_G16R16F:
      f.internal = GL_RG16F;
      f.format = GL_RG;
      f.type = GL_HALF_FLOAT;
      f.pixel_bytes = 4;
      return true;
    case D3DFMT_A16B16G16R16F:
      f.internal = GL_RGBA16F;
      f.format = GL_RGBA;
      f.type = GL_HALF_FLOAT;
      f.pixel_bytes = 8;
      return true;
    case D3DFMT_R32F:
      f.internal = GL_R32F;
      f.format = GL_RED;
      f.type = GL_FLOAT;
      f.pixel_bytes = 4;
      return true;
    case D3DFMT_G32R32F:
      f.internal = GL_RG32F;
      f.format = GL_RG;
      f.type = GL_FLOAT;
      f.pixel_bytes = 8;
      return true;
    case D3DFMT_A32B32G32R32F:
      f.internal = GL_RGBA32F;
      f.format = GL_RGBA;
      f.type = GL_FLOAT;
      f.pixel_bytes = 16;
      return true;
    case D3DFMT_DXT1:
    case D3DFMT_DXT3:
    case D3DFMT_DXT5:
      // Direct3D's DXT1 has one-bit alpha; S3TC's RGBA variant decodes it the same way.
      f.internal = d3d_format == D3DFMT_DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                   : d3d_format == D3DFMT_DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                               : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
      f.format = GL_RGBA;
      f.type = GL_UNSIGNED_BYTE;
      f.block_bytes = d3d_format == D3DFMT_DXT1 ? 8 : 16;
      return true;
    default: return false;
  }
}
