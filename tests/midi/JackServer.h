// A private JACK server with the dummy driver for one test process: real
// MIDI ports on a machine without sound hardware. The process's JACK clients
// find it through JACK_DEFAULT_SERVER.
#pragma once

#include <sys/types.h>

#include <string>

class JackServer {
 public:
  JackServer() = default;
  ~JackServer() { Stop(); }
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  // Starts jackd and waits until it takes clients; false with Error() set.
  // The server dies with the thread that started it, so call it from one
  // that outlives the server (the test's or the program's main thread).
  bool Start();
  void Stop();  // bounded; restores the environment
  const std::string& Error() const { return mError; }
  // Frames per period of the dummy driver; set before Start.
  int periodFrames = 256;
  // Asked at Stop: when it says yes, the server's log is shown. Test
  // fixtures hand it their framework's failure check; programs without one
  // see the log only when the server died.
  bool (*failed)() = nullptr;

 private:
  bool Launch();

  pid_t mPid = -1;
  int mTurnLock = -1;
  int mTurn = 0;
  std::string mName, mLogPath, mError;
};
