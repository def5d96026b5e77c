#include "EditMenus.h"

#include <string>

#include "IGraphics.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
void addAll(IPopupMenu& menu, std::initializer_list<const char*> entries) {
  for (const char* entry : entries) {
    if (entry)
      menu.AddItem(entry, -1, 0);
    else
      menu.AddSeparator(-1);
  }
}

void drawInvisible(IGraphics* graphics, const IRECT* rect) {
  IColor transparent(0, 0, 0, 0);
  IRECT r = *rect;
  graphics->FillIRect(&transparent, &r, nullptr);
}

// The upper bank's edit is in a file now.
// The page leaves the unsaved state whole: DISCARD goes with the mark.
void markSaved(LibrarianHost& host) {
  host.endBankEdit();
  if (IParam* unsaved = host.paramAt(kBankEditUnsaved)) unsaved->Set(0.0);
  host.setParameterFromPlug(kBankEditUnsaved, 0.0, false);
}

// The index of the entry chosen in menu, or -1 when the pick was elsewhere.
int pickIn(const IPopupMenu* chosen, const std::unique_ptr<IPopupMenu>& menu) {
  return chosen == menu.get() ? chosen->GetChosenItemIdx() : -1;
}
}  // namespace

// ---- Bank-edit menu.

BankEditPopupMenu::BankEditPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect)
    : IControl(plug, &rect, -1), mBrowser(browser) {
  AddMenuItemsIn();
}

LibrarianHost& BankEditPopupMenu::host() const { return *mBrowser->host(); }

void BankEditPopupMenu::AddMenuItemsIn() {
  for (auto* menu : {&mMain, &mSoundRequest, &mMultiRequest, &mSoundStore, &mMultiStore, &mSaveAs, &mImport})
    *menu = std::make_unique<IPopupMenu>();
  const bool multi = host().multiMode();
  if (multi) {
    addAll(*mMultiRequest, {"from Temp Buffer to Plug-in GUI", "from Temp Buffer to Librarian",
                            "from selected Program Slot", "All Multis from Selected Bank"});
    addAll(*mMultiStore, {"To Currently Selected Slot & Bank", "All Multis from Current Bank"});
  } else {
    addAll(*mSoundRequest,
           {"from Active Slot to Plug-in GUI", "from Active Slot to Librarian", "from Selected Program Slot", nullptr,
            "All Patches from Bank A", "All Patches from Bank B", "All Patches from Bank C"});
    addAll(*mSoundStore, {"To Currently Selected Slot & Bank", nullptr, "All Current Patches to Bank A",
                          "All Current Patches to Bank B", "All Current Patches to Bank C"});
  }
  addAll(*mSaveAs, {"Standard MIDI (*.mid)", "Tarnivex Format (*.tvx)"});
  addAll(*mImport, {"Standard MIDI (*.mid)", "SysEx (*.syx / *.tvx)"});
  mMain->AddItem(multi ? "Request Multi Data" : "Request Patch Data",
                 multi ? mMultiRequest.get() : mSoundRequest.get());
  mMain->AddSeparator(-1);
  mMain->AddItem(multi ? "Store Multi Data" : "Store Patch Data", multi ? mMultiStore.get() : mSoundStore.get());
  mMain->AddSeparator(-1);
  addAll(*mMain, {"Sync Current Data from HW", "Push Current Multi to HW", nullptr, "Save (Overwrite current bank)"});
  mMain->AddItem("Save As...", mSaveAs.get());
  mMain->AddSeparator(-1);
  mMain->AddItem("Import...", mImport.get());
  addAll(*mMain, {"Refresh Folders", nullptr, "Open Data Folder", "About..."});
}

void BankEditPopupMenu::doPopupMenu() {
  IRECT rect = *GetRECT();
  IPopupMenu* chosen = host().CreateIPopupMenu(mMain.get(), &rect);
  if (chosen) {
    if (int i = pickIn(chosen, mMain); i >= 0) runMain(i);
    if (int i = pickIn(chosen, mSoundRequest); i >= 0) runSoundRequest(i);
    if (int i = pickIn(chosen, mMultiRequest); i >= 0) runMultiRequest(i);
    if (int i = pickIn(chosen, mSoundStore); i >= 0) runSoundStore(i);
    if (int i = pickIn(chosen, mMultiStore); i >= 0) runMultiStore(i);
    if (int i = pickIn(chosen, mSaveAs); i == 0 || i == 1) {
      // The edit is kept in the new file: the reload that lists it loses nothing.
      PatchLibrarian* librarian = host().librarian();
      if (librarian->savePatchAs(host().getPatchesFolderStr().c_str(), std::string(), i == 0)) {
        markSaved(host());
        host().bankSavedAs();
      }
    }
    // The import reads the library again once the file is in it.
    if (int i = pickIn(chosen, mImport); (i == 0 || i == 1) && settleBankEdit()) host().saveImportedFile(i == 0);
  }
  for (auto* menu : {&mMain, &mSoundRequest, &mMultiRequest, &mSoundStore, &mMultiStore, &mSaveAs, &mImport})
    (*menu)->CheckItemAlone(-1);
}

