#pragma once
// Building meshes from procedural descriptions: vectors, a seeded hash noise, flat-shaded faces
// that orient themselves by their outward normal, and the packing of the vertices into the
// layouts the game's mesh shaders read.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh_file.h"

struct V3
{
  float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 mul(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalize(V3 a)
{
  float l = length(a);
  return l > 1e-12f ? a * (1.f / l) : V3{0, 1, 0};
}
inline V3 lerp(V3 a, V3 b, float t) { return a + (b - a) * t; }

// A colour as floats 0..1.
struct Rgb
{
  float r, g, b;
  float glow = 0;  // 0..1: how much the surface shines by itself (stored as 1 - alpha)
};
inline Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
inline Rgb scale(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
uint32_t pack_color(Rgb c);

// Deterministic noise: a hash of integers to 0..1, and smooth value noise in 3D (0..1).
float hash01(uint32_t a, uint32_t b = 0, uint32_t c = 0);
float value_noise(V3 p, uint32_t seed);
// Sum of `octaves` value-noise layers, -1..1.
float fractal_noise(V3 p, uint32_t seed, int octaves);

struct Vtx
{
  V3 p;           // position; building pieces: (u, y offset, v) in the unit square
  V3 n;           // normal
  uint32_t c = 0xFFFFFFFF;
  float s[4] = {0, 0, 0, 0};  // building pieces: height sample points A (u, v) and B (u, v)
  float t = 0;                // building pieces: blend from A's height to B's
  V3 m;                       // morph meshes: offset to the second pose
};

struct Builder
{
  std::vector<Vtx> v;
  std::vector<uint16_t> idx;

  uint16_t add(const Vtx &x);
  // One triangle, its order chosen so that it faces `out` (clockwise seen from the front, the
  // game's convention). Positions used for the orientation are `pa`, `pb`, `pc` when given
  // (building pieces orient by their undeformed shape).
  void tri(uint16_t a, uint16_t b, uint16_t c, V3 out);
  // A flat polygon (a fan, convex) of new vertices, all with normal `n` unless smooth normals
  // were set on them already (`keep_normals`).
  void polygon(std::vector<Vtx> pts, V3 n, bool keep_normals = false);
};

// The vertex layouts of the four mesh kinds.
enum class Layout
{
  Simple,    // position, normal, colour: 28 bytes
  Morph,     // + TEXCOORD1 float3 morph offset: 40 bytes
  Spline,    // as Simple; z runs 0..1 along the curve
  Building,  // + TEXCOORD0 float4 sample points, TEXCOORD1 float1 blend: 48 bytes
};

MeshFile pack_mesh(const Builder &b, Layout layout, const char *shader_lo, const char *shader_hi,
                   std::vector<std::array<float, 4>> spheres);

struct NamedMesh
{
  std::string name;  // file name without ".mesh", lower case
  MeshFile mesh;
};
// Every mesh the game uses (docs/meshes.md lists them).
std::vector<NamedMesh> build_all_meshes();
