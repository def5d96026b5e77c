// What the librarian does when one of its parameters changes: the data type,
// category browsing, the search, the folder refresh, the pane step buttons,
// the two menu modes and a committed rename.
#include <algorithm>
#include <string>

#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "PaneBanks.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SysExFormat.h"

namespace {
constexpr int kNameLength = 16;
constexpr int kSoundNameAt = 370;
constexpr int kMultiNameAt = 23;

double valueOf(LibrarianHost& host, int index) {
  const IParam* param = host.paramAt(index);
  return param ? param->Value() : 0.0;
}
}  // namespace

int LibrarianBrowser::lowerListType() const {
  const BrowseState& state = mHost->browseState();
  return state.categoryBrowsing ? kCategoryBanks : state.searchActive ? kSearchBanks : kSingleBanks;
}

void LibrarianBrowser::refreshFolders() {
  if (mHost->multiMode())
    patchTypeChanged(1, kMultiBanks, true);
  else
    patchTypeChanged(0, lowerListType(), true);
}

void LibrarianBrowser::showLowerMenuLayer() {
  const BrowseState& state = mHost->browseState();
  const bool multi = mHost->multiMode();
  mHost->hideLayer("LOWERPOPUPMENU", multi || state.categoryBrowsing || state.searchActive);
  mHost->hideLayer("RightPatchPopupMenu", multi || !state.categoryBrowsing);
  mHost->hideLayer("RightSearchPopupMenu", multi || state.categoryBrowsing || !state.searchActive);
}

bool LibrarianBrowser::OnParamChange(int paramIdx) {
  BrowseState& state = mHost->browseState();
  const double value = valueOf(*mHost, paramIdx);
  switch (paramIdx) {
    case kDatatype:
      mHost->setMultiMode(value == 1.0);
      if (value == 1.0)
        patchTypeChanged(1, kMultiBanks, false);
      else
        patchTypeChanged(0, lowerListType(), false);
      if (bankEditMenu) bankEditMenu->AddMenuItemsIn();
      return true;
    case kRefreshFolders:
      // Any value: the discard of an edited bank asks with whatever it holds.
      refreshFolders();
      return true;
    case kCategorySelection:
      state.categoryBrowsing = value > 0.0;
      showLowerMenuLayer();
      patchTypeChanged(0, state.categoryBrowsing ? kCategoryBanks : kSingleBanks, false);
      return true;
    case kPatchSearch:
      if (value == 1.0) return true;
      closeSearch();
      return true;
    case kPatchSearchString: {
      const IParam* param = mHost->paramAt(kPatchSearchString);
      const char* shown = param ? param->GetDisplayText(0) : nullptr;
      const std::string text = shown ? shown : "";
      PatchLibrarian* librarian = mHost->librarian();
      if (text.empty()) {
        closeSearch();
        return true;
      }
      if (text.size() < 2 || !librarian) {
        mHost->setParamDisplayText(kPatchSearchString, 0, "search...");
        return true;
      }
      if (!state.searchActive) {
        mHost->setParamDisplayText(kPatchSearchString, 0, text);
        state.searchActive = true;
        showLowerMenuLayer();
      }
      librarian->createNewSearchPatchFiles(text);
      if (librarian->bankCount(kSearchList) == 0) {
        mHost->setParamDisplayText(kPatchSearchString, 0, "search...");
        return true;
      }
      patchTypeChanged(0, kSearchBanks, false);
      showLowerMenuLayer();
      return true;
    }
    case kLibUpperPreviousBank:
    case kLibUpperNextBank:
      if (value == 1.0 && valueOf(*mHost, kBankEditUnsaved) != 1.0) stepPane(0, paramIdx == kLibUpperNextBank ? 1 : -1);
      return true;
    case kLibLowerPreviousBank:
    case kLibLowerNextBank:
      if (value == 1.0) stepPane(1, paramIdx == kLibLowerNextBank ? 1 : -1);
      return true;
    case kControlLibrary:
    case kControlProgBank: {
      const bool library = paramIdx == kControlLibrary;
      const bool on = value == 1.0;
      if (library)
        mHost->setLibraryControl(on);
      else
        state.progBankControl = on;
      if (on) {
        if (library)
          state.progBankControl = false;
        else
          mHost->setLibraryControl(false);
        mHost->setParameterFromPlug(library ? kControlProgBank : kControlLibrary, 0.0, false);
      }
      updateBankAndProgramMenuNames(false);
      return true;
    }
    case kPatchRename: commitRename(); return true;
    default: return false;
  }
}

void LibrarianBrowser::closeSearch() {
  mHost->browseState().searchActive = false;
  if (PatchLibrarian* librarian = mHost->librarian()) librarian->closeSearch();
  mHost->setParamDisplayText(kPatchSearchString, 0, "search...");
  showLowerMenuLayer();
  // With multis shown both panes list multis again, not the sound banks.
  if (mHost->multiMode())
    patchTypeChanged(1, kMultiBanks, false);
  else
    patchTypeChanged(0, kSingleBanks, false);
}

