#pragma once
// Batched two-dimensional drawing. A RenderBatch collects items (a few vertices each) tagged with
// a render state and a screen rectangle, puts each item into the latest group of the same state
// that it can join without changing the picture, and draws group by group through
// `common_vb_writer`.
#include <cstdint>

#include "render/vdecl.h"
#include "support/accum_alloc.h"
#include "support/dyn_array.h"
#include "support/export.h"

struct Shader;
struct Texture;

// A screen rectangle: min x, min y, max x, max y.
struct BatchRect
{
  float x0, y0, x1, y1;
};

// True when r overlaps s. Edges count on the min side only: r touching s's right or bottom
// edge with its left or top edge overlaps; r ending where s starts does not.
inline bool batch_rects_overlap(const BatchRect &r, const BatchRect &s)
{
  return r.x0 <= s.x1 && r.y0 <= s.y1 && r.x1 > s.x0 && r.y1 > s.y0;
}

// What a group of items needs bound to draw. The virtual operations stand in this order (the
// game object module derives from these classes).
class QM_EXPORT BaseRenderBatchState
{
public:
  Shader *shader = nullptr;
  VDecl vdecl;
  int stride = 0;  // vertex size in bytes
  Texture *texture = nullptr;  // sampler stage 0

  virtual ~BaseRenderBatchState() = default;
  // Clears shader, declaration and texture.
  virtual void reset();
  // Binds shader, declaration and texture, each only where it differs from `prev` (all three
  // when there is no previous state).
  virtual void apply(BaseRenderBatchState *prev);
  // Draws what is left in the writer and ends its drawing.
  virtual void finish();
};

// The usual state: also binds the writer's buffer as stream 0 with the stride and starts the
// writer with triangle lists.
class QM_EXPORT StdRenderBatchState : public BaseRenderBatchState
{
public:
  void apply(BaseRenderBatchState *prev) override;
};

class QM_EXPORT RenderBatch
{
public:
  // One item in the pool: its header, then dataSize bytes of vertices.
  struct Item
  {
    BatchRect rect;
    int dataSize;
    int primCount;
    Item *next;  // next item of the same group
    void *data() { return this + 1; }
  };
  struct Group
  {
    BatchRect rect;  // bounds of the group's items
    BaseRenderBatchState *state;
    Item *first, *last;
  };

  AccumAlloc pool;
  DynArray<Group> groups;

  explicit RenderBatch(int block_size = 32768);
  ~RenderBatch();
  RenderBatch(const RenderBatch &) = delete;
  RenderBatch &operator=(const RenderBatch &) = delete;

  // Space for `data_size` bytes of vertices (`prim_count` primitives) drawn with `state` over
  // `rect`; the caller fills it. The item joins the latest group of the same state unless it
  // overlaps an item of another state added after that group.
  void *add(BaseRenderBatchState *state, const BatchRect &rect, int data_size, int prim_count);
  // Draws the groups in order. The batch stays filled.
  void render();
  // Empties the batch; pool blocks stay allocated for the next frame.
  void clear();
};
static_assert(sizeof(RenderBatch::Item) == 32, "item header");

// The batch of the interface screens.
QM_EXPORT extern RenderBatch gui_batch;
