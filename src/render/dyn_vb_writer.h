#pragma once
// DynVBWriter: small geometry written vertex by vertex into one dynamic vertex buffer and drawn
// whenever the buffer fills or the caller flushes. The one instance, `common_vb_writer`, serves
// interface boxes, images, text, particles and debug shapes alike.
//
// Use: bind the writer's buffer as a stream, `start` it with a draw callback, write with
// `alloc`/`write` (each call adds its primitive count), then `flush(true)`. Between `start` and
// the final flush the buffer is locked and nobody else may start the writer.
#include <cstdint>

#include "support/export.h"

struct VertexBuffer;

// Draw callback: `count` primitives (or instance records) written since the last draw, and the
// parameter given to `start`.
using DynVBRenderFunc = void (*)(int count, uint64_t parameter);

class QM_EXPORT DynVBWriter
{
public:
  uint8_t *cur = nullptr;       // next free byte of the locked buffer; null when not locked
  int count = 0;                // primitives written since the last draw
  uint8_t *startPtr = nullptr;  // start of the locked buffer; null when not locked
  VertexBuffer *vb = nullptr;
  int size = 0;                 // buffer size in bytes
  DynVBRenderFunc renderFunc = nullptr;  // null when no drawing is in progress
  uint64_t parameter = 0;

  // Creates the dynamic buffer (fatal when it cannot be created). Not while locked.
  void init(int bytes);
  // Frees the buffer. Not while locked; harmless when never initialised.
  void close();
  // Locks the whole buffer with discard and remembers the callback.
  void start(DynVBRenderFunc func, uint64_t param);
  // Draws what was written. Not final: locks again and keeps the callback (nothing happens when
  // nothing was written). Final: leaves the buffer unlocked and the callback cleared (nothing
  // happens when not locked).
  void flush(bool final);
  // Drops a lock without drawing (the orderly shutdown after a fatal error in mid-draw).
  void abandon();

  // Bytes left in the locked buffer (0 when not locked).
  int spaceLeft() const { return startPtr ? int(startPtr + size - cur) : 0; }
  // Room for `bytes` more, flushing first when they do not fit; the place to write them, with
  // `prims` added to the count. Fatal when `bytes` exceeds the whole buffer.
  void *alloc(int bytes, int prims)
  {
    if (bytes > spaceLeft())
      makeRoom(bytes);
    void *p = cur;
    cur += bytes;
    count += prims;
    return p;
  }
  void write(const void *data, int bytes, int prims);

private:
  void makeRoom(int bytes);
  void lock();
};

QM_EXPORT extern DynVBWriter common_vb_writer;
constexpr int COMMON_VB_WRITER_SIZE = 65536;

// The standard callback: `count` primitives of the type in `parameter` (D3DPT_*) from vertex 0
// of the bound stream.
void std_dyn_vb_render(int count, uint64_t parameter);

// The instanced callback: stream 1 holds `count` instance records; each draw repeats the bound
// indexed mesh once per record, then instancing is switched off again. The parameter packs the
// mesh's vertex and triangle counts.
void inst_dyn_vb_render(int count, uint64_t parameter);
inline uint64_t inst_render_param(uint32_t vertices, uint32_t triangles)
{
  return uint64_t(vertices) | (uint64_t(triangles) << 32);
}
