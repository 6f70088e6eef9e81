#include "mesh_builder.h"

#include "house_meshes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

uint32_t pack_color(Rgb c)
{
  const float alpha = 1.f - c.glow;
  auto q = [](float f) { return uint32_t(std::lround(std::clamp(f, 0.f, 1.f) * 255.f)); };
  return q(alpha) << 24 | q(c.r) << 16 | q(c.g) << 8 | q(c.b);
}

float hash01(uint32_t a, uint32_t b, uint32_t c)
{
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return float(h >> 8) / 16777216.f;
}

float value_noise(V3 p, uint32_t seed)
{
  float fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
  int ix = int(fx), iy = int(fy), iz = int(fz);
  float tx = p.x - fx, ty = p.y - fy, tz = p.z - fz;
  auto s = [](float t) { return t * t * (3 - 2 * t); };
  tx = s(tx);
  ty = s(ty);
  tz = s(tz);
  auto h = [&](int dx, int dy, int dz) {
    return hash01(uint32_t(ix + dx) + seed * 7919u, uint32_t(iy + dy), uint32_t(iz + dz));
  };
  auto l = [](float a, float b, float t) { return a + (b - a) * t; };
  return l(l(l(h(0, 0, 0), h(1, 0, 0), tx), l(h(0, 1, 0), h(1, 1, 0), tx), ty),
           l(l(h(0, 0, 1), h(1, 0, 1), tx), l(h(0, 1, 1), h(1, 1, 1), tx), ty), tz);
}

float fractal_noise(V3 p, uint32_t seed, int octaves)
{
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; o++)
  {
    sum += (value_noise(p, seed + uint32_t(o) * 31u) * 2 - 1) * amp;
    norm += amp;
    p = p * 2.03f;
    amp *= 0.5f;
  }
  return sum / norm;
}

uint16_t Builder::add(const Vtx &x)
{
  if (v.size() >= 65536)
    throw std::runtime_error("a mesh holds at most 65536 vertices");
  v.push_back(x);
  return uint16_t(v.size() - 1);
}

void Builder::tri(uint16_t a, uint16_t b, uint16_t c, V3 out)
{
  V3 n = cross(v[b].p - v[a].p, v[c].p - v[a].p);
  if (dot(n, out) < 0)
    std::swap(b, c);
  idx.insert(idx.end(), {a, b, c});
}

void Builder::polygon(std::vector<Vtx> pts, V3 n, bool keep_normals)
{
  std::vector<uint16_t> ids;
  for (Vtx &p : pts)
  {
    if (!keep_normals)
      p.n = n;
    ids.push_back(add(p));
  }
  for (size_t i = 2; i < ids.size(); i++)
    tri(ids[0], ids[i - 1], ids[i], n);
}

namespace
{
void put(std::vector<uint8_t> &out, const void *p, size_t n)
{
  const uint8_t *b = static_cast<const uint8_t *>(p);
  out.insert(out.end(), b, b + n);
}
void put_v3(std::vector<uint8_t> &out, V3 a)
{
  float f[3] = {a.x, a.y, a.z};
  put(out, f, 12);
}
}  // namespace

MeshFile pack_mesh(const Builder &b, Layout layout, const char *shader_lo, const char *shader_hi,
                   std::vector<std::array<float, 4>> spheres)
{
  MeshFile m;
  m.shader[0] = shader_lo;
  m.shader[1] = shader_hi;
  m.spheres = std::move(spheres);
  m.elements = {{0, 3, 0, 0}, {12, 3, 1, 0}, {24, 5, 2, 0}};
  m.stride = 28;
  if (layout == Layout::Morph)
  {
    m.elements.push_back({28, 3, 3, 1});
    m.stride = 40;
  }
  else if (layout == Layout::Building)
  {
    m.elements.push_back({28, 4, 3, 0});
    m.elements.push_back({44, 1, 3, 1});
    m.stride = 48;
  }
  for (const Vtx &x : b.v)
  {
    put_v3(m.vertices, x.p);
    put_v3(m.vertices, normalize(x.n));
    uint8_t c[4] = {uint8_t(x.c), uint8_t(x.c >> 8), uint8_t(x.c >> 16), uint8_t(x.c >> 24)};
    put(m.vertices, c, 4);
    if (layout == Layout::Morph)
      put_v3(m.vertices, x.m);
    else if (layout == Layout::Building)
    {
      put(m.vertices, x.s, 16);
      put(m.vertices, &x.t, 4);
    }
  }
  m.indices = b.idx;
  return m;
}

std::vector<NamedMesh> build_all_meshes()
{
  std::vector<NamedMesh> all = build_house_meshes();
  for (NamedMesh &m : build_creature_meshes())
    all.push_back(std::move(m));
  return all;
}
