#pragma once
// The world: one 256 x 256 grid of samples that wraps on both axes, held in five statically
// allocated arrays. Sample (x, z) lives at index ((z & 255) << 8) | (x & 255). The game object
// module reaches the arrays and the operations through the executable's exported symbols under
// these names.
#include <cstdint>

#include "support/dyn_array.h"
#include "support/export.h"
#include "support/point2.h"
#include "support/vec4f.h"

struct ColorRamp;

constexpr int HMAP_SIZE = 256;
constexpr int HMAP_SIZE_SHIFT = 8;
constexpr int HMAP_CELLS = HMAP_SIZE * HMAP_SIZE;

// Index of sample (x, z), wrapping both coordinates.
inline int hmap_idx(int x, int z) { return ((z & (HMAP_SIZE - 1)) << HMAP_SIZE_SHIFT) | (x & (HMAP_SIZE - 1)); }

// Ground types (4 bits). GT_NONE is the script-side "keep the ground type" value, never stored.
enum
{
  GT_NONE = -1,
  GT_HOUSE = 0,
  GT_ROCK = 1,
  GT_SAND = 2,
  GT_SOIL = 3,
};

// Surface overlay types (4 bits).
enum
{
  ST_NONE = 0,
  ST_OPEN = 0,
  ST_GRASS = 1,
  ST_ASH = 2,
  ST_SNOW = 3,
  ST_ROAD = 4,
};

class QM_EXPORT HeightmapData
{
public:
  HeightmapData() = delete;

  struct Water
  {
    float depth;  // water column above the terrain
    float vel_x;  // velocity through the face towards (x + 1, z)
    float vel_z;  // velocity through the face towards (x, z + 1)
    float foam;   // 0..1
  };

  struct Surface
  {
    uint32_t color;      // 0xAARRGGBB base ground colour
    uint32_t top_color;  // 0xAARRGGBB overlay; alpha 0 means none
    // The flags word: bits 0-3 ground type, 4-7 surface type, 8-10 house rotation,
    // 11-15 house piece, 16-31 unused (kept by writers of single fields).
    uint32_t ground_type : 4;
    uint32_t surface_type : 4;
    uint32_t house_rot : 3;
    uint32_t house_piece : 5;
    uint32_t unused : 16;
  };

  // Colour reaction of droplet erosion: a first-order rate law between colour channels.
  struct Reaction
  {
    float delta[4];  // rate * (to - from), channels r, g, b, a on a 0..1 scale
    int order[4];    // exponents of r, g, b, a in the rate (the from colour rounded)
  };

  struct ErosionParams
  {
    float Kq = 10.0f;           // sediment capacity factor
    float Kw = 0.001f;          // evaporation per step
    float Kr = 0.9f;            // fraction of the capacity deficit eroded per step
    float Kd = 0.02f;           // fraction of the capacity surplus deposited per step
    float Ki = 0.1f;            // inertia of the direction
    float minSlope = 0.05f;     // lower bound of the drop used for capacity
    float g = 20.0f;            // gravity
    float depositBlend = 2.0f;  // how fast deposits take on the sediment colour
    float reactionTime = 100.0f;
    DynArray<Reaction> reactions;
    // Told "Calculating erosion" and the share done every 16384 droplets; null: no reports.
    void (*progress)(const char *msg, float progress) = nullptr;
  };

  // The arrays lie in memory in this order: hmap, tmpw, water, target_hmap, surface.
  alignas(16) static float hmap[HMAP_CELLS];          // current height
  alignas(16) static Water tmpw[HMAP_CELLS];          // water scratch: the previous water state
  alignas(16) static Water water[HMAP_CELLS];         // current water
  alignas(16) static float target_hmap[HMAP_CELLS];   // height each sample moves towards
  alignas(16) static Surface surface[HMAP_CELLS];     // colours and classification

  // Flat grey rock world without water (tmpw is left alone).
  static void reset();
  // Moves hmap towards target_hmap by one step of dt seconds; groups of four samples that are
  // all within 0.001 of their targets are left alone.
  static void updateHmap(float dt);
  // Writes into `out` what updateHmap(dt) would make of hmap, without the at-rest skip.
  static void morphHmap(float dt, float *out);
  // Lowest and highest height; NaN samples are ignored.
  static void calcHtRange(float &min, float &max);
  // Shifts hmap so that its range is centred on 0; returns half the range.
  static float recenterHt();

  // Terrain shaping. Every operation wraps around the world edges. The ones that take a height
  // array work equally on hmap (generation) and target_hmap (edits during play). A ramp colours
  // the samples it is given for; a ground type of GT_NONE keeps the ground type.
  //
  // Fractal noise in 0..1 (roughly) scaled into min_ht..max_ht and added to hmap.
  static void addFastNoise(float min_ht, float max_ht, const ColorRamp *ramp, int ground, int alpha,
                           float roughness);
  // Tiling fractal noise by repeated 2x refinement, written into `out` in place.
  static void makeFastNoise(float *out, float amplitude, float roughness);
  // Octaves of tiled gradient noise scaled into min_ht..max_ht and added to hmap.
  static void addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float persistence);
  // One paraboloid hill per Voronoi cell (radius in cells); the highest hill wins.
  static void addVoronoiHills(int tile, float min_ht, float max_ht, float radius);
  // Flat Voronoi plateaus with sloped scarps between them, the cells warped by noise.
  static void genVoronoiFaults(int tile, float min_ht, float max_ht, float warp, int warp_scale, int octaves,
                               float sharpness);
  // A noisy straight scarp through pos along dir inside an ellipse (64 along, 128 across).
  static void genFault(Point2 pos, Point2 dir, float height, float balance, float jaggedness,
                       const ColorRamp *ramp, int ground, int alpha, float *heights);
  // A bowl with a rim around center; never raises a sample.
  static void genCrater(Point2 center, float radius, float depth, float *heights);
  // Stamps a house (kind 0, 1, 2 and their repeats) or the castle (kind -1) centred on (x, z).
  static void placeHouse(int x, int z, int kind, float *heights, bool replace);

  // Droplet erosion of hmap and surface colours.
  static void genDropletErosion(unsigned droplets, ErosionParams &params);

  // One water step of dt seconds.
  static void simWater(float dt);
  // Adds `amount` to every cell's depth.
  static void addWater(float amount);
  // Highest point of the bilinear surface (terrain, plus water when with_water) over the square
  // of half size `half_size` around (pos.x, pos.z), minus pos.y; the result in all four lanes.
  static vec4f calcSquareDepth(vec4f pos, float half_size, bool with_water);
};

static_assert(sizeof(HeightmapData::Water) == 16);
static_assert(sizeof(HeightmapData::Surface) == 12);
static_assert(sizeof(HeightmapData::Reaction) == 32);
