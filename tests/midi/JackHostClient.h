// A JACK client of the test's own in the test process, standing in for the
// host's: a DAW's client is told when its server goes, on the client's own
// notification thread. That thread can be held inside a callback, so the
// notice comes only when the test lets it (a host slow to be told).
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

class JackHostClient {
 public:
  JackHostClient();  // std::runtime_error when no JACK server takes the client
  ~JackHostClient();
  JackHostClient(const JackHostClient&) = delete;
  JackHostClient& operator=(const JackHostClient&) = delete;

  std::string Name() const { return mName; }
  // A MIDI input port of the host's, by its full name.
  std::string AddPort();
  // Holds the notification thread inside a callback until Release; false
  // when it did not get there within a bound.
  bool Hold();
  void Release() { mHold = false; }
  // Waits, within a bound, until the client's shutdown notice has run.
  bool AwaitTold(std::chrono::milliseconds bound = std::chrono::seconds(10));
  // The server went away: libjack frees the client at the process's next
  // open, so it is not closed again.
  void Abandon() { mClient = nullptr; }

 private:
  static void Shutdown(void* self);
  static void PortRegistered(jack_port_id_t, int, void* self);

  jack_client_t* mClient = nullptr;
  std::string mName;
  std::atomic<bool> mHold{false}, mHeld{false};
  std::mutex mMutex;
  std::condition_variable mChanged;
  bool mTold = false;  // under mMutex
};
