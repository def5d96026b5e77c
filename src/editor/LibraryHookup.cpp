// What the patch library asks of the plug-in: the debug log, the editor's
// multi mode and the file prompt; and the import of a bank file the user
// picks into the library folder.
#include "DataFolder.h"
#include "FailureText.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "WDL_String.h"

namespace {
std::string promptFile(IGraphics* graphics, int action, std::string& folder, const std::string& name,
                       const std::string& extensions) {
  if (!graphics) return {};
  WDL_String fileName(name.c_str());
  WDL_String directory(folder.c_str());
  std::string filter = extensions;
  graphics->PromptForFile(&fileName, action == 1 ? kFileSave : kFileOpen, &directory, filter.data());
  folder = directory.Get();
  return fileName.Get();
}
}  // namespace

void Tarnivex::attachPatchLibrarian() {
  LibraryHooks& hooks = patchLibrarian->hooks;
  // Called from the library's worker while the object may still be under
  // construction: no virtual dispatch.
  hooks.debugLog = [this](const std::string& line) { Tarnivex::debugLog(line); };
  hooks.multiMode = [this] { return multiMode.load(); };
  hooks.promptForFile = [this](int action, std::string& folder, const std::string& name,
                               const std::string& extensions) {
    return promptFile(GetGUI(), action, folder, name, extensions);
  };
  hooks.messageBox = [this](const std::string& text, const std::string& caption, int type) {
    IGraphics* graphics = GetGUI();
    // File names are quoted as they are on disk: shown as the status line
    // shows them, logged as they are.
    const std::string shown = userfiles::visibleText(text);
    if (shown != text) debugLog("MESSAGE: " + text);
    return graphics ? graphics->ShowMessageBox(shown.c_str(), caption.c_str(), type) : 0;
  };
  hooks.showFailure = [this](const std::string& what, const std::string& why) { showFailure(what, why); };
  hooks.fileWork = [this](const std::function<void()>& work) { besideFiles(work); };
  // Read on a worker: the window shows the banks when they are there.
  patchLibrarian->loadSharedPatchesInBackground(getPatchesFolderStr());
}

void Tarnivex::showArrivedLibrary() {
  if (!patchLibrarian || !patchLibrarian->takeArrival()) return;
  {
    WDL_MutexLock lock(&mMutex);
    // A bank chosen before the banks were there (a restored project) stays.
    const int upper = patchLibrarian->upperBank;
    const int lower = patchLibrarian->lowerBank;
    if (librarianBrowser) librarianBrowser->showLibrary();
    // The lists were built empty at create: their ranges anew, and the
    // texts every instance of this library shares.
    buildBankSelectionList(kPatchSelectionListUpper, "Bank Selection List 1", 0);
    buildBankSelectionList(kPatchSelectionListLower, "Bank Selection List 2", 1);
    if (librarianBrowser) {
      const int list = patchLibrarian->librarianMode == 1 ? kMultiList : kSoundList;
      if (upper > 0 && upper < patchLibrarian->bankCount(list)) librarianBrowser->showPaneBank(0, upper);
      if (lower > 0 && lower < patchLibrarian->bankCount(list)) librarianBrowser->showPaneBank(1, lower);
    }
  }
  showLeftOutBanks();
}

void Tarnivex::besideFiles(const std::function<void()>& work) {
  const WDL_FileWork letIn(&mMutex);
  work();
}

void Tarnivex::waitForLibrary() {
  if (!patchLibrarian) return;
  patchLibrarian->waitUntilLoaded();
  showArrivedLibrary();
}

void Tarnivex::showLeftOutBanks() {
  if (!patchLibrarian) return;
  std::string text;
  LeftOutLines lines;
  {
    auto guard = patchLibrarian->lock();
    text = leftOutStatusText(patchLibrarian->contents().leftOut);
    lines = leftOutLines(patchLibrarian->contents().leftOut);
  }
  if (text.empty()) {
    // A load that left nothing out (a split that failed before went through)
    // ends what an earlier failure said.
    if (mFailureShown) showSuccess("All bank files read", "");
    return;
  }
  // The count, then as many whole names as the line holds, measured as
  // they are shown: the log names them all as they are.
  debugLog(text);
  for (std::string& file : lines.files) file = userfiles::visibleText(file);
  std::string names;
  if (paramValueDisplay) names = paramValueDisplay->ItemsThatFit(GetGUI(), lines.files, ", ");
  showStatus(lines.count, names);
  mFailureShown = true;
  // Start-up goes on (the instrument answers within a second): the word
  // stays beside its texts until the user acts.
  std::lock_guard<std::mutex> lock(mStatusMutex);
  mLoadWord = lines.count + (names.empty() ? "" : ": " + names);
  mLoadWordHeld = true;
}

// Shown on the name and value displays, from whichever thread failed.
void Tarnivex::showFailure(const std::string& what, const std::string& why) {
  if (!paramNameDisplay || !paramValueDisplay) {
    std::lock_guard<std::mutex> lock(mPendingFailureMutex);
    mPendingFailure = std::pair{what, why};
    return;
  }
  showStatus(what, why);
  mFailureShown = true;
}

bool Tarnivex::saveImportedFile(bool midi, std::string* written) {
  if (!GetGUI() || !patchLibrarian) return false;
  const std::string chosen =
      promptFile(GetGUI(), 0, mImportFolder, std::string(), midi ? "mid" : "syx tvx");
  if (chosen.empty()) return false;
  return patchLibrarian->importBankFile(chosen, getPatchesFolderStr(), written);
}
