// Every index of the parameter list, sorted: a setting or command the user
// changes is reached by a control of the built window or by an entry of a
// librarian menu; everything else is state the editor keeps for itself, and
// the row says why. The test fails when the built window lacks a control the
// table names, or shows a control for what the table calls the editor's own.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "IControls.h"
#include "IGraphics.h"
#include "IPopupMenu.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
enum class Reach {
  kControl,   // every index of the row has a control in the window
  kDisplay,   // a text display the editor writes into
  kMenu,      // an entry of a librarian menu (the row names its text)
  kInternal,  // the editor's own state: no control
  kUnsent,    // an instrument setting no message carries: a control could change nothing
};

struct Row {
  int first, last;
  Reach reach;
  const char* where;  // the control or menu entry, or why there is none
};

constexpr int kPart = 16;
constexpr int last(int base) { return base + kPart - 1; }

// In index order, each index exactly once.
constexpr Row kTable[] = {
    {0, kNumAutomatedParams - 1, Reach::kControl, "sound knobs, menus and buttons of the part pages, every part"},
    {kPatchFileDialog, kPatchFileDialog, Reach::kInternal, "counts the sound block; nothing reads it as a value"},
    {kArpPattern, 4736, Reach::kControl, "arpeggiator and effect-type controls of the FX ARP page, every part"},
    {4737, 4752, Reach::kInternal, "unnamed"},
    {kFX251DelayRearSRV, last(kEffect1Mode), Reach::kControl, "5.1 delay controls and the effect 1 type menu"},
    {kEffect1Param01, last(kEffect1Param14), Reach::kInternal,
     "numbered effect 1 slots, mirrored from the effect type's own controls"},
    {kEffect2Mode, last(kEffect2Mode), Reach::kControl, "effect 2 type menu"},
    {kEffect2Param01, last(kEffect2Param14), Reach::kInternal,
     "numbered effect 2 slots, mirrored from the effect type's own controls"},
    {kOscillator1PWMSource, last(kOscillator2SubLevel), Reach::kControl, "oscillator sources and modes, OSC page"},
    {kNoiseExtSelect, last(kNoiseF12Feed), Reach::kUnsent, "not in the sound dump, and no parameter message addresses them"},
    {kFilter1ModSource, last(kMultiPartVeloHigh), Reach::kControl,
     "sources, modes, matrix and modifiers of the part pages; part settings of the MULTI page"},
    {kGlobalInitSound1, kGlobalStartMode, Reach::kUnsent,
     "start-up sounds and mode: not in the global dump, and no parameter message addresses them"},
    {kGlobalKeyVeloCurve, kGlobalDisplayContrast, Reach::kControl, "GLOBAL SETTINGS page"},
    {kMultiMasterVolume, kMultiControlZ, Reach::kControl, "GLOBAL SETTINGS page, multi row"},
    {kOverrideTempo, kOverrideTempo, Reach::kControl, "HOST TEMPO switch beside the multi tempo"},
    {kOverrideSettings, kOverrideSettings, Reach::kInternal, "no command reads it"},
    {kBankSelection, kPatchSelection, Reach::kInternal, "selections the project state keeps"},
    {kMultiName, kMultiName, Reach::kControl, "multi name field of the header (multi mode)"},
    {kPatchName, last(kPatchName), Reach::kControl, "part name field of the header"},
    {kCategoryName, last(kCategoryName), Reach::kControl, "category field under the part name in the header"},
    {kQModel, kQModel, Reach::kInternal, "instrument model, set at start-up and by the project restore"},
    {kDeviceID_old, kDeviceID_old, Reach::kInternal, "the device ID before the last change"},
    {kModWheel, last(kContr16), Reach::kInternal, "controller values received for each part"},
    {kNoiseExtFilter1Source, last(kNoiseExtFilter2Source), Reach::kControl, "FILT 1/2 INPUT menus, OSC page mixer"},
    {kTuneMode, last(kTuneMode), Reach::kUnsent, "no message carries it and no command reads it"},
    {kPartLock, last(kPartLock), Reach::kControl, "LOCK row of the MULTI page"},
    {kSectionLockOsc1, last(kSectionLockMod4), Reach::kControl, "lock in each section's title, every part"},
    {kSectionLockGlobal, kSectionLockGlobal, Reach::kInternal, "no command or the randomiser reads it"},
    {kGlobalFX2Link, kGlobalFX2Link, Reach::kControl, "FX2 LINK menu, GLOBAL SETTINGS page"},
    {kGlobalLabelTime, kGlobalLabelTime, Reach::kUnsent, "no message carries it"},
    {kCurrentBank, last(kCurrentPatchBank), Reach::kInternal, "per-part copies of the bank and program chosen"},
    {kLibUpperPreviousBank, kLibLowerNextBank, Reach::kControl, "arrows beside the two bank names of the LIBRARY page"},
    {kMasterKeyboard, kMasterKeyboard, Reach::kControl, "MASTER KEYBOARD in the MIDI filter window"},
    {kUserInterfaceSize, kUserInterfaceStyle, Reach::kControl, "EDITOR SIZE and COLOUR SCHEME, GLOBAL SETTINGS page"},
    {kKeepSelectedBank, kKeepSelectedBank, Reach::kControl, "MEM (keep bank) button of the LIBRARY page"},
    {kFX2DelaySyncedLength, last(kFX2DelaySyncedLength), Reach::kControl, "LENGTH menu of the delay"},
    {kFilterLinkSwitch, last(kFilterLinkSwitch), Reach::kControl, "LINK ON switch, FILTER page"},
    {8688, 8688, Reach::kInternal, "unnamed"},
    {kMIDIFilterDAWCCPassThrough, kMIDIFilterToDAWBuffer, Reach::kControl, "MIDI filter window"},
    {kSendMIDIClockPointer, kSendMIDIClockInfo, Reach::kControl, "SEND SONG POSITION and SEND CLOCK, MIDI window"},
    {kMultiBank, kMultiPatch, Reach::kControl, "multi bank and program menus of the header (multi mode)"},
    {kControlProgBank, kControlProgBank, Reach::kControl, "STEP SYNTH switch, LIBRARY page"},
    {kTempoInformation, kTempoInformation, Reach::kInternal, "the clock command reads the host tempo through it"},
    {kFilterLinkValue, last(kFilterLinkValue), Reach::kControl, "LINK knob, FILTER page"},
    {kSustainPedal, last(kSustainPedal), Reach::kInternal, "pedal values received for each part"},
    {kTriggerProgControl, kTriggerProgControl, Reach::kInternal, "toggles kControlProgBank, which has its switch"},
    {kOverwriteBank, kOverwriteBank, Reach::kControl, "OVERWRITE button, LIBRARY page"},
    {kPatchSearchString, kPatchSearch, Reach::kControl, "SEARCH button and the search field, LIBRARY page"},
    {kCurrentOpenPatchBankL, kCurrentOpenPerfBankR, Reach::kInternal, "per-part copies of the panes' banks"},
    {kFirstRunExit, kFirstRunExit, Reach::kControl, "OK of the welcome box and of the conflict window"},
    {kAdjustDAWOffset, kAdjustDAWOffset, Reach::kControl, "HOST OFFSET knob, MIDI window"},
    {kCategorySelection, kCategorySelection, Reach::kControl, "CATEGORIES switch, LIBRARY page"},
    {kViewMIDIFilterSettings, kViewMIDIFilterSettings, Reach::kControl, "MIDI FILTERS AND CLOCK button and CLOSE"},
    {kDeviceOutSelection, kDeviceInSelection, Reach::kControl, "port menus of the header"},
    {kFilterLinkTrigger, last(kFilterLinkTrigger), Reach::kInternal, "toggles the filter link, which has its switch"},
    {kDisplayAboutWindow, kDisplayAboutWindow, Reach::kControl, "ABOUT button, GLOBAL SETTINGS page"},
    {kExitAboutWindow, kExitAboutWindow, Reach::kControl, "CLOSE of the about box"},
    {8806, 8807, Reach::kInternal, "unnamed"},
    {kTriggerGlobalArpMidiOut, kTriggerGlobalLocalKBDControl, Reach::kInternal,
     "toggle ARP SEND and LOCAL, which have their buttons"},
    {kControlDisplayBuild, kControlDisplayBuild, Reach::kInternal, "version text written at start-up"},
    {kMIDILed, last(kMIDILed), Reach::kInternal, "activity lights the MIDI paths set"},
    {kTriggerFX2DelayClocked, last(kTriggerArpPatternReset), Reach::kInternal,
     "toggles of switches that have their own buttons"},
    {kTriggerFilterRouting, last(kFilterRoutingParallel), Reach::kInternal,
     "routing shown as parallel or serial; the instrument's routing is the ROUTING knob"},
    {kLibSyncTimer, kLibSyncTimer, Reach::kControl, "MIDI PACING menu, GLOBAL SETTINGS page"},
    {kRequestFromBank, kRequestFromBank, Reach::kInternal, "no command reads it"},
    {kPatchUp, last(kPatchDown), Reach::kControl, "program arrows of the header, every part"},
    {kControlLibrary, kControlLibrary, Reach::kControl, "STEP LIBRARY switch, LIBRARY page"},
    {kControlDisplayName, kControlDisplayCC, Reach::kDisplay, "name and value display of the header"},
    {kControlDisplayCategory, kControlDisplayCategory, Reach::kDisplay, "category display of the header"},
    {kBankEditUnsaved, kBankEditUnsaved, Reach::kInternal, "set while the edited bank has unsaved changes"},
    {kControlDisplayPatch, kControlDisplayPatch, Reach::kInternal, "the header's part name field shows the name"},
    {kPushArrangement, kPushArrangement, Reach::kControl, "SEND MULTI TO SYNTH, MULTI page"},
    {kTriggerMidiFromSynth, kTriggerMidiFromDaw, Reach::kInternal, "no command reads them"},
    {kDiscardBankData, kDiscardBankData, Reach::kControl, "DISCARD, LIBRARY page while the bank is edited"},
    {kRequestTempData, kRequestTempData, Reach::kControl, "GET MULTI FROM SYNTH, MULTI page"},
    {kDisableMIDIFromSynth, kDisableMIDIFromSynth, Reach::kInternal, "no command reads it"},
    {kControlDisplayMIDIOutDelay, kControlDisplayMIDIOutDelay, Reach::kInternal, "no display shows it"},
    {kMultiSettings, kMultiSettings, Reach::kControl, "MORE SETTINGS button, MULTI page"},
    {kPatchRename, kPatchRename, Reach::kControl, "name field of the rename box"},
    {kDatatype, kDatatype, Reach::kControl, "SOUNDS/MULTIS button, LIBRARY page"},
    {kRefreshFolders, kRefreshFolders, Reach::kMenu, "Refresh Folders"},
    {kPatchSelectionListUpper, kPatchSelectionListLower, Reach::kControl, "bank names over the two panes"},
    {kCancelDataRequest, kCancelDataRequest, Reach::kControl, "CANCEL buttons of the progress overlay"},
    {kRandomize, kMainTab, Reach::kControl, "RAND button and the page tabs"},
    {kTriggerLibControl, kTriggerLibControl, Reach::kInternal, "toggles kControlLibrary, which has its switch"},
    {kQuickTab, kQuickTab, Reach::kControl, "part selectors"},
    {kCategoryRename, kCategoryRename, Reach::kInternal, "no command reads it"},
    {kLibrarianArea, kLibrarianArea, Reach::kControl, "the two panes of the LIBRARY page"},
    {kDebugParts, kDebugParts, Reach::kInternal, "names the last index"},
};

