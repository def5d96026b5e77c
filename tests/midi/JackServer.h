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
  // While other servers hold its name or every slot of JACK's registry, it
  // waits (bounded).
  // The server dies with the thread that started it, so call it from one
  // that outlives the server (the test's or the program's main thread).
  bool Start();
  // Bounded; restores the environment. With keepName the server's name,
  // its turn and the environment stay, and Start brings it back under them
  // (a server restarted, as its user does).
  void Stop(bool keepName = false);
  // Stops the server's process where it is (SIGSTOP), as a stalled server
  // stops, or lets it run on (SIGCONT).
  void Suspend(bool stopped);
  const std::string& Error() const { return mError; }
  // Frames per period of the dummy driver; set before Start.
  int periodFrames = 256;
  // Set before Start: the server is up once its socket takes connections,
  // and no client opens in the process to find out (after a restart, the
  // process's first open frees every client of the server that went, which
  // a test may still have to be told of).
  bool probeBySocket = false;
  // Asked at Stop: when it says yes, the server's log is shown. Test
  // fixtures hand it their framework's failure check; programs without one
  // see the log only when the server died.
  bool (*failed)() = nullptr;

 private:
  // Busy: something else holds the name, or every slot of the registry.
  enum class Outcome { kUp, kBusy, kFailed };
  Outcome Launch();

  pid_t mPid = -1;
  int mTurnLock = -1, mRegistryLock = -1;
  int mTurn = 0;
  std::string mName, mLogPath, mError;
};