// Notes the file and folder of the bank a pane now shows: a reload puts the
// pane back on that file, and a Save writes to it.
std::pair<std::string, std::string> LibrarianBrowser::notePaneFile(int pane) {
  std::string file, folder;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return {file, folder};
  BrowseState& state = mHost->browseState();
  {
    auto lock = librarian->lock();
    if (const auto bank = paneBank(*librarian, state, pane)) {
      file = bank->fileName;
      folder = bank->folderName;
    }
  }
  const bool multi = mHost->multiMode();
  std::lock_guard<std::mutex> names(state.namesMutex);
  if (pane == 0) {
    (multi ? state.upperPerfFile : state.upperPatchFile) = file;
    (multi ? state.upperPerfFolder : state.upperPatchFolder) = folder;
  } else {
    (multi ? state.lowerPerfFile : state.lowerPatchFile) = file;
    (multi ? state.lowerPerfFolder : state.lowerPatchFolder) = folder;
  }
  return {file, folder};
}

FolderMenuControl* LibrarianBrowser::paneFolderMenu(int pane) const {
  const BrowseState& state = mHost->browseState();
  const bool multi = mHost->multiMode();
  return pane == 0                ? (multi ? leftPerfMenu : leftPatchMenu)
         : multi                  ? rightPerfMenu
         : state.categoryBrowsing ? categoryMenu
         : state.searchActive     ? searchMenu
                                  : rightPatchMenu;
}

// Moves a pane one bank on, wrapping at the ends of its selection list, and
// rebuilds the pane's menu on the new bank.
void LibrarianBrowser::stepPane(int pane, int step) {
  const int parameter = pane == 0 ? kPatchSelectionListUpper : kPatchSelectionListLower;
  IParam* param = mHost->paramAt(parameter);
  PatchLibrarian* librarian = mHost->librarian();
  if (!param || !librarian) return;
  const int maximum = static_cast<int>(param->GetMax());
  int index = param->Int() + step;
  if (index < 0) index = maximum;
  if (index > maximum) index = 0;
  param->Set(index);
  BrowseState& state = mHost->browseState();
  if (IControl* list = pane == 0 ? state.upperSelectionListControl : state.lowerSelectionListControl)
    list->SetValueFromPlug(index);
  (pane == 0 ? librarian->upperBank : librarian->lowerBank) = index;
  // The part remembers the sound bank each pane had open.
  if (!mHost->multiMode())
    if (IParam* open = mHost->paramAt((pane == 0 ? kCurrentOpenPatchBankL : kCurrentOpenPatchBankR) + mHost->currentPart()))
      open->Set(index);
  const auto [file, folder] = notePaneFile(pane);
  if (FolderMenuControl* menu = paneFolderMenu(pane)) menu->refreshFolderStructure(index, file, folder);
  if (view) {
    if (pane == 0)
      view->patchSelectionUpperChanged();
    else
      view->patchSelectionLowerChanged();
  }
  if (pane == 0) updateBankAndProgramMenuNames(false);
}

// The new name goes into a copy of the slot's dump, which takes the
// receive path like a paste; a click or key on the slot view first cancels.
bool LibrarianBrowser::commitRename() {
  BrowseState& state = mHost->browseState();
  if (state.bankEditFlag) {
    mHost->hideLayer("patchRename", true);
    mHost->showStatus("Rename cancelled", "");
    return false;
  }
  PatchLibrarian* librarian = mHost->librarian();
  const int slot = view ? view->selectedUpper : -1;
  std::vector<unsigned char> dump;
  std::string refusal = "The slot holds no sound";
  {
    auto lock = librarian ? librarian->lock() : std::unique_lock<std::recursive_mutex>();
    const auto bank = librarian ? paneBankForEdit(*librarian, state, 0) : nullptr;
    if (bank && slot >= 0 && slot < kPatchesPerBank) {
      if (bank->patches.size() < static_cast<size_t>(kPatchesPerBank)) bank->holdAt(kPatchesPerBank);
      LibrarianPatch& entry = bank->patches[static_cast<size_t>(slot)];
      const IParam* param = mHost->paramAt(kPatchRename);
      const char* edited = param ? param->GetDisplayText(param->Int()) : nullptr;
      std::string name = edited ? edited : "";
      name = name.substr(0, std::min(name.find('\0'), static_cast<size_t>(kNameLength)));
      // Only printable ASCII may travel inside SysEx.
      for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = ' ';
      const bool multi = librarian->librarianMode == 1;
      const size_t at = multi ? kMultiNameAt : kSoundNameAt;
      // Only a whole dump has a name field to write into.
      const size_t whole = static_cast<size_t>(multi ? kMultiDumpSize : kSoundDumpSize);
      // A dump cut short in its file would be made whole with made-up bytes.
      if (!entry.whole()) {
        refusal = kNotAWholeDump;
      } else if (!entry.dumps.empty() && entry.dumps[0].bytes.size() >= whole && entry.dumps[0].bytes[0] == kSysExStart) {
        entry.name = name;
        dump = entry.dumps[0].bytes;
        name.resize(kNameLength, ' ');
        std::copy(name.begin(), name.end(), dump.begin() + static_cast<long>(at));
        dump[dump.size() - 2] = dumpChecksum(dump);
      }
    }
  }
  if (!dump.empty()) {
    mHost->SetLibrarianRequestActive(true);
    ISysEx message(0, dump.data(), static_cast<int>(dump.size()));
    mHost->ProcessSysEx(&message, true);
    mHost->SetLibrarianRequestActive(false);
    mHost->SetLibrarianStatusUnsaved(true);
    mHost->setParameterFromPlug(kBankEditUnsaved, 1.0, false);
  } else {
    mHost->showStatus("Rename refused", refusal);
  }
  mHost->hideLayer("patchRename", true);
  state.bankEditFlag = true;
  return !dump.empty();
}
