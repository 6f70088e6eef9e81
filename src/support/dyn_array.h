#pragma once
// DynArray: a growable array of relocatable elements.
//
// The layout (data pointer, then two signed 32-bit counts) is shared with the game object module,
// which reads exported arrays in place; nothing else may be stored. Elements move with raw memory
// copies, so T must be relocatable by a byte copy.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "support/debug.h"

struct DefaultAllocator
{
  static void *realloc(void *p, size_t sz) { return std::realloc(p, sz); }
  static void free(void *p) { std::free(p); }
};

template <class T, class Allocator = DefaultAllocator>
class DynArray
{
public:
  T *data = nullptr;
  int32_t num = 0;
  int32_t capacity = 0;

  DynArray() = default;
  DynArray(const DynArray &a) { append(a.num, a.data); }
  DynArray(DynArray &&a) noexcept : data(a.data), num(a.num), capacity(a.capacity)
  {
    a.data = nullptr;
    a.num = a.capacity = 0;
  }
  ~DynArray() { clear(); }

  DynArray &operator=(const DynArray &a)
  {
    if (this != &a)
      assign(a.data, a.num);
    return *this;
  }
  DynArray &operator=(DynArray &&a) noexcept
  {
    if (this != &a)
    {
      clear();
      std::swap(data, a.data);
      std::swap(num, a.num);
      std::swap(capacity, a.capacity);
    }
    return *this;
  }

  int size() const { return num; }
  bool empty() const { return num == 0; }
  T &operator[](int i) { return data[i]; }
  const T &operator[](int i) const { return data[i]; }
  T *begin() { return data; }
  T *end() { return data + num; }
  const T *begin() const { return data; }
  const T *end() const { return data + num; }

  T &back()
  {
    G_ASSERT(num>0);
    return data[num - 1];
  }

  void reserve(int n)
  {
    G_ASSERT(n>=0);
    if (capacity >= n)
      return;
    void *np = Allocator::realloc(data, size_t(n) * sizeof(T));
    G_ASSERT(np);
    data = static_cast<T *>(np);
    capacity = n;
  }

  // Inserts n elements at `at`, copied from src or default-constructed when src is null.
  // Returns the index of the first inserted element.
  int insert(int at, int n, const T *src = nullptr)
  {
    G_ASSERT(n>=0);
    G_ASSERT(at>=0 && at<=num);
    // A source inside this array would move or vanish with the reallocation: copy it first.
    T *tmp = nullptr;
    if (src && n > 0 && src + n > data && src < data + num)
    {
      tmp = static_cast<T *>(std::malloc(size_t(n) * sizeof(T)));
      G_ASSERT(tmp);
      for (int i = 0; i < n; i++)
        new (tmp + i) T(src[i]);
    }
    if (num + n > capacity)
    {
      int newCap = capacity * 2 > 8 ? capacity * 2 : 8;
      if (newCap < num + n)
        newCap = num + n + 8;
      reserve(newCap);
    }
    if (at < num)
      std::memmove(static_cast<void *>(data + at + n), data + at, size_t(num - at) * sizeof(T));
    num += n;
    if (tmp)
    {
      std::memcpy(static_cast<void *>(data + at), tmp, size_t(n) * sizeof(T));
      std::free(tmp);
    }
    else if (src)
      for (int i = 0; i < n; i++)
        new (data + at + i) T(src[i]);
    else
      for (int i = 0; i < n; i++)
        new (data + at + i) T();
    return at;
  }

  int append(int n, const T *src = nullptr) { return insert(num, n, src); }
  int push_back(const T &v) { return insert(num, 1, &v); }

  void assign(const T *src, int n)
  {
    erase(0, num);
    reserve(n);
    append(n, src);
  }

  void resize(int n)
  {
    G_ASSERT(n>=0);
    if (n > num)
    {
      reserve(n);
      append(n - num);
    }
    else if (n < num)
      erase(n, num - n);
  }

  // Removes [at, at+n) keeping the order of the rest.
  void erase(int at, int n)
  {
    checkRange(at, n);
    destroy(at, n);
    if (at + n < num)
      std::memmove(static_cast<void *>(data + at), data + at + n, size_t(num - at - n) * sizeof(T));
    num -= n;
  }

  // Removes [at, at+n) by moving elements from the end into the hole (order not kept).
  void fastErase(int at, int n)
  {
    checkRange(at, n);
    destroy(at, n);
    int tail = num - at - n;
    int moved = tail < n ? tail : n;
    if (moved > 0)
      std::memcpy(static_cast<void *>(data + at), data + num - moved, size_t(moved) * sizeof(T));
    num -= n;
  }

  // Destroys the elements and frees the storage.
  void clear()
  {
    destroy(0, num);
    if (data)
      Allocator::free(data);
    data = nullptr;
    num = capacity = 0;
  }

private:
  void checkRange(int at, int n) const
  {
    G_ASSERT(n>=0);
    G_ASSERT(at>=0 && at<=num);
    G_ASSERT(at+n<=num);
  }
  void destroy(int at, int n)
  {
    for (int i = 0; i < n; i++)
      data[at + i].~T();
  }
};
