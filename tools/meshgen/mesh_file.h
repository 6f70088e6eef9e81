#pragma once
// The mesh files the game reads, as the asset tool builds them: names, shadow spheres, the vertex
// layout, the vertex bytes and 16-bit triangle indices, encoded into the game's file format.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One vertex element: offset in the vertex, type code (1 float1 .. 4 float4, 5 colour, 6 short2,
// 7 short4), usage code (0 position, 1 normal, 2 colour, 3 texcoord, 4 tangent), usage index.
struct MeshElement
{
  uint16_t offset;
  uint8_t type, usage, usageIndex;
};

struct MeshFile
{
  std::string shader[2];  // low and high quality
  std::vector<std::string> textures;
  std::vector<std::array<float, 4>> spheres;  // centre x, y, z, radius
  std::vector<MeshElement> elements;
  uint32_t stride = 0;
  std::vector<uint8_t> vertices;  // stride x vertex count bytes
  std::vector<uint16_t> indices;  // 3 per triangle
};

// The file's bytes: tag 0x12040900, payload length, payload (all little-endian).
std::vector<uint8_t> encode_mesh(const MeshFile &m);
// Writes the bytes to `path` through a temporary name; false (and the reason on standard error)
// when it cannot.
bool save_mesh(const std::string &path, const MeshFile &m);
