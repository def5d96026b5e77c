// The pages the editor switches between, as the plug-in keeps them, and the
// effect sub-pages an effect mode shows.
#include "ControlAction.h"
#include "ControlLayer.h"
#include "ICustomRadioButtonsControl.h"
#include "IGraphics.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "RequiredPages.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

ControlLayer* Tarnivex::namedLayer(const std::string& name) {
  const auto found = pageLayers.find(name);
  if (found != pageLayers.end() && found->second) return found->second;
  // A document without the page opens with what it has; say so once.
  if (missingLayersLogged.insert(name).second) debugLog("CONFIG READER: layer " + name + " MISSING!");
  return nullptr;
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
