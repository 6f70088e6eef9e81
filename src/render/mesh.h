#pragma once
// Static meshes: vertex and index data ready for the GPU, their vertex layout, the two shaders
// that draw them (low and high quality), texture names and the spheres that cast their blob
// shadows. Loaded once from mesh files and shared through a cache keyed by full path.
//
// File: tag 0x12040900, payload length n, n bytes of payload (docs/instanced_objects.md has the fields).
// Every field is checked before anything is created: a file that does not hold what it
// announces is refused with the reason and the byte offset of the field, never read past.
#include <cstddef>
#include <cstdint>

#include "render/vdecl.h"
#include "support/dyn_array.h"
#include "support/export.h"
#include "support/vec4f.h"

struct VertexBuffer;
struct IndexBuffer;

constexpr uint32_t MESH_FILE_VERSION = 0x12040900;
constexpr int MESH_NAME_SIZE = 256;        // a shader name: 1-byte length, terminator
constexpr int MESH_TEXNAME_SIZE = 64;      // a texture name: at most 63 characters
constexpr uint32_t MESH_MAX_STRIDE = 2048;
constexpr uint32_t MESH_MAX_VERTICES = 65536;
constexpr int64_t MESH_MAX_FILE_BYTES = 8 + 255 * 6 + 2048ll * 65536 + 6ll * 1024 * 1024 + 65536;

struct MeshTexName
{
  char name[MESH_TEXNAME_SIZE];
};

struct Mesh
{
  VertexBuffer *vb = nullptr;  // static, exactly vertexStride x vertexCount bytes
  IndexBuffer *ib = nullptr;   // 16-bit, 3 x triangleCount indices
  int vertexStride = 0, vertexCount = 0, triangleCount = 0;
  DynArray<VsdElement> vsd;          // stream 0 elements, without the end marker
  char shaderName[2][MESH_NAME_SIZE] = {};  // [0] at gfx_quality 0, [1] at gfx_quality 1
  DynArray<MeshTexName> textures;
  DynArray<vec4f> shadowSpheres;     // centre (x, y, z), radius in w
  char path[260] = {};
  int refCount = 0;
};

// The payload fields of a mesh file held in `data` (the whole file), without GPU objects: `mesh`
// gets the names, elements, spheres and counts, `vertices` and `indices` point into `data`.
// Returns null, or the reason the file is refused with `error_pos` at the byte it concerns
// (-1 for the version tag). `why` holds the text of the reason.
struct MeshParseError
{
  char why[160];
  int pos;
};
const char *parse_mesh(const uint8_t *data, size_t size, Mesh &mesh, const uint8_t *&vertices,
                       const uint8_t *&indices, MeshParseError &error);

// Loads `path` (already a full path): null on failure, after "Error reading mesh file '%s':\n%s
// (offset %d)" went to `fatal` (fatalOnError) or to the log.
QM_EXPORT Mesh *load_mesh(const char *path, bool fatalOnError);
// The mesh of `name` (relative to the executable's directory): the cached one with one more
// reference when its full path matches ignoring case, else a new load added to the cache. A load
// that fails stops the program (with fatalOnError the message names the file and the reason).
QM_EXPORT Mesh *get_mesh(const char *name, bool fatalOnError);
// Drops one reference; the last one frees the mesh and its buffers.
QM_EXPORT void release_mesh(Mesh *m);
// Frees every cached mesh whatever its count (shutdown, before the device closes).
void free_all_meshes();
int mesh_cache_size();
