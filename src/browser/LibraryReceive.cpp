// What the library receives from the instrument needs a bank to land in and
// shows up in the category lists.
#include <filesystem>
#include <string>

#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"

namespace {
// The name, or the name with " 2", " 3", ... before its extension, whichever
// no file in the folder has yet; "" when all are taken.
std::string freeFileName(const std::string& folder, const std::string& name) {
  const std::filesystem::path wanted(name);
  std::error_code error;
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate =
        n == 1 ? name : wanted.stem().string() + " " + std::to_string(n) + wanted.extension().string();
    if (!std::filesystem::exists(std::filesystem::path(folder) / candidate, error)) return candidate;
  }
  return {};
}
}  // namespace

void LibrarianBrowser::openBankForReceiving(const std::string& fileName) {
  PatchLibrarian* librarian = mHost->librarian();
  MIDIMessageManager* manager = mHost->messageManager();
  // A busy worker drops the request: no bank is wanted then.
  if (!librarian || !manager || manager->isThreadRunning(JobThread::kRequest)) return;
  // Until the folder's banks arrive the library only looks empty: a bank
  // made now would be dropped by the arrival. The request waits for them
  // and fills the bank shown then, as with any library that has banks.
  if (!librarian->loaded()) return;
  const bool multi = mHost->multiMode();
  std::string name;
  {
    auto lock = librarian->lock();
    if (librarian->bankCount(multi ? kMultiList : kSoundList) > 0) return;
    name = freeFileName(mHost->getPatchesFolderStr(),
                        !fileName.empty() ? fileName : multi ? "Received Multis.syx" : "Received Sounds.syx");
    if (name.empty()) return;
    librarian->addBankInLibraryFolder(multi ? 1 : 0, name);
  }
  BrowseState& state = mHost->browseState();
  {
    std::lock_guard<std::mutex> names(state.namesMutex);
    (multi ? state.upperPerfFile : state.upperPatchFile) = name;
    (multi ? state.upperPerfFolder : state.upperPatchFolder) = "Patches";
  }
  // The only bank of its type: both panes show it.
  patchTypeChanged(multi ? 1 : 0, multi ? kMultiBanks : lowerListType(), false);
}

void LibrarianBrowser::showLibrary() {
  const bool multi = mHost->multiMode();
  patchTypeChanged(multi ? 1 : 0, multi ? kMultiBanks : lowerListType(), false);
  // The bank-name menus list the library as loaded at start-up: built when
  // the window was made, before the load arrived, they list it from now on
  // (from the start-up's empty names, so no pane's bank moves).
  for (FolderMenuControl* menu : {perfBankNameMenu, progBankNameMenu})
    if (menu) menu->refreshPatchNames(0, std::string(), std::string());
}

void LibrarianBrowser::showCategories() {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  BrowseState& state = mHost->browseState();
  if (mHost->multiMode()) return;
  if (!state.categoryBrowsing) {
    if (state.searchActive && view) view->patchSelectionLowerChanged();
    return;
  }
  // The lower pane lists categories now: its menu, its list and its slots.
  std::string file, folder;
  {
    std::lock_guard<std::mutex> names(state.namesMutex);
    file = state.lowerPatchFile;
    folder = state.lowerPatchFolder;
  }
  fillListNames(kCategoryBanks);
  if (categoryMenu) categoryMenu->refreshFolderStructure(librarian->lowerBank, file, folder);
  if (view) view->patchSelectionLowerChanged();
}
