#pragma once
// Blob shadows of objects. Each mesh carries a few spheres (its shadow balls); every frame the
// balls of the visible objects are binned into a 16 x 9 grid of screen tiles, and a deferred pass
// darkens the bound target tile by tile with "dr_shadow.sh", each tile's balls drawn in groups of
// 8, 4, 2 and 1 so that a pixel evaluates only the balls that can touch its tile.
//
// Also here: a walker over the cells of the 256 x 256 map, and random points in each cell.
#include "render/vdecl.h"
#include "support/dyn_array.h"
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"

struct Shader;
struct VertexBuffer;
struct IndexBuffer;

constexpr int SHADOW_TILES_X = 16, SHADOW_TILES_Y = 9;
constexpr int SHADOW_GROUP_BALLS = 8;

struct ShadowTile
{
  int firstGroup = -1;  // -1: none
  int curGroup = -1;    // -1: none
  int fullGroups = 0;   // full groups before the current one
  int curCount = 0;     // balls in the current group, 1..8
};
struct ShadowGroup
{
  vec4f balls[SHADOW_GROUP_BALLS];  // centre x, y, z and radius
};

// What the frame's shadows are seen with: view-projection, the sum of the absolute values of its
// first three rows, the camera position and the sun direction (towards the sun).
struct ShadowView
{
  Matrix44 globTm;
  vec4f globRk;
  vec4f cameraPos;
  vec4f sun;
};

struct ShadowState
{
  ShadowTile tiles[SHADOW_TILES_X * SHADOW_TILES_Y];
  DynArray<ShadowGroup> groups;
  DynArray<int> links;          // next group of the same tile, -1 ends
  DynArray<vec4f> debugBalls;   // every ball of the frame
  ShadowView view;
  Shader *shaders[4] = {};      // NUMVEC 8, 4, 2, 1
  VDecl decls[4];
  VertexBuffer *cornerVb = nullptr;
  IndexBuffer *ib = nullptr;
};
extern ShadowState shadow_state;

// The shaders, declarations and buffers of the pass (high quality only). Failures are fatal.
void init_obj_shadows();
void close_obj_shadows();

// Each frame before the objects' balls: empties the tiles and groups and keeps the view.
void start_render_shadows(const ShadowView &view);
// One ball: centre c (w ignored) and radius r, binned into the tiles its shadow can touch.
QM_EXPORT void render_shadow_ball(vec4f c, float r);
// Draws the tiles into the bound target (cleared to white first) with multiply blending: the
// caller has bound the target, the stencil test, the depth and normal images (docs) and the
// registers VS 16..19 and PS 0. Nothing is drawn before init_obj_shadows.
void end_render_shadows();
// Crosses at each ball (black, size r) and its moved shadow volume (green, size 5r).
QM_EXPORT void render_shadows_debug();

// The instance data of one tile's pass: (column, row) as two shorts, then the balls.
int shadow_pass_stride(int numvec);

class IWalkMapGrid
{
public:
  virtual ~IWalkMapGrid() = default;
  virtual void on_map_grid_walk(float x, float z, float cellSize) = 0;
};

// Calls the walker for every cell of size 2^level over the map (level clamped to -4..8): one call
// of size 256 at 8; cells in rows of z (outer) and x (inner) otherwise.
QM_EXPORT void walk_map_grid(int level, IWalkMapGrid &walker);

class IMapCellPointConsumer
{
public:
  virtual ~IMapCellPointConsumer() = default;
  virtual void on_map_cell_point(float x, float z) = 0;
};

// `count` random points (the shared generator) in every cell walked.
class QM_EXPORT GenMapCellPoints : public IWalkMapGrid
{
public:
  int count;
  IMapCellPointConsumer *consumer;
  GenMapCellPoints(int n, IMapCellPointConsumer *c) : count(n), consumer(c) {}
  void on_map_grid_walk(float x, float z, float cellSize) override;
};
