// The two parameter-change handlers: edits from the user, the host and the
// editor itself, and values that came from the instrument (never sent back).
#include <algorithm>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IGraphics.h"
#include "LinkManager.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "TabSwitchFunctions.h"
#include "Tarnivex.h"

namespace {
// Per-part parameters that only take whole numbers; their value picks a page.
constexpr int kWholeNumberBlocks[] = {kOscillator1Shape, kOscillator2Shape, kOscillator3Shape,
                                      kFilter1Type,      kFilter2Type,      kFilterEnvMode,
                                      kAmpEnvMode,       kEnvelope3Mode,    kEnvelope4Mode};

enum class AfterToggle { kNothing, kDelayPage, kPartPage, kLocalControl, kLibraryControl };

struct Toggle {
  int button;
  int target;
  int span;  // 16 for a per-part block: button + p toggles target + p
  AfterToggle after;
};

constexpr Toggle kToggles[] = {
    {kTriggerFX2DelayClocked, kFX2DelayClocked, 16, AfterToggle::kDelayPage},
    {kTriggerFX2DelayPolarity, kFX2DelayPolarity, 16, AfterToggle::kNothing},
    {kTriggerFX2DelayAutoPan, kFX2DelayAutoPan, 16, AfterToggle::kNothing},
    {kTriggerFX2FlangerPolarity, kFX2FlangerPolarity, 16, AfterToggle::kNothing},
    {kTriggerFX2PhaserPolarity, kFX2PhaserPolarity, 16, AfterToggle::kNothing},
    {kTriggerFX1FlangerPolarity, kFX1FlangerPolarity, 16, AfterToggle::kNothing},
    {kTriggerFX1PhaserPolarity, kFX1PhaserPolarity, 16, AfterToggle::kNothing},
    {kTriggerOscillator2SyncToOsc3, kOscillator2SyncToOsc3, 16, AfterToggle::kNothing},
    {kTriggerOscillatorGlideOnOffSwitch, kOscillatorGlideOnOffSwitch, 16, AfterToggle::kNothing},
    {kTriggerOscillatorMonoPolyMode, kOscillatorMonoPolyMode, 16, AfterToggle::kNothing},
    {kTriggerFilterEnvTrigger, kFilterEnvTrigger, 16, AfterToggle::kNothing},
    {kTriggerAmpEnvTrigger, kAmpEnvTrigger, 16, AfterToggle::kNothing},
    {kTriggerEnv3Trigger, kEnv3Trigger, 16, AfterToggle::kNothing},
    {kTriggerEnv4Trigger, kEnv4Trigger, 16, AfterToggle::kNothing},
    {kTriggerArpNoteOverlap, kArpSameNoteOverlap, 16, AfterToggle::kNothing},
    {kTriggerArpPatternReset, kArpPatternReset, 16, AfterToggle::kNothing},
    {kTriggerLFO1SyncOnOff, kLFO1SyncOnOff, 16, AfterToggle::kNothing},
    {kTriggerLFO2SyncOnOff, kLFO2SyncOnOff, 16, AfterToggle::kNothing},
    {kTriggerLFO3SyncOnOff, kLFO3SyncOnOff, 16, AfterToggle::kNothing},
    {kTriggerLFO1Clock, kLFO1Clock, 16, AfterToggle::kPartPage},
    {kTriggerLFO2Clock, kLFO2Clock, 16, AfterToggle::kPartPage},
    {kTriggerLFO3Clock, kLFO3Clock, 16, AfterToggle::kPartPage},
    {kTriggerGlobalArpMidiOut, kGlobalArpSend, 1, AfterToggle::kNothing},
    {kTriggerGlobalLocalKBDControl, kGlobalLocalControl, 1, AfterToggle::kLocalControl},
    {kTriggerLibControl, kControlLibrary, 1, AfterToggle::kLibraryControl},
};

// Buttons whose release (value 0) does nothing at all.
constexpr int kReleaseIgnoredBlocks[] = {kTriggerFilterRouting, kFilterLinkTrigger};

bool inBlock(int base, int span, int idx) { return idx >= base && idx < base + span; }

const Toggle* findToggle(int idx) {
  for (const Toggle& toggle : kToggles)
    if (inBlock(toggle.button, toggle.span, idx)) return &toggle;
  return nullptr;
}

bool releaseIgnored(int idx) {
  if (idx == kTriggerProgControl || findToggle(idx)) return true;
  return std::any_of(std::begin(kReleaseIgnoredBlocks), std::end(kReleaseIgnoredBlocks),
                     [idx](int base) { return inBlock(base, kParamBlockSpan, idx); });
}

// Stores value clamped to the parameter's range; returns what was stored.
double storeClamped(IParam* param, double value) {
  param->Set(std::clamp(value, param->GetMin(), param->GetMax()));
  return param->Value();
}
}  // namespace

void Tarnivex::applyLayerSelection(ControlAction* action, int intValue) {
  ControlLayer* layer = action->selectorLayer;
  if (!layer) return;
  layer->selectedNumber = intValue;
  for (const auto& sub : layer->subLayers()) sub->Hide(sub->GetID() != intValue);
}