// Every control the window holds, top level and in every layer, by parameter.
void collect(const ControlLayer& layer, std::multimap<int, const IControl*>& out) {
  for (const auto& control : layer.controls()) out.emplace(control->ParamIdx(), control.get());
  for (const auto& sub : layer.subLayers()) collect(*sub, out);
}

std::multimap<int, const IControl*> controlsByParameter(IGraphics& g) {
  std::multimap<int, const IControl*> out;
  for (int i = 0; i < g.NControls(); ++i) out.emplace(g.GetControl(i)->ParamIdx(), g.GetControl(i));
  for (int i = 0; i < g.NLayers(); ++i) collect(*g.GetLayer(i), out);
  return out;
}

bool menuHolds(IPopupMenu& menu, const char* text) {
  for (int i = 0; i < menu.GetNItems(); ++i)
    if (const IPopupMenuItem* item = menu.GetItem(i); item && item->GetText() && std::strcmp(item->GetText(), text) == 0)
      return true;
  return false;
}

class ParameterReach : public ::testing::Test {
 protected:
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  Tarnivex& plug = *logged.plug;
  IGraphics& g = *plug.GetGUI();
};

TEST_F(ParameterReach, TheTableSortsEveryIndexOnce) {
  int next = 0;
  for (const Row& row : kTable) {
    EXPECT_EQ(row.first, next) << row.where;
    EXPECT_LE(row.first, row.last) << row.where;
    next = row.last + 1;
  }
  EXPECT_EQ(next, kDebugParts + 1);
}

