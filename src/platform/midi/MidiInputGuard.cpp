#include "MidiInputGuard.h"

namespace {
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kTimeCodeQuarterFrame = 0xF1;
constexpr unsigned char kTimingClock = 0xF8;
constexpr unsigned char kActiveSensing = 0xFE;
}  // namespace

bool MidiMessageIgnored(const std::vector<unsigned char>& message, bool sysex, bool timing, bool activeSensing) {
  if (message.empty()) return true;
  switch (message[0]) {
    case kSysExStart: return sysex;
    case kTimeCodeQuarterFrame:
    case kTimingClock: return timing;
    case kActiveSensing: return activeSensing;
    default: return false;
  }
}

void MidiInputGuard::set(MidiInputCallback callback, void* userData) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mCallback = callback;
  mUserData = userData;
}

void MidiInputGuard::cancel() { set(nullptr, nullptr); }

void MidiInputGuard::ignoreTypes(bool sysex, bool timing, bool activeSensing) {
  mIgnoreSysex = sysex;
  mIgnoreTiming = timing;
  mIgnoreActiveSensing = activeSensing;
}

void MidiInputGuard::deliver(double timeStamp, std::vector<unsigned char>* message) {
  if (!message || MidiMessageIgnored(*message, mIgnoreSysex, mIgnoreTiming, mIgnoreActiveSensing)) return;
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (mCallback) mCallback(timeStamp, message, mUserData);
}
