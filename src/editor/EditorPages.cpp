// The pages the editor switches between, as the plug-in keeps them, and the
// part send that a change of the part tab starts.
#include "ControlAction.h"
#include "ControlLayer.h"
#include "ICustomRadioButtonsControl.h"
#include "IGraphics.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "RequiredPages.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
// The first control bound to a parameter: the one the editor writes into.
IControl* firstBound(Tarnivex* plug, int paramIdx) {
  const IParam* param = plug->GetParam(paramIdx);
  const auto* action = param ? static_cast<ControlAction*>(param->GetControlAction()) : nullptr;
  return action && !action->controls.empty() ? action->controls.front() : nullptr;
}
}  // namespace

void Tarnivex::attachPages() {
  if (!uiConfigManager) return;
  UIConfigManager& ui = *uiConfigManager;
  for (const std::string& name : requiredPageNames()) {
    const auto found = ui.layerMap.find(name);
    if (found != ui.layerMap.end() && found->second) pageLayers[name] = found->second;
  }
  miniMixerLayer = pageLayers["miniMixer"];
  conflictLayer = pageLayers["bankPatchConflictWindow"];
  firstRunLayer = pageLayers["firstRunNotification"];
  midiFilterLayer = pageLayers["midiFilterSettings"];
  randomizeControl = firstBound(this, kRandomize);
  paramNameDisplay = dynamic_cast<ITextControl*>(firstBound(this, kControlDisplayName));
  paramValueDisplay = dynamic_cast<ITextControl*>(firstBound(this, kControlDisplayValue));
  categoryNameDisplay = dynamic_cast<ITextControl*>(firstBound(this, kControlDisplayCategory));
  paramCCDisplay = dynamic_cast<ITextControl*>(firstBound(this, kControlDisplayCC));

  IGraphics* gui = GetGUI();
  if (!gui) return;
  auto layer = std::make_unique<ControlLayer>(0, "PROGRESS");
  IBitmap overlay = gui->LoadIBitmap(122, "resources/img/Tarnivex-progress-overlay.png", 1.0, 1, false);
  const int w = static_cast<int>(1500 * mUIScale), h = static_cast<int>(757 * mUIScale);
  // The indicator appends itself to the layer, which owns it from then on.
  progressIndicator = new ProgressIndicator(layer.get(), this, 0, 0, w, h, -1, &overlay, IRECT(0, 0, w, h));
  for (const auto& [x, y] : {std::pair{835, 457}, std::pair{740, 83}})
    cancelButtons.push_back(ui.createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, x, y,
                                                          "BUTTON_LIB_CANCEL_ID", 0, layer.get(), "Global"));
  progressLayer = layer.get();
  pageLayers["PROGRESS"] = progressLayer;
  gui->AttachLayer(std::move(layer));
}

ControlLayer* Tarnivex::namedLayer(const std::string& name) {
  const auto found = pageLayers.find(name);
  if (found != pageLayers.end() && found->second) return found->second;
  // A document without the page opens with what it has; say so once.
  if (missingLayersLogged.insert(name).second) debugLog("CONFIG READER: layer " + name + " MISSING!");
  return nullptr;
}

bool Tarnivex::ThreadRunning() const {
  return midiMessageManager && midiMessageManager->isThreadRunning(JobThread::kRequest);
}

void Tarnivex::sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  if (!midiMessageManager) return;
  MIDIMessageManager& manager = *midiMessageManager;
  sendGlobalFirst = withGlobal;
  quietSend = quiet;
  manager.busy = busy;
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = part;
  manager.startJob(job);
  if (thenMulti) {
    SenderJob multi;
    multi.jobCode = 0;
    manager.startJob(multi);
    pauseFor(400);
  }
  manager.busy = false;
}

void Tarnivex::showEffectPage(int paramIdx, int value) {
  const bool effect1 = paramIdx >= kEffect1Mode && paramIdx < kEffect1Mode + kParamBlockSpan;
  const bool effect2 = paramIdx >= kEffect2Mode && paramIdx < kEffect2Mode + kParamBlockSpan;
  ControlLayer* root = namedLayer("root");
  if ((!effect1 && !effect2) || !root || root->selectedNumber != 5) return;
  ControlLayer* page = namedLayer("effectsArp");
  const auto copyAt = [page](int position) -> ControlLayer* {
    if (!page || position < 0 || position >= static_cast<int>(page->subLayers().size())) return nullptr;
    return page->subLayers()[static_cast<size_t>(position)].get();
  };
  ControlLayer* shown = page ? copyAt(page->selectedNumber) : nullptr;
  if (effect1) {
    if (shown) shown->showMultiLayers(value + 10);
    if (shown && value == 0) shown->GrayOutCustomZone(true, 10);
    return;
  }
  for (const char* name : {"delayFreeLayer", "delayClockedLayer"})
    if (ControlLayer* delay = namedLayer(name)) delay->Hide(true);
  if (shown) shown->showMultiLayers(value + 300);
  const int link = GetParam(kGlobalFX2Link)->Int();
  const int owner = link > 0 ? link - 1 : 0;
  if (value == 0) {
    if (ControlLayer* ownerCopy = copyAt(owner)) ownerCopy->GrayOutCustomZone(true, 300);
    return;
  }
  if (value != 7 || owner > 15) return;
  ControlLayer* delay =
      namedLayer(GetParam(kFX2DelayClocked + owner)->Value() == 1.0 ? "delayClockedLayer" : "delayFreeLayer");
  if (!delay) return;
  delay->Hide(false);
  const auto& delayCopies = delay->subLayers();
  if (owner >= static_cast<int>(delayCopies.size())) return;
  ControlLayer* delayCopy = delayCopies[static_cast<size_t>(owner)].get();
  delayCopy->showMultiLayers(307);
  delayCopy->GrayOutCustomZone(owner != currentPart, 307);
}
