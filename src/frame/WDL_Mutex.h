// The recursive plug-in lock: a plain system mutex plus owner and depth, so a
// thread that holds it can re-enter without blocking.
//
// It has a second level, the block's. Every taker holds both levels but the
// audio block and the host's MIDI event call, which take the block's level
// alone. A take may let the block in while it works (the handling of a
// value from the instrument, whose writes are each one whole value): it
// keeps the lock against every other taker, and the block does not wait for
// it.
#pragma once

#include <pthread.h>

#include <atomic>

class WDL_Mutex {
 public:
  WDL_Mutex();
  ~WDL_Mutex();
  WDL_Mutex(const WDL_Mutex&) = delete;
  WDL_Mutex& operator=(const WDL_Mutex&) = delete;

  void Enter();
  void Leave();
  // A take that lets the block in until its Leave: the block runs beside
  // the holder meanwhile (nested in another take, for that stretch only).
  void EnterLettingBlockIn();
  void LeaveLettingBlockIn();

  // The audio block's take, and the host's event call's: it waits only for
  // holders that have not let it in.
  void EnterBlock();
  void LeaveBlock();

  // True when this thread holds the lock, or the block's level of it.
  bool HeldHere() const;

 private:
  friend class WDL_BlockLetIn;
  bool OwnedHere() const;
  // Takes the lock for this thread, with the block's level or letting the
  // block in.
  void TakeAsOwner(bool blockLevelToo);
  void LetBlockIn();
  void ShutBlockOut();

  pthread_mutex_t mMutex;
  pthread_mutex_t mBlockMutex;
  std::atomic<pthread_t> mOwner{};
  std::atomic<bool> mOwned{false};
  int mDepth = 0;
  int mBlockLetIn = 0;  // the holder's open takes that let the block in
};

class WDL_MutexLock {
 public:
  explicit WDL_MutexLock(WDL_Mutex* mutex, bool letBlockIn = false) : mMutex(mutex), mLetBlockIn(letBlockIn) {
    if (!mMutex) return;
    if (mLetBlockIn) mMutex->EnterLettingBlockIn();
    else mMutex->Enter();
  }
  ~WDL_MutexLock() {
    if (!mMutex) return;
    if (mLetBlockIn) mMutex->LeaveLettingBlockIn();
    else mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

 private:
  WDL_Mutex* mMutex;
  bool mLetBlockIn;
};

// The audio block's hold.
class WDL_BlockLock {
 public:
  explicit WDL_BlockLock(WDL_Mutex* mutex) : mMutex(mutex) { mMutex->EnterBlock(); }
  ~WDL_BlockLock() { mMutex->LeaveBlock(); }
  WDL_BlockLock(const WDL_BlockLock&) = delete;
  WDL_BlockLock& operator=(const WDL_BlockLock&) = delete;

 private:
  WDL_Mutex* mMutex;
};

// A holder's stretch of slow work that touches nothing the block reads (a
// wait for a file or a folder's lock): the block and the host's event call
// run beside it meanwhile, while every other taker still waits. Nothing
// when this thread does not hold the lock whole.
class WDL_BlockLetIn {
 public:
  explicit WDL_BlockLetIn(WDL_Mutex* mutex) : mMutex(mutex) {
    if (mMutex) mMutex->LetBlockIn();
  }
  ~WDL_BlockLetIn() {
    if (mMutex) mMutex->ShutBlockOut();
  }
  WDL_BlockLetIn(const WDL_BlockLetIn&) = delete;
  WDL_BlockLetIn& operator=(const WDL_BlockLetIn&) = delete;

 private:
  WDL_Mutex* mMutex;
};
