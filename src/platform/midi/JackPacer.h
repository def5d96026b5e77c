// Keeps a burst of messages on a JACK out port within what JACK cycles carry.
// RtMidi's JACK output moves everything queued into the port's buffer once
// per cycle and drops what does not fit, so a sender must not run more than
// a buffer's worth ahead of the cycles. A small client of our own counts them.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

class JackPacer {
 public:
  // Throws MidiError when no JACK server answers; never starts one.
  explicit JackPacer(const std::string& clientName);
  ~JackPacer();
  JackPacer(const JackPacer&) = delete;
  JackPacer& operator=(const JackPacer&) = delete;

  // Call before handing a message of size bytes over; waits, when the
  // messages since the last drained cycle would not fit, until they are out.
  // Not safe for concurrent use: the out port's owner serialises sends.
  void admit(size_t size);
  // Call after connecting: JACK makes a new connection live only in a later
  // cycle, and what RtMidi hands over before that goes nowhere.
  void settle();

  // True when a JACK server answers a client.
  static bool ServerRunning();

 private:
  static int Process(jack_nframes_t frames, void* self);
  static void Shutdown(void* self);
  // Waits, within a bound, until the cycle counter reaches cycle.
  void waitForCycle(uint64_t cycle);

  jack_client_t* mClient = nullptr;
  std::atomic<uint64_t> mCycles{0};
  std::atomic<bool> mServerGone{false};
  size_t mBudget = 0;
  size_t mUsed = 0;
  uint64_t mCycleAtLastAdmit = 0;
};
