// The mesh file reader: a bounded cursor over the bytes of the file. Every count and product is
// checked in 64 bits against the bytes left before anything is copied.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "render/gl_backend.h"
#include "render/mesh.h"

namespace
{
struct Refused
{};

struct Cursor
{
  const uint8_t *data;
  size_t size;
  size_t pos;
  MeshParseError &err;

  [[noreturn]] void fail(size_t at, const char *fmt, ...) __attribute__((format(printf, 3, 4)))
  {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(err.why, sizeof(err.why), fmt, ap);
    va_end(ap);
    err.pos = int(at);
    throw Refused{};
  }
  size_t left() const { return size - pos; }
  const uint8_t *take(uint64_t bytes, const char *what)
  {
    if (bytes > left())
      fail(size, "error reading file: %s needs %llu bytes, %llu left", what, (unsigned long long)bytes,
           (unsigned long long)left());
    const uint8_t *p = data + pos;
    pos += size_t(bytes);
    return p;
  }
  uint8_t u8(const char *what) { return *take(1, what); }
  uint16_t u16(const char *what)
  {
    const uint8_t *p = take(2, what);
    return uint16_t(p[0] | p[1] << 8);
  }
  uint32_t u32(const char *what)
  {
    const uint8_t *p = take(4, what);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  float f32(const char *what)
  {
    size_t at = pos;
    uint32_t bits = u32(what);
    float f;
    memcpy(&f, &bits, 4);
    if (!std::isfinite(f))
      fail(at, "%s is not a finite number", what);
    return f;
  }

  // 1-byte length L, L characters, a zero byte. Names of files beside the program: not empty, no
  // control characters, no way up or out of the program's directory.
  void name(char *out, size_t capacity, const char *what)
  {
    size_t at = pos;
    uint8_t len = u8(what);
    if (len == 0)
      fail(at, "%s is empty", what);
    if (len >= capacity)
      fail(at, "%s has %u characters (at most %zu)", what, len, capacity - 1);
    const uint8_t *s = take(uint64_t(len) + 1, what);
    for (int i = 0; i < len; i++)
      if (s[i] < 32 || s[i] == 127)
        fail(at + 1 + size_t(i), "%s holds a control character", what);
    if (s[len] != 0)
      fail(at + 1 + len, "%s is not terminated by a zero byte", what);
    memcpy(out, s, size_t(len) + 1);
    if (out[0] == '/' || out[0] == '\\' || strstr(out, ".."))
      fail(at, "%s '%s' leaves the program's directory", what, out);
  }
};

int vsd_type_size(uint8_t type)
{
  switch (type)
  {
    case VSDT_FLOAT1: return 4;
    case VSDT_FLOAT2: return 8;
    case VSDT_FLOAT3: return 12;
    case VSDT_FLOAT4: return 16;
    case VSDT_D3DCOLOR: return 4;
    case VSDT_SHORT2: return 4;
    case VSDT_SHORT4: return 8;
    default: return 0;
  }
}

void parse(Cursor &c, Mesh &m, const uint8_t *&vertices, const uint8_t *&indices)
{
  if (c.size < 4 || (uint32_t(c.data[0]) | uint32_t(c.data[1]) << 8 | uint32_t(c.data[2]) << 16 |
                     uint32_t(c.data[3]) << 24) != MESH_FILE_VERSION)
  {
    snprintf(c.err.why, sizeof(c.err.why), "Invalid mesh file version");
    c.err.pos = -1;
    throw Refused{};
  }
  c.pos = 4;
  uint32_t n = c.u32("payload length");
  if (n > c.left())
    c.fail(c.size, "error reading file: the payload of %u bytes is cut short after %zu", n, c.left());
  if (n < c.left())
    c.fail(8 + size_t(n), "%zu bytes after the payload of %u bytes", c.left() - n, n);

  c.name(m.shaderName[0], MESH_NAME_SIZE, "first shader name");
  c.name(m.shaderName[1], MESH_NAME_SIZE, "second shader name");

  uint8_t t = c.u8("texture count");
  m.textures.resize(t);
  for (int i = 0; i < t; i++)
    c.name(m.textures[i].name, MESH_TEXNAME_SIZE, "texture name");

  uint8_t s = c.u8("shadow sphere count");
  c.take(uint64_t(s) * 16, "shadow spheres");  // the whole array is there before one is read
  c.pos -= size_t(s) * 16;
  m.shadowSpheres.resize(s);
  for (int i = 0; i < s; i++)
  {
    float x = c.f32("sphere centre x"), y = c.f32("sphere centre y"), z = c.f32("sphere centre z");
    size_t at = c.pos;
    float r = c.f32("sphere radius");
    if (r < 0)
      c.fail(at, "sphere radius %g is negative", double(r));
    m.shadowSpheres[i] = v_make(x, y, z, r);
  }

  size_t elems_at = c.pos;
  uint8_t e = c.u8("vertex element count");
  if (e == 0)
    c.fail(elems_at, "no vertex elements");
  const uint8_t *ep = c.take(uint64_t(e) * 6, "vertex elements");
  m.vsd.resize(e);
  uint32_t taken = 0;
  for (int i = 0; i < e; i++)
  {
    const uint8_t *p = ep + 6 * i;
    VsdElement &el = m.vsd[i];
    el = VsdElement{uint16_t(p[0] | p[1] << 8), p[2], p[3], p[4], p[5]};
    size_t at = elems_at + 1 + 6 * size_t(i);
    if (el.stream != 0)
      c.fail(at, "vertex element %d reads stream %u (meshes have stream 0 only)", i, el.stream);
    if (!vsd_type_size(el.type))
      c.fail(at, "vertex element %d has type code %u (1..7)", i, el.type);
    int loc = gl_attrib_location(vsd_decl_usage(el.usage), el.usageIndex);
    if (loc < 0)
      c.fail(at, "vertex element %d has usage %u index %u, which no vertex input reads", i, el.usage,
             el.usageIndex);
    if (taken & (1u << loc))
      c.fail(at, "vertex element %d feeds the same vertex input as an earlier one", i);
    taken |= 1u << loc;
  }

  size_t at = c.pos;
  uint32_t stride = c.u32("vertex stride");
  if (stride < 1 || stride > MESH_MAX_STRIDE)
    c.fail(at, "vertex stride %u (1..%u)", stride, MESH_MAX_STRIDE);
  for (int i = 0; i < e; i++)
    if (uint32_t(m.vsd[i].offset) + uint32_t(vsd_type_size(m.vsd[i].type)) > stride)
      c.fail(elems_at + 1 + 6 * size_t(i), "vertex element %d at %u ends past the vertex of %u bytes", i,
             m.vsd[i].offset, stride);
  at = c.pos;
  uint32_t nv = c.u32("vertex count");
  if (nv < 1 || nv > MESH_MAX_VERTICES)
    c.fail(at, "vertex count %u (1..%u)", nv, MESH_MAX_VERTICES);
  at = c.pos;
  uint32_t nt = c.u32("triangle count");
  if (nt < 1)
    c.fail(at, "no triangles");
  size_t vertex_at = c.pos;
  vertices = c.take(uint64_t(stride) * nv, "vertex data");
  size_t index_at = c.pos;
  indices = c.take(uint64_t(nt) * 6, "index data");
  if (c.left())
    c.fail(c.pos, "%zu bytes after the index data", c.left());

  for (uint64_t i = 0; i < uint64_t(nt) * 3; i++)
  {
    uint32_t idx = uint32_t(indices[2 * i]) | uint32_t(indices[2 * i + 1]) << 8;
    if (idx >= nv)
      c.fail(index_at + 2 * size_t(i), "index %u past the vertex count %u", idx, nv);
  }
  for (int i = 0; i < e; i++)
  {
    const VsdElement &el = m.vsd[i];
    if (el.type > VSDT_FLOAT4)
      continue;
    for (uint32_t v = 0; v < nv; v++)
      for (int k = 0; k < el.type; k++)
      {
        size_t o = size_t(v) * stride + el.offset + 4 * size_t(k);
        float f;
        memcpy(&f, vertices + o, 4);
        if (!std::isfinite(f))
          c.fail(vertex_at + o, "vertex %u element %d is not a finite number", v, i);
      }
  }
  m.vertexStride = int(stride);
  m.vertexCount = int(nv);
  m.triangleCount = int(nt);
}
}  // namespace

const char *parse_mesh(const uint8_t *data, size_t size, Mesh &mesh, const uint8_t *&vertices,
                       const uint8_t *&indices, MeshParseError &error)
{
  vertices = indices = nullptr;
  Cursor c{data, size, 0, error};
  try
  {
    parse(c, mesh, vertices, indices);
    return nullptr;
  }
  catch (const Refused &)
  {
    vertices = indices = nullptr;
    mesh.vsd.clear();
    mesh.textures.clear();
    mesh.shadowSpheres.clear();
    return error.why;
  }
}
