// The outgoing short-message queue, kept in order of sample offsets. Filled
// from the GUI, MIDI-input and worker threads and drained by the block
// callback: every operation takes the queue's own small lock, and the block
// callback holds it across one drain with Lock().
#pragma once

#include <mutex>

#include "IMidiMsg.h"

class IMidiQueue {
 public:
  // Room for size entries up front; grows by whole steps of grow entries.
  explicit IMidiQueue(int size = 1024, int grow = 1024);
  ~IMidiQueue();
  IMidiQueue(const IMidiQueue&) = delete;
  IMidiQueue& operator=(const IMidiQueue&) = delete;

  // Stores a copy after every entry whose offset is not larger; dropped
  // when there is no room and none can be had.
  void Add(const IMidiMsg* msg);
  // Drops the sent entries, then moves the time base on by n frames.
  void Flush(int n);
  // Capacity for r entries, rounded up to whole 4096-byte pages of entries
  // and never below what it holds. Entries are kept.
  void Resize(int r);

  // ---- The drain, under Lock().
  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mMutex); }
  bool EmptyLocked() const { return mFront >= mBack; }
  const IMidiMsg& PeekLocked() const { return mBuf[mFront]; }
  void RemoveLocked() { ++mFront; }
  void FlushLocked(int n);

  int ToDo() const;
  int GetSize() const;
  int GetGrow() const;

 private:
  void Compact();
  bool Expand();

  mutable std::mutex mMutex;
  IMidiMsg* mBuf = nullptr;
  int mSize = 0;
  int mGrow = 0;
  int mFront = 0;
  int mBack = 0;
};
