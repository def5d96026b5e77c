// A library folder with banks at every level of the browser tree, and the
// plug-in as the browser sees it: the protocol tests' fake editor for the
// parameters and the receive path, with records of what the browser asked.
#pragma once

#include <map>
#include <mutex>

#include "IPopupMenu.h"
#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "LibraryTestSupport.h"
#include "ProtocolTestSupport.h"

class FakeLibrarianHost : public LibrarianHost, public EngineFixture {
 public:
  FakeLibrarianHost() {
    editor.setValue(kDeviceOutSelection, 1);
    // As the plug-in starts: part p on channel p + 1, multis on channel 1.
    for (int p = 0; p < 16; ++p) editor.setValue(kMultiPartMIDICh + p, p + 2);
    editor.setValue(kGlobalMidiChannel, 1);
    manager->jobObserver = [this](JobThread, const SenderJob& job) {
      while (holdJobs) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::lock_guard<std::mutex> lock(mMutex);
      mJobs.push_back(job);
    };
  }
  ~FakeLibrarianHost() override { destroyManager(); }

  BrowseState& browseState() override { return state; }
  PatchLibrarian* librarian() override { return &(this->EngineFixture::librarian); }
  MIDIMessageManager* messageManager() override { return manager.get(); }
  int currentPart() override { return part; }
  bool multiMode() override { return multi; }
  void setMultiMode(bool on) override { multi = on; }
  bool midiConfigured() override { return midiReady; }
  IParam* paramAt(int index) override { return editor.paramAt(index); }
  void setParameterFromPlug(int index, double value, bool normalized) override {
    editor.setParameterFromPlug(index, value, normalized);
  }
  void setParamDisplayText(int index, int value, const std::string& text) override {
    editor.setParamDisplayText(index, value, text);
  }
  void resetParamDisplayTexts(int index) override { editor.paramAt(index)->ResetDisplayTexts(); }
  void ProcessSysEx(ISysEx* message, bool fromDevice) override {
    ++fed;
    manager->ProcessSysEx(message, fromDevice);
  }
  // As the editor does: a slot past the bank is refused, and nothing armed.
  bool refuseLibrarySlot() override {
    if (librarian()->targetSlot < kPatchesPerBank) return false;
    showStatus("Slot not written!", "A bank holds 100 sounds");
    return true;
  }
  bool SetLibrarianRequestActive(bool on) override {
    if (on && refuseLibrarySlot()) return false;
    calls.push_back(on ? "request on" : "request off");
    manager->dumpExpected = !on;
    manager->patchRequest.disarm();
    manager->performanceRequest.disarm();
    if (on)
      (multi ? static_cast<LibraryRequest&>(manager->performanceRequest)
             : static_cast<LibraryRequest&>(manager->patchRequest))
          .arm(librarian()->targetSlot);
    return true;
  }
  void SetLibrarianStatusUnsaved(bool on) override { calls.push_back(on ? "unsaved" : "saved"); }
  // As the plug-in does: to the entry, whose work runs on the part's lane.
  void handPick(Pick pick, bool multiPick) override {
    handed.push_back("pick " + std::to_string(pick.slot));
    editor.pairRefused = !bankChangeSent;
    editor.progBankMode = state.progBankControl.load();
    pick.road = Pick::Road::kWindow;
    if (multiPick) {
      pick.slot = kMultiSlot;
      manager->picks.hand(manager->picks.arriveAll(), std::move(pick));
    } else {
      manager->picks.pick(std::move(pick));
    }
  }
  // The plug-in runs it on its MIDI thread; in order here.
  void runOffHostThread(std::function<void()> task) override { task(); }
  void sendPatchToDevice(int p, bool, bool, bool, bool thenMulti) override {
    calls.push_back("send part " + std::to_string(p) + (thenMulti ? " and multi" : ""));
    SenderJob sound;
    sound.jobCode = 2;
    sound.partArgument = p;
    manager->queueJob(sound);
    SenderJob multiDump;
    if (thenMulti) manager->queueJob(multiDump);
  }
  bool startMultiPush() override {
    calls.push_back("push multi");
    return startLibrarianJob(manager.get(), sendMultiJob(false, false), kSetBusy);
  }
  void refreshFolders() override { calls.push_back("refresh folders"); }
  void discardBankEdit() override { calls.push_back("discard"); }
  void endBankEdit() override { hideLayer("discardChangesLayerRight", true); }
  void showStatus(const std::string& name, const std::string& value) override {
    statuses.push_back(name + "|" + value);
  }
  void bankSaved() override {
    editor.setValue(kBankEditUnsaved, 0);
    calls.push_back("bank saved");
  }
  void OpenDataDirectory() override { calls.push_back("open data folder"); }
  bool saveImportedFile(bool midi) override {
    calls.push_back(midi ? "import mid" : "import syx");
    return true;
  }
  std::string getPatchesFolderStr() override { return data.patchesStr(); }
  void debugLog(const std::string& line) override { log.push_back(line); }
  void pause(int ms) override { calls.push_back("pause " + std::to_string(ms)); }
  bool libraryControl() override { return libraryMode; }
  void setLibraryControl(bool on) override { libraryMode = on; }
  // Answers with the next scripted pick: a path of entry texts from the main
  // menu, the last one chosen; an empty path dismisses the menu.
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override {
    shownMenus.push_back(menu);
    shownAt.push_back(*rect);
    if (picks.empty()) return nullptr;
    const std::vector<std::string> path = picks.front();
    picks.erase(picks.begin());
    for (size_t level = 0; menu && level < path.size(); ++level) {
      int found = -1;
      for (int i = 0; i < menu->GetNItems() && found < 0; ++i)
        if (path[level] == menu->GetItemText(i)) found = i;
      if (found < 0) return nullptr;
      if (level + 1 == path.size()) {
        menu->SetChosenItemIdx(found);
        return menu;
      }
      menu = menu->GetItem(found)->GetSubmenu();
    }
    return nullptr;
  }
  void hideLayer(const char* name, bool hide) override { hidden[name] = hide; }
  void grayOutLayer(const char* name, bool gray) override { grayed[name] = gray; }

