// The layer tree at start-up: the configured layers the editor switches
// later, the progress overlay, the bank selection lists and the librarian
// menu layers.
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BankListNames.h"
#include "DisplayNames.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IControls.h"
#include "ICustomRadioButtonsControl.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "LibrarianMenuLayers.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
enum class StartState { kShown, kUnchanged, kHidden };

// A bank list's names as display texts, shared with the other instances that
// show the same list: a library of a thousand banks has a thousand names in
// each of two lists. A list is the same when its texts are, as far as a
// display text holds them.
std::shared_ptr<const IParam::DisplayTextList> sharedBankTexts(const std::vector<std::string>& texts) {
  static std::mutex mutex;
  static std::vector<std::weak_ptr<const IParam::DisplayTextList>> recent;
  const auto same = [&](const IParam::DisplayTextList& list) {
    if (list.size() != texts.size()) return false;
    for (size_t i = 0; i < texts.size(); ++i)
      if (std::strncmp(list[i].mText, texts[i].c_str(), MAX_PARAM_DISPLAY_TEXT - 1) != 0) return false;
    return true;
  };
  std::lock_guard<std::mutex> lock(mutex);
  std::erase_if(recent, [](const auto& kept) { return kept.expired(); });
  for (const auto& kept : recent)
    if (auto list = kept.lock(); list && same(*list)) return list;
  auto list = IParam::MakeDisplayTexts(texts);
  recent.push_back(list);
  return list;
}

struct LayerRow {
  const char* name;
  int references;
  StartState state;
};

// The configured layers, in the order they are fetched.
constexpr LayerRow kConfiguredLayers[] = {
    {"root", 1, StartState::kShown},
    {"oscillators", 4, StartState::kUnchanged},
    {"filtersEnvelopes", 5, StartState::kUnchanged},
    {"lfoModMatrix", 3, StartState::kUnchanged},
    {"effectsArp", 2, StartState::kUnchanged},
    {"delayFreeLayer", 1, StartState::kUnchanged},
    {"delayClockedLayer", 1, StartState::kUnchanged},
    {"miniMixer", 1, StartState::kUnchanged},
    {"patchLibrarian", 1, StartState::kUnchanged},
    {"multiModeSettingsPage1", 1, StartState::kShown},
    {"multiModeSettingsPage2", 1, StartState::kHidden},
    {"effect1Overlayer", 1, StartState::kHidden},
    {"effect2Overlayer", 1, StartState::kHidden},
    {"filter1LP", 1, StartState::kHidden},
    {"filter1BP", 1, StartState::kHidden},
    {"filter1HP", 1, StartState::kHidden},
    {"filter1Notch", 1, StartState::kHidden},
    {"filter1CombMinus", 1, StartState::kHidden},
    {"filter1CombPlus", 1, StartState::kHidden},
    {"filter2LP", 1, StartState::kHidden},
    {"filter2BP", 1, StartState::kHidden},
    {"filter2HP", 1, StartState::kHidden},
    {"filter2Notch", 1, StartState::kHidden},
    {"filter2CombMinus", 1, StartState::kHidden},
    {"filter2CombPlus", 1, StartState::kHidden},
};

constexpr LayerRow kLaterLayers[] = {
    {"saveChangesLayer", 1, StartState::kHidden},
    {"discardChangesLayerRight", 1, StartState::kHidden},
    {"keepBankOpenLayer", 1, StartState::kHidden},
    {"aboutWindow", 1, StartState::kHidden},
    {"firstRunNotification", 1, StartState::kHidden},
    {"bankPatchConflictWindow", 1, StartState::kHidden},
    {"midiFilterSettings", 1, StartState::kHidden},
};

constexpr const char* kSearchLayers[] = {"patchRename", "categoryLimit", "searchField"};

constexpr int kEditorWidth = 1500;
constexpr int kEditorHeight = 757;
}  // namespace

