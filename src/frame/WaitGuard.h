// The checked builds keep count of the locks a thread holds that a host
// thread or the window can take (the plug-in's lock, the picks' gate and
// their waiting list), and stop the process at any wait made while one is
// held: a pause or a reply waited for there keeps the host's
// threads waiting too. They also stop it at any such lock taken inside the
// host's real-time calls, which never wait for another thread. Elsewhere it
// costs nothing.
#pragma once

#include <mutex>

namespace WaitGuard {
#ifdef TARNIVEX_WAIT_GUARD
void held(int delta);
// The plug-in's own lock, counted among them.
void pluginLockHeld(int delta);
// Called by every wait of the editor before it waits.
void beforeWait(const char* what);
// Called as the picks' gate is met: never under the plug-in's lock, whose
// holders the block and the host's event call wait for.
void beforeGate();
// Called before every take of such a lock.
void beforeLock(const char* what);
#else
inline void held(int) {}
inline void pluginLockHeld(int) {}
inline void beforeWait(const char*) {}
inline void beforeGate() {}
inline void beforeLock(const char*) {}
#endif

// One hold of a lock the host's threads take, for as long as it lives.
class Hold {
 public:
  Hold() { held(1); }
  ~Hold() { held(-1); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

// A std::lock_guard on such a lock, counted.
template <class Mutex>
class HostLock {
 public:
  explicit HostLock(Mutex& mutex) : mLock((beforeLock("a lock the host's threads take"), mutex)) {}

 private:
  std::lock_guard<Mutex> mLock;
  Hold mHold;
};
}  // namespace WaitGuard
