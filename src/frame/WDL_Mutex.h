// The recursive plug-in lock: system mutexes plus owner and depth, so a
// thread that holds it can re-enter without blocking.
//
// It has three levels, taken in this order: the window's, the MIDI threads'
// and the block's. Every taker holds all three but these:
// - the audio block and the host's MIDI event call take the block's level
//   alone;
// - a take that lets the block in (the handling of a value from the
//   instrument, whose writes are each one whole value) holds the MIDI
//   threads' level alone, if it is the thread's outermost;
// - a take made on a MIDI thread (the instrument's input, the instance's
//   MIDI thread) holds the MIDI threads' and the block's levels.
// A holder doing file work alone lets all but the window's level go
// meanwhile: a wait for a folder's lock keeps neither the block nor the
// instrument's and the host's MIDI waiting.
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

  // While one lives, the whole takes of this thread (of any plug-in lock)
  // are a MIDI thread's: they skip the window's level. Only on a thread of
  // the plug-in's own, never the host's.
  class MidiThread {
   public:
    MidiThread();
    ~MidiThread();
    MidiThread(const MidiThread&) = delete;
    MidiThread& operator=(const MidiThread&) = delete;

   private:
    bool mWas;
  };

 private:
  friend class WDL_BlockLetIn;
  friend class WDL_FileWork;
  // A thread holding the MIDI threads' level: the window's holder, or a
  // MIDI thread's take made without it. Written by that thread alone.
  struct Holder {
    std::atomic<pthread_t> thread{};
    std::atomic<bool> held{false};
    int depth = 0;
    int blockLetIn = 0;  // its open takes and stretches that let the block in
    bool Here() const;
    void Take(bool blockLetIn);
  };
  // The holder this thread is, or null.
  Holder* HolderHere();
  void TakeWhole();
  // The MIDI threads' level alone, with the block's unless it is let in.
  void TakeAsGuest(bool blockLevelToo);
  void LeaveHolder(Holder& holder);
  void LetBlockIn();
  void ShutBlockOut();
  void LetMidiIn();
  void ShutMidiOut();

  pthread_mutex_t mMutex;       // the window's level
  pthread_mutex_t mMidiMutex;   // the MIDI threads' level
  pthread_mutex_t mBlockMutex;  // the block's level
  Holder mOwner;  // holds the window's level (and the others unless let go)
  Holder mGuest;  // holds the MIDI threads' level without the window's
  int mMidiLetIn = 0;  // the owner's open stretches of file work
  // The thread inside the block, the whole takes it made meanwhile, and the
  // block takes nested in its own (a host's event call made from inside its
  // block). Members, not the thread's: the host's audio thread touches no
  // thread-local storage of ours.
  std::atomic<pthread_t> mBlockThread{};
  std::atomic<bool> mBlockHeld{false};
  int mBlockDepth = 0;
  int mBlockNested = 0;
  bool BlockHere() const;
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

// A holder's stretch of slow work that touches nothing the block reads: the
// block and the host's event call run beside it meanwhile, while every other
// taker still waits. Nothing when this thread does not hold the lock whole.
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

// A holder's stretch of work on files alone (reading them, writing them, a
// wait for a folder's lock), touching nothing of the plug-in's but under
// locks of its own: the block, the host's event call and the MIDI threads'
// takes run beside it meanwhile. Nothing when this thread does not hold the
// lock whole.
class WDL_FileWork {
 public:
  explicit WDL_FileWork(WDL_Mutex* mutex) : mMutex(mutex) {
    if (mMutex) mMutex->LetMidiIn();
  }
  ~WDL_FileWork() {
    if (mMutex) mMutex->ShutMidiOut();
  }
  WDL_FileWork(const WDL_FileWork&) = delete;
  WDL_FileWork& operator=(const WDL_FileWork&) = delete;

 private:
  WDL_Mutex* mMutex;
};
