#include "Tarnivex.h"

#include "ControlLayer.h"
#include "DataFolder.h"
#include "IControl.h"
#include "IGraphicsLinux.h"
#include "LinkManager.h"
#include "MIDIMessageManager.h"
#include "IGraphics.h"
#include "MakeGraphics.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "TabSwitchFunctions.h"
#include "UIConfigManager.h"

namespace {
constexpr int kNumHostParams = kNumAutomatedParams;
constexpr int kEditorWidth = 1500;
constexpr int kEditorHeight = 757;
constexpr int kMakerCode = ('K' << 24) | ('z' << 16) | ('v' << 8) | '1';

// The MIDI filter, routing and clock settings a new instance starts with.
constexpr struct {
  int param;
  double value;
} kMidiDefaults[] = {
    {kMIDIFilterDAWCCPassThrough, 1.0}, {kMIDIFilterDAWPCPassThrough, 0.0},  {kMIDIFilterDAWNotePassThrough, 1.0},
    {kMIDIFilterDAWPPPassThrough, 1.0}, {kMIDIFilterDAWPAPassThrough, 1.0},  {kMIDIFilterDAWCAPassThrough, 1.0},
    {kMIDIFilterDAWSEPassThrough, 0.0}, {kMIDIFilterHWCCPassThrough, 1.0},   {kMIDIFilterHWPCPassThrough, 0.0},
    {kMIDIFilterHWNotePassThrough, 1.0}, {kMIDIFilterHWPPPassThrough, 1.0},  {kMIDIFilterHWPAPassThrough, 1.0},
    {kMIDIFilterHWCAPassThrough, 1.0},  {kMIDIFilterHWSEPassThrough, 1.0},   {kMIDIFilterTrackIncomingMIDI, 1.0},
    {kMIDIFilterDirectToHardware, 1.0}, {kMIDIFilterToDAWBuffer, 0.0},       {kSendMIDIClockPointer, 0.0},
    {kSendMIDIClockInfo, 0.0},
};

// Ranges the editor core relies on, for parameters the GUI document has not
// typed: {first index, parts, default, minimum, maximum}.
constexpr struct {
  int param, span, value, minimum, maximum;
} kCoreRanges[] = {
    {kMultiPartMIDICh, 16, 2, 0, 17},   {kMultiPartStatus, 16, 0, 0, 1}, {kMultiPartBank, 16, 0, 0, 2},
    {kMultiPartPatch, 16, 0, 0, 99},    {kGlobalMidiChannel, 1, 0, 0, 16}, {kGlobalSysExID, 1, 0, 0, 127},
    {kDeviceOutSelection, 1, 0, 0, 127}, {kDeviceInSelection, 1, 0, 0, 127}, {kQuickTab, 1, 0, 0, 15},
    {kLibSyncTimer, 1, 0, 0, 7},        {kMultiTempo, 1, 55, 0, 127},    {kOverrideTempo, 1, 0, 0, 1},
    {kMultiBank, 1, 0, 0, 3},           {kMultiPatch, 1, 0, 0, 99},      {kAdjustDAWOffset, 1, 0, -64, 64},
};
}  // namespace

Tarnivex::Tarnivex(IPlugInstanceInfo instanceInfo)
    : IPlugVST(instanceInfo, kNumHostParams, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
               0x68786566, kMakerCode, 128, true, true, true, 0) {
  initialize(instanceInfo, 0, kParamCount, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
             0x68786566, kMakerCode, 128, true, true, true, 0);
  addNonAutomateParamCount(kParamCount);
  debugLogPath = getDebugLogPath();
  debugLogEnabled = debuggerOutput.openDebugFile(debugLogPath);
  settingsPath = getSettingsPath();
  settings.read(settingsPath);
  mUIScale = settings.uiScale();
  colourScheme = std::max(0, settings.colourScheme());
  midiOutStored = !settings.line(SettingsFile::kMidiOut).empty();
  patchManager = std::make_unique<PatchManager>();
  patchManager->plug = this;
  patchLibrarian = std::make_unique<PatchLibrarian>();
  attachPatchLibrarian();

  auto graphics = MakeGraphics(this, static_cast<int>(kEditorWidth * mUIScale),
                               static_cast<int>(kEditorHeight * mUIScale), 0);
  AttachGraphics(graphics.release());

  uiConfigManager = std::make_unique<UIConfigManager>();
  uiConfigManager->readUIConfig(GetGUI(), this, patchLibrarian.get(), colourScheme, mUIScale);
  attachPages();
  // A document that gave the editor nothing to draw still leaves a plain panel.
  if (IGraphics* gui = GetGUI(); gui && gui->NControls() == 0) {
    const IColor panel(255, 0x2B, 0x2D, 0x31);
    gui->AttachPanelBackground(&panel);
  }
  tabSwitchFunctions = std::make_unique<TabSwitchFunctions>();
  linkManager = std::make_unique<LinkManager>();
  midiMessageManager = std::make_unique<MIDIMessageManager>(this, patchManager.get(), patchLibrarian.get(), GetGUI());
  for (const auto& range : kCoreRanges)
    for (int i = 0; i < range.span; ++i)
      if (IParam* param = GetParam(range.param + i); param->Type() == IParam::kTypeNone)
        param->InitInt("", range.value, range.minimum, range.maximum);
  patchManager->init();

  firstRun = settings.line(SettingsFile::kFirstRun) == "no";
  if (firstRun && firstRunLayer) firstRunLayer->Hide(false);
  for (int p = 0; p < 16; ++p) GetParam(kMultiPartMIDICh + p)->Set(p + 2);
  for (const auto& setting : kMidiDefaults) GetParam(setting.param)->Set(setting.value);
  deriveMirroredFlags();
  debugLog("Plug-in is ready to load!");
  reopenStoredPorts();
  for (int p = 0; p < 16; ++p) partFilterLinkValues[static_cast<size_t>(p)] = 1;
  constructionFinished = true;
  startupComplete = true;
}

Tarnivex::~Tarnivex() {
  // Nothing may be sent while the object is taken apart, and nothing that
  // uses it may still run: the instrument's input first, then the workers.
  midiIOConfigured = false;
  StopMidiInput();
  midiMessageManager.reset();
  patchManager.reset();
  // This instance's hold on the shared images goes before the manager.
  if (uiConfigManager) uiConfigManager->ClearImageCache();
  uiConfigManager.reset();
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
