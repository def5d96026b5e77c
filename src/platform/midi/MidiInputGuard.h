// Stands between a MIDI system's input thread and the installed callback:
// filters the message kinds the receiver ignores, delivers one message at a
// time, and lets cancel() wait for a delivery in flight.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "MidiPorts.h"

// True when a receiver that ignores these kinds never sees the message.
bool MidiMessageIgnored(const std::vector<unsigned char>& message, bool sysex, bool timing, bool activeSensing);

class MidiInputGuard {
 public:
  void set(MidiInputCallback callback, void* userData);
  // Returns when no delivery runs and none will start. From inside the
  // callback it only stops later deliveries.
  void cancel();
  void ignoreTypes(bool sysex, bool timing, bool activeSensing);
  // Called on the input thread for every complete message.
  void deliver(double timeStamp, std::vector<unsigned char>* message);

 private:
  // Recursive so a callback may cancel itself.
  std::recursive_mutex mMutex;
  MidiInputCallback mCallback = nullptr;
  void* mUserData = nullptr;
  // Everything ignored until asked otherwise, as MIDI systems start.
  std::atomic<bool> mIgnoreSysex{true};
  std::atomic<bool> mIgnoreTiming{true};
  std::atomic<bool> mIgnoreActiveSensing{true};
};
