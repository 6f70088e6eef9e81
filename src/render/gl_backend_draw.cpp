// The OpenGL backend's render, texture-stage and sampler states, and the draw calls.
#include "render/gl_backend_internal.h"

static GLenum gl_blend(uint32_t b)
{
  switch (b)
  {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

static GLenum gl_cmp(uint32_t f)
{
  switch (f)
  {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

static GLenum gl_stencil_op(uint32_t op)
{
  switch (op)
  {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

static GLenum gl_prim(uint32_t type)
{
  switch (type)
  {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

void GlBackend::applyCull()
{
  State &s = *st;
  if (s.cull == D3DCULL_NONE)
  {
    glDisable(GL_CULL_FACE);
    return;
  }
  glEnable(GL_CULL_FACE);
  // Culling names the winding as seen on the target; drawing into a texture mirrors y.
  bool ccw = s.cull == D3DCULL_CCW;
  glFrontFace(ccw != targetFlipped() ? GL_CW : GL_CCW);
}

void GlBackend::setRenderState(D3dRenderState state, uint32_t v)
{
  State &s = *st;
  switch (state)
  {
    case D3DRS_ZENABLE: v ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
    case D3DRS_FILLMODE:
      glPolygonMode(GL_FRONT_AND_BACK, v == D3DFILL_WIREFRAME ? GL_LINE : v == D3DFILL_POINT ? GL_POINT : GL_FILL);
      break;
    case D3DRS_ZWRITEENABLE:
      s.zwrite = v != 0;
      glDepthMask(s.zwrite);
      break;
    case D3DRS_ALPHATESTENABLE: s.atest_enable = v; break;
    case D3DRS_ALPHAREF: s.atest_ref = v & 255; break;
    case D3DRS_ALPHAFUNC: s.atest_func = v; break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      (state == D3DRS_SRCBLEND ? s.src_blend : s.dst_blend) = v;
      glBlendFunc(gl_blend(s.src_blend), gl_blend(s.dst_blend));
      break;
    case D3DRS_CULLMODE:
      s.cull = v;
      applyCull();
      break;
    case D3DRS_ZFUNC: glDepthFunc(gl_cmp(v)); break;
    case D3DRS_ALPHABLENDENABLE: v ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
    case D3DRS_STENCILENABLE: v ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST); break;
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
      (state == D3DRS_STENCILFAIL ? s.stencil_fail : state == D3DRS_STENCILZFAIL ? s.stencil_zfail : s.stencil_pass) = v;
      glStencilOp(gl_stencil_op(s.stencil_fail), gl_stencil_op(s.stencil_zfail), gl_stencil_op(s.stencil_pass));
      break;
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
      (state == D3DRS_STENCILFUNC ? s.stencil_func : state == D3DRS_STENCILREF ? s.stencil_ref : s.stencil_mask) = v;
      glStencilFunc(gl_cmp(s.stencil_func), GLint(s.stencil_ref), s.stencil_mask);
      break;
    case D3DRS_STENCILWRITEMASK:
      s.stencil_write = v;
      glStencilMask(v);
      break;
    case D3DRS_LIGHTING: break;  // no fixed-function lighting: shaders light
    case D3DRS_COLORWRITEENABLE:
      s.color_write = v;
      glColorMask((v & 1) != 0, (v & 2) != 0, (v & 4) != 0, (v & 8) != 0);
      break;
  }
}

void GlBackend::setTextureStageState(int stage, D3dTextureStageState type, uint32_t value)
{
  // Fixed-function combiners have no GL counterpart; kept as state for completeness.
  if (stage >= 0 && stage < 8 && type < 8)
    st->tss[stage][type] = value;
}

void GlBackend::applySampler(int i)
{
  const uint32_t *ss = st->sampler_state[i];
  GLuint smp = st->samplers[i];
  auto address = [](uint32_t a) -> GLint {
    switch (a)
    {
      case D3DTADDRESS_WRAP: return GL_REPEAT;
      case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
      case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
      default: return GL_CLAMP_TO_EDGE;
    }
  };
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, address(ss[D3DSAMP_ADDRESSU]));
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, address(ss[D3DSAMP_ADDRESSV]));
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_R, address(ss[D3DSAMP_ADDRESSW]));
  bool mag_lin = ss[D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR;
  bool min_lin = ss[D3DSAMP_MINFILTER] == D3DTEXF_LINEAR;
  uint32_t mip = ss[D3DSAMP_MIPFILTER];
  GLint min = min_lin ? GL_LINEAR : GL_NEAREST;
  if (mip == D3DTEXF_POINT)
    min = min_lin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else if (mip == D3DTEXF_LINEAR)
    min = min_lin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, mag_lin ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, min);
}

void GlBackend::setSamplerState(int sampler, D3dSamplerState type, uint32_t value)
{
  if (sampler < 0 || sampler >= MAX_UNITS || type >= 8)
    return;
  st->sampler_state[sampler][type] = value;
  applySampler(sampler);
}

void GlBackend::setTexture(int stage, TextureHandle tex)
{
  if (stage < 0 || stage >= MAX_UNITS)
    return;
  const Object *o = get(tex.id);
  GLuint name = o && o->kind == ObjKind::Texture ? o->name : 0;
  st->bound_tex[stage] = name ? tex : TextureHandle{};
  glActiveTexture(GLenum(GL_TEXTURE0 + stage));
  glBindTexture(GL_TEXTURE_2D, name);
  glActiveTexture(GL_TEXTURE0);
}

void GlBackend::setViewport(const D3dViewport &vp) { st->viewport = vp; }

void GlBackend::setTransform(D3dTransform kind, const D3dMatrix &m)
{
  st->transforms[kind == D3DTS_VIEW ? 0 : 1] = m;
}

void GlBackend::getTransform(D3dTransform kind, D3dMatrix &m)
{
  m = st->transforms[kind == D3DTS_VIEW ? 0 : 1];
}

void GlBackend::setIndices(BufferHandle ib)
{
  // Bound to the vertex array at the next indexed draw.
  st->ib = ib;
  if (!ib && st->vao)
  {
    glBindVertexArray(st->vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
}

void GlBackend::setStreamSource(int stream, BufferHandle vb, uint32_t offset, uint32_t stride)
{
  if (stream < 0 || stream >= 16)
    return;
  st->streams[stream] = State::Stream{vb, offset, stride};
}

HRESULT32 GlBackend::setStreamSourceFreq(int stream, uint32_t setting)
{
  if (stream < 0 || stream > 1)
    return D3DERR_INVALIDCALL;
  st->stream_freq[stream] = setting;
  return D3D_OK;
}

void GlBackend::setFvf(uint32_t fvf)
{
  st->fvf = fvf;
  st->decl_active = false;
}

HRESULT32 GlBackend::drawPrimitiveUp(uint32_t type, uint32_t primCount, const void *data,
                                     uint32_t stride)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  State &s = *st;
  glBindBuffer(GL_ARRAY_BUFFER, s.up_vbo);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(n) * stride, data, GL_STREAM_DRAW);
  if (s.decl_active)
  {
    applyVertexInput(stride);
    glDrawArrays(gl_prim(type), 0, GLsizei(n));
    return D3D_OK;
  }
  for (GLuint i = 0; i < 16; i++)
  {
    glVertexAttribDivisor(i, 0);
    glDisableVertexAttribArray(i);
  }
  glEnableVertexAttribArray(GL_ATTR_POSITION);
  glVertexAttribPointer(GL_ATTR_POSITION, 3, GL_FLOAT, GL_FALSE, GLsizei(stride), nullptr);
  if (s.fvf & D3DFVF_DIFFUSE)
  {
    glEnableVertexAttribArray(GL_ATTR_COLOR0);
    glVertexAttribPointer(GL_ATTR_COLOR0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride),
                          reinterpret_cast<const void *>(uintptr_t(12)));
  }
  else
    glVertexAttrib4f(GL_ATTR_COLOR0, 1.f, 1.f, 1.f, 1.f);
  glDrawArrays(gl_prim(type), 0, GLsizei(n));
  return D3D_OK;
}

HRESULT32 GlBackend::drawIndexedPrimitive(uint32_t type, int baseVertex, uint32_t, uint32_t,
                                          uint32_t startIndex, uint32_t primCount)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  const Object *ib = get(st->ib.id);
  if (!ib || ib->kind != ObjKind::Buffer)
    return D3DERR_INVALIDCALL;
  applyVertexInput(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->name);
  const void *offset = reinterpret_cast<const void *>(uintptr_t(startIndex) * 2);
  uint32_t f = st->stream_freq[0];
  if (f & D3DSTREAMSOURCE_INDEXEDDATA)
    glDrawElementsInstancedBaseVertex(gl_prim(type), GLsizei(n), GL_UNSIGNED_SHORT, offset,
                                      GLsizei(f & 0x3FFFFFFFu), baseVertex);
  else
    glDrawElementsBaseVertex(gl_prim(type), GLsizei(n), GL_UNSIGNED_SHORT, offset, baseVertex);
  return D3D_OK;
}

HRESULT32 GlBackend::drawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primCount)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  applyVertexInput(0);
  glDrawArrays(gl_prim(type), GLint(startVertex), GLsizei(n));
  return D3D_OK;
}
