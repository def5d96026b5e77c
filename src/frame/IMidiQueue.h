// The outgoing short-message queue, kept in order of sample offsets. Filled
// from any thread and drained by the block callback, which never waits for
// a filler: what is added goes into one of two rings (the host's real-time
// calls' own, and every other thread's, which take turns at it among
// themselves), and the drain takes it from there into offset order.
#pragma once

#include <mutex>

#include "IMidiMsg.h"
#include "SpscQueue.h"

class IMidiQueue {
 public:
  // Room for size entries in offset order up front.
  explicit IMidiQueue(int size = 1024, int grow = 1024);
  ~IMidiQueue();
  IMidiQueue(const IMidiQueue&) = delete;
  IMidiQueue& operator=(const IMidiQueue&) = delete;

  // Any thread. Dropped when its ring is full.
  void Add(const IMidiMsg* msg);

  // ---- The drain's own: one thread, beside any number of Adds.
  // Takes what was added into offset order, as far as there is room.
  void Take();
  bool Empty() const { return mFront >= mBack; }
  const IMidiMsg& Peek() const { return mBuf[mFront]; }
  void Remove() { ++mFront; }
  // Drops the sent entries, then moves the time base on by n frames.
  void Flush(int n);
  // Capacity for r entries, rounded up to whole 4096-byte pages of entries
  // and never below what it holds. Entries are kept. Only while no drain
  // runs (the host's calls between blocks).
  void Resize(int r);

  // Entries waiting, taken or not.
  int ToDo() const;
  int GetSize() const { return mSize; }
  int GetGrow() const { return mGrow; }

 private:
  static constexpr size_t kRing = 4096;
  // The offset order: an entry after every one whose offset is not larger.
  bool Insert(const IMidiMsg& msg);
  void Compact();

  SpscQueue<IMidiMsg> mRealtime{kRing};
  SpscQueue<IMidiMsg> mOthers{kRing};
  std::mutex mOthersMutex;  // never taken by the drain nor the real-time calls
  IMidiMsg* mBuf = nullptr;
  int mSize = 0;
  int mGrow = 0;
  int mFront = 0;
  int mBack = 0;
};
