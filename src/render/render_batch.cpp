#include "render/render_batch.h"

#include <algorithm>
#include <cstring>

#include "render/dyn_vb_writer.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/vbuf.h"
#include "support/debug.h"

RenderBatch gui_batch;

void BaseRenderBatchState::reset()
{
  shader = nullptr;
  vdecl = {};
  texture = nullptr;
}

void BaseRenderBatchState::apply(BaseRenderBatchState *prev)
{
  if (!prev || prev->shader != shader)
    set_shader(shader);
  if (!prev || prev->vdecl != vdecl)
    set_vdecl(vdecl);
  if (!prev || prev->texture != texture)
    set_texture(0, texture);
}

void BaseRenderBatchState::finish() { common_vb_writer.flush(true); }

void StdRenderBatchState::apply(BaseRenderBatchState *prev)
{
  BaseRenderBatchState::apply(prev);
  set_vb(0, common_vb_writer.vb, 0, uint32_t(stride));
  common_vb_writer.start(std_dyn_vb_render, D3DPT_TRIANGLELIST);
}

RenderBatch::RenderBatch(int block_size) { pool.create(size_t(block_size), size_t(block_size)); }

RenderBatch::~RenderBatch()
{
  groups.clear();
  pool.freeAll();
}

void *RenderBatch::add(BaseRenderBatchState *state, const BatchRect &r, int data_size,
                       int prim_count)
{
  G_ASSERT(data_size >= 0);
  // A rectangle given with its corners swapped (a mirrored image) still covers its area.
  const BatchRect rect = {std::min(r.x0, r.x1), std::min(r.y0, r.y1), std::max(r.x0, r.x1),
                          std::max(r.y0, r.y1)};
  Item *ne = static_cast<Item *>(pool.alloc(sizeof(Item) + size_t(data_size), 4));
  G_ASSERT(ne);
  ne->rect = rect;
  ne->dataSize = data_size;
  ne->primCount = prim_count;
  ne->next = nullptr;

  for (int i = groups.size() - 1; i >= 0; i--)
  {
    Group &g = groups[i];
    if (g.state == state)
    {
      g.rect.x0 = std::min(g.rect.x0, rect.x0);
      g.rect.y0 = std::min(g.rect.y0, rect.y0);
      g.rect.x1 = std::max(g.rect.x1, rect.x1);
      g.rect.y1 = std::max(g.rect.y1, rect.y1);
      g.last->next = ne;
      g.last = ne;
      return ne->data();
    }
    // The item may move back past this group only when it covers none of its items.
    if (batch_rects_overlap(rect, g.rect))
    {
      bool blocked = false;
      for (Item *it = g.first; it && !blocked; it = it->next)
        blocked = batch_rects_overlap(rect, it->rect);
      if (blocked)
        break;
    }
  }
  Group g = {rect, state, ne, ne};
  groups.push_back(g);
  return ne->data();
}

void RenderBatch::render()
{
  DynVBWriter &w = common_vb_writer;
  BaseRenderBatchState *prev = nullptr;
  for (Group &g : groups)
  {
    g.state->apply(prev);
    for (Item *it = g.first; it; it = it->next)
    {
      if (it->dataSize > w.spaceLeft())
      {
        w.flush(false);
        if (it->dataSize > w.spaceLeft())
          fatal("batch vertex buffer is not large enough");
      }
      std::memcpy(w.alloc(it->dataSize, it->primCount), it->data(), size_t(it->dataSize));
    }
    g.state->finish();
    prev = g.state;
  }
}

void RenderBatch::clear()
{
  groups.erase(0, groups.size());
  for (AccumAlloc::Block *b = pool.head; b; b = b->next)
    b->cur = reinterpret_cast<char *>(b) + AccumAlloc::HEADER;
}
