// Whatever bytes a mesh file holds, the reader never reads outside them (AddressSanitizer), a
// refusal leaves nothing behind and points at a byte of the file (or -1 for the version), and a
// mesh it accepts holds exactly what the bytes announce: every index below the vertex count,
// every element inside the vertex.
#include <cstdint>
#include <cstdlib>

#include "render/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  Mesh m;
  const uint8_t *v = nullptr, *ix = nullptr;
  MeshParseError err{};
  if (parse_mesh(data, size, m, v, ix, err))
  {
    if (v || ix || !m.vsd.empty() || !m.textures.empty() || !m.shadowSpheres.empty() || err.pos < -1 ||
        (err.pos >= 0 && size_t(err.pos) > size))
      abort();
    return 0;
  }
  const uint64_t vbytes = uint64_t(m.vertexStride) * uint64_t(m.vertexCount);
  const uint64_t ibytes = uint64_t(m.triangleCount) * 6;
  if (m.vertexCount < 1 || m.vertexCount > 65536 || m.vertexStride < 1 || m.vertexStride > 2048 ||
      m.triangleCount < 1 || v < data || ix != v + vbytes || ix + ibytes != data + size)
    abort();
  for (uint64_t i = 0; i < uint64_t(m.triangleCount) * 3; i++)
    if ((ix[2 * i] | ix[2 * i + 1] << 8) >= m.vertexCount)
      abort();
  for (const VsdElement &e : m.vsd)
    if (e.stream != 0 || e.offset >= m.vertexStride)
      abort();
  return 0;
}
