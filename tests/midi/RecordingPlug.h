// A plug-in for MIDI tests: the VST adapter with handlers that record what
// reaches them, and a hook that runs inside each handler.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "IPlugVST.h"

using MidiBytes = std::vector<unsigned char>;

// A SysEx message of a sound dump's size whose data bytes vary with tag.
inline MidiBytes PatternDump(unsigned char tag) {
  MidiBytes dump(392);
  for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<unsigned char>((i * 7 + tag) % 128);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  return dump;
}

struct ReceivedMidi {
  MidiBytes bytes;  // status, data 1, data 2 for a short message
  bool sysex = false, fromDevice = false;
  int offset = -1;
  bool operator==(const ReceivedMidi&) const = default;
};

class RecordingPlug : public IPlugVST {
 public:
  explicit RecordingPlug(audioMasterCallback host = nullptr)
      : IPlugVST(IPlugInstanceInfo{host}, 0, "2-2", 0, "MIDI Test", "", "Kelmscroft", 0x00010000, 0x74657374,
                 0x4B7A7631, 0, true, true, true, 0) {}
  ~RecordingPlug() override { StopMidiInput(); }  // the handlers use our members
  using IPlugBase::StopMidiInput;
  using IPlugBase::MidiOutUnplugged;

  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override {
    Record({{msg->mStatus, msg->mData1, msg->mData2}, false, fromDevice, msg->mOffset});
  }
  void ProcessSysEx(ISysEx* msg, bool fromDevice) override {
    Record({{msg->mData, msg->mData + msg->mSize}, true, fromDevice, msg->mOffset});
  }
  // Waits, within a bound, until count messages have arrived; returns all.
  std::vector<ReceivedMidi> WaitForCount(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::unique_lock lock(mMutex);
    mArrived.wait_for(lock, bound, [&] { return mReceived.size() >= count; });
    return mReceived;
  }
  std::vector<ReceivedMidi> Received() { return WaitForCount(0); }

  std::function<void()> onMessage;  // runs inside the handler, before the message is recorded
  // Messages not sent because the out port chosen was gone.
  void OnMidiOutGone() override { ++goneNotices; }
  std::atomic<int> goneNotices{0};

 private:
  void Record(ReceivedMidi received) {
    if (onMessage) onMessage();
    std::lock_guard lock(mMutex);
    mReceived.push_back(std::move(received));
    mArrived.notify_all();
  }

  std::mutex mMutex;
  std::condition_variable mArrived;
  std::vector<ReceivedMidi> mReceived;
};
