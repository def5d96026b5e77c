// The plug-in with its MIDI output recorded instead of sent, and recording
// stand-ins for the page switches and the link rule.
#pragma once

#include <mutex>
#include <vector>

#include "IControl.h"
#include "LinkManager.h"
#include "TabSwitchFunctions.h"
#include "Tarnivex.h"

struct TabCall {
  bool main;
  int index;
  int value;
};

struct RecordingTabs : TabSwitchFunctions {
  void quickTabSwitch(Tarnivex*, int index, int value, int, bool) override { calls.push_back({false, index, value}); }
  void mainTabSwitch(Tarnivex*, int index, int value, int, int) override { calls.push_back({true, index, value}); }
  std::vector<TabCall> calls;
};

struct RecordingLinks : LinkManager {
  void controlLinker(Tarnivex*, ControlAction*, LinkInfo link, int index, int intValue, double) override {
    calls.push_back({link.partnerParam, index, intValue});
  }
  std::vector<std::vector<int>> calls;  // partner, index, value
};

class RecordingTarnivex : public Tarnivex {
 public:
  RecordingTarnivex() : Tarnivex(IPlugInstanceInfo{}) {
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

  bool SendMidiSysex(unsigned char* data, int size) override { return record(&sysex, {data, data + size}); }
  bool SendMidiSysex2(std::vector<unsigned char> data) override { return record(nullptr, data); }
  bool SendMidiMsg(IMidiMsg* msg) override { return record(nullptr, {msg->mStatus, msg->mData1, msg->mData2}); }
  size_t sentCount() {
    std::lock_guard<std::mutex> lock(mSentMutex);
    return mSent;
  }

  RecordingTabs* tabs = nullptr;
  RecordingLinks* links = nullptr;
  ITextControl nameText{nullptr};
  ITextControl valueText{nullptr};
  std::vector<std::vector<unsigned char>> sysex;  // what SendMidiSysex sent

 private:
  bool record(std::vector<std::vector<unsigned char>>* list, std::vector<unsigned char> bytes) {
    std::lock_guard<std::mutex> lock(mSentMutex);
    if (list) list->push_back(std::move(bytes));
    ++mSent;
    return true;
  }

  std::mutex mSentMutex;
  size_t mSent = 0;
};
