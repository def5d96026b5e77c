#include "IMidiQueue.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int kEntriesPerPage = 4096 / static_cast<int>(sizeof(IMidiMsg));

int RoundToPages(int entries) { return (entries + kEntriesPerPage - 1) / kEntriesPerPage * kEntriesPerPage; }
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

bool IMidiQueue::Expand() {
  if (mGrow <= 0) return false;
  const int size = (mSize / mGrow + 1) * mGrow;
  auto* buf = static_cast<IMidiMsg*>(std::realloc(mBuf, sizeof(IMidiMsg) * static_cast<size_t>(size)));
  if (!buf) return false;
  mBuf = buf;
  mSize = size;
  return true;
}

void IMidiQueue::Add(const IMidiMsg* msg) {
  if (!msg) return;
  std::lock_guard<std::mutex> lock(mMutex);
  if (mBack >= mSize) {
    if (mFront > 0) Compact();
    else if (!Expand()) return;
  }
  int at = mBack;
  if (mBack > mFront && msg->mOffset < mBuf[mBack - 1].mOffset) {
    int i = mBack - 2;
    while (i >= mFront && msg->mOffset < mBuf[i].mOffset) --i;
    at = i + 1;
    std::memmove(mBuf + at + 1, mBuf + at, sizeof(IMidiMsg) * static_cast<size_t>(mBack - at));
  }
  mBuf[at] = *msg;
  ++mBack;
}

void IMidiQueue::FlushLocked(int n) {
  Compact();
  for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= n;
}

void IMidiQueue::Flush(int n) {
  std::lock_guard<std::mutex> lock(mMutex);
  FlushLocked(n);
}

void IMidiQueue::Resize(int r) {
  std::lock_guard<std::mutex> lock(mMutex);
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
  std::lock_guard<std::mutex> lock(mMutex);
  return mBack - mFront;
}

int IMidiQueue::GetSize() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSize;
}

int IMidiQueue::GetGrow() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mGrow;
}
