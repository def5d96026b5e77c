// A queue of fixed-size records between one writer thread and one reader
// thread that never wait for each other; its slots are made once, so a
// real-time writer neither allocates nor locks. The writer fills a slot in
// place and publishes it; the reader takes it in place and frees it.
#pragma once

#include <atomic>
#include <cstddef>

#include "MappedMemory.h"

template <class T>
class SpscQueue {
 public:
  explicit SpscQueue(size_t capacity) : mSlots(capacity) {}
  SpscQueue(const SpscQueue&) = delete;
  SpscQueue& operator=(const SpscQueue&) = delete;

  // Writer: the free slot to fill, or null when the queue is full.
  T* back() {
    const size_t head = mHead.load(std::memory_order_relaxed);
    if (head - mTail.load(std::memory_order_acquire) >= mSlots.size()) return nullptr;
    return &mSlots[head % mSlots.size()];
  }
  // Writer: hands the slot back() gave over to the reader.
  void publish() { mHead.store(mHead.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Reader: the oldest published slot, or null.
  T* front() {
    const size_t tail = mTail.load(std::memory_order_relaxed);
    if (mHead.load(std::memory_order_acquire) == tail) return nullptr;
    return &mSlots[tail % mSlots.size()];
  }
  // Reader: frees the slot front() gave.
  void pop() { mTail.store(mTail.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  bool empty() const { return mHead.load(std::memory_order_acquire) == mTail.load(std::memory_order_acquire); }
  size_t size() const { return mHead.load(std::memory_order_acquire) - mTail.load(std::memory_order_acquire); }

 private:
  // Mapped when large, so that a closed instance gives its slots back whole.
  MappedMemory::Array<T> mSlots;
  std::atomic<size_t> mHead{0};
  std::atomic<size_t> mTail{0};
};
