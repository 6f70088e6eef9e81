#pragma once
// The OpenGL backend's internal types, shared by its source files (gl_backend*.cpp).
#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "render/gl_backend.h"

constexpr int MAX_TARGETS = 4;
constexpr int MAX_UNITS = 16;

enum class ObjKind : uint8_t { None, Texture, Renderbuffer, Fence, VertexShader, PixelShader, Buffer, Decl };

struct GlBackend::Object
{
  ObjKind kind = ObjKind::None;
  GLuint name = 0;
  GLsync fence = nullptr;
  int w = 0, h = 0, levels = 0;
  uint32_t format = 0;
  // Buffers: size in bytes; textures: the level being written through a lock (-1: none).
  uint32_t size = 0;
  bool dynamic = false;
  int locked_level = -1;
  std::vector<uint8_t> staging;
  std::vector<D3dVertexElement> elems;  // declarations, end marker included
};

// A vertex and pixel shader pair linked into one program, with the constant versions it holds.
struct ShaderProgram
{
  ShaderHandle vs, ps;
  GLuint program = 0;
  GLint vs_loc = -1, ps_loc = -1;  // the register arrays "vs_c" and "ps_c"
  int vs_size = 0, ps_size = 0;    // their declared lengths
  uint32_t vs_version = 0, ps_version = 0;
};

// Device state kept on the CPU side: what Direct3D would hold and OpenGL has no place for.
struct GlBackend::State
{
  bool device = false;
  int bb_w = 0, bb_h = 0;
  GLuint bb_fbo = 0, bb_color = 0;  // headless back buffer
  GLuint rt_fbo = 0, blit_fbo[2] = {};
  GLuint vao = 0, up_vbo = 0, ubo = 0;
  GLuint builtin_program = 0, program = 0;
  GLuint samplers[MAX_UNITS] = {};
  TextureHandle bound_tex[MAX_UNITS] = {};
  // Shaders and the constant register files: device state uploaded to the drawing program
  // whenever it holds older values, whichever program was bound when a constant was set.
  ShaderHandle vs, ps;
  std::vector<ShaderProgram> programs;
  float vs_c[MAX_VS_CONSTS][4] = {};
  float ps_c[MAX_PS_CONSTS][4] = {};
  int vs_used = 0, ps_used = 0;  // registers below this were ever set
  uint32_t vs_version = 1, ps_version = 1;
  uint32_t sampler_state[MAX_UNITS][8] = {};

  TextureHandle targets[MAX_TARGETS] = {GPU_BACK_BUFFER};
  SurfaceHandle depth;
  bool targets_dirty = true;
  D3dViewport viewport;

  uint32_t cull = D3DCULL_CCW;
  uint32_t src_blend = D3DBLEND_ONE, dst_blend = D3DBLEND_ZERO;
  uint32_t atest_enable = 0, atest_ref = 0, atest_func = D3DCMP_ALWAYS;
  uint32_t stencil_func = D3DCMP_ALWAYS, stencil_ref = 0, stencil_mask = 0xFFFFFFFFu;
  uint32_t stencil_fail = D3DSTENCILOP_KEEP, stencil_zfail = D3DSTENCILOP_KEEP,
           stencil_pass = D3DSTENCILOP_KEEP;
  uint32_t stencil_write = 0xFFFFFFFFu;
  uint32_t color_write = 0xF;
  bool zwrite = true;
  uint32_t fvf = 0;
  uint32_t stream_freq[2] = {1, 1};
  D3dMatrix transforms[2];
  uint32_t tss[8][8] = {};

  // Vertex input: the streams, the index buffer and the declaration (or the fixed format of
  // drawing from memory, whichever was set last).
  struct Stream
  {
    BufferHandle vb;
    uint32_t offset = 0, stride = 0;
  } streams[16];
  BufferHandle ib;
  VertexDeclHandle decl;
  bool decl_active = false;
};
