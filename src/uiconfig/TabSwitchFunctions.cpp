#include "TabSwitchFunctions.h"

#include <cstdio>
#include <string>

#include "ControlLayer.h"
#include "IControl.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "LibrarianViewControl.h"
#include "Tarnivex.h"

namespace {
constexpr const char* kPopupMenuLayers[] = {"UPPERPOPUPMENU",           "LOWERPOPUPMENU",
                                            "LeftPerformancePopupMenu", "RightPerformancePopupMenu",
                                            "RightPatchPopupMenu",      "RightSearchPopupMenu",
                                            "BANKEDITMENU"};
constexpr const char* kFilterTypeLayers[] = {"LP", "BP", "HP", "Notch", "CombMinus", "CombPlus"};
constexpr const char* kLayersHiddenOnMainTab[] = {
    "multiModeSettingsPage1",   "multiModeSettingsPage2", "delayClockedLayer", "delayFreeLayer", "categoryLimit",
    "discardChangesLayerRight", "keepBankOpenLayer",      "saveChangesLayer",  "searchField"};

double valueOf(Tarnivex* plug, int index) {
  const IParam* param = plug->GetParam(index);
  return param ? param->Value() : 0.0;
}
int intValueOf(Tarnivex* plug, int index) { return static_cast<int>(valueOf(plug, index)); }

void hide(Tarnivex* plug, const std::string& name, bool hidden) {
  if (ControlLayer* layer = plug->namedLayer(name)) layer->Hide(hidden);
}

// Shows only the sub-layers of layer whose id is selected.
void select(ControlLayer* layer, int selected) {
  layer->selectedNumber = selected;
  for (const auto& sub : layer->subLayers()) sub->Hide(sub->GetID() != selected);
}

// Shows the part's copy of a page and hides the other parts' copies. A
// page's own sub-layers (the librarian's, ids from 91) are no part's copy
// and stay as they are.
void selectPart(ControlLayer* page, int part) {
  page->selectedNumber = part;
  for (const auto& sub : page->subLayers()) {
    const int id = sub->GetID();
    if (id >= 0 && id < 16) sub->Hide(id != part);
  }
}

// A rename box left open would take a name for whatever slot the switch
// selects, over whatever page it shows: a switch cancels it, as a click on
// the slots does.
void closeRename(Tarnivex* plug) {
  if (LibrarianViewControl* view = plug->librarianView()) view->closeRename();
}

void showMulti(ControlLayer* layer, int n) {
  if (layer) layer->showMultiLayers(n);
}

void grayRandomize(Tarnivex* plug, bool gray) {
  if (plug->randomizeControl) plug->randomizeControl->GrayOut(gray);
}

void showProgress(Tarnivex* plug, bool show) {
  if (plug->progressLayer) plug->progressLayer->Hide(!show);
  if (plug->progressIndicator) plug->progressIndicator->Hide(!show);
}

// The filter-type layer suffix of a type value; null for none.
const char* filterTypeLayer(int type) {
  if (type == 1 || type == 2 || type > 10) return "LP";
  if (type == 3 || type == 4) return "BP";
  if (type == 5 || type == 6) return "HP";
  if (type == 7 || type == 8) return "Notch";
  if (type == 9) return "CombMinus";
  if (type == 10) return "CombPlus";
  return nullptr;
}

void showFilterType(Tarnivex* plug, const std::string& prefix, int type, bool hideOthers) {
  if (hideOthers)
    for (const char* suffix : kFilterTypeLayers) hide(plug, prefix + suffix, true);
  if (const char* suffix = filterTypeLayer(type)) hide(plug, prefix + suffix, false);
}
}  // namespace

ControlLayer* TabSwitchFunctions::copyOf(ControlLayer* page) {
  if (!page) return nullptr;
  const int position = page->selectedNumber;
  const auto& subs = page->subLayers();
  if (position < 0 || position >= static_cast<int>(subs.size())) return nullptr;
  return subs[static_cast<size_t>(position)].get();
}

void TabSwitchFunctions::showBankAndProgram(Tarnivex* plug, int part) {
  if (plug->multiMode) {
    hide(plug, "bankAndProgramMulti", false);
  } else if (part >= 0 && part < 16) {
    char name[32];
    std::snprintf(name, sizeof name, "bankAndProgram%02d", part + 1);
    hide(plug, name, false);
  }
}

void TabSwitchFunctions::showTopBar(Tarnivex* plug, int part) {
  for (int p = 1; p <= 16; ++p) {
    char name[32];
    std::snprintf(name, sizeof name, "bankAndProgram%02d", p);
    hide(plug, name, true);
  }
  hide(plug, "bankAndProgramMulti", true);
  showBankAndProgram(plug, part);
  // The category beside the ports belongs to the part the top bar shows, on
  // every page.
  if (part >= 0 && part < 16) refreshNames(plug, part);
}

