#pragma once
// AccumAlloc: hands out pieces of large blocks and frees only everything at once.
#include <cstddef>

class AccumAlloc
{
public:
  struct Block
  {
    Block *next;
    char *cur;  // first free byte
    char *end;  // one past the block's last byte
  };
  static constexpr size_t HEADER = sizeof(Block);

  Block *head = nullptr;
  size_t blockSize = 0;

  AccumAlloc() = default;
  AccumAlloc(size_t firstSize, size_t blockSz) { create(firstSize, blockSz); }
  AccumAlloc(const AccumAlloc &) = delete;
  AccumAlloc &operator=(const AccumAlloc &) = delete;
  ~AccumAlloc() { freeAll(); }

  void create(size_t firstSize, size_t blockSz);
  // size bytes aligned to 2^alignLog2, from the newest block with room, or from a new block.
  void *alloc(size_t size, int alignLog2);
  void freeAll();

private:
  static void *takeFrom(Block *b, size_t size, size_t align);
  Block *addBlock(size_t bytes);
};
