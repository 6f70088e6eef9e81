#pragma once
// The land and water renderer. It turns the world arrays into GPU textures once per simulation
// step (levels, colours, and from them normals and the ambient aperture), interpolates between
// steps (heights morphed ahead, water depth, foam and flow coordinates blended, normal and aperture
// generations cross-faded), and draws the land around the camera (instanced near squares, a far
// field, a tiled horizon ring at high quality) and the water. Squares that carry a house piece are
// handed to the building renderer instead of being drawn as land. docs/land_water.md describes it.
#include <cstdint>

#include "support/vec4f.h"
#include "terrain/hmap_data.h"

struct Texture;

// Grid sizes. The far field and the water are 256 x 256 vertices around the camera's cell; the near
// field is the block of squares 95..158 of that grid; the view disc keeps squares whose offsets
// (2k - 255, 2j - 255) have a squared length of at most 67600 (130 squares).
constexpr int LAND_GRID = 256;
constexpr int LAND_QUADS = LAND_GRID - 1;
constexpr int LAND_NEAR = 64;
constexpr int LAND_NEAR_FIRST = 95;
constexpr int LAND_VIEW_R2 = 67600;
constexpr int HORIZON_GRID = 192;
constexpr int HORIZON_SPACING = 4;
constexpr int HORIZON_INNER_R2 = 3843;
constexpr int LAND_NORM_SIZE = 1024;
constexpr int LAND_UPLOAD_BATCH = 4096;  // points per upload draw
constexpr int FLOW_CYCLE = 40;           // steps between two resets of one coordinate pair
constexpr float LAND_STEP_DT = 0.05f;    // the simulation step the flow is traced over
constexpr float WATER_WET_HIGH = 0.01f, WATER_WET_LOW = 0.1f;

// Per-frame vertex records (the vertex declarations of land_render.cpp read them).
struct LandInstance  // one near square: its corner and the heights of its four corners
{
  int16_t x, z;
  float h[4];  // (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1)
};
struct LandVertex  // far field and horizon
{
  int16_t x, z;
  float h;
};
struct WaterVertexLow
{
  int16_t x, z;
  float level;
  int16_t foam, depth;  // foam * 32767, depth * 1024 (clamped)
};
struct WaterVertexHigh
{
  int16_t x, z;
  float level;
  float flow[4];  // two coordinate pairs
  int16_t foam, depth;
};
static_assert(sizeof(LandInstance) == 20 && sizeof(LandVertex) == 8);
static_assert(sizeof(WaterVertexLow) == 12 && sizeof(WaterVertexHigh) == 28);

// One cell of a flow buffer: the two texture-coordinate pairs that travel with the water.
struct FlowCell
{
  float u0, v0, u1, v1;
};

// The renderer's state between frames (textures are null before init_land_render).
struct LandState
{
  int quality = 0;             // 1 high, anything else low
  bool world_changed = false;  // upload on the next frame
  bool full_update = false;    // the next upload fills both generations
  int flow_counter = 0;        // 0..39
  int flow_cur = 0;            // the flow buffer of the current step
  int norm_new = 0;            // the generation holding the newest normals and aperture
  int steps = 0;               // steps since start (the water's ripples move with it)
  float frame_f = 0.f;         // this frame's interpolation fraction
  int cell_x = 0, cell_z = 0;  // the camera's cell of this frame
  int near_count = 0;          // instances built this frame
  int far_quads = 0, water_quads = 0;
  Texture *hmapTex = nullptr, *normTex = nullptr, *aperTex = nullptr, *colrTex = nullptr,
          *topcTex = nullptr, *detailTex = nullptr, *foamTex = nullptr, *noiseTex = nullptr;
  Texture *normGen[2] = {}, *aperGen[2] = {};
};
extern LandState land;

// Interpolated heights and depths of this frame, and the two flow buffers.
extern float land_curh[HMAP_CELLS];
extern float land_depth_lerp[HMAP_CELLS];
extern FlowCell land_flow_uv[2][HMAP_CELLS];

// Who draws house squares (the game object module, connected by the application); null skips them.
struct LandHooks
{
  void (*render_building)(const HeightmapData::Surface &s, int x, int z) = nullptr;
};
extern LandHooks land_hooks;

// Creates textures, shaders and buffers for `quality` and requests a full update. Fatal on
// failure ("can't create land textures", "Can't create land VB", ...).
void init_land_render(int quality);
// Releases everything; safe when it never ran.
void close_land_render();
// The next frame uploads the whole world and fills both generations (world generation, device
// reset, development keys).
void land_request_full_update();
// Each simulation step, before the heights move: advances the flow coordinates (high quality;
// `camera` places the reset pattern) and marks the world changed.
void land_step_update(vec4f camera);
// Each frame: uploads a changed world, cross-fades, builds this frame's geometry around `camera`
// (`dt`: the time since the last step; `shadow_quality`: the aperture variant 0..2).
void land_frame_update(float dt, vec4f camera, int shadow_quality);
// Draw calls of the scene frame: the caller has set the camera registers (vertex 0..3 and 4), the
// targets and the depth and stencil state. Water takes the frame's fraction f. The horizon is
// drawn by the high-quality deferred path only.
void draw_land();
void draw_water(float f);
void draw_horizon();

// The weight of the second flow pair at fraction f: 1 just after the first pair's reset, 0 just
// after the second's.
float flow_pair_weight(int counter, float f);

// Geometry of one frame, on the CPU (land_geometry.cpp). Each returns what it wrote.
// Near squares of the camera cell (cx, cz) = round(camera) - 128; house squares go to the hook.
int build_near_field(int cx, int cz, const float *curh, LandInstance *out);
// Far-field vertices (256 x 256) and indices of the view disc outside the near block.
void build_far_vertices(int cx, int cz, const float *curh, LandVertex *out);
int build_far_indices(int cx, int cz, uint16_t *out);
// Water vertices and the indices of quads wet in the previous or the current step.
void build_water_vertices(int cx, int cz, const float *curh, const float *depth, float f, int quality,
                          void *out);
int build_water_indices(int cx, int cz, float wet, uint16_t *out);
// Horizon ring: indices (once), vertices around the camera cell.
int build_horizon_indices(uint16_t *out);
void build_horizon_vertices(int cell_x, int cell_z, const float *curh, const float *depth, LandVertex *out);

// Flow coordinates (land_flow.cpp).
void reset_flow();
void step_flow(int cell_x, int cell_z);
