#pragma once
// Vertex and index buffers in two pools of fixed slots. Static buffers are written once in place;
// dynamic ones are locked with discard and are released and recreated (with their size) around a
// device reset, their slots kept so that owners' pointers stay valid.
#include <cstdint>

#include "render/backend.h"

struct GpuBufferSlot
{
  BufferHandle buffer;  // the backend buffer, none when released
  uint32_t size = 0;     // bytes (index buffers: 2 x index count)
  uint32_t flags = 0;    // BUF_STATIC or 0 (dynamic)
  uint8_t used = 0;
};
struct VertexBuffer : GpuBufferSlot
{};
struct IndexBuffer : GpuBufferSlot  // 16-bit indices
{};

constexpr int MAX_BUFFERS = 1000;
constexpr uint32_t BUF_STATIC = 1;

VertexBuffer *vertex_buffer_slot(int i);
IndexBuffer *index_buffer_slot(int i);

VertexBuffer *create_vb(uint32_t bytes, uint32_t flags);
IndexBuffer *create_ib(uint32_t index_count, uint32_t flags);
// Static buffers created holding a copy of `data`; null (nothing left allocated) on failure.
VertexBuffer *create_static_vb(const void *data, uint32_t bytes);
IndexBuffer *create_static_ib(const uint16_t *indices, uint32_t index_count);
// Bytes [offset, offset + bytes) for writing (bytes 0: to the end); null on failure.
void *lock_vb(VertexBuffer *vb, uint32_t offset, uint32_t bytes);
void *lock_ib(IndexBuffer *ib, uint32_t offset, uint32_t bytes);
void unlock_vb(VertexBuffer *vb);
void unlock_ib(IndexBuffer *ib);
// Bind (null unbinds).
void set_vb(int stream, VertexBuffer *vb, uint32_t offset, uint32_t stride);
void set_ib(IndexBuffer *ib);
void free_vb(VertexBuffer *vb);
void free_ib(IndexBuffer *ib);

// Reset hooks and shutdown.
void release_dynamic_buffers();
void recreate_dynamic_buffers();
void release_all_buffers();
