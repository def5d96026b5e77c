// The recursive plug-in lock: system mutexes plus owner and depth, so a
// thread that holds it can re-enter without blocking. The host's real-time
// calls (the block, the host's MIDI events) never take it.
//
// It has two levels, taken in this order: the window's and the MIDI
// threads'. Every taker holds both but these:
// - a take made on a MIDI thread (the instrument's input, the instance's
//   MIDI thread), and the handling of a value from the instrument, hold the
//   MIDI threads' level alone, if it is the thread's outermost;
// - a holder doing file work alone lets the MIDI threads' level go
//   meanwhile: a wait for a folder's lock keeps neither the instrument's
//   nor the host's MIDI waiting.
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
  // The MIDI threads' level alone when it is this thread's outermost take.
  void EnterAsGuest();
  void Leave();

  // True when this thread holds the lock.
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
  friend class WDL_FileWork;
  // A thread holding the MIDI threads' level: the window's holder, or a
  // MIDI thread's take made without it. Written by that thread alone.
  struct Holder {
    std::atomic<pthread_t> thread{};
    std::atomic<bool> held{false};
    int depth = 0;
    bool Here() const;
    void Take();
  };
  // The holder this thread is, or null.
  Holder* HolderHere();
  bool Reenter();
  void LetMidiIn();
  void ShutMidiOut();

  pthread_mutex_t mMutex;      // the window's level
  pthread_mutex_t mMidiMutex;  // the MIDI threads' level
  Holder mOwner;  // holds the window's level (and the MIDI threads' unless let go)
  Holder mGuest;  // holds the MIDI threads' level without the window's
  int mMidiLetIn = 0;  // the owner's open stretches of file work
};

class WDL_MutexLock {
 public:
  explicit WDL_MutexLock(WDL_Mutex* mutex, bool asGuest = false) : mMutex(mutex) {
    if (!mMutex) return;
    if (asGuest) mMutex->EnterAsGuest();
    else mMutex->Enter();
  }
  ~WDL_MutexLock() {
    if (mMutex) mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

 private:
  WDL_Mutex* mMutex;
};

// A holder's stretch of work on files alone (reading them, writing them, a
// wait for a folder's lock), touching nothing of the plug-in's but under
// locks of its own: the MIDI threads' takes run beside it meanwhile.
// Nothing when this thread does not hold the lock whole.
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