void TabSwitchFunctions::refreshNames(Tarnivex* plug, int part) {
  // A library job's worker writes these names while the window reads them.
  plug->displayPatchName(plug->paramDisplayText(kPatchName + part, 0));
  plug->displayCategoryName(plug->paramDisplayText(kCategoryName + part, 0));
}

void TabSwitchFunctions::mainTabSwitch(Tarnivex* plug, int, int tab, int, int part) {
  if (!plug) return;
  closeRename(plug);
  ControlLayer* root = plug->namedLayer("root");
  if (root) select(root, tab);
  hide(plug, "miniMixer", tab == 0);
  for (const char* name : kPopupMenuLayers) hide(plug, name, true);
  for (const char* suffix : kFilterTypeLayers) {
    hide(plug, std::string("filter1") + suffix, true);
    hide(plug, std::string("filter2") + suffix, true);
  }
  grayRandomize(plug, true);
  for (const char* name : kLayersHiddenOnMainTab) hide(plug, name, true);
  showTopBar(plug, part);
  if (tab == 0)
    hide(plug, valueOf(plug, kMultiSettings) == 1.0 ? "multiModeSettingsPage2" : "multiModeSettingsPage1", false);
  if (tab < 1) return;
  grayRandomize(plug, false);
  if (root && tab < static_cast<int>(root->subLayers().size()))
    selectPart(root->subLayers()[static_cast<size_t>(tab)].get(), part);
  if (tab <= 5) refreshPage(plug, tab, part, Variant::kMainTab);
}

void TabSwitchFunctions::quickTabSwitch(Tarnivex* plug, int index, int part, int, bool send) {
  if (!plug) return;
  closeRename(plug);
  const int shown = intValueOf(plug, index);
  showTopBar(plug, part);
  ControlLayer* root = plug->namedLayer("root");
  const int tab = root ? root->selectedNumber : 0;
  if (tab < 1) return;
  if (tab < static_cast<int>(root->subLayers().size())) {
    selectPart(root->subLayers()[static_cast<size_t>(tab)].get(), part);
    plug->currentPart = shown;
    if (tab <= 5) refreshPage(plug, tab, shown, Variant::kPartTab);
  }
  // The part's sound goes alone, never the multi, and only a sound the
  // editor holds: a fresh editor's defaults would overwrite the instrument's.
  if (!send)
    plug->partChangeSend = true;
  else if (part >= 0 && part < 16 && plug->partSoundHeld[static_cast<size_t>(part)])
    plug->sendHeldPartSound(part);
}

void TabSwitchFunctions::refreshPage(Tarnivex* plug, int tab, int part, Variant variant) {
  if (part < 0 || part > 15) return;
  switch (tab) {
    case 1: refreshLibrarian(plug, part, variant); break;
    case 2: refreshOscillators(plug, part); break;
    case 3: refreshFiltersEnvelopes(plug, part, variant); break;
    case 4: refreshLFOs(plug, part); break;
    case 5: refreshEffects(plug, part, variant); break;
    default: break;
  }
}

void TabSwitchFunctions::refreshLibrarian(Tarnivex* plug, int part, Variant variant) {
  const auto synchronise = [plug, part] {
    if (plug->keepSelectedBank) return;
    LibrarianViewControl* view = plug->librarianView();
    // Stepping the library or in multi mode, the highlight is what is played,
    // in the pane in use alone: written once the page is built, below.
    if (!plug->pageShowsPlayedSlotAlone()) {
      const int slot = intValueOf(plug, kMultiPartPatch + part);
      if (view) view->selectedUpper = slot;
      if (plug->patchLibrarian) plug->patchLibrarian->targetSlot = slot;
    }
    plug->setLibrarianViewDirty();
    if (view) view->patchSelectionUpperChanged();
    plug->OnParamChange(kCurrentPatchBank + part);
  };
  if (variant == Variant::kPartTab) {
    showProgress(plug, true);
    synchronise();
    showProgress(plug, false);
    plug->selectPartProgramInLibrarian(part);
    return;
  }
  const bool workerIdle = !plug->ThreadRunning();
  if (workerIdle) showProgress(plug, true);
  grayRandomize(plug, true);
  showProgress(plug, true);
  if (LibrarianViewControl* view = plug->librarianView()) view->dragEnabled = true;
  hide(plug, "BANKEDITMENU", false);
  if (plug->librarianBrowser) plug->librarianBrowser->showTopBarMenus();
  hide(plug, "keepBankOpenLayer", false);
  hide(plug, "saveChangesLayer", false);
  if (valueOf(plug, kBankEditUnsaved) == 1.0) {
    hide(plug, "discardChangesLayerRight", false);
    hide(plug, "keepBankOpenLayer", true);
  }
  synchronise();
  if (!plug->multiMode) {
    hide(plug, "categoryLimit", false);
    hide(plug, "UPPERPOPUPMENU", false);
    if (plug->browse.categoryBrowsing) {
      hide(plug, "RightPatchPopupMenu", false);
    } else if (plug->browse.searchActive) {
      hide(plug, "categoryLimit", true);
      hide(plug, "searchField", false);
      hide(plug, "RightSearchPopupMenu", false);
    } else {
      hide(plug, "LOWERPOPUPMENU", false);
    }
  } else {
    hide(plug, "LeftPerformancePopupMenu", false);
    hide(plug, "RightPerformancePopupMenu", false);
  }
  // With KEEP BANK on, entering the page leaves the banks and the highlight
  // as the user left them.
  if (!plug->keepSelectedBank) plug->selectPartProgramInLibrarian(part);
  if (workerIdle) showProgress(plug, false);
}

