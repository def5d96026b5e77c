// Marks the host's real-time calls (the block, the host's MIDI events) on
// the thread that makes them, so that what may wait (a send on the port, a
// pause, a job start) is handed on instead of done there.
#pragma once

class RealtimeScope {
 public:
  using Deferred = void (*)(void* context);

  RealtimeScope() { ++sDepth; }
  ~RealtimeScope() {
    if (--sDepth == 0) runDeferred();
  }
  RealtimeScope(const RealtimeScope&) = delete;
  RealtimeScope& operator=(const RealtimeScope&) = delete;

  // True inside such a call on this thread.
  static bool active() { return sDepth > 0; }

  // Has fn(context) run once when the outermost real-time call on this
  // thread returns: a wake-up for a whole burst instead of one per event.
  // False outside such a call or when there is no room (the caller then
  // does it at once). The caller asks once per call.
  static bool deferToEnd(Deferred fn, void* context) {
    if (sDepth <= 0 || sDeferredCount >= kMaxDeferred) return false;
    sDeferred[sDeferredCount++] = {fn, context};
    return true;
  }

 private:
  static constexpr int kMaxDeferred = 16;
  struct Entry {
    Deferred fn;
    void* context;
  };
  static void runDeferred() {
    // Taken first: what runs may itself open a scope and defer again.
    Entry taken[kMaxDeferred];
    const int count = sDeferredCount;
    for (int i = 0; i < count; ++i) taken[i] = sDeferred[i];
    sDeferredCount = 0;
    for (int i = 0; i < count; ++i) taken[i].fn(taken[i].context);
  }

  static inline thread_local int sDepth = 0;
  static inline thread_local int sDeferredCount = 0;
  static inline thread_local Entry sDeferred[kMaxDeferred] = {};
};