bool Tarnivex::runToggle(int paramIdx, int intValue) {
  if (intValue == 0 && releaseIgnored(paramIdx)) return false;
  if (const Toggle* toggle = findToggle(paramIdx)) {
    const int target = toggle->target + (paramIdx - toggle->button);
    IParam* targetParam = GetParam(target);
    if (!targetParam) return true;
    const double value = storeClamped(targetParam, targetParam->Value() == 1.0 ? 0.0 : 1.0);
    if (toggle->after == AfterToggle::kLocalControl) localControl = value == 1.0;
    if (toggle->after == AfterToggle::kLibraryControl) libraryControl = value == 1.0;
    OnParamChange(target);
    if (GetGUI()) GetGUI()->SetParameterFromPlug(target, value, false);
    if (toggle->after == AfterToggle::kDelayPage && tabSwitchFunctions)
      tabSwitchFunctions->mainTabSwitch(this, kMainTab, 5, modelNumber, currentPart);
    if (toggle->after == AfterToggle::kPartPage && tabSwitchFunctions)
      tabSwitchFunctions->quickTabSwitch(this, kQuickTab, currentPart, modelNumber, false);
    return true;
  }
  if (inBlock(kTriggerFilterRouting, kParamBlockSpan, paramIdx)) {
    const int part = paramIdx - kTriggerFilterRouting;
    IParam* parallel = GetParam(kFilterRoutingParallel + part);
    IParam* serial = GetParam(kFilterRoutingSerial + part);
    const bool toParallel = parallel->Value() == 0.0;
    const double parallelValue = storeClamped(parallel, toParallel ? 1.0 : 0.0);
    const double serialValue = storeClamped(serial, toParallel ? 0.0 : 1.0);
    if (GetGUI()) GetGUI()->SetParameterFromPlug(kFilterRoutingParallel + part, parallelValue, false);
    OnParamChange(kFilterRoutingSerial + part);
    if (GetGUI()) GetGUI()->SetParameterFromPlug(kFilterRoutingSerial + part, serialValue, false);
  }
  return true;
}

void Tarnivex::OnParamChange(int paramIdx) {
  WDL_MutexLock lock(&mMutex);
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double value = param->Value();
  const int intValue = static_cast<int>(value);
  auto* action = static_cast<ControlAction*>(param->GetControlAction());
  if (runMidiSettingsCommand(paramIdx, value)) return;

  const bool wholeNumber = std::any_of(std::begin(kWholeNumberBlocks), std::end(kWholeNumberBlocks),
                                       [paramIdx](int base) { return inBlock(base, kParamBlockSpan, paramIdx); });
  if (wholeNumber) {
    storeClamped(param, intValue);
    if (tabSwitchFunctions) tabSwitchFunctions->quickTabSwitch(this, kQuickTab, currentPart, modelNumber, false);
  } else if (!runToggle(paramIdx, intValue)) {
    return;
  }
  if (inBlock(kFilterLinkTrigger, kParamBlockSpan, paramIdx)) {
    const int part = paramIdx - kFilterLinkTrigger;
    const bool linked = GetParam(kFilterLinkSwitch + part)->Value() == 1.0;
    const int mode = linked ? 1 : 3;
    setParameterFromPlug(kFilterLinkValue + part, mode, false);
    filterLinkModes[static_cast<size_t>(part)] = mode;
    const double switched = storeClamped(GetParam(kFilterLinkSwitch + part), linked ? 0.0 : 1.0);
    OnParamChange(kFilterLinkSwitch + part);
    setParameterFromPlug(kFilterLinkSwitch + part, switched, false);
    return;
  }
  if (runEarlyCommand(paramIdx, value)) return;

  if (GetGUI()) controlDisplay.controlDisplay(this, paramIdx, value, resetPending);
  if (runCommand(paramIdx, value)) return;

  int layerValue = intValue;
  if (inBlock(kFilterLinkSwitch, kParamBlockSpan, paramIdx)) {
    layerValue = intValue == 1 ? 3 : filterLinkModes[static_cast<size_t>(currentPart.load())].load();
    if (!ThreadRunning()) startPartDump(currentPart, false, false);
  }
  if (!action) return;
  applyLayerSelection(action, layerValue);
  processControlAction(action, paramIdx, value);
  if (linkManager) linkManager->controlLinker(this, action, action->link, paramIdx, intValue, value);
}

void Tarnivex::OnParamChange2(int paramIdx) {
  // The editor follows a value from the instrument as a MIDI thread does:
  // it never waits for a window action's file work.
  WDL_MutexLock lock(&mMutex, true);
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  deviceEcho = true;
  const double value = param->Value();
  const int intValue = static_cast<int>(value);
  controlDisplay.controlDisplay(this, paramIdx, value, transportRunning);
  if (paramIdx == kGlobalSysExID) deviceId = intValue;
  if (paramIdx == kQuickTab && tabSwitchFunctions)
    tabSwitchFunctions->quickTabSwitch(this, kQuickTab, intValue, modelNumber, false);
  // A shape, filter type or envelope mode decides which sections of the
  // part page are active: the shown part's page follows it as it follows
  // the same change made on screen, and nothing is sent.
  const auto shownPartOf = [&](int base) { return inBlock(base, kParamBlockSpan, paramIdx) && paramIdx - base == currentPart; };
  const bool decidesSections =
      std::any_of(std::begin(kWholeNumberBlocks), std::end(kWholeNumberBlocks), shownPartOf) ||
      std::any_of(std::begin(kToggles), std::end(kToggles), [&](const Toggle& toggle) {
        return toggle.after == AfterToggle::kPartPage && shownPartOf(toggle.target);
      });
  if (decidesSections && tabSwitchFunctions) tabSwitchFunctions->quickTabSwitch(this, kQuickTab, currentPart, modelNumber, false);
  if (auto* action = static_cast<ControlAction*>(param->GetControlAction())) {
    applyLayerSelection(action, intValue);
    if (!linking) {
      // Sends nothing: the instrument has the value already.
      processControlAction(action, paramIdx, value);
      // Its linked partner moved only here, so it goes out: editor and
      // instrument agree afterwards.
      deviceEcho = false;
      if (linkManager) linkManager->controlLinker(this, action, action->link, paramIdx, intValue, value);
    }
  }
  if (midiMessageManager) midiMessageManager->dumpExpected = false;
  deviceEcho = false;
}
