// The OpenGL backend's vertex input: declarations, attribute locations and the streams bound
// for a draw.
#include "render/gl_backend_internal.h"

#include <cstring>

int gl_attrib_location(uint32_t usage, uint32_t index)
{
  switch (usage)
  {
    case D3DDECLUSAGE_POSITION:
      if (index == 0)
        return GL_ATTR_POSITION;
      if (index == 1)
        return GL_ATTR_POSITION1;
      return index >= 10 && index <= 15 ? int(GL_ATTR_POSITION10 + index - 10) : -1;
    case D3DDECLUSAGE_NORMAL:
      if (index == 0)
        return GL_ATTR_NORMAL;
      return index == 10 || index == 11 ? int(GL_ATTR_NORMAL10 + index - 10) : -1;
    case D3DDECLUSAGE_COLOR:
      if (index < 2)
        return int(GL_ATTR_COLOR0 + index);
      return index == 10 || index == 11 ? int(GL_ATTR_COLOR10 + index - 10) : -1;
    case D3DDECLUSAGE_TEXCOORD: return index < 8 ? int(GL_ATTR_TEXCOORD0 + index) : -1;
    case D3DDECLUSAGE_TANGENT: return index < 4 ? int(GL_ATTR_TANGENT + index) : -1;
    default: return -1;
  }
}

// Components, GL type and normalisation of a declaration type; false for none.
static bool gl_decl_type(uint32_t type, GLint &size, GLenum &gltype, GLboolean &norm)
{
  norm = GL_FALSE;
  switch (type)
  {
    case D3DDECLTYPE_FLOAT1: size = 1; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT2: size = 2; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT3: size = 3; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT4: size = 4; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_D3DCOLOR:
      size = GL_BGRA;
      gltype = GL_UNSIGNED_BYTE;
      norm = GL_TRUE;
      return true;
    case D3DDECLTYPE_SHORT2: size = 2; gltype = GL_SHORT; return true;  // unnormalised, as floats
    case D3DDECLTYPE_SHORT4: size = 4; gltype = GL_SHORT; return true;
    default: return false;
  }
}

HRESULT32 GlBackend::createVertexDeclaration(const D3dVertexElement *elems, VertexDeclHandle &out)
{
  out = {};
  Object o;
  o.kind = ObjKind::Decl;
  uint32_t taken = 0;
  for (int i = 0;; i++)
  {
    const D3dVertexElement &e = elems[i];
    o.elems.push_back(e);
    if (e.stream == 0xFF)
      break;
    GLint size;
    GLenum type;
    GLboolean norm;
    int loc = gl_attrib_location(e.usage, e.usageIndex);
    // Unknown types, streams past the last, unmapped usages and two elements feeding one
    // attribute are refused, as Direct3D refuses invalid declarations.
    if (i >= 64 || !gl_decl_type(e.type, size, type, norm) || e.stream >= 16 || loc < 0 ||
        (taken & (1u << loc)))
      return D3DERR_INVALIDCALL;
    taken |= 1u << loc;
  }
  out = {add(o)};
  return D3D_OK;
}

bool GlBackend::getVertexDeclaration(VertexDeclHandle decl, D3dVertexElement *elems,
                                     uint32_t capacity, uint32_t &count)
{
  const Object *o = get(decl.id);
  if (!o || o->kind != ObjKind::Decl || o->elems.size() > capacity)
    return false;
  count = uint32_t(o->elems.size());
  std::memcpy(elems, o->elems.data(), o->elems.size() * sizeof(D3dVertexElement));
  return true;
}

void GlBackend::releaseVertexDeclaration(VertexDeclHandle decl)
{
  Object *o = get(decl.id);
  if (!o || o->kind != ObjKind::Decl)
    return;
  if (st->decl == decl)
  {
    st->decl = {};
    st->decl_active = false;
  }
  remove(decl.id);
}

void GlBackend::setVertexDeclaration(VertexDeclHandle decl)
{
  st->decl = decl;
  st->decl_active = true;
}

void GlBackend::applyVertexInput(uint32_t up_stride)
{
  State &s = *st;
  for (GLuint i = 0; i < 16; i++)
  {
    glDisableVertexAttribArray(i);
    glVertexAttribDivisor(i, 0);
  }
  glVertexAttrib4f(GL_ATTR_COLOR0, 1.f, 1.f, 1.f, 1.f);
  const Object *d = s.decl_active ? get(s.decl.id) : nullptr;
  if (!d || d->kind != ObjKind::Decl)
  {
    // The fixed vertex format: position, then an optional diffuse colour, from stream 0.
    const Object *vb = get(s.streams[0].vb.id);
    if (!(s.fvf & D3DFVF_XYZ) || !vb || vb->kind != ObjKind::Buffer)
      return;
    GLsizei stride = GLsizei(s.streams[0].stride);
    uintptr_t base = s.streams[0].offset;
    glBindBuffer(GL_ARRAY_BUFFER, vb->name);
    glEnableVertexAttribArray(GL_ATTR_POSITION);
    glVertexAttribPointer(GL_ATTR_POSITION, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void *>(base));
    if (s.fvf & D3DFVF_DIFFUSE)
    {
      glEnableVertexAttribArray(GL_ATTR_COLOR0);
      glVertexAttribPointer(GL_ATTR_COLOR0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                            reinterpret_cast<const void *>(base + 12));
    }
    return;
  }
  for (const D3dVertexElement &e : d->elems)
  {
    if (e.stream == 0xFF)
      break;
    GLint size;
    GLenum type;
    GLboolean norm;
    int loc = gl_attrib_location(e.usage, e.usageIndex);
    if (loc < 0 || !gl_decl_type(e.type, size, type, norm))
      continue;
    const State::Stream &str = s.streams[e.stream];
    GLuint name;
    uint32_t stride, offset;
    if (up_stride && e.stream == 0)
    {
      name = s.up_vbo;
      stride = up_stride;
      offset = 0;
    }
    else
    {
      const Object *vb = get(str.vb.id);
      if (!vb || vb->kind != ObjKind::Buffer)
        continue;
      name = vb->name;
      stride = str.stride;
      offset = str.offset;
    }
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glEnableVertexAttribArray(GLuint(loc));
    glVertexAttribPointer(GLuint(loc), size, type, norm, GLsizei(stride),
                          reinterpret_cast<const void *>(uintptr_t(offset) + e.offset));
    // Instancing: stream 1 advances once per instance while stream 0 is indexed data.
    bool per_instance = e.stream < 2 && (s.stream_freq[e.stream] & D3DSTREAMSOURCE_INSTANCEDATA);
    glVertexAttribDivisor(GLuint(loc), per_instance ? 1 : 0);
  }
}
