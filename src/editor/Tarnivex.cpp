#include "Tarnivex.h"

#include "DataFolder.h"
#include "IControl.h"
#include "IGraphicsLinux.h"
#include "LinkManager.h"
#include "MIDIMessageManager.h"
#include "MakeGraphics.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "TabSwitchFunctions.h"
#include "UIConfigManager.h"

namespace {
constexpr int kNumHostParams = kNumAutomatedParams;
constexpr int kUnsavedEditorParams = 545;
constexpr int kStateMarker = 0x01000000;
constexpr int kEditorWidth = 1500;
constexpr int kEditorHeight = 757;
constexpr int kMakerCode = ('K' << 24) | ('z' << 16) | ('v' << 8) | '1';
}  // namespace

Tarnivex::Tarnivex(IPlugInstanceInfo instanceInfo)
    : IPlugVST(instanceInfo, kNumHostParams, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
               0x68786566, kMakerCode, 128, true, true, true, 0) {
  initialize(instanceInfo, 0, kParamCount, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
             0x68786566, kMakerCode, 128, true, true, true, 0);
  addNonAutomateParamCount(kParamCount);
  debugLogPath = getDebugLogPath();
  debugLogEnabled = debuggerOutput.openDebugFile(debugLogPath);
  patchManager = std::make_unique<PatchManager>();
  patchManager->plug = this;
  patchLibrarian = std::make_unique<PatchLibrarian>();
  attachPatchLibrarian();

  auto graphics = MakeGraphics(this, static_cast<int>(kEditorWidth * mUIScale),
                               static_cast<int>(kEditorHeight * mUIScale), 0);
  AttachGraphics(graphics.release());

  uiConfigManager = std::make_unique<UIConfigManager>();
  uiConfigManager->readUIConfig(GetGUI(), this, nullptr, 0, mUIScale);
  tabSwitchFunctions = std::make_unique<TabSwitchFunctions>();
  linkManager = std::make_unique<LinkManager>();
  midiMessageManager = std::make_unique<MIDIMessageManager>(this, patchManager.get(), patchLibrarian.get(), GetGUI());
  startupComplete = true;
}

Tarnivex::~Tarnivex() {
  StopMidiInput();
  // Its workers use the plug-in: they are stopped while it is whole.
  midiMessageManager.reset();
}

void Tarnivex::Reset() {
  WDL_MutexLock lock(&mMutex);
  resetPending = true;
  GetEffectVersionStr(mVersionText);
}

const ValueLists* Tarnivex::displayValueLists() const {
  return uiConfigManager ? &uiConfigManager->valueLists : nullptr;
}

void Tarnivex::showParamName(const char* text) {
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug(text);
}

void Tarnivex::showParamValue(const char* text) {
  if (paramValueDisplay) paramValueDisplay->SetTextFromPlug(text);
}

void Tarnivex::ProcessDoubleReplacing(double**, double**, int) {
  if (resetPending && midiIOConfigured) resetPending = false;
  ITimeInfo timeInfo;
  GetTime(&timeInfo);
  if (timeInfo.mTransportIsRunning != transportRunning) transportRunning = timeInfo.mTransportIsRunning;
}

void Tarnivex::ProcessMidiMsg(IMidiMsg*, bool) {}

bool Tarnivex::SerializeState(ByteChunk* chunk) {
  const int marker = kStateMarker;
  chunk->AppendValue(&marker);
  const double quickTab = GetParam(kQuickTab)->Value();
  const double qModel = GetParam(kQModel)->Value();
  chunk->AppendValue(&quickTab);
  chunk->AppendValue(&qModel);
  SerializeParams(chunk);
  SerializeNonAutomatedParams(chunk, NNonAutomatedParams() - kUnsavedEditorParams);
  return true;
}

int Tarnivex::UnserializeState(ByteChunk* chunk, int startPos) {
  // Nothing is applied unless the whole section is there and begins with
  // its marker: a damaged chunk must not leave the editor half restored.
  const long long needed = 4 + 8 + 8 + 8LL * NAutomatableParams() +
                           8LL * (NNonAutomatedParams() - kUnsavedEditorParams);
  int marker = 0;
  if (startPos < 0 || chunk->ReadValue(&marker, startPos) < 0 || marker != kStateMarker ||
      startPos + needed > chunk->Size())
    return -1;

  int pos = startPos + 4;
  double value = 0.0;
  pos = chunk->ReadValue(&value, pos);
  GetParam(kQuickTab)->Set(value);
  currentPart = GetParam(kQuickTab)->Int();
  pos = chunk->ReadValue(&value, pos);
  GetParam(kQModel)->Set(value);
  pos = UnserializeParams(chunk, pos);
  return UnserializeNonAutomatedParams(chunk, pos, NNonAutomatedParams() - kUnsavedEditorParams);
}
