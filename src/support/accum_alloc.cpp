#include "support/accum_alloc.h"

#include <cstdint>
#include <cstdlib>

#include "support/debug.h"

AccumAlloc::Block *AccumAlloc::addBlock(size_t bytes)
{
  char *p = static_cast<char *>(std::malloc(bytes));
  G_ASSERT(p);
  Block *b = reinterpret_cast<Block *>(p);
  b->next = head;
  b->cur = p + HEADER;
  b->end = p + bytes;
  head = b;
  return b;
}

void AccumAlloc::create(size_t firstSize, size_t blockSz)
{
  freeAll();
  blockSize = blockSz ? blockSz : firstSize;
  addBlock(firstSize < HEADER ? HEADER : firstSize);
}

void *AccumAlloc::takeFrom(Block *b, size_t size, size_t align)
{
  uintptr_t cand = (reinterpret_cast<uintptr_t>(b->cur) + align - 1) & ~uintptr_t(align - 1);
  if (cand + size > reinterpret_cast<uintptr_t>(b->end))
    return nullptr;
  b->cur = reinterpret_cast<char *>(cand + size);
  return reinterpret_cast<void *>(cand);
}

void *AccumAlloc::alloc(size_t size, int alignLog2)
{
  size_t align = size_t(1) << alignLog2;
  for (Block *b = head; b; b = b->next)
    if (void *p = takeFrom(b, size, align))
      return p;
  size_t need = size + HEADER + align - 1;
  void *ptr = takeFrom(addBlock(need > blockSize ? need : blockSize), size, align);
  G_ASSERT(ptr);
  return ptr;
}

void AccumAlloc::freeAll()
{
  while (head)
  {
    Block *n = head->next;
    std::free(head);
    head = n;
  }
}
