#include "WDL_Mutex.h"

#include "WaitGuard.h"

namespace {
// Set on the plug-in's own MIDI threads alone: the host's threads never
// touch it, so it costs them no thread-local block of this module.
thread_local bool tMidiThread = false;
}  // namespace

WDL_Mutex::MidiThread::MidiThread() : mWas(tMidiThread) { tMidiThread = true; }
WDL_Mutex::MidiThread::~MidiThread() { tMidiThread = mWas; }

WDL_Mutex::WDL_Mutex() {
  pthread_mutex_init(&mMutex, nullptr);
  pthread_mutex_init(&mMidiMutex, nullptr);
}

WDL_Mutex::~WDL_Mutex() {
  pthread_mutex_destroy(&mMidiMutex);
  pthread_mutex_destroy(&mMutex);
}

bool WDL_Mutex::Holder::Here() const {
  return held.load(std::memory_order_acquire) && pthread_equal(thread.load(std::memory_order_relaxed), pthread_self());
}

void WDL_Mutex::Holder::Take() {
  thread.store(pthread_self(), std::memory_order_relaxed);
  held.store(true, std::memory_order_release);
  depth = 0;
}

WDL_Mutex::Holder* WDL_Mutex::HolderHere() {
  if (mOwner.Here()) return &mOwner;
  if (mGuest.Here()) return &mGuest;
  return nullptr;
}

bool WDL_Mutex::HeldHere() const { return mOwner.Here() || mGuest.Here(); }

bool WDL_Mutex::Reenter() {
  WaitGuard::beforeLock("the plug-in's lock");
  Holder* holder = HolderHere();
  if (holder) ++holder->depth;
  return holder != nullptr;
}

void WDL_Mutex::Enter() {
  if (tMidiThread) return EnterAsGuest();
  if (!Reenter()) {
    pthread_mutex_lock(&mMutex);
    pthread_mutex_lock(&mMidiMutex);
    mMidiLetIn = 0;
    mOwner.Take();
  }
  WaitGuard::pluginLockHeld(1);
}

void WDL_Mutex::EnterAsGuest() {
  if (!Reenter()) {
    pthread_mutex_lock(&mMidiMutex);
    mGuest.Take();
  }
  WaitGuard::pluginLockHeld(1);
}

void WDL_Mutex::Leave() {
  Holder* holder = HolderHere();
  if (!holder) return;
  WaitGuard::pluginLockHeld(-1);
  if (holder->depth-- > 0) return;
  holder->depth = 0;
  holder->held.store(false, std::memory_order_release);
  pthread_mutex_unlock(&mMidiMutex);
  if (holder == &mOwner) pthread_mutex_unlock(&mMutex);
}

void WDL_Mutex::LetMidiIn() {
  if (mOwner.Here() && mMidiLetIn++ == 0) pthread_mutex_unlock(&mMidiMutex);
}

void WDL_Mutex::ShutMidiOut() {
  if (mOwner.Here() && mMidiLetIn > 0 && --mMidiLetIn == 0) pthread_mutex_lock(&mMidiMutex);
}
