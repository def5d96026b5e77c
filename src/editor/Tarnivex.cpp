#include "Tarnivex.h"

#include "BrowserHost.h"
#include "ControlLayer.h"
#include "DataFolder.h"
#include "IControl.h"
#include "IGraphicsLinux.h"
#include "ImageTable.h"
#include "InitPatches.h"
#include "LibrarianBrowser.h"
#include "LinkManager.h"
#include "MIDIMessageManager.h"
#include "MidiPorts.h"
#include "MidiSendThread.h"
#include "IGraphics.h"
#include "MakeGraphics.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "SoundDump.h"
#include "TabSwitchFunctions.h"
#include "UIConfigManager.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {
constexpr int kNumHostParams = kNumAutomatedParams;
constexpr int kEditorWidth = 1500;
constexpr int kEditorHeight = 757;
constexpr int kMakerCode = ('K' << 24) | ('z' << 16) | ('v' << 8) | '1';
// No audio is delayed (the block writes silence or passes its input on): a
// latency would only have the host delay every other track.
constexpr int kLatencySamples = 0;

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
    {kFilterLinkValue, 16, 1, 0, 3},    {kUserInterfaceSize, 1, 1, 0, 2}, {kUserInterfaceStyle, 1, 0, 0, 2},
    {kDeviceID_old, 1, 0, 0, 127},
    // Octave and semitone hold what the dump and the controllers carry:
    // wire bytes 12v + 16 (8 foot is 4) and v + 52 (no transposition is 12).
    {kOscillator1Octave, 16, 4, 0, 8},   {kOscillator2Octave, 16, 4, 0, 8},   {kOscillator3Octave, 16, 4, 0, 8},
    {kOscillator1Semitone, 16, 12, 0, 24}, {kOscillator2Semitone, 16, 12, 0, 24}, {kOscillator3Semitone, 16, 12, 0, 24},
};
}  // namespace