void BankEditPopupMenu::runMain(int index) {
  MIDIMessageManager* manager = host().messageManager();
  switch (index) {
    case 4: startLibrarianJob(manager, multiRequestJob(true), kSetDumpExpected); break;
    case 5:
      if (!host().midiConfigured()) break;
      host().startMultiPush();
      break;
    case 7: saveOverCurrentBank(); break;
    case 11: {
      bool reloaded = false;
      if (settleBankEdit(&reloaded) && !reloaded) host().refreshFolders();
      break;
    }
    case 13: host().OpenDataDirectory(); break;
    case 14: host().hideLayer("aboutWindow", false); break;
    default: break;
  }
}

void BankEditPopupMenu::runSoundRequest(int index) {
  if (host().multiMode()) return;
  MIDIMessageManager* manager = host().messageManager();
  const int part = host().currentPart();
  // What goes into the library needs a bank to land in.
  static constexpr const char* kBankFiles[] = {"Bank A.syx", "Bank B.syx", "Bank C.syx"};
  if (index == 1 || index == 2) mBrowser->openBankForReceiving();
  if (index >= 4 && index <= 6) mBrowser->openBankForReceiving(kBankFiles[index - 4]);
  switch (index) {
    case 0: {
      // GET SOUND: what the part plays, asked for, is a pick of the part.
      Pick pick;
      pick.work = Pick::Work::kRequest;
      pick.slot = part;
      host().handPick(std::move(pick), false);
      break;
    }
    case 1: startLibrarianJob(manager, partRequestJob(part, false)); break;
    case 2:
      if (manager) {
        const IParam* bank = host().paramAt(kMultiPartBank + part);
        manager->sendSinglePatchRequestSysexFromLibrarian(false, bank ? bank->Int() : 0);
      }
      break;
    case 4:
    case 5:
    case 6:
      if (manager) manager->sendAllPatchRequestSysexFromLibrarian(index - 4);
      break;
    default: break;
  }
}

void BankEditPopupMenu::runMultiRequest(int index) {
  MIDIMessageManager* manager = host().messageManager();
  if (index >= 1 && index <= 3) mBrowser->openBankForReceiving();
  switch (index) {
    case 0: startLibrarianJob(manager, multiRequestJob(true), kSetDumpExpected); break;
    case 1: startLibrarianJob(manager, multiRequestJob(false)); break;
    case 2: startLibrarianJob(manager, codeOnlyJob(7), kClearReplyAccepted); break;
    case 3: startLibrarianJob(manager, codeOnlyJob(8), kClearReplyAccepted); break;
    default: break;
  }
}

void BankEditPopupMenu::runSoundStore(int index) {
  if (index == 0)
    mBrowser->SendSingleProgramFromLibrarian(true, host().currentPart());
  else if (index >= 2 && index <= 4)
    mBrowser->SendAllProgramsFromLibrarian(index - 2);
}

void BankEditPopupMenu::runMultiStore(int index) {
  if (index == 0)
    mBrowser->SendSingleProgramFromLibrarian(true, host().currentPart());
  else if (index == 1)
    mBrowser->SendAllProgramsFromLibrarian(0);
}

bool BankEditPopupMenu::saveOverCurrentBank() {
  PatchLibrarian* librarian = host().librarian();
  if (!librarian) return false;
  std::string path, name;
  {
    auto lock = librarian->lock();
    const auto bank = librarian->bankAt(host().multiMode() ? kMultiList : kSoundList, librarian->upperBank);
    if (!bank) return false;
    name = bank->fileName;
    path = bank->pathIn(host().getPatchesFolderStr());
  }
  if (!librarian->saveEditedPatch(path, name)) return false;
  // Instances made from now on read the folder with the bank as saved.
  librarian->forgetSharedLoad();
  markSaved(host());
  host().bankSaved();
  return true;
}

