// What the editor shows of its own work: the processing overlay with its
// cancel controls, the arming of librarian replies, the unsaved-bank state,
// the header texts, and the refresh of the librarian menus and slot view.
#include <algorithm>
#include <cstdio>

#include "BankListNames.h"
#include "ControlLayer.h"
#include "DataFolder.h"
#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"

namespace {
using Role = LibrarianMenuControl::Role;

// Index of the menu of each role among the eleven menu layers.
int menuRow(Role role) { return static_cast<int>(role); }

// The selection-list parameters a bank list fills, by list type.
std::vector<int> listsFilled(int listType) {
  std::vector<int> params;
  if (listType == 0 || listType == 2) params = {kPatchSelectionListUpper, kPatchSelectionListLower};
  if (listType == 1 || listType == 4) params = {kPatchSelectionListLower};
  if (listType == 0)
    for (int p = 0; p < 16; ++p) {
      params.push_back(kCurrentOpenPatchBankL + p);
      params.push_back(kCurrentOpenPatchBankR + p);
    }
  if (listType == 1 || listType == 4)
    for (int p = 0; p < 16; ++p) params.push_back(kCurrentOpenPatchBankR + p);
  if (listType == 2) params.insert(params.end(), {kCurrentOpenPerfBankL, kCurrentOpenPerfBankR});
  return params;
}

std::vector<int> listsEmptied(int listType) {
  std::vector<int> params = listsFilled(listType);
  if (listType != 2) params.insert(params.end(), {kCurrentOpenPerfBankL, kCurrentOpenPerfBankR});
  return params;
}

int bankListOf(int listType) {
  switch (listType) {
    case 1: return kCategoryList;
    case 2: return kMultiList;
    case 4: return kSearchList;
    default: return kSoundList;
  }
}
}  // namespace

int Tarnivex::mainTabIndex() const { return GetParam(kMainTab)->Int(); }

void Tarnivex::DisplayProcessingIndicator(bool on) {
  const bool librarianPage = GetParam(kMainTab)->Value() == 1.0;
  if (on) {
    processing = true;
    if (progressIndicator) progressIndicator->Hide(false);
    if (progressLayer) progressLayer->Hide(false);
    if (libraryCancelButton) libraryCancelButton->Hide(true);
    if (editorCancelSwitch) editorCancelSwitch->Hide(true);
    if (!librarianPage) {
      if (editorCancelSwitch) editorCancelSwitch->Hide(false);
    } else {
      if (libraryCancelButton) libraryCancelButton->Hide(false);
      showLayer("categoryLimit", false);
      showLayer("searchField", false);
      if (patchSearchControl) patchSearchControl->GrayOut(true);
    }
    return;
  }
  processing = false;
  stateRestore = false;
  editorBusy = false;
  if (progressIndicator) progressIndicator->Hide(true);
  if (progressLayer) progressLayer->Hide(true);
  if (libraryCancelButton) libraryCancelButton->Hide(true);
  if (editorCancelSwitch) editorCancelSwitch->Hide(true);
  if (midiMessageManager) midiMessageManager->dumpExpected = false;
  if (librarianPage && !multiMode) {
    const bool searching = GetParam(kPatchSearch)->Value() == 1.0;
    showLayer(searching ? "searchField" : "categoryLimit", true);
    if (patchSearchControl) patchSearchControl->GrayOut(false);
  }
  notesSilenced = false;
}

void Tarnivex::SetLibrarianRequestActive(bool libraryRequest) {
  if (!midiMessageManager) return;
  MIDIMessageManager& manager = *midiMessageManager;
  if (libraryRequest) {
    manager.dumpExpected = false;
    LibraryRequest& armed = multiMode ? static_cast<LibraryRequest&>(manager.performanceRequest)
                                      : static_cast<LibraryRequest&>(manager.patchRequest);
    LibraryRequest& other = multiMode ? static_cast<LibraryRequest&>(manager.patchRequest)
                                      : static_cast<LibraryRequest&>(manager.performanceRequest);
    other.disarm();
    armed.arm();
  } else {
    manager.dumpExpected = true;
    manager.patchRequest.disarm();
    manager.performanceRequest.disarm();
  }
  replyReceived = false;
  manager.replyAccepted = false;
}

void Tarnivex::SetLibrarianStatusUnsaved(bool unsaved) {
  if (!unsaved) return;
  if (midiMessageManager) {
    midiMessageManager->dumpExpected = false;
    midiMessageManager->patchRequest.disarm();
    midiMessageManager->performanceRequest.disarm();
  }
  for (auto [index, value] : {std::pair{kBankEditUnsaved, 1.0}, std::pair{kDiscardBankData, 0.0}}) {
    IParam* param = GetParam(index);
    param->Set(std::clamp(value, param->GetMin(), param->GetMax()));
  }
  showLayer("discardChangesLayerRight", true);
  showLayer("keepBankOpenLayer", false);
  if (datatypeControl) datatypeControl->GrayOut(true);
  showLayer(multiMode ? "LeftPerformancePopupMenu" : "UPPERPOPUPMENU", false);
  showParamName("Data received to slot(s)");
}

void Tarnivex::displayText(std::string name, std::string value, std::string cc) {
  showParamName(name.c_str());
  showParamValue(value.c_str());
  showCCText(cc.c_str());
}