TEST_F(ParameterReach, TheWindowHasAControlForEverySettingAndCommandAndNoneForTheEditorsOwnState) {
  const auto controls = controlsByParameter(g);
  std::vector<std::string> missing, unexpected;
  for (const Row& row : kTable)
    for (int idx = row.first; idx <= row.last; ++idx) {
      const bool hasControl = controls.count(idx) > 0;
      const auto* action = static_cast<const ControlAction*>(plug.GetParam(idx)->GetControlAction());
      const bool hasDisplay = action && !action->controls.empty();
      const std::string what = std::to_string(idx) + " (" + row.where + ")";
      switch (row.reach) {
        case Reach::kControl:
          if (!hasControl) missing.push_back(what);
          break;
        case Reach::kDisplay:
          if (!hasDisplay) missing.push_back(what);
          break;
        case Reach::kMenu:
          if (!menuHolds(plug.librarianBrowser->bankEditMenu->mainMenu(), row.where)) missing.push_back(what);
          break;
        case Reach::kInternal:
        case Reach::kUnsent:
          if (hasControl) unexpected.push_back(what);
          break;
      }
    }
  EXPECT_EQ(missing, std::vector<std::string>{});
  EXPECT_EQ(unexpected, std::vector<std::string>{});
}

// A control "inside" a layer is one the layer holds at any depth.
bool holds(const ControlLayer& layer, int paramIdx) {
  for (const auto& control : layer.controls())
    if (control->ParamIdx() == paramIdx) return true;
  for (const auto& sub : layer.subLayers())
    if (holds(*sub, paramIdx)) return true;
  return false;
}

