// The layer tree at start-up: the configured layers the editor switches
// later, the progress overlay, the bank selection lists and the librarian
// menu layers.
#include <cstring>

#include "BankListNames.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IControls.h"
#include "ICustomRadioButtonsControl.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
enum class StartState { kShown, kUnchanged, kHidden };

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

struct MenuRow {
  int id;
  const char* name;
  LibrarianMenuControl::Role role;
  int left, top, right, bottom;
};

constexpr MenuRow kMenuRows[] = {
    {70, "UPPERPOPUPMENU", LibrarianMenuControl::kLeftPatch, 394, 188, 810, 207},
    {71, "LOWERPOPUPMENU", LibrarianMenuControl::kRightPatch, 394, 461, 810, 480},
    {72, "LeftPerformancePopupMenu", LibrarianMenuControl::kLeftPerf, 394, 188, 810, 207},
    {73, "RightPerformancePopupMenu", LibrarianMenuControl::kRightPerf, 394, 461, 810, 480},
    {74, "BANKEDITMENU", LibrarianMenuControl::kBankEdit, 839, 187, 916, 205},
    {75, "RightPatchPopupMenu", LibrarianMenuControl::kRightCategory, 394, 461, 810, 480},
    {76, "PROGRAMNUMBERMENU", LibrarianMenuControl::kProgramNumber, 1184, 60, 1229, 84},
    {77, "BANKNUMBERMENUPROGRAMS", LibrarianMenuControl::kBankNumber, 1142, 60, 1180, 84},
    {78, "RightSearchPopupMenu", LibrarianMenuControl::kRightSearch, 394, 461, 810, 480},
    {79, "PERFBANKNAMEMENUPROGRAMS", LibrarianMenuControl::kPerfBankName, 1142, 60, 1180, 84},
    {80, "PROGBANKNAMEMENUPROGRAMS", LibrarianMenuControl::kProgBankName, 1142, 60, 1180, 84},
};
static_assert(std::size(kMenuRows) == LibrarianMenuControl::kRoleCount);

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
    control->SetValueFromUserInput(param->GetNormalized(plainValue));
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
  IBitmap overlay = gui->LoadIBitmap(122, "resources/img/Tarnivex-progress-overlay.png", 1.0, 1, false);
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
      const auto bank = patchLibrarian->bankAt(list, i);
      fileNames.push_back(bank ? bank->fileName : std::string());
      folders.push_back(bank ? bank->folderName : std::string());
    }
  }
  param->InitEnum(name, 0, static_cast<int>(fileNames.size()), "", "", -1, -1);
  std::vector<std::pair<std::string, std::string>> renamed;
  const std::vector<std::string> texts = bankListDisplayNames(fileNames, &renamed);
  for (size_t i = 0; i < texts.size(); ++i) setParamDisplayText(listParam, static_cast<int>(i), texts[i]);
  for (const auto& [file, shown] : renamed)
    debugLog("PATCH LIBRARIAN: Filename " + file + " RENAMED TO " + shown +
             " Because the filename was too long to fit in plug-in display!");
  selectionListControls[static_cast<size_t>(pane)] = firstControlOf(listParam);
  paneFirstEntryText[static_cast<size_t>(pane)] = texts.empty() ? std::string() : texts.front();
  const int selected = param->Int();
  if (!folders.empty() && selected >= 0 && selected < static_cast<int>(folders.size()))
    paneFolderName[static_cast<size_t>(pane)] = folders[static_cast<size_t>(selected)];
}

void Tarnivex::buildLibrarianMenuLayer(int row) {
  const MenuRow& r = kMenuRows[row];
  const double scale = mUIScale;
  auto scaled = [scale](int v) { return static_cast<int>(v * scale); };
  auto layer = std::make_unique<ControlLayer>(r.id, r.name);
  auto control = std::make_unique<LibrarianMenuControl>(this, r.role, scaled(r.left), scaled(r.top),
                                                        scaled(r.right), scaled(r.bottom));
  menuControls[static_cast<size_t>(row)] = control.get();
  layer->AttachControl(std::move(control));
  ControlLayer* attached = attachLayer(std::move(layer));
  attached->Hide(true);
  menuLayers[static_cast<size_t>(row)] = attached;
  pageLayers[r.name] = attached;
}
