// Marks the host's real-time calls (the block, the host's MIDI events) on
// the thread that makes them, so that what may wait (a send on the port, a
// pause, a job start) is handed on instead of done there.
#pragma once

class RealtimeScope {
 public:
  RealtimeScope() { ++sDepth; }
  ~RealtimeScope() { --sDepth; }
  RealtimeScope(const RealtimeScope&) = delete;
  RealtimeScope& operator=(const RealtimeScope&) = delete;

  // True inside such a call on this thread.
  static bool active() { return sDepth > 0; }

 private:
  static inline thread_local int sDepth = 0;
};
