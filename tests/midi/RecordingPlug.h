// A plug-in for MIDI tests: the VST adapter with handlers that record what
// reaches them, and a hook that runs inside each handler.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "IPlugVST.h"

struct ReceivedMidi {
  std::vector<unsigned char> bytes;  // status, data 1, data 2 for a short message
  bool sysex = false;
  bool fromDevice = false;
  int offset = -1;

  bool operator==(const ReceivedMidi&) const = default;
};

class RecordingPlug : public IPlugVST {
 public:
  explicit RecordingPlug(audioMasterCallback host = nullptr)
      : IPlugVST(IPlugInstanceInfo{host}, 0, "2-2", 0, "MIDI Test", "", "Kelmscroft", 0x00010000, 0x74657374,
                 0x4B7A7631, 0, true, true, true, 0) {}
  ~RecordingPlug() override { StopMidiInput(); }

  using IPlugBase::StopMidiInput;

  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override {
    Record({{msg->mStatus, msg->mData1, msg->mData2}, false, fromDevice, msg->mOffset});
  }
  void ProcessSysEx(ISysEx* msg, bool fromDevice) override {
    Record({{msg->mData, msg->mData + msg->mSize}, true, fromDevice, msg->mOffset});
  }

  std::vector<ReceivedMidi> Received() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mReceived;
  }
  // Waits, within a bound, until count messages have arrived; returns them.
  std::vector<ReceivedMidi> WaitForCount(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mMutex);
    mArrived.wait_for(lock, bound, [&] { return mReceived.size() >= count; });
    return mReceived;
  }

  // Runs inside the handler, before the message is recorded.
  std::function<void()> onMessage;

 private:
  void Record(ReceivedMidi received) {
    if (onMessage) onMessage();
    std::lock_guard<std::mutex> lock(mMutex);
    mReceived.push_back(std::move(received));
    mArrived.notify_all();
  }

  mutable std::mutex mMutex;
  std::condition_variable mArrived;
  std::vector<ReceivedMidi> mReceived;
};
