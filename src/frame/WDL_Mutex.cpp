#include "WDL_Mutex.h"

WDL_Mutex::WDL_Mutex() { pthread_mutex_init(&mMutex, nullptr); }

WDL_Mutex::~WDL_Mutex() { pthread_mutex_destroy(&mMutex); }

void WDL_Mutex::Enter() {
  const pthread_t self = pthread_self();
  if (mOwned.load(std::memory_order_acquire) &&
      pthread_equal(mOwner.load(std::memory_order_relaxed), self)) {
    ++mDepth;
    return;
  }
  pthread_mutex_lock(&mMutex);
  mOwner.store(self, std::memory_order_relaxed);
  mOwned.store(true, std::memory_order_release);
  mDepth = 0;
}

void WDL_Mutex::Leave() {
  if (mDepth-- <= 0) {
    mDepth = 0;
    mOwned.store(false, std::memory_order_release);
    pthread_mutex_unlock(&mMutex);
  }
}