void Tarnivex::showLayer(const std::string& name, bool show) {
  if (ControlLayer* layer = namedLayer(name)) layer->Hide(!show);
}

ControlAction* Tarnivex::actionOf(int paramIdx) const {
  const IParam* param = GetParam(paramIdx);
  return param ? static_cast<ControlAction*>(param->GetControlAction()) : nullptr;
}

IControl* Tarnivex::firstControlOf(int paramIdx) const {
  const ControlAction* action = actionOf(paramIdx);
  return action && !action->controls.empty() ? action->controls.front() : nullptr;
}

void Tarnivex::setThroughUserPath(int paramIdx, double plainValue) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  if (IControl* control = firstControlOf(paramIdx)) {
    // The plug-in's own change, not the user's: the host is not told of it
    // (a user's change that led here has told it already).
    const bool userChanged = TakeStateChangedByUser();
    control->SetValueFromUserInput(param->GetNormalized(plainValue));
    TakeStateChangedByUser();
    if (userChanged) NoteStateChangedByUser();
    return;
  }
  const double before = param->Value();
  param->Set(plainValue);
  if (param->Value() != before) OnParamChange(paramIdx);
}

ControlLayer* Tarnivex::attachLayer(std::unique_ptr<ControlLayer> layer) {
  ControlLayer* raw = layer.get();
  GetGUI()->AttachLayer(std::move(layer));
  return raw;
}

void Tarnivex::fetchConfiguredLayers() {
  if (!uiConfigManager) return;
  auto fetch = [this](const LayerRow& row) {
    const auto it = uiConfigManager->layerMap.find(row.name);
    ControlLayer* layer = it == uiConfigManager->layerMap.end() ? nullptr : it->second;
    if (!layer) {
      debugLog(std::string("CONFIG READER: layer ") + row.name + " missing");
      return;
    }
    pageLayers[row.name] = layer;
    if (row.state != StartState::kUnchanged) layer->Hide(row.state == StartState::kHidden);
  };
  for (const LayerRow& row : kConfiguredLayers) fetch(row);
  // The sixteen part layers are fetched first, then set in number order.
  for (int n = 1; n <= 16; ++n) {
    char name[32];
    std::snprintf(name, sizeof(name), "bankAndProgram%02d", n);
    fetch({name, 1, StartState::kUnchanged});
  }
  fetch({"bankAndProgramMulti", 1, StartState::kUnchanged});
  for (int n = 1; n <= 16; ++n) {
    char name[32];
    std::snprintf(name, sizeof(name), "bankAndProgram%02d", n);
    showLayer(name, n == 1);
  }
  showLayer("bankAndProgramMulti", false);
  for (const LayerRow& row : kLaterLayers) fetch(row);
  for (const char* name : kSearchLayers) fetch({name, 1, StartState::kUnchanged});
  conflictLayer = namedLayer("bankPatchConflictWindow");
  firstRunLayer = namedLayer("firstRunNotification");
  midiFilterLayer = namedLayer("midiFilterSettings");
  miniMixerLayer = namedLayer("miniMixer");
}

void Tarnivex::hideSearchLayersAtStartup() {
  for (const char* name : kSearchLayers) showLayer(name, false);
}

void Tarnivex::buildProgressLayer() {
  IGraphics* gui = GetGUI();
  if (!gui || !uiConfigManager) return;
  pendingProgressLayer = std::make_unique<ControlLayer>(0, "PROGRESS");
  ControlLayer* layer = pendingProgressLayer.get();
  IBitmap overlay = uiConfigManager->getImageHandleByName(gui, "PROGRESS_INDICATOR_ID");
  const int width = static_cast<int>(kEditorWidth * mUIScale);
  const int height = static_cast<int>(kEditorHeight * mUIScale);
  // The indicator appends itself to the layer, which owns it from then on.
  progressIndicator = new ProgressIndicator(layer, this, 0, 0, width, height, -1, &overlay, IRECT(0, 0, width, height));
  // The two cancel buttons: on the librarian page and on every other page.
  auto makeCancel = [&](int x, int y) {
    return uiConfigManager->createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, x, y,
                                                       "BUTTON_LIB_CANCEL_ID", 0, layer, "Global");
  };
  libraryCancelButton = makeCancel(835, 457);
  editorCancelSwitch = makeCancel(740, 83);
  progressIndicator->Hide(true);
  layer->Hide(true);
}