void Tarnivex::displayPatchName(std::string text) {
  if (patchNameDisplay) patchNameDisplay->SetTextFromPlug(text.c_str());
}

void Tarnivex::displayCategoryName(std::string text) {
  if (categoryNameDisplay) categoryNameDisplay->SetTextFromPlug(text.c_str());
}

void Tarnivex::displayBuild(std::string text) {
  if (buildDisplay) buildDisplay->SetTextFromPlug(text.c_str());
}

void Tarnivex::setLibrarianViewDirty() { librarianViewRefresh = true; }

void Tarnivex::updatePatchLibrarianView(int which) {
  if (which < 0 || which > 2) return;
  // The slot view reads the selected banks afresh on its next redraw.
  librarianViewRefresh = true;
}

const char* Tarnivex::getPanelString(int part, std::string text) {
  mPanelString = "Part " + std::to_string(part + 1) + " " + text;
  return mPanelString.c_str();
}

std::string Tarnivex::getValueString(double value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.0f", value);
  return text;
}

void Tarnivex::refreshPopUpMenus() {
  auto rebuild = [this](Role role, int names) {
    if (LibrarianMenuControl* control = menu(menuRow(role)))
      control->refreshFolderStructure(menuFolderNames[static_cast<size_t>(names)],
                                      menuBankNames[static_cast<size_t>(names)]);
  };
  if (multiMode) {
    rebuild(LibrarianMenuControl::kLeftPerf, 2);
    rebuild(LibrarianMenuControl::kRightPerf, 3);
  } else {
    rebuild(LibrarianMenuControl::kLeftPatch, 0);
    if (categoryView) rebuild(LibrarianMenuControl::kRightCategory, 1);
    else if (searchView) rebuild(LibrarianMenuControl::kRightSearch, 1);
    else rebuild(LibrarianMenuControl::kRightPatch, 1);
  }
  updatePatchLibrarianView(2);
}

void Tarnivex::updateBankAndProgramMenuNames(bool programOnly) {
  for (const char* name : {"BANKNUMBERMENUPROGRAMS", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"})
    showLayer(name, false);
  const int bank = multiMode ? GetParam(kMultiBank)->Int() : GetParam(kMultiPartBank + currentPart)->Int();
  const int program = multiMode ? GetParam(kMultiPatch)->Int() : GetParam(kMultiPartPatch + currentPart)->Int();
  LibrarianMenuControl* programMenu = menu(menuRow(LibrarianMenuControl::kProgramNumber));
  if (libraryControl) {
    showLayer(multiMode ? "PERFBANKNAMEMENUPROGRAMS" : "PROGBANKNAMEMENUPROGRAMS", true);
    librarianViewSelection = program;
    if (patchLibrarian) {
      patchLibrarian->targetSlot = program;
      patchLibrarian->mSelectedLowerSlot = program;
    }
    if (programMenu) programMenu->refreshNames(program);
    if (!programOnly)
      if (LibrarianMenuControl* bankMenu = menu(menuRow(multiMode ? LibrarianMenuControl::kPerfBankName
                                                                 : LibrarianMenuControl::kProgBankName)))
        bankMenu->refreshNames(bank);
    return;
  }
  if (programMenu) programMenu->refreshNames(program);
  if (LibrarianMenuControl* bankMenu = menu(menuRow(LibrarianMenuControl::kBankNumber))) bankMenu->refreshNames(bank);
  showLayer("BANKNUMBERMENUPROGRAMS", true);
}

void Tarnivex::patchTypeChanged(int type, int view, bool reload) {
  if (!patchLibrarian) return;
  if (reload) patchLibrarian->initBankFilesOnDiscard(getPatchesFolderStr());
  patchLibrarian->librarianMode = type;
  patchLibrarian->upperBank = 0;
  patchLibrarian->lowerBank = 0;
  updatePatchLibrarianView(2);
  if (view != 0 && view != 1 && view != 2 && view != 4) return;

  for (int index : listsEmptied(view)) {
    IParam* param = GetParam(index);
    {
      std::lock_guard<std::mutex> lock(mDisplayTextMutex);
      param->ResetDisplayTexts();
    }
    const double zero = param->GetMin() > 0.0 ? param->GetMin() : std::min(param->GetMax(), 0.0);
    param->Set(zero);
  }
  for (IControl* list : selectionListControls)
    if (list) list->SetValueFromUserInput(0.0);

  std::vector<std::string> names;
  const int list = bankListOf(view);
  const int count = patchLibrarian->bankCount(list);
  for (int i = 0; i < count; ++i) {
    const auto bank = patchLibrarian->bankAt(list, i);
    names.push_back(bank ? bank->fileName : std::string());
  }
  std::vector<std::pair<std::string, std::string>> renamed;
  const std::vector<std::string> texts = bankListDisplayNames(names, &renamed);
  const std::vector<int> filled = listsFilled(view);
  for (size_t i = 0; i < texts.size(); ++i)
    for (int index : filled) setParamDisplayText(index, static_cast<int>(i), texts[i]);
  for (const auto& [file, shown] : renamed)
    debugLog("PATCH LIBRARIAN: Filename " + file + " RENAMED TO " + shown +
             " Because the filename was too long to fit in plug-in display!");
  refreshPopUpMenus();
}
