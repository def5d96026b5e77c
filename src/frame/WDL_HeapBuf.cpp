#include "WDL_HeapBuf.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

WDL_HeapBuf::~WDL_HeapBuf() { std::free(mBuffer); }

WDL_HeapBuf::WDL_HeapBuf(const WDL_HeapBuf& other)
    : mGranularity(other.mGranularity), mMinAllocation(other.mMinAllocation) {
  if (other.mSize > 0 && Resize(other.mSize, false) && mSize == other.mSize)
    std::memcpy(mBuffer, other.mBuffer, static_cast<size_t>(mSize));
}

WDL_HeapBuf& WDL_HeapBuf::operator=(const WDL_HeapBuf& other) {
  if (this != &other) {
    Resize(other.mSize, false);
    if (mSize == other.mSize && mSize > 0)
      std::memcpy(mBuffer, other.mBuffer, static_cast<size_t>(mSize));
  }
  return *this;
}

WDL_HeapBuf::WDL_HeapBuf(WDL_HeapBuf&& other) noexcept
    : mBuffer(std::exchange(other.mBuffer, nullptr)),
      mGranularity(other.mGranularity),
      mAllocated(std::exchange(other.mAllocated, 0)),
      mSize(std::exchange(other.mSize, 0)),
      mMinAllocation(other.mMinAllocation) {}

WDL_HeapBuf& WDL_HeapBuf::operator=(WDL_HeapBuf&& other) noexcept {
  if (this != &other) {
    std::free(mBuffer);
    mBuffer = std::exchange(other.mBuffer, nullptr);
    mGranularity = other.mGranularity;
    mAllocated = std::exchange(other.mAllocated, 0);
    mSize = std::exchange(other.mSize, 0);
    mMinAllocation = other.mMinAllocation;
  }
  return *this;
}

void* WDL_HeapBuf::Resize(int newSize, bool resizeDown) {
  if (newSize < 0) newSize = 0;
  if (newSize == mSize) return mSize ? mBuffer : nullptr;

  bool realloc = newSize > mAllocated;
  if (!realloc && resizeDown && newSize < mSize && newSize < mAllocated / 2 &&
      newSize < mAllocated - 4 * mGranularity)
    realloc = true;

  if (realloc) {
    int g = std::max(newSize / 2, mGranularity);
    long long wanted;
    if (mGranularity < 4096) {
      wanted = static_cast<long long>(newSize) + g;
    } else {
      g &= ~4095;
      g = std::clamp(g, 4096, 4194304);
      wanted = ((static_cast<long long>(newSize) + g + 96) & ~4095LL) - 96;
    }
    wanted = std::max<long long>(wanted, mMinAllocation);
    if (wanted > 0x7fffffff) return mSize ? mBuffer : nullptr;
    const int newAlloc = static_cast<int>(wanted);

    if (newAlloc != mAllocated) {
      void* block = newAlloc ? std::realloc(mBuffer, static_cast<size_t>(newAlloc)) : nullptr;
      if (!block && newAlloc) {
        block = std::malloc(static_cast<size_t>(newAlloc));
        if (!block) return mSize ? mBuffer : nullptr;
        if (mBuffer) {
          std::memcpy(block, mBuffer, static_cast<size_t>(std::min(mSize, newSize)));
          std::free(mBuffer);
        }
      } else if (!newAlloc) {
        std::free(mBuffer);
      }
      mBuffer = block;
      mAllocated = newAlloc;
    }
  }
  mSize = newSize;
  return newSize ? mBuffer : nullptr;
}
