// The plug-in class: the editor core on top of the VST adapter.
#pragma once

#include <atomic>

#include "IPlugVST.h"

class ITextControl;
class UIConfigManager;

class Tarnivex : public IPlugVST {
 public:
  explicit Tarnivex(IPlugInstanceInfo instanceInfo);
  ~Tarnivex() override;

  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void OnParamChange2(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override;
  void ProcessSysEx(ISysEx* msg, bool fromDevice) override;
  bool SerializeState(ByteChunk* chunk) override;
  int UnserializeState(ByteChunk* chunk, int startPos) override;

  // The size factor of the editor window: 0.85, 1.0 or 1.15.
  double GetUIScale() const { return mUIScale; }
  const char* GetVersionText() const { return mVersionText; }

  std::atomic<bool> startupComplete{false};
  std::atomic<int> currentPart{0};
  std::atomic<bool> resetPending{false};
  std::atomic<bool> transportRunning{false};
  std::atomic<bool> blockDAWProgramChange{true};
  std::atomic<bool> midiIOConfigured{false};
  ITextControl* paramNameDisplay = nullptr;
  ITextControl* paramValueDisplay = nullptr;
  UIConfigManager* uiConfigManager = nullptr;

 private:
  double mUIScale = 1.0;
  char mVersionText[16] = {};
};
