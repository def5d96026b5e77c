// The plug-in class: the editor core on top of the VST adapter.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "ControlDisplay.h"
#include "ControlIndexes.h"
#include "DebuggerOutput.h"
#include "EditorServices.h"
#include "IPlugVST.h"

class ITextControl;
class IControl;
class LinkManager;
class MIDIMessageManager;
class PatchLibrarian;
class PatchManager;
class TabSwitchFunctions;
class UIConfigManager;
struct ControlAction;

class Tarnivex : public IPlugVST, public ControlDisplayHost, public EditorServices {
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

  // ---- What the protocol engine calls (TarnivexServices.cpp, EditorSysExOut.cpp).
  IParam* paramAt(int index) override;
  void setParameterFromPlug(int index, double value, bool normalized) override;
  std::string paramDisplayText(int index, int value) override;
  void setParamDisplayText(int index, int value, const std::string& text) override;
  void checksumCheckAndSend(unsigned char* message, int length) override;
  bool sendSysExToDevice(unsigned char* bytes, int length) override;
  bool sendRawToDevice(std::vector<unsigned char> bytes) override;
  void deliverSysEx(ISysEx* message, bool fromDevice) override;
  void logSysExOutMessageByteInt(std::vector<int> message, int count) override;
  void showStatusText(const char* text) override;
  void DisplayProcessingIndicator(bool show) override;
  void displayPatchName(std::string text) override;
  void displayCategoryName(std::string text) override;
  void setLibrarianViewDirty() override;
  void updatePatchLibrarianView(int selector) override;
  void SetLibrarianRequestActive(bool libraryRequest) override;
  void SetLibrarianStatusUnsaved(bool unsaved) override;
  void debugLog(const std::string& message) override;
  int getCurrentPart() const override { return currentPart; }
  bool isSendAllParts() const override { return sendAllParts; }
  bool isMidiIOConfigured() const override { return midiIOConfigured; }
  bool isClockPointerOn() const override { return clockPointerOn; }
  bool isClockInfoOn() const override { return clockInfoOn; }
  void clearClockInfo() override { clockInfoOn = false; }
  int getTempoValue() const override { return tempoValue; }
  int tempoListValue(int index) const override;
  int getTimerValue() const override;
  void setPartFilterLinkValue(int part, int value) override;
  void setPatchManagerName(int entry, const std::string& text) override;

  // ---- Sending an edit (EditorControlActions.cpp).
  void processControlAction(ControlAction* action, int paramIdx, double value);

  // ---- Finding the control an incoming message addresses (ControlLookups.cpp).
  IControl* getSysexControl(int k1, int k2, int k3, int k4, int k5);
  IControl* getMsbLsbControl(int k1, int k2, int k3, int k4, int k5);
  IControl* getCCControls(int k1, int k2, int k3);
  int getProgramValueByParts(int k1, int k2, int k3);
  void setProgramValueByParts(int k1, int k2, int k3, int value);

  // ---- The patch library (LibraryHookup.cpp): hooks it up and loads it;
  // copies a bank file the user picks into the library folder.
  void attachPatchLibrarian();
  bool saveImportedFile(bool midi);

  // ---- The protocol engine and what it works on.
  std::unique_ptr<PatchManager> patchManager;
  std::unique_ptr<PatchLibrarian> patchLibrarian;
  std::unique_ptr<MIDIMessageManager> midiMessageManager;
  std::unique_ptr<TabSwitchFunctions> tabSwitchFunctions;
  std::unique_ptr<LinkManager> linkManager;
  // The incoming-message indexes the control factories fill.
  SysExControlContainer sysexControls;
  NRPNControlContainer nrpnControls;
  ControllerIndex ccControls;
  ProgramValueMap programValues;
  ITextControl* patchNameDisplay = nullptr;
  ITextControl* categoryNameDisplay = nullptr;

  // ---- Editor state shared with the engine's threads.
  std::atomic<int> modelNumber{0};
  std::atomic<bool> multiMode{false};
  std::atomic<bool> deviceEcho{false};
  std::atomic<bool> linking{false};
  std::atomic<bool> replyReceived{false};
  std::atomic<bool> editorBusy{false};
  std::atomic<bool> processing{false};
  std::atomic<bool> stateRestore{false};
  std::atomic<bool> sendAllParts{false};
  std::atomic<bool> sendGlobalFirst{false};
  std::atomic<bool> localControl{true};
  std::atomic<bool> libraryControl{false};
  std::atomic<bool> clockPointerOn{false};
  std::atomic<bool> clockInfoOn{false};
  std::atomic<int> tempoValue{0};
  std::array<std::atomic<int>, 16> partFilterLinkValues{};

 private:
  // The toggle buttons of the change handler (ParamChangeDispatch.cpp).
  bool runToggle(int paramIdx, int intValue);
  void applyLayerSelection(ControlAction* action, int intValue);
  // Guards the display-text tables the engine's threads rewrite.
  std::mutex mDisplayTextMutex;

  double mUIScale = 1.0;
  std::string mImportFolder;  // where the import prompt starts
  char mVersionText[16] = {};
};