  // Root.syx, Leads/Lead A.syx and Lead B.syx, Leads/Deep/Deep.syx,
  // Pads/Pad.syx and the multi bank Multis/Multi.syx, loaded.
  void loadFixture() {
    writeFile(data.patches() / "Root.syx", soundFile("Root", 100, "Bass"));
    writeFile(data.patches() / "Leads" / "Lead A.syx", soundFile("LeadA", 100, "Lead"));
    writeFile(data.patches() / "Leads" / "Lead B.syx", soundFile("LeadB", 100, "Lead"));
    writeFile(data.patches() / "Leads" / "Deep" / "Deep.syx", soundFile("Deep", 100, "Pad"));
    writeFile(data.patches() / "Pads" / "Pad.syx", soundFile("Pad", 100, "Pad"));
    writeFile(data.patches() / "Multis" / "Multi.syx", multiFile("Multi", 100));
    EngineFixture::librarian.loadPatchesFromFilesystem(data.patchesStr());
  }
  // The jobs the worker performed, once it is idle again.
  std::vector<SenderJob> jobs() {
    waitIdle(JobThread::kRequest);
    std::lock_guard<std::mutex> lock(mMutex);
    return mJobs;
  }
  // The same, with each job cancelled as soon as it runs: for checks of what
  // a pick started rather than of what the job did.
  std::vector<SenderJob> cancelledJobs() {
    waitUntil([&] {
      manager->sender->cancelRequested = true;
      return manager->atRest();
    });
    return jobs();
  }
  int bankIndex(int list, const std::string& file) {
    for (int i = 0; i < EngineFixture::librarian.bankCount(list); ++i)
      if (EngineFixture::librarian.bankAt(list, i)->fileName == file) return i;
    return -1;
  }

  DataFolder data;
  BrowseState state;
  bool libraryMode = false;
  std::vector<std::vector<std::string>> picks;
  std::vector<IPopupMenu*> shownMenus;
  std::vector<IRECT> shownAt;
  int part = 0;
  bool multi = false, midiReady = true, bankChangeSent = true;
  std::atomic<bool> holdJobs{false};
  int fed = 0;
  std::vector<std::string> calls, log, statuses;
  std::vector<std::string> handed;  // the picks handed to the entry
  std::map<std::string, bool> hidden, grayed;

 private:
  std::mutex mMutex;
  std::vector<SenderJob> mJobs;
};

// A menu as text: entries separated by " | ", a submenu in brackets after
// its entry, a tick as "*", a separator as "-".
inline std::string describe(const IPopupMenu* menu) {
  std::string out;
  for (int i = 0; i < menu->GetNItems(); ++i) {
    const IPopupMenuItem* item = menu->GetItem(i);
    if (i) out += " | ";
    out += item->GetIsSeparator() ? "-" : item->GetText();
    if (item->GetChecked()) out += "*";
    if (item->GetSubmenu()) out += " [" + describe(item->GetSubmenu()) + "]";
  }
  return out;
}
