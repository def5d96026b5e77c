// The plug-in class: the editor core on top of the VST adapter.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "ControlDisplay.h"
#include "DebuggerOutput.h"
#include "IPlugVST.h"

class ITextControl;
class UIConfigManager;

class Tarnivex : public IPlugVST, public ControlDisplayHost {
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

  // What the name and value display reads and writes.
  bool displayStartupComplete() const override { return startupComplete; }
  int displayCurrentPart() const override { return currentPart; }
  bool displayBlocksDAWProgramChange() const override { return blockDAWProgramChange; }
  const IParam* displayParam(int idx) const override { return GetParam(idx); }
  const ValueLists* displayValueLists() const override;
  void showParamName(const char* text) override;
  void showParamValue(const char* text) override;

  std::atomic<bool> startupComplete{false};
  std::atomic<int> currentPart{0};
  std::atomic<bool> resetPending{false};
  std::atomic<bool> transportRunning{false};
  std::atomic<bool> blockDAWProgramChange{true};
  std::atomic<bool> midiIOConfigured{false};
  ITextControl* paramNameDisplay = nullptr;
  ITextControl* paramValueDisplay = nullptr;
  std::unique_ptr<UIConfigManager> uiConfigManager;
  ControlDisplay controlDisplay;
  // The debug log: on when the log file existed at start-up.
  std::atomic<bool> debugLogEnabled{false};
  std::string debugLogPath;
  DebuggerOutput debuggerOutput;

 private:
  double mUIScale = 1.0;
  char mVersionText[16] = {};
};
