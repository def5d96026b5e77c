// A ring of whole MIDI messages between one writer thread and one reader
// thread, neither of which ever waits for the other: the writer sees a full
// ring, the reader an empty one. Its memory is taken once, when it is made,
// so a real-time thread may use either end.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class ByteRing {
 public:
  // capacity bytes hold the messages and a four-byte length before each.
  explicit ByteRing(size_t capacity) : mBytes(capacity) {}
  ByteRing(const ByteRing&) = delete;
  ByteRing& operator=(const ByteRing&) = delete;

  // Writer: false, and nothing written, when the message does not fit now.
  bool push(const unsigned char* bytes, size_t size) {
    const size_t head = mHead.load(std::memory_order_relaxed);
    const size_t tail = mTail.load(std::memory_order_acquire);
    if (mBytes.size() - (head - tail) < kHeader + size) return false;
    const uint32_t length = static_cast<uint32_t>(size);
    write(head, reinterpret_cast<const unsigned char*>(&length), kHeader);
    write(head + kHeader, bytes, size);
    mHead.store(head + kHeader + size, std::memory_order_release);
    return true;
  }
  // True when a message of size bytes could never fit.
  bool tooLarge(size_t size) const { return kHeader + size > mBytes.size(); }

  // Reader: the size of the oldest message, or false when there is none.
  bool peek(size_t* size) const {
    const size_t tail = mTail.load(std::memory_order_relaxed);
    if (mHead.load(std::memory_order_acquire) == tail) return false;
    uint32_t length = 0;
    read(tail, reinterpret_cast<unsigned char*>(&length), kHeader);
    *size = length;
    return true;
  }
  // Reader: copies the oldest message (its size from peek) into out.
  void copyFront(unsigned char* out, size_t size) const {
    read(mTail.load(std::memory_order_relaxed) + kHeader, out, size);
  }
  // Reader: drops the oldest message.
  void pop() {
    size_t size = 0;
    if (!peek(&size)) return;
    mTail.store(mTail.load(std::memory_order_relaxed) + kHeader + size, std::memory_order_release);
  }
  // Either side: no message waits.
  bool empty() const { return mHead.load(std::memory_order_acquire) == mTail.load(std::memory_order_acquire); }

 private:
  static constexpr size_t kHeader = sizeof(uint32_t);

  void write(size_t at, const unsigned char* from, size_t size) {
    const size_t start = at % mBytes.size();
    const size_t first = std::min(size, mBytes.size() - start);
    std::memcpy(mBytes.data() + start, from, first);
    std::memcpy(mBytes.data(), from + first, size - first);
  }
  void read(size_t at, unsigned char* to, size_t size) const {
    const size_t start = at % mBytes.size();
    const size_t first = std::min(size, mBytes.size() - start);
    std::memcpy(to, mBytes.data() + start, first);
    std::memcpy(to + first, mBytes.data(), size - first);
  }

  std::vector<unsigned char> mBytes;
  // Running byte counts; only their difference wraps.
  std::atomic<size_t> mHead{0};
  std::atomic<size_t> mTail{0};
};