Tarnivex::Tarnivex(IPlugInstanceInfo instanceInfo)
    : IPlugVST(instanceInfo, kNumHostParams, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
               0x68786566, kMakerCode, kLatencySamples, true, true, true, 0),
      midiSendThread(std::make_unique<MidiSendThread>(*this)) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  debugLogPath = getDebugLogPath();
  debugLogEnabled = debuggerOutput.openDebugFile(debugLogPath);
  settingsPath = getSettingsPath();
  settings.read(settingsPath);
  mUIScale = settings.uiScale();
  colourScheme = std::max(0, settings.colourScheme());
  midiOutStored = !settings.line(SettingsFile::kMidiOut).empty();
  debugLog("INITIALIZATION STARTED!");
  debugLog("Data folder located at " + getDataFolder());

  initialize(instanceInfo, 0, kParamCount, "2-2", 0, "Tarnivex Editor", "", "Kelmscroft", 0x00010006,
             0x68786566, kMakerCode, kLatencySamples, true, true, true, 0);
  addNonAutomateParamCount(kParamCount);

  patchManager = std::make_unique<PatchManager>();
  patchManager->plug = this;
  debugLog("PATCH MANAGER INITIALIZED...");
  patchLibrarian = std::make_unique<PatchLibrarian>();
  debugLog("PATCH LIBRARIAN INITIALIZED...");
  // Logs "PATCH LIBRARIAN COMPLETED FILE LOADING..." when the load is there.
  attachPatchLibrarian();

  auto graphics = MakeGraphics(this, static_cast<int>(kEditorWidth * mUIScale),
                               static_cast<int>(kEditorHeight * mUIScale), 0);
  IGraphicsLinux* gui = graphics.get();
  gui->PrepareAhead();
  gui->SetBundleID("com.Kelmscroft.vst.Tarnivex Editor");
  debugLog("STARTING USER INTERFACE CONFIGURATION...");
  // The document's librarian page builds its slot view on the browser.
  createLibrarianBrowser();
  uiConfigManager = std::make_unique<UIConfigManager>();
  uiConfigManager->readUIConfig(gui, this, patchLibrarian.get(), colourScheme, mUIScale);
  debugLog("USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI");
  for (const auto& range : kCoreRanges)
    for (int i = 0; i < range.span; ++i)
      if (IParam* param = GetParam(range.param + i); param->Type() == IParam::kTypeNone)
        param->InitInt("", range.value, range.minimum, range.maximum);
  // The sound bytes no control carries (the numbered effect slots, the
  // routing views) start as the init sound holds them, as the controls do.
  for (int p = 0; p < 16; ++p)
    for (const SoundDumpField& field : soundDumpFields())
      decodeSoundDumpField(field, initPatchData[static_cast<size_t>(field.byte)], p, [this](int index, double value) {
        if (IParam* param = GetParam(index); param->Type() == IParam::kTypeNone)
          param->InitInt("", static_cast<int>(value), 0, 127);
      });
  fetchConfiguredLayers();
  tabSwitchFunctions = std::make_unique<TabSwitchFunctions>();
  linkManager = std::make_unique<LinkManager>();

  randomizeControl = firstControlOf(kRandomize);
  if (randomizeControl) randomizeControl->GrayOut(true);
  hideSearchLayersAtStartup();
  // Under this size's id, as the image table declared it: under the plain id
  // the frame would keep the size of whichever editor the process made first.
  gui->AttachBackground(sizedImageId(104, mUIScale), "resources/img/main-bg-frame.png", mUIScale);
  AttachGraphics(graphics.release());
  // The start page is known from here (the steps below change values, not
  // pages): its images decode while the rest of create runs.
  GetGUI()->PredecodeShownImages();
  ensureLibrarianView();
  debugLog("Layers attached...");
  buildProgressLayer();

  midiMessageManager = std::make_unique<MIDIMessageManager>(this, patchManager.get(), patchLibrarian.get(), GetGUI());
  midiMessageManager->realtimeStarter = [this](const SenderJob& job, const std::function<void()>& onStart) {
    midiSendThread->startJob(job, onStart);
  };
  MakeDefaultPreset("-", 64);
  patchManager->init();

  datatypeControl = firstControlOf(kDatatype);
  patchSearchControl = firstControlOf(kPatchSearch);
  controlProgBankControl = firstControlOf(kControlProgBank);
  searchButton = patchSearchControl;
  searchModeControl = firstControlOf(kCategorySelection);
  // The page under them is painted again where they hide.
  for (IControl* hiding : {searchButton, searchModeControl})
    if (hiding) hiding->SetDirtyWhenHidden(true);
  quickTabAction = actionOf(kQuickTab);
  mainTabAction = actionOf(kMainTab);
  debugLog("Control set 1 attached");

  buildBankSelectionList(kPatchSelectionListUpper, "Bank Selection List 1", 0);
  buildBankSelectionList(kPatchSelectionListLower, "Bank Selection List 2", 1);
  attachLibrarianMenuLayers();
  debugLog("Librarian menus attached");

  deviceOutControl = firstControlOf(kDeviceOutSelection);
  deviceInControl = firstControlOf(kDeviceInSelection);
  patchRenameControl = firstControlOf(kPatchRename);
  auto textControl = [this](int param, ITextControl* current) {
    auto* control = dynamic_cast<ITextControl*>(firstControlOf(param));
    return control ? control : current;
  };
  paramNameDisplay = textControl(kControlDisplayName, paramNameDisplay);
  paramValueDisplay = textControl(kControlDisplayValue, paramValueDisplay);
  fitStatusDisplays();
  categoryNameDisplay = textControl(kControlDisplayCategory, categoryNameDisplay);
  patchNameDisplay = textControl(kControlDisplayPatch, patchNameDisplay);
  paramCCDisplay = textControl(kControlDisplayCC, paramCCDisplay);
  buildDisplay = textControl(kControlDisplayBuild, buildDisplay);
  midiOutDelayDisplay = textControl(kControlDisplayMIDIOutDelay, midiOutDelayDisplay);
  controlLibraryControl = firstControlOf(kControlLibrary);
  keepSelectedBankControl = firstControlOf(kKeepSelectedBank);

  setThroughUserPath(kKeepSelectedBank, 1.0);
  overrideTempoAction = actionOf(kOverrideTempo);
  for (int p = 0; p < 16; ++p) {
    midiChannelControls[static_cast<size_t>(p)] = firstControlOf(kMultiPartMIDICh + p);
    setThroughUserPath(kMultiPartMIDICh + p, p + 2);
  }
  debugLog("Control set 2 attached... Resetting");
  Reset();

  showStartValues();
  attachProgressLayer();
  showSettingsFileChoices();
  for (size_t i = 0; i < std::size(kMidiDefaults); ++i) {
    midiFilterControls[i] = firstControlOf(kMidiDefaults[i].param);
    setThroughUserPath(kMidiDefaults[i].param, kMidiDefaults[i].value);
  }
  // The flags follow the defaults also where a value was set already.
  deriveMirroredFlags();
  for (int i = 0; i < kParamCount; ++i) {
    const int whole = static_cast<int>(GetParam(i)->Value());
    if (whole > 0) setParameterFromPlug(i, whole, false);
  }
  debugLog("Plug-in is ready to load!");
  reopenStoredPorts();
  // The data type's set above finds the control at 0 already and changes
  // nothing: the top bar's menus are filled once here, as a change would.
  updateBankAndProgramMenuNames(true);
  for (int p = 0; p < 16; ++p) {
    partFilterLinkValues[static_cast<size_t>(p)] = 1;
    setParameterFromPlug(kFilterLinkValue + p, 1.0, false);
  }
  constructionFinished = true;
  startupComplete = true;
}

