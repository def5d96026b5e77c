// What the plug-in asks of the librarian browser: the slot view's
// selection, pane reloads, the top bar's menus and the sends from a pane.
#include "BrowserHost.h"
#include "ControlLayer.h"
#include "DataFolder.h"
#include "IGraphics.h"
#include "IMidiMsg.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PaneBanks.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"

void Tarnivex::createLibrarianBrowser() {
  browserHost = std::make_unique<BrowserHost>(*this);
  librarianBrowser = std::make_unique<LibrarianBrowser>(browserHost.get());
}

LibrarianViewControl* Tarnivex::librarianView() const { return librarianBrowser ? librarianBrowser->view : nullptr; }

int Tarnivex::librarianActivePane() const {
  const LibrarianViewControl* view = librarianView();
  return view ? view->activePane.load() : 0;
}

int Tarnivex::librarianSelectedSlot() const {
  const LibrarianViewControl* view = librarianView();
  if (!view) return patchLibrarian ? patchLibrarian->targetSlot.load() : -1;
  return view->activePane == 0 ? view->selectedUpper : view->selectedLower;
}

void Tarnivex::setLibrarianSelectedSlot(int slot) {
  LibrarianViewControl* view = librarianView();
  // A job's selection goes to the window's thread, the view's one writer.
  if (view && MIDIMessageManager::onJobThread()) return view->handSlot(0, slot);
  if (view) {
    view->dropHandedSlot();
    view->selectedUpper = slot;
    view->cursor = slot;
    view->SetDirty(false);
  }
}

void Tarnivex::selectLibrarianSlot(int pane, int slot) {
  if (librarianBrowser) {
    librarianBrowser->selectSlot(pane, slot);
  } else if (patchLibrarian && slot >= 0 && slot < kSlotsPerPane) {
    (pane == 0 ? patchLibrarian->targetSlot : patchLibrarian->mSelectedLowerSlot) = slot;
  }
}

bool Tarnivex::pageShowsPlayedSlotAlone() const { return libraryControl || multiMode; }

void Tarnivex::selectPartProgramInLibrarian(int part) {
  if (part < 0 || part > 15) return;
  // Stepping the library, the page shows where the next step counts from;
  // in multi mode the panes list multis, so the multi's slot. The other pane
  // shows nothing.
  if (pageShowsPlayedSlotAlone() && librarianBrowser) return librarianBrowser->showPlayedSlotAlone(part);
  selectLibrarianSlot(librarianActivePane(), GetParam(kMultiPartPatch + part)->Int());
}

int Tarnivex::librarianLowerList() const {
  if (!patchLibrarian) return -1;
  const int list = paneList(*patchLibrarian, browse, 1);
  return list == kCategoryList || list == kSearchList ? list : -1;
}

std::optional<LibraryPick> Tarnivex::libraryPickFor(int slot, int pane, int part, int bank) {
  if (!librarianBrowser) return std::nullopt;
  return librarianBrowser->libraryPickFor(slot, pane, part, bank);
}

bool Tarnivex::storeAllPatchesToDeviceFromLibrarian(int a, int b, int c) {
  return librarianBrowser && librarianBrowser->storeAllPatchesToDeviceFromLibrarian(a, b, c);
}

void Tarnivex::updatePatchLibrarianView(int which) {
  LibrarianViewControl* view = librarianView();
  if (!view) return;
  if (which == 0 || which == 2) view->patchSelectionUpperChanged();
  if (which == 1 || which == 2) view->patchSelectionLowerChanged();
}

void Tarnivex::setLibrarianViewDirty() {
  if (LibrarianViewControl* view = librarianView()) view->SetDirty(false);
}

void Tarnivex::updateBankAndProgramMenuNames(bool keepBankMenu, bool namesNow) {
  if (librarianBrowser) librarianBrowser->updateBankAndProgramMenuNames(keepBankMenu, namesNow);
}

void Tarnivex::refreshFolders() { OnParamChange(kRefreshFolders); }

void Tarnivex::discardBankEdit() {
  GetParam(kDiscardBankData)->Set(1.0);
  OnParamChange(kDiscardBankData);
  GetParam(kDiscardBankData)->Set(0.0);
}

void Tarnivex::endBankEdit() {
  showLayer("discardChangesLayerRight", false);
  showLayer("keepBankOpenLayer", true);
  if (searchButton) searchButton->Hide(false);
  showLayer("patchRename", false);
  GetParam(kBankEditUnsaved)->Set(0.0);
  showLayer(multiMode ? "LeftPerformancePopupMenu" : "UPPERPOPUPMENU", true);
  if (datatypeControl) datatypeControl->GrayOut(false);
}

// Reading the folder again shows what the file now holds; the upper pane
// stays on the saved bank, found by its file, which has a new name when
// both files were kept, and the status line names it.
void Tarnivex::bankSaved() {
  endBankEdit();
  browse.bankEditFlag = true;  // the rename field is closed
  showSavedBank();
}

void Tarnivex::showSavedBank() {
  const int list = multiMode ? kMultiList : kSoundList;
  std::shared_ptr<PatchFile> saved = patchLibrarian ? patchLibrarian->bankHeaderAt(list, patchLibrarian->upperBank) : nullptr;
  const auto same = [&saved](const PatchFile& bank) {
    return bank.fileName == saved->fileName && bank.directories == saved->directories;
  };
  refreshFolders();
  if (!saved) return;
  // Not read again: the pane stays on the bank, which names its file, and
  // the lists and menus list the banks as the library holds them now.
  const bool busy = folderWasBusy();
  int shown = -1;
  for (int i = 0; librarianBrowser && i < patchLibrarian->bankCount(list); ++i) {
    const auto bank = patchLibrarian->bankHeaderAt(list, i);
    if (bank && (busy ? bank == saved : same(*bank))) {
      shown = i;
      break;
    }
  }
  // A file outside the library folders is not read again: listed once more,
  // it stays the pane's, so the next Save writes it and no other.
  const bool relisted = shown < 0 && !busy && librarianBrowser;
  if (relisted) shown = patchLibrarian->listSavedOutside(saved, list);
  if (shown >= 0 && librarianBrowser) librarianBrowser->showPaneBank(0, shown);
  if ((busy || relisted) && librarianBrowser) librarianBrowser->showBanksAsListed();
  showWritten("Bank saved", saved->fileName);
}

void Tarnivex::OpenDataDirectory() {
  if (IGraphics* gui = GetGUI()) gui->OpenURL(getDataFolder().c_str());
}
