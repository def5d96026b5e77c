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

class RecordingTabs : public TabSwitchFunctions {
 public:
  void quickTabSwitch(Tarnivex*, int index, int value, int, bool) override { calls.push_back({false, index, value}); }
  void mainTabSwitch(Tarnivex*, int index, int value, int, int) override { calls.push_back({true, index, value}); }
  std::vector<TabCall> calls;
};

class RecordingLinks : public LinkManager {
 public:
  void controlLinker(Tarnivex*, ControlAction*, LinkInfo link, int index, int intValue, double) override {
    calls.push_back({link.partnerParam, index, intValue});
  }
  std::vector<std::vector<int>> calls;
};

class RecordingTarnivex : public Tarnivex {
 public:
  RecordingTarnivex() : Tarnivex(IPlugInstanceInfo{}) {
    auto tabsOwned = std::make_unique<RecordingTabs>();
    tabs = tabsOwned.get();
    tabSwitchFunctions = std::move(tabsOwned);
    auto linksOwned = std::make_unique<RecordingLinks>();
    links = linksOwned.get();
    linkManager = std::move(linksOwned);
    paramNameDisplay = &nameText;
    paramValueDisplay = &valueText;
  }
  ~RecordingTarnivex() override {
    paramNameDisplay = nullptr;
    paramValueDisplay = nullptr;
  }

  bool SendMidiSysex(unsigned char* data, int size) override {
    std::lock_guard<std::mutex> lock(mSentMutex);
    sysex.emplace_back(data, data + size);
    return true;
  }
  bool SendMidiSysex2(std::vector<unsigned char> data) override {
    std::lock_guard<std::mutex> lock(mSentMutex);
    raw.push_back(std::move(data));
    return true;
  }
  bool SendMidiMsg(IMidiMsg* msg) override {
    std::lock_guard<std::mutex> lock(mSentMutex);
    shortMessages.push_back({msg->mStatus, msg->mData1, msg->mData2});
    return true;
  }
  size_t sentCount() {
    std::lock_guard<std::mutex> lock(mSentMutex);
    return sysex.size() + raw.size() + shortMessages.size();
  }

  RecordingTabs* tabs = nullptr;
  RecordingLinks* links = nullptr;
  ITextControl nameText{nullptr};
  ITextControl valueText{nullptr};
  std::vector<std::vector<unsigned char>> sysex;
  std::vector<std::vector<unsigned char>> raw;
  std::vector<std::vector<unsigned char>> shortMessages;

 private:
  std::mutex mSentMutex;
};
