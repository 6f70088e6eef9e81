#include "mesh_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{
void put8(std::vector<uint8_t> &b, uint32_t v) { b.push_back(uint8_t(v)); }
void put16(std::vector<uint8_t> &b, uint32_t v)
{
  put8(b, v);
  put8(b, v >> 8);
}
void put32(std::vector<uint8_t> &b, uint32_t v)
{
  put16(b, v);
  put16(b, v >> 16);
}
void put_float(std::vector<uint8_t> &b, float f)
{
  uint32_t v;
  memcpy(&v, &f, 4);
  put32(b, v);
}
void put_name(std::vector<uint8_t> &b, const std::string &s)
{
  put8(b, uint32_t(s.size()));
  b.insert(b.end(), s.begin(), s.end());
  put8(b, 0);
}
}  // namespace

std::vector<uint8_t> encode_mesh(const MeshFile &m)
{
  std::vector<uint8_t> p;
  put_name(p, m.shader[0]);
  put_name(p, m.shader[1]);
  put8(p, uint32_t(m.textures.size()));
  for (const std::string &t : m.textures)
    put_name(p, t);
  put8(p, uint32_t(m.spheres.size()));
  for (const auto &s : m.spheres)
    for (float f : s)
      put_float(p, f);
  put8(p, uint32_t(m.elements.size()));
  for (const MeshElement &e : m.elements)
  {
    put16(p, e.offset);
    put8(p, 0);
    put8(p, e.type);
    put8(p, e.usage);
    put8(p, e.usageIndex);
  }
  put32(p, m.stride);
  put32(p, m.stride ? uint32_t(m.vertices.size() / m.stride) : 0);
  put32(p, uint32_t(m.indices.size() / 3));
  p.insert(p.end(), m.vertices.begin(), m.vertices.end());
  for (uint16_t i : m.indices)
    put16(p, i);

  std::vector<uint8_t> f;
  put32(f, 0x12040900);
  put32(f, uint32_t(p.size()));
  f.insert(f.end(), p.begin(), p.end());
  return f;
}

bool save_mesh(const std::string &path, const MeshFile &m)
{
  std::vector<uint8_t> bytes = encode_mesh(m);
  std::string tmp = path + ".tmp";
  FILE *f = fopen(tmp.c_str(), "wb");
  if (!f)
  {
    fprintf(stderr, "qm_meshgen: can't write '%s': %s\n", tmp.c_str(), strerror(errno));
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (!ok || rename(tmp.c_str(), path.c_str()) != 0)
  {
    fprintf(stderr, "qm_meshgen: can't write '%s': %s\n", path.c_str(), strerror(errno));
    remove(tmp.c_str());
    return false;
  }
  return true;
}
