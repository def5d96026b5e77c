// Keeping the librarian's menus in step: the pane menus after a change of
// list, the top bar's menus after a change of mode, part or program, and the
// slot menus a right click opens.
#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "TopBarMenus.h"

void LibrarianBrowser::refreshPopUpMenus() {
  BrowseState& state = mHost->browseState();
  auto rebuild = [&state](FolderMenuControl* menu, const std::string& file, const std::string& folder) {
    if (!menu) return;
    std::unique_lock<std::mutex> lock(state.namesMutex);
    std::string fileCopy = file, folderCopy = folder;
    lock.unlock();
    menu->refreshFolderStructure(0, fileCopy, folderCopy);
  };
  // The top bar's bank menu lists the upper pane's banks: rebuilt with its
  // menu, on every road that lists the library anew (a reload, an Import).
  if (mHost->multiMode()) {
    rebuild(leftPerfMenu, state.upperPerfFile, state.upperPerfFolder);
    rebuild(perfBankNameMenu, state.upperPerfFile, state.upperPerfFolder);
    rebuild(rightPerfMenu, state.lowerPerfFile, state.lowerPerfFolder);
  } else {
    rebuild(leftPatchMenu, state.upperPatchFile, state.upperPatchFolder);
    rebuild(progBankNameMenu, state.upperPatchFile, state.upperPatchFolder);
    FolderMenuControl* lower = state.categoryBrowsing ? categoryMenu : state.searchActive ? searchMenu : rightPatchMenu;
    rebuild(lower, state.lowerPatchFile, state.lowerPatchFolder);
  }
  reloadPanes();
}

void LibrarianBrowser::showTopBarMenus() {
  for (const char* layer : {"BANKNUMBERMENUPROGRAMS", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"})
    mHost->hideLayer(layer, true);
  // The program menu sits beside every bank menu of the top bar: shown with
  // whichever of them is shown, in both stepping modes.
  mHost->hideLayer("PROGRAMNUMBERMENU", false);
  if (!mHost->libraryControl())
    mHost->hideLayer("BANKNUMBERMENUPROGRAMS", false);
  else
    mHost->hideLayer(mHost->multiMode() ? "PERFBANKNAMEMENUPROGRAMS" : "PROGBANKNAMEMENUPROGRAMS", false);
}

void LibrarianBrowser::menuSelection(int& bank, int& program) const {
  const bool multi = mHost->multiMode();
  const int part = mHost->currentPart();
  const IParam* programParam = mHost->paramAt(multi ? int(kMultiPatch) : kMultiPartPatch + part);
  const IParam* bankParam = mHost->paramAt(multi ? int(kMultiBank) : kMultiPartBank + part);
  program = programParam ? programParam->Int() : 0;
  bank = bankParam ? bankParam->Int() : 0;
}

void LibrarianBrowser::updateBankAndProgramMenuNames(bool keepBankMenu, bool namesNow) {
  showTopBarMenus();
  int bank = 0, program = 0;
  menuSelection(bank, program);
  if (mHost->libraryControl()) {
    // The part's program is the upper slot the keys and sends start from,
    // in the upper pane; the lower pane, browsed on its own, keeps its
    // selection.
    if (view) view->takeUpperSlot(program);
    if (PatchLibrarian* librarian = mHost->librarian()) librarian->targetSlot = program;
  }
  // Listing a hundred names is most of a restore's time, and only a menu
  // popping up in an editor shows them: each menu lists its names again,
  // with its tick, as it pops up.
  if (!namesNow) return;
  if (programNumberMenu) programNumberMenu->refreshPatchNames(program);
  if (bankNumberMenu && !(mHost->libraryControl() && keepBankMenu)) bankNumberMenu->refreshPatchNames(bank);
}

void LibrarianBrowser::showFileEditMenu(int x, int y) {
  auto menu = std::make_unique<FileEditPopupMenu>(nullptr, this, IRECT(x, y, x, y));
  FileEditPopupMenu* shown = menu.get();
  mFileEditMenu = std::move(menu);
  shown->doPopupMenu(x, y);
}

void LibrarianBrowser::showFileCopyMenu(int x, int y) {
  auto menu = std::make_unique<FileCopyPopupMenu>(nullptr, this, IRECT(x, y, x, y));
  FileCopyPopupMenu* shown = menu.get();
  mFileCopyMenu = std::move(menu);
  shown->doPopupMenu(x, y);
}

void LibrarianBrowser::showPaneBank(int pane, int index) {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  if (IParam* param = mHost->paramAt(pane == 0 ? kPatchSelectionListUpper : kPatchSelectionListLower))
    param->Set(index);
  BrowseState& state = mHost->browseState();
  if (IControl* list = pane == 0 ? state.upperSelectionListControl : state.lowerSelectionListControl) {
    list->SetValueFromPlug(index);
    list->SetDirty(false);
  }
  (pane == 0 ? librarian->upperBank : librarian->lowerBank) = index;
  notePaneFile(pane);
  if (view) {
    view->SetRedraw();
    if (pane == 0)
      view->patchSelectionUpperChanged();
    else
      view->patchSelectionLowerChanged();
  }
}

void LibrarianBrowser::showLowerBank(int index) {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  const auto bank = librarian->bankHeaderAt(kCategoryList, index);
  if (!bank) return;
  {
    BrowseState& state = mHost->browseState();
    std::lock_guard<std::mutex> names(state.namesMutex);
    state.lowerPatchFile = bank->fileName;
    state.lowerPatchFolder = bank->folderName;
  }
  if (categoryMenu) categoryMenu->refreshFolderStructure(index, bank->fileName, bank->folderName);
  showPaneBank(1, index);
}
