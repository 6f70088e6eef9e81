// Loading meshes into GPU buffers and the cache that shares them.
#include <strings.h>

#include <cstring>
#include <string>

#include "render/mesh.h"
#include "render/vbuf.h"
#include "support/file_path.h"
#include "support/file_read.h"

static DynArray<Mesh *> mesh_cache;

static void destroy_mesh(Mesh *m)
{
  if (m->vb)
    free_vb(m->vb);
  if (m->ib)
    free_ib(m->ib);
  delete m;
}

// Creates the buffers; null or the reason they could not be made.
static const char *create_mesh_buffers(Mesh &m, const uint8_t *vertices, const uint8_t *indices)
{
  uint32_t vbytes = uint32_t(m.vertexStride) * uint32_t(m.vertexCount);
  m.vb = create_vb(vbytes, BUF_STATIC);
  if (!m.vb)
    return "Can't create vertex buffer";
  void *vp = lock_vb(m.vb, 0, vbytes);
  if (!vp)
    return "Can't lock vertex buffer";
  memcpy(vp, vertices, vbytes);
  unlock_vb(m.vb);
  uint32_t icount = uint32_t(m.triangleCount) * 3;
  m.ib = create_ib(icount, BUF_STATIC);
  if (!m.ib)
    return "Can't create index buffer";
  void *ip = lock_ib(m.ib, 0, icount * 2);
  if (!ip)
    return "Can't lock index buffer";
  memcpy(ip, indices, size_t(icount) * 2);
  unlock_ib(m.ib);
  return nullptr;
}

Mesh *load_mesh(const char *path, bool fatalOnError)
{
  std::string bytes;
  int err = 0;
  const char *why = nullptr;
  int pos = -1;
  Mesh *m = nullptr;
  MeshParseError perr{};
  std::string reason;
  if (!read_file(path, MESH_MAX_FILE_BYTES, bytes, err))
  {
    reason = std::string("Can't open file: ") + file_error_text(err);
    why = reason.c_str();
  }
  else
  {
    m = new Mesh;
    const uint8_t *vertices, *indices;
    why = parse_mesh(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), *m, vertices, indices,
                     perr);
    pos = perr.pos;
    if (!why)
    {
      why = create_mesh_buffers(*m, vertices, indices);
      pos = int(bytes.size());
    }
  }
  if (why)
  {
    if (m)
      destroy_mesh(m);
    if (fatalOnError)
      fatal("Error reading mesh file '%s':\n%s (offset %d)", path, why, pos);
    debug("Error reading mesh file '%s':\n%s (offset %d)", path, why, pos);
    return nullptr;
  }
  snprintf(m->path, sizeof(m->path), "%s", path);
  m->refCount = 1;
  return m;
}

Mesh *get_mesh(const char *name, bool fatalOnError)
{
  TempString<260> path = make_full_path(name);
  for (Mesh *c : mesh_cache)
    if (strcasecmp(c->path, path.str) == 0)
    {
      c->refCount++;
      return c;
    }
  Mesh *m = load_mesh(path.str, fatalOnError);
  G_ASSERT(m);
  mesh_cache.push_back(m);
  return m;
}

void release_mesh(Mesh *m)
{
  if (!m || --m->refCount > 0)
    return;
  for (int i = 0; i < mesh_cache.size(); i++)
    if (mesh_cache[i] == m)
    {
      mesh_cache.erase(i, 1);
      break;
    }
  destroy_mesh(m);
}

void free_all_meshes()
{
  for (Mesh *m : mesh_cache)
    destroy_mesh(m);
  mesh_cache.clear();
}

int mesh_cache_size() { return mesh_cache.size(); }