bool BankEditPopupMenu::settleBankEdit(bool* reloaded) {
  const IParam* unsaved = host().paramAt(kBankEditUnsaved);
  if (!unsaved || unsaved->Value() != 1.0) return true;
  PatchLibrarian* librarian = host().librarian();
  // Without a window to ask in nothing is dropped.
  const int answer = librarian && librarian->hooks.messageBox
                         ? librarian->hooks.messageBox(
                               "The bank has unsaved changes. Save them first? No discards them.", "Unsaved bank", 3)
                         : 0;
  // A reload kept from a busy folder ends the action there: the window
  // says "Folder busy, try again".
  if (answer == 1) return saveOverCurrentBank() && !librarian->folderBusy;
  if (answer == 7) {
    host().discardBankEdit();
    if (reloaded) *reloaded = true;
    return !librarian->folderBusy;
  }
  host().showStatus("Save bank or Discard changes!", "");
  return false;
}

void BankEditPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  doPopupMenu();
  SetRedraw();
  SetDirty(true);
}

bool BankEditPopupMenu::Draw(IGraphics* graphics) {
  drawInvisible(graphics, GetRECT());
  return true;
}

// ---- Upper-slot context menu.

FileEditPopupMenu::FileEditPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect)
    : IControl(plug, &rect, -1), mBrowser(browser) {
  AddMenuItemsIn();
}

void FileEditPopupMenu::AddMenuItemsIn() {
  mMain = std::make_unique<IPopupMenu>();
  mGetData = std::make_unique<IPopupMenu>();
  addAll(*mGetData, {"Plug-in (active patch)", nullptr, "Hardware Edit Buffer", "Hardware by Prog No."});
  addAll(*mMain, {"Paste", nullptr, "Rename", nullptr, "Initialize Slot"});
  mMain->AddItem("Get DATA from..", mGetData.get());
}

void FileEditPopupMenu::doPopupMenu(int x, int y) {
  LibrarianHost& host = *mBrowser->host();
  IRECT rect(x, y, x, y);
  IPopupMenu* chosen = host.CreateIPopupMenu(mMain.get(), &rect);
  MIDIMessageManager* manager = host.messageManager();
  const bool multi = host.multiMode();
  const int part = host.currentPart();
  LibrarianViewControl* view = mBrowser->view;
  // Initialising a slot and fetching data for it write into the library.
  if (pickIn(chosen, mMain) == 4 || pickIn(chosen, mGetData) >= 0) {
    if (host.refuseLibrarySlot()) chosen = nullptr;
    else mBrowser->openBankForReceiving();
  }
  switch (pickIn(chosen, mMain)) {
    case 0:
      if (view) view->PasteSlotData(x, y);
      break;
    case 2:
      if (view) view->renameSlot(x, y);
      break;
    case 4: startLibrarianJob(manager, initJob(multi, false, part), kSetDumpExpected); break;
    default: break;
  }
  switch (pickIn(chosen, mGetData)) {
    case 0:
      mBrowser->sendEditorDataToSlot(part);
      break;
    case 2:
      if (multi)
        startLibrarianJob(manager, multiRequestJob(false));
      else if (manager)
        manager->sendSinglePatchRequestSysexFromLibrarian(true, 0);
      break;
    case 3:
      if (multi) {
        startLibrarianJob(manager, codeOnlyJob(7), kClearReplyAccepted,
                          [manager] { manager->performanceRequest.armForRequest(); });
      } else if (manager) {
        manager->sendSinglePatchRequestSysexFromLibrarian(false, 0);
      }
      break;
    default: break;
  }
  mMain->CheckItemAlone(-1);
  mGetData->CheckItemAlone(-1);
}

void FileEditPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
  doPopupMenu(x, y);
  SetRedraw();
  SetDirty(true);
}

bool FileEditPopupMenu::Draw(IGraphics* graphics) {
  drawInvisible(graphics, GetRECT());
  return true;
}

// ---- Lower-slot context menu.

FileCopyPopupMenu::FileCopyPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect)
    : IControl(plug, &rect, -1), mBrowser(browser), mMain(std::make_unique<IPopupMenu>()) {
  mMain->AddItem("Copy", -1, 0);
}

void FileCopyPopupMenu::doPopupMenu(int x, int y) {
  IRECT rect(x, y, x, y);
  IPopupMenu* chosen = mBrowser->host()->CreateIPopupMenu(mMain.get(), &rect);
  if (pickIn(chosen, mMain) == 0 && mBrowser->view) mBrowser->view->CopySlotData(x, y);
  mMain->CheckItemAlone(-1);
}

void FileCopyPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
  doPopupMenu(x, y);
  SetDirty(true);
}

bool FileCopyPopupMenu::Draw(IGraphics* graphics) {
  drawInvisible(graphics, GetRECT());
  return true;
}
