#pragma once
// TempData<Size>: a scoped scratch block of a fixed size. The contents are not cleared.
#include <cstdlib>

#include "support/debug.h"

template <int Size>
class TempData
{
public:
  static constexpr int SIZE = Size;
  void *data = nullptr;

  TempData() { acquire(); }
  explicit TempData(bool acquireNow)
  {
    if (acquireNow)
      acquire();
  }
  TempData(const TempData &) = delete;
  TempData &operator=(const TempData &) = delete;
  ~TempData()
  {
    if (data)
      release();
  }

  void acquire()
  {
    G_ASSERT(!data);
    data = std::malloc(Size);
    G_ASSERT(data);
  }
  void release()
  {
    G_ASSERT(data);
    std::free(data);
    data = nullptr;
  }
  template <class T>
  T *as()
  {
    return static_cast<T *>(data);
  }
};

// The two scratch sizes in use: a 256x256 float map, and the erosion's working set.
using TempDataMap = TempData<262144>;
using TempDataErosion = TempData<524288>;
