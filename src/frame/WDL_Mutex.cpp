#include "WDL_Mutex.h"

#include "WaitGuard.h"

namespace {
// Set on the plug-in's own MIDI threads alone: the host's threads never
// touch it, so it costs them no thread-local block of this module.
thread_local bool tMidiThread = false;

bool IsSelf(const std::atomic<bool>& held, const std::atomic<pthread_t>& thread) {
  return held.load(std::memory_order_acquire) && pthread_equal(thread.load(std::memory_order_relaxed), pthread_self());
}
}  // namespace

WDL_Mutex::MidiThread::MidiThread() : mWas(tMidiThread) { tMidiThread = true; }
WDL_Mutex::MidiThread::~MidiThread() { tMidiThread = mWas; }

WDL_Mutex::WDL_Mutex() {
  // The block and the host's event call run at the host's real-time
  // priority, the holders mostly not: one of them put off by the system
  // while it holds a level would keep a real-time caller waiting that long.
  // While one waits, the holder runs at its priority, on every level.
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
  pthread_mutex_init(&mMutex, &attributes);
  pthread_mutex_init(&mMidiMutex, &attributes);
  pthread_mutex_init(&mBlockMutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

WDL_Mutex::~WDL_Mutex() {
  pthread_mutex_destroy(&mBlockMutex);
  pthread_mutex_destroy(&mMidiMutex);
  pthread_mutex_destroy(&mMutex);
}

bool WDL_Mutex::Holder::Here() const { return IsSelf(held, thread); }

void WDL_Mutex::Holder::Take(bool letBlockIn) {
  thread.store(pthread_self(), std::memory_order_relaxed);
  held.store(true, std::memory_order_release);
  depth = 0;
  blockLetIn = letBlockIn ? 1 : 0;
}

WDL_Mutex::Holder* WDL_Mutex::HolderHere() {
  if (mOwner.Here()) return &mOwner;
  if (mGuest.Here()) return &mGuest;
  return nullptr;
}

bool WDL_Mutex::BlockHere() const { return IsSelf(mBlockHeld, mBlockThread); }

bool WDL_Mutex::HeldHere() const { return mOwner.Here() || mGuest.Here() || BlockHere(); }

void WDL_Mutex::Enter() {
  if (Holder* holder = HolderHere()) {
    ++holder->depth;
    WaitGuard::pluginLockHeld(1);
    return;
  }
  // Inside the block, which holds the block's level alone: taking the other
  // levels now would take them in the wrong order. What the block reaches
  // runs beside a holder that let it in, as the block itself does.
  if (BlockHere()) {
    ++mBlockDepth;
    return;
  }
  if (tMidiThread) TakeAsGuest(true);
  else TakeWhole();
  WaitGuard::pluginLockHeld(1);
}

void WDL_Mutex::TakeWhole() {
  pthread_mutex_lock(&mMutex);
  pthread_mutex_lock(&mMidiMutex);
  pthread_mutex_lock(&mBlockMutex);
  mMidiLetIn = 0;
  mOwner.Take(false);
}

void WDL_Mutex::TakeAsGuest(bool blockLevelToo) {
  pthread_mutex_lock(&mMidiMutex);
  if (blockLevelToo) pthread_mutex_lock(&mBlockMutex);
  mGuest.Take(!blockLevelToo);
}

void WDL_Mutex::Leave() {
  if (Holder* holder = HolderHere()) {
    WaitGuard::pluginLockHeld(-1);
    LeaveHolder(*holder);
    return;
  }
  if (BlockHere() && mBlockDepth > 0) --mBlockDepth;
}

void WDL_Mutex::LeaveHolder(Holder& holder) {
  if (holder.depth-- > 0) return;
  holder.depth = 0;
  holder.held.store(false, std::memory_order_release);
  if (holder.blockLetIn == 0) pthread_mutex_unlock(&mBlockMutex);
  holder.blockLetIn = 0;
  pthread_mutex_unlock(&mMidiMutex);
  if (&holder == &mOwner) pthread_mutex_unlock(&mMutex);
}

void WDL_Mutex::EnterLettingBlockIn() {
  if (HolderHere() || BlockHere()) {
    Enter();
    LetBlockIn();
    return;
  }
  // Neither the block's level nor the window's is taken: a value from the
  // instrument never keeps the block waiting, nor waits for a window
  // action's file work.
  TakeAsGuest(false);
  WaitGuard::pluginLockHeld(1);
}

void WDL_Mutex::LeaveLettingBlockIn() {
  // The outermost take leaves as it came, without the block's level.
  const Holder* holder = HolderHere();
  if (!holder || holder->depth > 0) ShutBlockOut();
  Leave();
}

void WDL_Mutex::EnterBlock() {
  // A holder that runs the block itself already has all it needs.
  if (Holder* holder = HolderHere()) {
    ++holder->depth;
    WaitGuard::pluginLockHeld(1);
    return;
  }
  if (BlockHere()) {
    ++mBlockNested;
    return;
  }
  pthread_mutex_lock(&mBlockMutex);
  mBlockThread.store(pthread_self(), std::memory_order_relaxed);
  mBlockDepth = 0;
  mBlockNested = 0;
  mBlockHeld.store(true, std::memory_order_release);
}

void WDL_Mutex::LeaveBlock() {
  if (!BlockHere()) {
    Leave();
    return;
  }
  if (mBlockNested > 0) {
    --mBlockNested;
    return;
  }
  mBlockDepth = 0;
  mBlockHeld.store(false, std::memory_order_release);
  pthread_mutex_unlock(&mBlockMutex);
}

void WDL_Mutex::LetBlockIn() {
  Holder* holder = HolderHere();
  if (!holder) return;
  if (holder->blockLetIn++ == 0) pthread_mutex_unlock(&mBlockMutex);
}

void WDL_Mutex::ShutBlockOut() {
  Holder* holder = HolderHere();
  if (!holder || holder->blockLetIn == 0) return;
  if (--holder->blockLetIn == 0) pthread_mutex_lock(&mBlockMutex);
}

void WDL_Mutex::LetMidiIn() {
  if (!mOwner.Here()) return;
  LetBlockIn();
  if (mMidiLetIn++ == 0) pthread_mutex_unlock(&mMidiMutex);
}

void WDL_Mutex::ShutMidiOut() {
  if (!mOwner.Here() || mMidiLetIn == 0) return;
  // In the levels' order: the MIDI threads' first, then the block's.
  if (--mMidiLetIn == 0) pthread_mutex_lock(&mMidiMutex);
  ShutBlockOut();
}
