// The recursive plug-in lock: a plain system mutex plus owner and depth, so a
// thread that holds it can re-enter without blocking.
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

 private:
  pthread_mutex_t mMutex;
  std::atomic<pthread_t> mOwner{};
  std::atomic<bool> mOwned{false};
  int mDepth = 0;
};

class WDL_MutexLock {
 public:
  explicit WDL_MutexLock(WDL_Mutex* mutex) : mMutex(mutex) {
    if (mMutex) mMutex->Enter();
  }
  ~WDL_MutexLock() {
    if (mMutex) mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

 private:
  WDL_Mutex* mMutex;
};