void Tarnivex::attachProgressLayer() {
  if (!pendingProgressLayer) return;
  progressLayer = attachLayer(std::move(pendingProgressLayer));
  pageLayers["PROGRESS"] = progressLayer;
}

void Tarnivex::buildBankSelectionList(int listParam, const char* name, int pane) {
  IParam* param = GetParam(listParam);
  std::vector<std::string> fileNames;
  std::vector<std::string> folders;
  if (patchLibrarian) {
    const int list = patchLibrarian->librarianMode == 1 ? kMultiList : kSoundList;
    const int count = patchLibrarian->bankCount(list);
    for (int i = 0; i < count; ++i) {
      const auto bank = patchLibrarian->bankHeaderAt(list, i);
      fileNames.push_back(bank ? bank->fileName : std::string());
      folders.push_back(bank ? bank->folderName : std::string());
    }
  }
  param->InitEnum(name, 0, static_cast<int>(fileNames.size()), "", "", -1, -1);
  std::vector<std::pair<std::string, std::string>> renamed;
  const std::vector<std::string> texts = bankListDisplayNames(fileNames, &renamed);
  setParamDisplayTexts(listParam, sharedBankTexts(texts));
  for (const auto& [file, shown] : renamed)
    debugLog(renameLogLine(file, shown));
  (pane == 0 ? browse.upperSelectionListControl : browse.lowerSelectionListControl) = firstControlOf(listParam);
  // The pane opens on its first bank until the user picks another.
  const int selected = param->Int();
  if (selected >= 0 && selected < static_cast<int>(fileNames.size())) {
    std::lock_guard<std::mutex> names(browse.namesMutex);
    (pane == 0 ? browse.upperPatchFile : browse.lowerPatchFile) = fileNames[static_cast<size_t>(selected)];
    (pane == 0 ? browse.upperPatchFolder : browse.lowerPatchFolder) = folders[static_cast<size_t>(selected)];
  }
}

void Tarnivex::attachLibrarianMenuLayers() {
  if (!librarianBrowser) return;
  // The menus draw nothing: the librarian page draws their faces. Hung
  // under that page, they take no click while another page shows.
  ControlLayer* page = namedLayer("patchLibrarian");
  size_t row = 0;
  for (auto& layer : makeLibrarianMenuLayers(this, *librarianBrowser, mUIScale)) {
    const std::string name = layer->GetName();
    ControlLayer* attached = page ? page->AttachLayer(std::move(layer)) : attachLayer(std::move(layer));
    if (row < menuLayers.size()) menuLayers[row++] = attached;
    pageLayers[name] = attached;
  }
}

void Tarnivex::ensureLibrarianView() {
  if (!librarianBrowser || librarianBrowser->view || !GetGUI()) return;
  // Where the document's librarian page puts it.
  IBitmap panes = uiConfigManager ? uiConfigManager->getImageHandleByName(GetGUI(), "MANAGER_BG_ID2") : IBitmap();
  const int x = static_cast<int>(70 * mUIScale), y = static_cast<int>(64 * mUIScale);
  auto view = std::make_unique<LibrarianViewControl>(this, librarianBrowser.get(), x, y, kLibrarianArea, &panes,
                                                     IRECT(x, y, x + panes.W, y + panes.H), mUIScale);
  librarianBrowser->view = view.get();
  if (ControlLayer* page = namedLayer("patchLibrarian"))
    page->AttachControl(std::move(view));
  else
    GetGUI()->AttachControl(view.release());
}
