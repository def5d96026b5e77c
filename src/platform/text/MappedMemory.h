// Large blocks the plug-in takes straight from the system and gives straight
// back when done. A block from the allocator would stay in the process's heap
// after it is freed, and the plug-in never trims a heap that is the host's
// as well: memory given back is only ever memory it mapped itself. Untouched
// pages of a mapped block cost nothing until written.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <utility>

namespace MappedMemory {
// From this size on a block is mapped rather than taken from the heap.
constexpr size_t kThresholdBytes = 256 * 1024;

// Zeroed pages, or null.
inline void* take(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

inline void give(void* block, size_t bytes) {
  if (block && bytes) munmap(block, bytes);
}

// The block grown or shrunk, its contents kept (it may move); null when it
// cannot be, the block then left as it was.
inline void* resize(void* block, size_t bytes, size_t newBytes) {
  void* moved = mremap(block, bytes, newBytes, MREMAP_MAYMOVE);
  return moved == MAP_FAILED ? nullptr : moved;
}

// A fixed number of elements made once, in mapped memory when they are many
// bytes, else on the heap.
template <class T>
class Array {
 public:
  explicit Array(size_t count) : mCount(count), mBytes(count * sizeof(T)) {
    void* block = mBytes >= kThresholdBytes ? take(mBytes) : nullptr;
    mMapped = block != nullptr;
    if (!block) block = ::operator new(mBytes ? mBytes : 1, std::align_val_t(alignof(T)));
    mItems = static_cast<T*>(block);
    for (size_t i = 0; i < mCount; ++i) new (mItems + i) T();
  }
  ~Array() {
    for (size_t i = mCount; i-- > 0;) mItems[i].~T();
    if (mMapped)
      give(mItems, mBytes);
    else
      ::operator delete(mItems, std::align_val_t(alignof(T)));
  }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  size_t size() const { return mCount; }
  T& operator[](size_t i) { return mItems[i]; }
  const T& operator[](size_t i) const { return mItems[i]; }

 private:
  size_t mCount;
  size_t mBytes;
  bool mMapped = false;
  T* mItems = nullptr;
};
}  // namespace MappedMemory
