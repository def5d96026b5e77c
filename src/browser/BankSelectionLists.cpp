// The bank selection lists: parameters whose values are positions in one of
// the library's bank lists and whose display texts name the bank files.
#include <string>
#include <vector>

#include "DisplayNames.h"
#include "FolderMenuControl.h"
#include "IControl.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
struct ListTable {
  int bankList;
  std::vector<int> emptied;
  std::vector<int> filled;
};

std::vector<int> perPart(std::vector<int> head, bool withUpper) {
  for (int part = 0; part < 16; ++part) {
    if (withUpper) head.push_back(kCurrentOpenPatchBankL + part);
    head.push_back(kCurrentOpenPatchBankR + part);
  }
  return head;
}

// The lists each list type empties and fills; null for a type that has none.
const ListTable* tableFor(int listType) {
  static const ListTable single{kSoundList,
                                [] {
                                  auto lists = perPart({kPatchSelectionListUpper, kPatchSelectionListLower}, true);
                                  lists.push_back(kCurrentOpenPerfBankL);
                                  lists.push_back(kCurrentOpenPerfBankR);
                                  return lists;
                                }(),
                                perPart({kPatchSelectionListUpper, kPatchSelectionListLower}, true)};
  static const auto generated = [](int list) {
    auto emptied = perPart({kPatchSelectionListLower}, false);
    emptied.push_back(kCurrentOpenPerfBankL);
    emptied.push_back(kCurrentOpenPerfBankR);
    return ListTable{list, emptied, perPart({kPatchSelectionListLower}, false)};
  };
  static const ListTable category = generated(kCategoryList);
  static const ListTable search = generated(kSearchList);
  static const ListTable multi{
      kMultiList,
      {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPerfBankL, kCurrentOpenPerfBankR},
      {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPerfBankL, kCurrentOpenPerfBankR}};
  switch (listType) {
    case kSingleBanks: return &single;
    case kCategoryBanks: return &category;
    case kMultiBanks: return &multi;
    case kSearchBanks: return &search;
    default: return nullptr;
  }
}

// The lists that name sound banks while the lower pane lists categories or
// search results: the upper pane's, and each part's upper bank.
std::vector<int> upperSoundLists() {
  std::vector<int> upper{kPatchSelectionListUpper};
  for (int part = 0; part < 16; ++part) upper.push_back(kCurrentOpenPatchBankL + part);
  return upper;
}

std::vector<std::string> fileNamesOf(PatchLibrarian* librarian, int list) {
  std::vector<std::string> names;
  if (!librarian) return names;
  auto lock = librarian->lock();
  const int count = librarian->bankCount(list);
  for (int i = 0; i < count; ++i)
    if (auto bank = librarian->bankHeaderAt(list, i)) names.push_back(bank->fileName);
  return names;
}
}  // namespace

void LibrarianBrowser::patchTypeChanged(int patchType, int listType, bool reload) {
  PatchLibrarian* librarian = mHost->librarian();
  // A folder kept busy by another process: the library and the panes stay
  // as they were, and the window says so.
  if (reload && librarian && !librarian->initBankFilesOnDiscard(mHost->getPatchesFolderStr())) return;
  if (librarian) {
    librarian->librarianMode = patchType;
    librarian->upperBank = 0;
    librarian->lowerBank = 0;
  }
  reloadPanes();
  const ListTable* table = tableFor(listType);
  if (!table) return;
  const std::vector<std::string> names = fileNamesOf(librarian, table->bankList);
  for (int index : table->emptied) {
    mHost->resetParamDisplayTexts(index);
    if (IParam* param = mHost->paramAt(index)) param->Set(0.0);
  }
  BrowseState& state = mHost->browseState();
  if (state.upperSelectionListControl) state.upperSelectionListControl->SetValueFromUserInput(0.0);
  if (state.lowerSelectionListControl) state.lowerSelectionListControl->SetValueFromUserInput(0.0);
  setDisplayNames(names, table->filled);
  // The upper pane lists the sound banks whatever the lower one lists: its
  // name over them is never one of another kind's.
  if (table->bankList == kCategoryList || table->bankList == kSearchList) {
    const std::vector<int> upper = upperSoundLists();
    for (int index : upper) mHost->resetParamDisplayTexts(index);
    if (IParam* param = mHost->paramAt(kPatchSelectionListUpper)) param->Set(0.0);
    setDisplayNames(fileNamesOf(librarian, kSoundList), upper);
  }
  refreshPopUpMenus();
}

void LibrarianBrowser::fillListNames(int listType) {
  if (const ListTable* table = tableFor(listType))
    setDisplayNames(fileNamesOf(mHost->librarian(), table->bankList), table->filled);
}

void LibrarianBrowser::setDisplayNames(const std::vector<std::string>& names, const std::vector<int>& lists) {
  // Thousands of banks and some thirty lists: the names are made once, and
  // every list is handed the same texts.
  DisplayNamer namer;
  std::vector<std::string> shown;
  shown.reserve(names.size());
  for (const std::string& name : names) {
    bool shortened = false;
    shown.push_back(namer.next(name, &shortened));
    if (shortened) mHost->debugLog(renameLogLine(name, shown.back()));
  }
  if (shown.empty()) return;
  const auto texts = IParam::MakeDisplayTexts(shown);
  for (int index : lists) mHost->setParamDisplayTexts(index, texts);
}

void LibrarianBrowser::showBanksAsListed() {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  const bool multi = mHost->multiMode();
  // The lower pane's category and search lists name no bank files.
  const bool lowerFiles = multi || lowerListType() == kSingleBanks;
  if (lowerFiles)
    fillListNames(multi ? kMultiBanks : kSingleBanks);
  else
    setDisplayNames(fileNamesOf(librarian, kSoundList), upperSoundLists());
  BrowseState& state = mHost->browseState();
  std::string upperFile, upperFolder, lowerFile, lowerFolder;
  {
    std::lock_guard<std::mutex> names(state.namesMutex);
    upperFile = multi ? state.upperPerfFile : state.upperPatchFile;
    upperFolder = multi ? state.upperPerfFolder : state.upperPatchFolder;
    lowerFile = multi ? state.lowerPerfFile : state.lowerPatchFile;
    lowerFolder = multi ? state.lowerPerfFolder : state.lowerPatchFolder;
  }
  for (FolderMenuControl* menu : {paneFolderMenu(0), multi ? perfBankNameMenu : progBankNameMenu})
    if (menu) menu->refreshFolderStructure(librarian->upperBank, upperFile, upperFolder);
  if (FolderMenuControl* menu = lowerFiles ? paneFolderMenu(1) : nullptr)
    menu->refreshFolderStructure(librarian->lowerBank, lowerFile, lowerFolder);
  reloadPanes();
}

void LibrarianBrowser::ResetPatchSelectionMenus() {
  const bool multi = mHost->multiMode();
  const std::vector<std::string> names = fileNamesOf(mHost->librarian(), multi ? kMultiList : kSoundList);
  const std::vector<int> filled = multi ? std::vector<int>{kPatchSelectionListUpper, kPatchSelectionListLower,
                                                           kCurrentOpenPerfBankL, kCurrentOpenPerfBankR}
                                        : perPart({kPatchSelectionListUpper, kPatchSelectionListLower}, true);
  setDisplayNames(names, filled);
  reloadPanes();
}
