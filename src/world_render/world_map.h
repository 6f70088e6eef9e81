#pragma once
// The world map: a 512 x 512 top-down picture of the whole world, redrawn on the GPU at every
// upload of the land renderer from its colour textures, the water layer and the land's normals
// (and, at high quality, its ambient aperture). The game object module's map screen shows
// HeightmapRenderer::mapTex. docs/world_map.md describes it.
//
// Orientation: north (+z) up, east (+x) right. Texture coordinate (u, v) (v down) shows world
// position x = 256 u - 0.5, z = 256 (1 - v) - 0.5, so the picture repeats exactly every 256 units
// and can be scrolled with wrapping.
#include <cstdint>

#include "support/export.h"

struct Texture;

constexpr int WORLD_MAP_SIZE = 512;
constexpr int MAP_GRID = 257;                       // water vertices per side (x, z = 0..256)
constexpr int MAP_SPLIT_ROW = 254;                  // rows from here go to the second batch
constexpr int MAP_SPLIT_VERTEX = MAP_SPLIT_ROW * MAP_GRID;  // 65278, its base vertex
constexpr int MAP_INDICES = 256 * 256 * 6;          // room for every quad
constexpr float MAP_WET_DEPTH = 0.01f;

// The map texture (null before the land renderer starts and after it closes).
struct QM_EXPORT HeightmapRenderer
{
  static Texture *mapTex;
};

// The map's texture coordinate of world position (x, z), wrapped into 0..1.
QM_EXPORT void world_map_uv(float x, float z, float &u, float &v);

// One water vertex of the map: the sample's corner and its water.
struct MapWaterVertex
{
  int16_t x, z;
  float depth, foam;
};
static_assert(sizeof(MapWaterVertex) == 12);

// The wet quads of the map, two batches of two triangles each: rows 0..253 with indices from
// vertex 0, rows 254 and 255 following them with indices from vertex 65278 (so that every index
// fits in 16 bits). A quad is wet when any corner's depth (wrapping) is above 0.01.
struct MapWaterBatches
{
  int first_quads = 0, second_quads = 0;
};
MapWaterBatches build_map_water_indices(uint16_t *out);
// The 257 x 257 vertices; vertex (x, z) = z * 257 + x holds sample (x & 255, z & 255).
void build_map_water_vertices(MapWaterVertex *out);

// Called by the land renderer: creates the texture, the buffers and the shaders ("map_light.sh"
// when `high`, else "map_light_low.sh"); fatal on failure ("can't create world map texture",
// "Can't create map water VB", "Can't create map water IB").
void init_world_map(bool high);
void close_world_map();
// Redraws the map from the land's colour textures (already refreshed), the water arrays and the
// newest normal (and aperture) generation.
void update_world_map();
