// The plug-in with its MIDI output recorded instead of sent, and recording
// stand-ins for the page switches and the link rule.
#pragma once

#include <mutex>
#include <vector>

#include "IControl.h"
#include "LinkManager.h"
#include "TabSwitchFunctions.h"
#include "Tarnivex.h"

using Calls = std::vector<std::vector<int>>;

// Each call as {main page 1 or part page 0, index, value}.
struct RecordingTabs : TabSwitchFunctions {
  void quickTabSwitch(Tarnivex*, int index, int value, int, bool) override { calls.push_back({0, index, value}); }
  void mainTabSwitch(Tarnivex*, int index, int value, int, int) override { calls.push_back({1, index, value}); }
  Calls calls;
};

// Each call as {partner, index, value}.
struct RecordingLinks : LinkManager {
  void controlLinker(Tarnivex*, ControlAction*, LinkInfo link, int index, int intValue, double) override {
    calls.push_back({link.partnerParam, index, intValue});
  }
  Calls calls;
};

class RecordingTarnivex : public Tarnivex {
 public:
  using Bytes = std::vector<unsigned char>;

  RecordingTarnivex() : Tarnivex(IPlugInstanceInfo{}) {
    waitForLibrary();
    tabSwitchFunctions = std::make_unique<RecordingTabs>();
    tabs = static_cast<RecordingTabs*>(tabSwitchFunctions.get());
    linkManager = std::make_unique<RecordingLinks>();
    links = static_cast<RecordingLinks*>(linkManager.get());
    paramNameDisplay = &nameText;
    paramValueDisplay = &valueText;
  }
  ~RecordingTarnivex() override {
    paramNameDisplay = nullptr;
    paramValueDisplay = nullptr;
  }

  bool SendMidiSysex(unsigned char* data, int size) override { return record({data, data + size}); }
  bool SendMidiSysex2(std::vector<unsigned char> data) override { return record(std::move(data)); }
  bool SendMidiMsg(IMidiMsg* msg) override { return record({msg->mStatus, msg->mData1, msg->mData2}); }
  // Everything sent, in order.
  std::vector<Bytes> sent() {
    std::lock_guard<std::mutex> lock(mSentMutex);
    return mSent;
  }

  RecordingTabs* tabs = nullptr;
  RecordingLinks* links = nullptr;
  ITextControl nameText{nullptr};
  ITextControl valueText{nullptr};

 private:
  bool record(Bytes bytes) {
    std::lock_guard<std::mutex> lock(mSentMutex);
    mSent.push_back(std::move(bytes));
    return true;
  }

  std::mutex mSentMutex;
  std::vector<Bytes> mSent;
};
