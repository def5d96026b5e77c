// A heap buffer seen as an array of T.
#pragma once

#include "WDL_HeapBuf.h"

template <class T>
class WDL_TypedBuf {
 public:
  explicit WDL_TypedBuf(int granularity = 4096) : mHeap(granularity) {}

  T* Get() const { return static_cast<T*>(mHeap.Get()); }
  int GetSize() const { return mHeap.GetSize() / static_cast<int>(sizeof(T)); }

  T* Resize(int n, bool resizeDown = true) {
    if (n < 0) n = 0;
    return static_cast<T*>(mHeap.Resize(n * static_cast<int>(sizeof(T)), resizeDown));
  }

  // Appends one value; false when the buffer could not grow.
  bool Add(const T& value) {
    const int n = GetSize();
    Resize(n + 1, false);
    if (GetSize() != n + 1) return false;
    Get()[n] = value;
    return true;
  }

  T* begin() const { return Get(); }
  T* end() const { return Get() + GetSize(); }

  WDL_HeapBuf& Heap() { return mHeap; }
  const WDL_HeapBuf& Heap() const { return mHeap; }

 private:
  WDL_HeapBuf mHeap;
};
