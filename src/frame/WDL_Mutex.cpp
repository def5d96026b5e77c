#include "WDL_Mutex.h"

namespace {
// The lock whose block level this thread holds alone (inside the block),
// and how deep the takes of the whole lock made meanwhile go.
thread_local const WDL_Mutex* tBlockOf = nullptr;
thread_local int tBlockDepth = 0;
// Block takes nested in the block's own (a host's event call made from
// inside its block).
thread_local int tBlockNested = 0;
}  // namespace

WDL_Mutex::WDL_Mutex() {
  // The block and the host's event call run at the host's real-time
  // priority, the holders mostly not: one of them put off by the system
  // while it holds a level would keep a real-time caller waiting that long.
  // While one waits, the holder runs at its priority, on either level.
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
  pthread_mutex_init(&mMutex, &attributes);
  pthread_mutex_init(&mBlockMutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

WDL_Mutex::~WDL_Mutex() {
  pthread_mutex_destroy(&mBlockMutex);
  pthread_mutex_destroy(&mMutex);
}

bool WDL_Mutex::OwnedHere() const {
  return mOwned.load(std::memory_order_acquire) && pthread_equal(mOwner.load(std::memory_order_relaxed), pthread_self());
}

bool WDL_Mutex::HeldHere() const { return OwnedHere() || tBlockOf == this; }

void WDL_Mutex::Enter() {
  if (OwnedHere()) {
    ++mDepth;
    return;
  }
  // Inside the block, which holds the block's level alone: taking the other
  // level now would take the two in the wrong order. What the block reaches
  // runs beside a holder that let it in, as the block itself does.
  if (tBlockOf == this) {
    ++tBlockDepth;
    return;
  }
  TakeAsOwner(true);
}

void WDL_Mutex::TakeAsOwner(bool blockLevelToo) {
  pthread_mutex_lock(&mMutex);
  if (blockLevelToo) pthread_mutex_lock(&mBlockMutex);
  mOwner.store(pthread_self(), std::memory_order_relaxed);
  mOwned.store(true, std::memory_order_release);
  mDepth = 0;
  mBlockLetIn = blockLevelToo ? 0 : 1;
}

void WDL_Mutex::Leave() {
  if (!OwnedHere()) {
    if (tBlockOf == this && tBlockDepth > 0) --tBlockDepth;
    return;
  }
  if (mDepth-- > 0) return;
  mDepth = 0;
  mOwned.store(false, std::memory_order_release);
  if (mBlockLetIn == 0) pthread_mutex_unlock(&mBlockMutex);
  mBlockLetIn = 0;
  pthread_mutex_unlock(&mMutex);
}

void WDL_Mutex::EnterLettingBlockIn() {
  if (OwnedHere() || tBlockOf == this) {
    Enter();
    LetBlockIn();
    return;
  }
  // The block's level is not taken at all: a value from the instrument
  // never keeps the block waiting.
  TakeAsOwner(false);
}

void WDL_Mutex::LeaveLettingBlockIn() {
  // The outermost take leaves as it came, without the block's level.
  if (!OwnedHere() || mDepth > 0) ShutBlockOut();
  Leave();
}

void WDL_Mutex::EnterBlock() {
  // A holder that runs the block itself already has all it needs.
  if (OwnedHere()) {
    ++mDepth;
    return;
  }
  if (tBlockOf == this) {
    ++tBlockNested;
    return;
  }
  pthread_mutex_lock(&mBlockMutex);
  tBlockOf = this;
  tBlockDepth = 0;
}

void WDL_Mutex::LeaveBlock() {
  if (tBlockOf != this) {
    Leave();
    return;
  }
  if (tBlockNested > 0) {
    --tBlockNested;
    return;
  }
  tBlockOf = nullptr;
  tBlockDepth = 0;
  pthread_mutex_unlock(&mBlockMutex);
}

void WDL_Mutex::LetBlockIn() {
  if (!OwnedHere()) return;
  if (mBlockLetIn++ == 0) pthread_mutex_unlock(&mBlockMutex);
}

void WDL_Mutex::ShutBlockOut() {
  if (!OwnedHere() || mBlockLetIn == 0) return;
  if (--mBlockLetIn == 0) pthread_mutex_lock(&mBlockMutex);
}