void Tarnivex::showStartValues() {
  for (IControl* list : {browse.upperSelectionListControl, browse.lowerSelectionListControl})
    if (list) list->SetValueFromPlug(0);
  setParameterFromPlug(kOverrideTempo, 1, false);
  setParameterFromPlug(kQModel, 1, false);
  modelNumber = GetParam(kQModel)->Int();
  setParameterFromPlug(kDatatype, 0, false);
  setThroughUserPath(kDatatype, 0);
  IParam* progBank = GetParam(kControlProgBank);
  progBank->Set(std::clamp(1.0, progBank->GetMin(), progBank->GetMax()));
  setParameterFromPlug(kControlProgBank, 1.0, true);
  setParameterFromPlug(kQuickTab, 0, false);
  currentPart = GetParam(kQuickTab)->Int();
  setParameterFromPlug(kLibSyncTimer, 2, false);
}

void Tarnivex::showSettingsFileChoices() {
  const int style = settings.colourScheme();
  if (style >= 0) setParameterFromPlug(kUserInterfaceStyle, style, false);
  const int size = settings.uiSizeIndex();
  if (size >= 0) setParameterFromPlug(kUserInterfaceSize, size, false);
  firstRun = settings.line(SettingsFile::kFirstRun) == "no";
  if (firstRun) {
    showLayer("firstRunNotification", true);
    firstRunNoticeShown = true;
  }
}

Tarnivex::~Tarnivex() {
  // The library's worker calls into this object: no more from here on.
  if (patchLibrarian) patchLibrarian->detachBackgroundLoad();
  // Nothing may be sent while the object is taken apart, and nothing that
  // uses it may still run: the instrument's input first, then the workers
  // (a bank change or a program change from the instrument can hand work to
  // the MIDI thread until then), then the MIDI thread, whose queued work is
  // dropped.
  midiIOConfigured = false;
  StopMidiInput();
  if (midiMessageManager) midiMessageManager->shutDown();
  midiSendThread->stop();
  // Nothing of a restore, a SEND MULTI or a pick under way goes on after
  // the close: what was not sent is not sent. Only the host's sound-offs
  // still queued go, so that no note it ended keeps sounding, and the
  // editor's own (sustain off, notes off, controllers reset) on every
  // channel it passed a note on: a host that removes the plug-in while it
  // plays ends none of them.
  midiSendThread->sendQueuedSoundOffs();
  for (int channel = 0; channel < 16; ++channel) {
    if (!(soundingChannels.load() & (1u << channel))) continue;
    const auto status = static_cast<uint8_t>(0xB0 | channel);
    for (const uint8_t controller : {uint8_t{64}, uint8_t{123}, uint8_t{121}}) {
      IMidiMsg end(0, status, controller, 0);
      SendMidiMsg(&end);
    }
  }
  midiSendThread.reset();
  midiMessageManager.reset();
  patchManager.reset();
  // This instance's hold on the shared images goes before the manager.
  if (uiConfigManager) uiConfigManager->ClearImageCache();
  uiConfigManager.reset();
}

const ValueLists* Tarnivex::displayValueLists() const {
  return uiConfigManager ? &uiConfigManager->valueLists.get() : nullptr;
}

void Tarnivex::showParamName(const char* text) {
  mFailureShown = false;
  mLoadWordHeld = false;  // a control moved: the user acts
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug(text);
}

void Tarnivex::showParamValue(const char* text) {
  std::lock_guard<std::mutex> lock(mStatusMutex);
  mLossShown = false;
  if (paramValueDisplay) paramValueDisplay->SetTextFromPlug(text);
}