TEST_F(ParameterReach, ControlsDoWhatTheirCommandsAre) {
  const auto controls = controlsByParameter(g);
  auto only = [&](int idx) -> const IControl* {
    auto range = controls.equal_range(idx);
    return range.first == range.second ? nullptr : range.first->second;
  };
  auto layer = [&](const char* name) -> const ControlLayer& { return *plug.uiConfigManager->layerMap.at(name); };

  // The size and scheme menus offer the three values in the order the
  // commands read them.
  const IParam* size = plug.GetParam(kUserInterfaceSize);
  ASSERT_EQ(size->GetNDisplayTexts(), 3);
  EXPECT_STREQ(size->GetDisplayText(0), "Small");
  EXPECT_STREQ(size->GetDisplayText(2), "Large");
  const IParam* scheme = plug.GetParam(kUserInterfaceStyle);
  ASSERT_EQ(scheme->GetNDisplayTexts(), 3);
  EXPECT_STREQ(scheme->GetDisplayText(1), "Blue");
  EXPECT_STREQ(scheme->GetDisplayText(2), "Phoenix");
  // The pacing menu names the pause each value gives.
  const IParam* pacing = plug.GetParam(kLibSyncTimer);
  const char* const pauses[] = {"50 ms", "75 ms", "100 ms", "150 ms", "200 ms", "300 ms", "400 ms", "500 ms"};
  ASSERT_EQ(pacing->GetNDisplayTexts(), 8);
  for (int v = 0; v < 8; ++v) EXPECT_STREQ(pacing->GetDisplayText(v), pauses[v]);

  // Commands that act on the value 1 are momentary buttons, so each press
  // acts once; settings that stay on are switches.
  for (int idx : std::initializer_list<int>{kPatchUp, kPatchUp + 15, kPatchDown + 7, kLibUpperPreviousBank, kLibLowerNextBank, kFirstRunExit,
                  kDisplayAboutWindow, kExitAboutWindow, kDiscardBankData, kOverwriteBank, kPushArrangement,
                  kRequestTempData, kRandomize})
    EXPECT_NE(dynamic_cast<const IContactControl*>(only(idx)), nullptr) << idx;
  for (int idx : std::initializer_list<int>{kPartLock + 3, kSectionLockOsc1, kSectionLockArp + 15, kSectionLockM8S + 9, kKeepSelectedBank,
                  kControlLibrary, kControlProgBank, kOverrideTempo, kMasterKeyboard, kSendMIDIClockInfo,
                  kCategorySelection, kDatatype}) {
    const IControl* c = only(idx);
    ASSERT_NE(c, nullptr) << idx;
    EXPECT_EQ(dynamic_cast<const IContactControl*>(c), nullptr) << idx;
    EXPECT_NE(dynamic_cast<const ISwitchControl*>(c), nullptr) << idx;
  }

  // Each overlay holds what closes it; what opens it lies outside.
  EXPECT_TRUE(holds(layer("firstRunNotification"), kFirstRunExit));
  EXPECT_TRUE(holds(layer("bankPatchConflictWindow"), kFirstRunExit));
  EXPECT_TRUE(holds(layer("aboutWindow"), kExitAboutWindow));
  EXPECT_FALSE(holds(layer("aboutWindow"), kDisplayAboutWindow));
  EXPECT_TRUE(holds(layer("midiFilterSettings"), kViewMIDIFilterSettings));
  EXPECT_EQ(controls.count(kViewMIDIFilterSettings), 2u);
  EXPECT_TRUE(holds(layer("searchField"), kPatchSearch));
  EXPECT_TRUE(holds(layer("discardChangesLayerRight"), kDiscardBankData));
  EXPECT_TRUE(holds(layer("keepBankOpenLayer"), kKeepSelectedBank));
  EXPECT_TRUE(holds(layer("saveChangesLayer"), kOverwriteBank));
  // The section locks sit in each part's copy of its page.
  EXPECT_TRUE(holds(*plug.uiConfigManager->layerMap.at("oscillatorsPart4"), kSectionLockOsc1 + 4));
  EXPECT_TRUE(holds(*plug.uiConfigManager->layerMap.at("lfoModMatrixPart15"), kSectionLockM8S + 15));
}
}  // namespace
