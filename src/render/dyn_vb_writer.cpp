#include "render/dyn_vb_writer.h"

#include <cstring>

#include "render/device.h"
#include "render/vbuf.h"
#include "support/debug.h"

DynVBWriter common_vb_writer;

void DynVBWriter::init(int bytes)
{
  G_ASSERT(!startPtr);
  free_vb(vb);
  vb = nullptr;
  size = 0;
  vb = bytes > 0 ? create_vb(uint32_t(bytes), 0) : nullptr;
  if (!vb)
    fatal("can't create dynamic VB of size %d", bytes);
  size = bytes;
}

void DynVBWriter::close()
{
  G_ASSERT(!startPtr);
  free_vb(vb);
  vb = nullptr;
  size = 0;
}

void DynVBWriter::lock()
{
  startPtr = static_cast<uint8_t *>(lock_vb(vb, 0, uint32_t(size)));
  G_ASSERT(startPtr);
  cur = startPtr;
}

void DynVBWriter::start(DynVBRenderFunc func, uint64_t param)
{
  G_ASSERT(!startPtr);
  G_ASSERT(vb);
  lock();
  count = 0;
  renderFunc = func;
  parameter = param;
}

void DynVBWriter::flush(bool final)
{
  if (!final && count <= 0)
    return;
  if (final && !startPtr)
    return;
  G_ASSERT(startPtr && renderFunc);
  unlock_vb(vb);
  cur = startPtr = nullptr;
  if (count > 0)
    renderFunc(count, parameter);
  count = 0;
  if (final)
    renderFunc = nullptr;
  else
    lock();
}

void DynVBWriter::abandon()
{
  if (startPtr)
    unlock_vb(vb);
  cur = startPtr = nullptr;
  count = 0;
  renderFunc = nullptr;
}

void DynVBWriter::makeRoom(int bytes)
{
  G_ASSERT(startPtr);
  G_ASSERT(bytes <= size);
  flush(false);
  // Nothing was written yet (count 0) but the space is taken: start the buffer over.
  if (bytes > spaceLeft())
    cur = startPtr;
}

void DynVBWriter::write(const void *data, int bytes, int prims)
{
  std::memcpy(alloc(bytes, prims), data, size_t(bytes));
}

void std_dyn_vb_render(int count, uint64_t parameter) { draw_prim(uint32_t(parameter), 0, uint32_t(count)); }

void inst_dyn_vb_render(int count, uint64_t parameter)
{
  set_instancing(count);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, uint32_t(parameter), 0, uint32_t(parameter >> 32));
  set_instancing(0);  // the next draw, whoever makes it, draws one instance
}
