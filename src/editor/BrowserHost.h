// The plug-in as the librarian browser sees it: its state, parameters,
// sends and layers, reached through the plug-in object.
#pragma once

#include <mutex>
#include <string>

#include "ControlLayer.h"
#include "DataFolder.h"
#include "IGraphics.h"
#include "IMidiMsg.h"
#include "LibrarianHost.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

class Tarnivex::BrowserHost : public LibrarianHost {
 public:
  explicit BrowserHost(Tarnivex& plug) : mPlug(plug) {}

  BrowseState& browseState() override { return mPlug.browse; }
  PatchLibrarian* librarian() override { return mPlug.patchLibrarian.get(); }
  MIDIMessageManager* messageManager() override { return mPlug.midiMessageManager.get(); }
  int currentPart() override { return mPlug.currentPart; }
  bool multiMode() override { return mPlug.multiMode; }
  void setMultiMode(bool on) override { mPlug.multiMode = on; }
  bool libraryControl() override { return mPlug.libraryControl; }
  void setLibraryControl(bool on) override { mPlug.libraryControl = on; }
  bool midiConfigured() override { return mPlug.midiIOConfigured; }

  IParam* paramAt(int index) override { return mPlug.paramAt(index); }
  void setParameterFromPlug(int index, double value, bool normalized) override {
    mPlug.setParameterFromPlug(index, value, normalized);
  }
  void setParamDisplayText(int index, int value, const std::string& text) override {
    mPlug.setParamDisplayText(index, value, text);
  }
  void setParamDisplayTexts(int index, const std::shared_ptr<const IParam::DisplayTextList>& texts) override {
    mPlug.setParamDisplayTexts(index, texts);
  }
  void resetParamDisplayTexts(int index) override {
    std::lock_guard<std::mutex> lock(mPlug.mDisplayTextMutex);
    if (IParam* param = mPlug.GetParam(index)) param->ResetDisplayTexts();
  }

  void ProcessSysEx(ISysEx* message, bool fromDevice) override { mPlug.ProcessSysEx(message, fromDevice); }
  bool SetLibrarianRequestActive(bool on) override { return mPlug.SetLibrarianRequestActive(on); }
  bool refuseLibrarySlot() override { return mPlug.refuseLibrarySlot(); }
  void SetLibrarianStatusUnsaved(bool on) override { mPlug.SetLibrarianStatusUnsaved(on); }
  void handPick(Pick pick, bool multi) override { mPlug.handWindowPick(std::move(pick), multi); }
  bool refusePartPick(int part, int bank, int program) override { return mPlug.refusePartPick(part, bank, program); }
  bool refuseNoProgramChannel(int part, bool multi) override { return mPlug.refuseNoProgramChannel(part, multi); }
  void runOffHostThread(std::function<void()> task) override { mPlug.runOffHostThread(std::move(task)); }
  void sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) override {
    mPlug.sendPatchToDevice(part, busy, quiet, withGlobal, thenMulti);
  }
  bool startMultiPush() override { return mPlug.startMultiPush(); }
  void refreshFolders() override { mPlug.refreshFolders(); }
  void discardBankEdit() override { mPlug.discardBankEdit(); }
  void endBankEdit() override { mPlug.endBankEdit(); }
  void showStatus(const std::string& name, const std::string& value) override { mPlug.showStatus(name, value); }
  void showSuccess(const std::string& what, const std::string& detail) override { mPlug.showSuccess(what, detail); }
  void bankSaved() override { mPlug.bankSaved(); }
  void bankSavedAs() override { mPlug.showSavedBank(); }
  void OpenDataDirectory() override { mPlug.OpenDataDirectory(); }
  bool saveImportedFile(bool midi) override {
    std::string written;
    const bool imported = mPlug.saveImportedFile(midi, &written);
    // The new file is listed once the folders are read again: success is
    // said only then.
    if (imported) {
      mPlug.refreshFolders();
      mPlug.showImported(written);
    }
    return imported;
  }
  std::string getPatchesFolderStr() override { return ::getPatchesFolderStr(); }
  void debugLog(const std::string& line) override { mPlug.debugLog(line); }
  void pause(int ms) override { mPlug.pauseFor(ms); }

  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override {
    IGraphics* gui = mPlug.GetGUI();
    return gui ? gui->CreateIPopupMenu(menu, rect) : nullptr;
  }
  void hideLayer(const char* name, bool hide) override { mPlug.showLayer(name, !hide); }
  void grayOutLayer(const char* name, bool gray) override {
    if (ControlLayer* layer = mPlug.namedLayer(name)) layer->GrayOut(gray);
  }

 private:
  Tarnivex& mPlug;
};