void TabSwitchFunctions::refreshOscillators(Tarnivex* plug, int part) {
  ControlLayer* copy = copyOf(plug->namedLayer("oscillators"));
  if (!copy) return;
  // Zones a and b belong to one oscillator: shape 1 uses only zone a,
  // shapes 2..4 neither, wave shapes from 5 both.
  const auto zones = [copy](int shape, int a, int b) {
    copy->showMultiLayers(a);
    copy->showMultiLayers(b);
    if (shape == 1) {
      copy->GrayOutCustomZone(false, a);
      copy->GrayOutCustomZone(true, b);
    } else {
      copy->GrayOutCustomZone(shape < 5, a);
      copy->GrayOutCustomZone(shape < 5, b);
    }
  };
  zones(intValueOf(plug, kOscillator1Shape + part), 10, 20);
  zones(intValueOf(plug, kOscillator2Shape + part), 30, 40);
  copy->showMultiLayers(50);
  copy->GrayOutCustomZone(valueOf(plug, kOscillator3Shape + part) != 1.0, 50);
}

void TabSwitchFunctions::refreshFiltersEnvelopes(Tarnivex* plug, int part, Variant variant) {
  if (ControlLayer* copy = copyOf(plug->namedLayer("filtersEnvelopes"))) {
    copy->showMultiLayers(10 + intValueOf(plug, kFilterEnvMode + part));
    copy->showMultiLayers(20 + intValueOf(plug, kAmpEnvMode + part));
    copy->showMultiLayers(30 + intValueOf(plug, kEnvelope3Mode + part));
    copy->showMultiLayers(40 + intValueOf(plug, kEnvelope4Mode + part));
  }
  const bool hideOthers = variant == Variant::kPartTab;
  showFilterType(plug, "filter1", intValueOf(plug, kFilter1Type + part), hideOthers);
  showFilterType(plug, "filter2", intValueOf(plug, kFilter2Type + part), hideOthers);
}

void TabSwitchFunctions::refreshLFOs(Tarnivex* plug, int part) {
  ControlLayer* copy = copyOf(plug->namedLayer("lfoModMatrix"));
  if (!copy) return;
  const int clocks[] = {kLFO1Clock, kLFO2Clock, kLFO3Clock};
  for (int i = 0; i < 3; ++i) {
    const int zone = 10 * (i + 1);
    copy->showMultiLayers(zone);
    copy->GrayOutCustomZone(valueOf(plug, clocks[i] + part) == 1.0, zone);
  }
}

void TabSwitchFunctions::refreshEffects(Tarnivex* plug, int part, Variant variant) {
  ControlLayer* page = plug->namedLayer("effectsArp");
  if (ControlLayer* copy = copyOf(page)) {
    const int mode1 = intValueOf(plug, kEffect1Mode + part);
    copy->showMultiLayers(mode1 + 10);
    copy->GrayOutCustomZone(part >= 4, mode1 + 10);
    if (mode1 == 0) copy->GrayOutCustomZone(true, 10);
  }
  const int link = intValueOf(plug, kGlobalFX2Link);
  const int owner = link == 0 ? 0 : link - 1;
  if (owner < 0 || owner > 15) return;
  const int mode2 = intValueOf(plug, kEffect2Mode + owner);
  if (variant == Variant::kPartTab) {
    hide(plug, "delayFreeLayer", true);
    hide(plug, "delayClockedLayer", true);
  }
  if (page && owner < static_cast<int>(page->subLayers().size()))
    showMulti(page->subLayers()[static_cast<size_t>(owner)].get(), mode2 + 300);
  if (mode2 != 7) return;
  ControlLayer* delay =
      plug->namedLayer(valueOf(plug, kFX2DelayClocked + owner) == 1.0 ? "delayClockedLayer" : "delayFreeLayer");
  if (!delay) return;
  delay->Hide(false);
  if (owner < static_cast<int>(delay->subLayers().size()))
    showMulti(delay->subLayers()[static_cast<size_t>(owner)].get(), 307);
}
