// A growable heap block whose allocation rounds up to a granularity, so that
// appending value by value does not reallocate every time.
#pragma once

class WDL_HeapBuf {
 public:
  explicit WDL_HeapBuf(int granularity = 4096, int minAllocation = 0)
      : mGranularity(granularity), mMinAllocation(minAllocation) {}
  ~WDL_HeapBuf();
  WDL_HeapBuf(const WDL_HeapBuf& other);
  WDL_HeapBuf& operator=(const WDL_HeapBuf& other);
  WDL_HeapBuf(WDL_HeapBuf&& other) noexcept;
  WDL_HeapBuf& operator=(WDL_HeapBuf&& other) noexcept;

  // Returns the block, or null when newSize is 0. A failed growth leaves
  // everything as it was; callers that need the memory compare GetSize().
  void* Resize(int newSize, bool resizeDown = true);

  void* Get() const { return mSize ? mBuffer : nullptr; }
  int GetSize() const { return mSize; }
  int GetAllocated() const { return mAllocated; }
  int GetGranularity() const { return mGranularity; }

 private:
  void* mBuffer = nullptr;
  int mGranularity;
  int mAllocated = 0;
  int mSize = 0;
  int mMinAllocation;
};
