#include "IMidiQueue.h"

#include <cstdlib>
#include <cstring>

#include "RealtimeScope.h"
#include "WaitGuard.h"

namespace {
constexpr int kEntriesPerPage = 4096 / static_cast<int>(sizeof(IMidiMsg));

int RoundToPages(int entries) { return (entries + kEntriesPerPage - 1) / kEntriesPerPage * kEntriesPerPage; }

bool Push(SpscQueue<IMidiMsg>& ring, const IMidiMsg& msg) {
  IMidiMsg* slot = ring.back();
  if (!slot) return false;
  *slot = msg;
  ring.publish();
  return true;
}
}  // namespace

IMidiQueue::IMidiQueue(int size, int grow) : mGrow(grow) {
  if (size > 0) {
    mBuf = static_cast<IMidiMsg*>(std::malloc(sizeof(IMidiMsg) * static_cast<size_t>(size)));
    if (mBuf) mSize = size;
  }
}

IMidiQueue::~IMidiQueue() { std::free(mBuf); }

void IMidiQueue::Compact() {
  if (mFront == 0) return;
  const int count = mBack - mFront;
  if (count > 0) std::memmove(mBuf, mBuf + mFront, sizeof(IMidiMsg) * static_cast<size_t>(count));
  mBack = count;
  mFront = 0;
}

void IMidiQueue::Add(const IMidiMsg* msg) {
  if (!msg) return;
  // The host's real-time calls are one thread at a time, by the host's rules.
  if (RealtimeScope::active()) {
    Push(mRealtime, *msg);
    return;
  }
  WaitGuard::beforeLock("the outgoing queue's fillers' lock");
  std::lock_guard<std::mutex> lock(mOthersMutex);
  Push(mOthers, *msg);
}

bool IMidiQueue::Insert(const IMidiMsg& msg) {
  if (mBack >= mSize) {
    if (mFront == 0) return false;
    Compact();
  }
  int at = mBack;
  if (mBack > mFront && msg.mOffset < mBuf[mBack - 1].mOffset) {
    int i = mBack - 2;
    while (i >= mFront && msg.mOffset < mBuf[i].mOffset) --i;
    at = i + 1;
    std::memmove(mBuf + at + 1, mBuf + at, sizeof(IMidiMsg) * static_cast<size_t>(mBack - at));
  }
  mBuf[at] = msg;
  ++mBack;
  return true;
}

void IMidiQueue::Take() {
  // What finds no room waits in its ring for the next drain.
  for (SpscQueue<IMidiMsg>* ring : {&mRealtime, &mOthers})
    while (const IMidiMsg* msg = ring->front()) {
      if (!Insert(*msg)) break;
      ring->pop();
    }
}

void IMidiQueue::Flush(int n) {
  Compact();
  for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= n;
}

void IMidiQueue::Resize(int r) {
  Compact();
  mGrow = RoundToPages(r > 0 ? r : 0);
  int size = mGrow;
  const int held = RoundToPages(mBack);
  if (held > size) size = held;
  if (size == mSize) return;
  if (size == 0) return;  // keeps the buffer; a queue never shrinks to nothing
  auto* buf = static_cast<IMidiMsg*>(std::realloc(mBuf, sizeof(IMidiMsg) * static_cast<size_t>(size)));
  if (!buf) return;
  mBuf = buf;
  mSize = size;
}

int IMidiQueue::ToDo() const {
  return mBack - mFront + static_cast<int>(mRealtime.size() + mOthers.size());
}
