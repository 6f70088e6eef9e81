// The OpenGL backend's resources: surfaces, textures and their locks, event queries, vertex and
// index buffers.
#include "render/gl_backend_internal.h"

#include "render/gl_formats.h"

HRESULT32 GlBackend::createDepthStencilSurface(int w, int h, uint32_t format, uint32_t, uint32_t,
                                               bool, SurfaceHandle &out)
{
  out = {};
  if (format != D3DFMT_D24S8 || w <= 0 || h <= 0)
    return D3DERR_INVALIDCALL;
  Object o;
  o.kind = ObjKind::Renderbuffer;
  o.w = w;
  o.h = h;
  o.format = format;
  glGenRenderbuffers(1, &o.name);
  glBindRenderbuffer(GL_RENDERBUFFER, o.name);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteRenderbuffers(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  out = {add(o)};
  return D3D_OK;
}

HRESULT32 GlBackend::createRenderTargetSurface(int w, int h, uint32_t format, uint32_t, uint32_t,
                                               bool, SurfaceHandle &out)
{
  // A colour surface is a one-level render-target texture here, under the texture's id.
  TextureHandle tex;
  HRESULT32 hr = createTexture(w, h, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, tex);
  out = {tex.id};
  return hr;
}

void GlBackend::releaseSurface(SurfaceHandle h)
{
  Object *o = get(h.id);
  if (!o)
    return;
  if (o->kind == ObjKind::Texture)
  {
    releaseTexture({h.id});
    return;
  }
  if (st->depth == h)
  {
    st->depth = {};
    st->targets_dirty = true;
  }
  glDeleteRenderbuffers(1, &o->name);
  remove(h.id);
}

HRESULT32 GlBackend::createTexture(int w, int h, int levels, uint32_t usage, uint32_t format,
                                   uint32_t pool, TextureHandle &out)
{
  out = {};
  GlFormat f;
  if (w <= 0 || h <= 0 || !gl_format_of(format, f))
    return D3DERR_INVALIDCALL;
  if (levels <= 0)
  {
    levels = 1;
    for (int m = w > h ? w : h; m > 1; m >>= 1)
      levels++;
  }
  Object o;
  o.kind = ObjKind::Texture;
  o.w = w;
  o.h = h;
  o.levels = levels;
  o.format = format;
  while (glGetError() != GL_NO_ERROR)
  {
  }
  glGenTextures(1, &o.name);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o.name);
  for (int l = 0; l < levels; l++)
  {
    int lw = w >> l, lh = h >> l;
    lw = lw > 0 ? lw : 1;
    lh = lh > 0 ? lh : 1;
    if (f.block_bytes)
    {
      GLsizei bytes = GLsizei(((lw + 3) / 4) * ((lh + 3) / 4) * int(f.block_bytes));
      glCompressedTexImage2D(GL_TEXTURE_2D, l, f.internal, lw, lh, 0, bytes, nullptr);
    }
    else
      glTexImage2D(GL_TEXTURE_2D, l, GLint(f.internal), lw, lh, 0, f.format, f.type, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  GLint swizzle[4] = {GLint(f.swizzle[0]), GLint(f.swizzle[1]), GLint(f.swizzle[2]),
                      GLint(f.swizzle[3])};
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  bool failed = glGetError() != GL_NO_ERROR;
  restoreUnit0();
  if (failed)
  {
    glDeleteTextures(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  (void)usage;
  (void)pool;
  out = {add(o)};
  return D3D_OK;
}

void GlBackend::releaseTexture(TextureHandle h)
{
  Object *o = get(h.id);
  if (!o || o->kind != ObjKind::Texture)
    return;
  for (int i = 0; i < MAX_TARGETS; i++)
    if (st->targets[i] == h)
    {
      st->targets[i] = {};
      st->targets_dirty = true;
    }
  for (TextureHandle &b : st->bound_tex)
    if (b == h)
      b = {};
  glDeleteTextures(1, &o->name);
  remove(h.id);
}

HRESULT32 GlBackend::createEventQuery(QueryHandle &out)
{
  Object o;
  o.kind = ObjKind::Fence;  // no fence yet: reads as passed
  out = {add(o)};
  return D3D_OK;
}

void GlBackend::releaseQuery(QueryHandle q)
{
  Object *o = get(q.id);
  if (!o || o->kind != ObjKind::Fence)
    return;
  if (o->fence)
    glDeleteSync(o->fence);
  remove(q.id);
}

void GlBackend::issueQuery(QueryHandle q)
{
  Object *o = get(q.id);
  if (!o || o->kind != ObjKind::Fence)
    return;
  if (o->fence)
    glDeleteSync(o->fence);
  o->fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

HRESULT32 GlBackend::getQueryData(QueryHandle q, bool flush)
{
  Object *o = get(q.id);
  if (!o || o->kind != ObjKind::Fence)
    return D3DERR_INVALIDCALL;
  if (!o->fence)
    return D3D_OK;
  GLenum r = glClientWaitSync(o->fence, flush ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, 0);
  if (r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED)
    return D3D_OK;
  if (r == GL_TIMEOUT_EXPIRED)
    return S_FALSE_;
  return D3DERR_DRIVERINTERNALERROR;
}

// Unit 0 is where textures are bound for creation, uploads and read-backs; put back what the
// device had there, so that filling a resource never changes what the stages sample.
void GlBackend::restoreUnit0()
{
  const Object *o = get(st->bound_tex[0].id);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o && o->kind == ObjKind::Texture ? o->name : 0);
}

HRESULT32 GlBackend::lockTexture(TextureHandle tex, int level, bool discard, void *&data,
                                 uint32_t &pitch)
{
  data = nullptr;
  pitch = 0;
  Object *o = get(tex.id);
  GlFormat f;
  if (!o || o->kind != ObjKind::Texture || level < 0 || level >= o->levels || o->locked_level >= 0 ||
      !gl_format_of(o->format, f))
    return D3DERR_INVALIDCALL;
  uint32_t w = uint32_t(o->w) >> level, h = uint32_t(o->h) >> level;
  w = w ? w : 1;
  h = h ? h : 1;
  uint32_t rows = f.block_bytes ? (h + 3) / 4 : h;
  pitch = f.block_bytes ? (w + 3) / 4 * f.block_bytes : w * f.pixel_bytes;
  o->staging.assign(size_t(pitch) * rows, 0);
  if (!discard)
  {
    // A lock without discard sees the level as it is.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, o->name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (f.block_bytes)
      glGetCompressedTexImage(GL_TEXTURE_2D, level, o->staging.data());
    else
      glGetTexImage(GL_TEXTURE_2D, level, f.format, f.type, o->staging.data());
    restoreUnit0();
  }
  o->locked_level = level;
  data = o->staging.data();
  return D3D_OK;
}

void GlBackend::unlockTexture(TextureHandle tex, int level)
{
  Object *o = get(tex.id);
  GlFormat f;
  if (!o || o->kind != ObjKind::Texture || o->locked_level != level || !gl_format_of(o->format, f))
    return;
  int w = o->w >> level, h = o->h >> level;
  w = w > 0 ? w : 1;
  h = h > 0 ? h : 1;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o->name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (f.block_bytes)
    glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.internal,
                              GLsizei(o->staging.size()), o->staging.data());
  else
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.format, f.type, o->staging.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  restoreUnit0();
  o->locked_level = -1;
  std::vector<uint8_t>().swap(o->staging);
}

HRESULT32 GlBackend::createBuffer(uint32_t bytes, bool index, bool dynamic, BufferHandle &out)
{
  out = {};
  if (bytes == 0 || !st->device)
    return D3DERR_INVALIDCALL;
  Object o;
  o.kind = ObjKind::Buffer;
  o.size = bytes;
  o.dynamic = dynamic;
  (void)index;  // GL buffers serve either purpose
  while (glGetError() != GL_NO_ERROR)
  {
  }
  glGenBuffers(1, &o.name);
  glBindBuffer(GL_COPY_WRITE_BUFFER, o.name);
  glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(bytes), nullptr,
               dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteBuffers(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  out = {add(o)};
  return D3D_OK;
}

HRESULT32 GlBackend::createVertexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out)
{
  return createBuffer(bytes, false, dynamic, out);
}

HRESULT32 GlBackend::createIndexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out)
{
  return createBuffer(bytes, true, dynamic, out);
}

void GlBackend::releaseBuffer(BufferHandle h)
{
  Object *o = get(h.id);
  if (!o || o->kind != ObjKind::Buffer)
    return;
  State &s = *st;
  for (State::Stream &str : s.streams)
    if (str.vb == h)
      str = State::Stream();
  if (s.ib == h)
    s.ib = {};
  glDeleteBuffers(1, &o->name);
  remove(h.id);
}

HRESULT32 GlBackend::lockBuffer(BufferHandle h, uint32_t offset, uint32_t bytes, bool discard,
                                void *&data)
{
  data = nullptr;
  Object *o = get(h.id);
  if (!o || o->kind != ObjKind::Buffer || offset >= o->size)
    return D3DERR_INVALIDCALL;
  if (bytes == 0)
    bytes = o->size - offset;
  if (uint64_t(offset) + bytes > o->size)
    return D3DERR_INVALIDCALL;
  glBindBuffer(GL_COPY_WRITE_BUFFER, o->name);
  GLbitfield access = GL_MAP_WRITE_BIT | (discard ? GL_MAP_INVALIDATE_BUFFER_BIT : 0);
  data = glMapBufferRange(GL_COPY_WRITE_BUFFER, GLintptr(offset), GLsizeiptr(bytes), access);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  return data ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlBackend::unlockBuffer(BufferHandle h)
{
  Object *o = get(h.id);
  if (!o || o->kind != ObjKind::Buffer)
    return;
  glBindBuffer(GL_COPY_WRITE_BUFFER, o->name);
  glUnmapBuffer(GL_COPY_WRITE_BUFFER);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}
