// What a change of a parameter means outside the editor window: nothing, a
// controller, or one of the SysEx messages prepared for it, one per value.
// One record per parameter, hung on its IParam and shared by its controls.
#pragma once

#include <atomic>
#include <vector>

#include "SysExMessageList.h"

class ControlLayer;
class IControl;

struct LinkInfo {
  int partnerParam = -1;
  int switchParam = -1;
  int linkMode = -1;
};

struct ControlActionSysExMessage {
  bool hasMessageLists = false;
  // Message i, without F0 and F7, is sent for the whole-number value i.
  SysExMessageList messages;
  std::vector<std::vector<std::vector<int>>> messageLists;
};

struct ControlAction {
  enum Type { kNone = 0, kController = 1, kControllerSwitch = 2, kMsbLsb = 3, kSysExSwitch = 5, kSysEx = 6 };

  // Written by whichever thread sends the value: the GUI, the MIDI input, a worker.
  std::atomic<double> lastValue{-1.0};
  int linkOffset = -1;
  int part = -1;
  int actionType = kNone;
  int ccNumber = -1;
  int msbLsbAddress[3] = {-1, -1, -1};
  int channel = -1;
  int globalFlag = -1;
  std::vector<IControl*> controls;  // not owned
  LinkInfo link;
  ControlLayer* selectorLayer = nullptr;
  ControlActionSysExMessage sysex;
  int ccOffValue = -1;
  int ccOnValue = -1;
};
