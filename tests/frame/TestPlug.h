// A plug-in of the frame alone, with a scripted host, for unit tests that
// need automatable parameters, presets or a look inside.
#pragma once

#include <functional>
#include <vector>

#include "IPlugVST.h"


class TestPlug : public IPlugVST {
 public:
  struct Config {
    int nAutomatable = 5;
    int nParams = 8;
    int nPresets = 0;
    const char* channelIO = "2-2";
    bool chunks = true;
    bool initParams = true;
    audioMasterCallback host = nullptr;
  };

  explicit TestPlug(const Config& config);
  explicit TestPlug() : TestPlug(Config{}) {}

  void OnParamChange(int paramIdx) override {
    IPlugBase::OnParamChange(paramIdx);
    changes.push_back(paramIdx);
  }
  void OnParamChange2(int paramIdx) override {
    IPlugBase::OnParamChange2(paramIdx);
    changes2.push_back(paramIdx);
  }
  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override {
    midi.push_back(*msg);
    midiFromDevice.push_back(fromDevice);
  }

  using IPlugBase::mCurrentPresetIdx;

  std::vector<int> changes;
  std::vector<int> changes2;
  std::vector<IMidiMsg> midi;
  std::vector<bool> midiFromDevice;
};
