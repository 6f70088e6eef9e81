// The two buffer pools.
#include "render/vbuf.h"

#include <cstring>

#include "render/device.h"
#include "support/debug.h"

static VertexBuffer vbs[MAX_BUFFERS];
static IndexBuffer ibs[MAX_BUFFERS];

static RenderBackend &be() { return *get_render_backend(); }

VertexBuffer *vertex_buffer_slot(int i) { return i >= 0 && i < MAX_BUFFERS ? &vbs[i] : nullptr; }
IndexBuffer *index_buffer_slot(int i) { return i >= 0 && i < MAX_BUFFERS ? &ibs[i] : nullptr; }

static HRESULT32 create_device_buffer(GpuBufferSlot &b, bool index)
{
  bool dynamic = !(b.flags & BUF_STATIC);
  return index ? be().createIndexBuffer(b.size, dynamic, b.buffer)
               : be().createVertexBuffer(b.size, dynamic, b.buffer);
}

template <class Slot>
static Slot *create_buffer(Slot *pool, uint64_t bytes, uint32_t flags, bool index)
{
  bool d3d = d3d_state.device;
  G_ASSERT(d3d);
  Slot *b = nullptr;
  for (int i = 0; i < MAX_BUFFERS; i++)
    if (!pool[i].used)
    {
      b = &pool[i];
      break;
    }
  if (!b)
  {
    debug(index ? "reached MAX_BUFFERS for IB" : "reached MAX_BUFFERS for VB");
    return nullptr;
  }
  *b = Slot();
  b->size = uint32_t(bytes);
  b->flags = flags;
  // A size that does not fit the record is refused like any size the device cannot hold.
  HRESULT32 hr = bytes > 0xFFFFFFFFu ? D3DERR_INVALIDCALL : create_device_buffer(*b, index);
  if (hr != D3D_OK)
  {
    debug(index ? "error creating IB (code 0x%08X)" : "error creating VB (code 0x%08X)", hr);
    *b = Slot();
    return nullptr;
  }
  b->used = 1;
  return b;
}

VertexBuffer *create_vb(uint32_t bytes, uint32_t flags) { return create_buffer(vbs, bytes, flags, false); }

IndexBuffer *create_ib(uint32_t index_count, uint32_t flags)
{
  return create_buffer(ibs, uint64_t(index_count) * 2, flags, true);
}

static void *lock_buffer(GpuBufferSlot *b, uint32_t offset, uint32_t bytes)
{
  // A range outside the buffer is refused rather than handed to the device.
  if (!b || !b->buffer || uint64_t(offset) + bytes > b->size || (bytes == 0 && offset >= b->size))
    return nullptr;
  void *data = nullptr;
  bool discard = !(b->flags & BUF_STATIC);
  if (be().lockBuffer(b->buffer, offset, bytes, discard, data) != D3D_OK)
    return nullptr;
  return data;
}

void *lock_vb(VertexBuffer *vb, uint32_t offset, uint32_t bytes) { return lock_buffer(vb, offset, bytes); }
void *lock_ib(IndexBuffer *ib, uint32_t offset, uint32_t bytes) { return lock_buffer(ib, offset, bytes); }

VertexBuffer *create_static_vb(const void *data, uint32_t bytes)
{
  VertexBuffer *vb = create_vb(bytes, BUF_STATIC);
  void *p = vb ? lock_vb(vb, 0, bytes) : nullptr;
  if (!p)
  {
    free_vb(vb);
    return nullptr;
  }
  memcpy(p, data, bytes);
  unlock_vb(vb);
  return vb;
}

IndexBuffer *create_static_ib(const uint16_t *indices, uint32_t index_count)
{
  IndexBuffer *ib = create_ib(index_count, BUF_STATIC);
  void *p = ib ? lock_ib(ib, 0, index_count * 2) : nullptr;
  if (!p)
  {
    free_ib(ib);
    return nullptr;
  }
  memcpy(p, indices, size_t(index_count) * 2);
  unlock_ib(ib);
  return ib;
}

void unlock_vb(VertexBuffer *vb)
{
  if (vb && vb->buffer)
    be().unlockBuffer(vb->buffer);
}

void unlock_ib(IndexBuffer *ib)
{
  if (ib && ib->buffer)
    be().unlockBuffer(ib->buffer);
}

void set_vb(int stream, VertexBuffer *vb, uint32_t offset, uint32_t stride)
{
  be().setStreamSource(stream, vb ? vb->buffer : BufferHandle{}, offset, stride);
}

void set_ib(IndexBuffer *ib) { be().setIndices(ib ? ib->buffer : BufferHandle{}); }

static void free_buffer(GpuBufferSlot *b)
{
  if (!b)
    return;
  if (b->buffer)
    be().releaseBuffer(b->buffer);
  *b = GpuBufferSlot();
}

void free_vb(VertexBuffer *vb) { free_buffer(vb); }
void free_ib(IndexBuffer *ib) { free_buffer(ib); }

template <class Slot>
static void release_dynamic(Slot *pool)
{
  for (int i = 0; i < MAX_BUFFERS; i++)
    if (pool[i].used && !(pool[i].flags & BUF_STATIC) && pool[i].buffer)
    {
      be().releaseBuffer(pool[i].buffer);
      pool[i].buffer = {};
    }
}

template <class Slot>
static void recreate_dynamic(Slot *pool, bool index)
{
  for (int i = 0; i < MAX_BUFFERS; i++)
    if (pool[i].used && !(pool[i].flags & BUF_STATIC) && !pool[i].buffer)
    {
      HRESULT32 hr = create_device_buffer(pool[i], index);
      if (hr != D3D_OK)
      {
        pool[i].buffer = {};
        debug(index ? "error creating IB (code 0x%08X)" : "error creating VB (code 0x%08X)", hr);
      }
    }
}

// The device layer unbinds the index buffer and every stream before calling this.
void release_dynamic_buffers()
{
  release_dynamic(vbs);
  release_dynamic(ibs);
}

void recreate_dynamic_buffers()
{
  recreate_dynamic(vbs, false);
  recreate_dynamic(ibs, true);
}

void release_all_buffers()
{
  for (int i = 0; i < MAX_BUFFERS; i++)
  {
    free_buffer(&vbs[i]);
    free_buffer(&ibs[i]);
  }
}
