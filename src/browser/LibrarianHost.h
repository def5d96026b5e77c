// What the librarian browser needs of the plug-in. The plug-in implements it;
// tests put a fake in its place. Everything here runs on the GUI thread or
// under the plug-in's lock in its parameter-change handler.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "IParam.h"
#include "PickTicket.h"

class IControl;
class IPopupMenu;
struct IRECT;
class MIDIMessageManager;
class PatchLibrarian;
struct ISysEx;

// The browse state the plug-in keeps for the browser. The GUI thread and
// the parameter-change handler both use it.
struct BrowseState {
  std::atomic<bool> categoryBrowsing{false};
  std::atomic<bool> searchActive{false};
  std::atomic<bool> progBankControl{true};
  // The bank-edit flag: while it is set a change of kPatchRename is no
  // rename. Opening the rename field clears it; taking a rename, a click or
  // a key on the slot view, or a discard of the bank set it again.
  std::atomic<bool> bankEditFlag{false};
  // The file and folder name of the bank each pane shows, per data type;
  // read and written under namesMutex.
  std::mutex namesMutex;
  std::string upperPatchFile, upperPatchFolder, lowerPatchFile, lowerPatchFolder;
  std::string upperPerfFile, upperPerfFolder, lowerPerfFile, lowerPerfFolder;
  // The first controls bound to kPatchSelectionListUpper / Lower; may be null.
  IControl* upperSelectionListControl = nullptr;
  IControl* lowerSelectionListControl = nullptr;
};

class LibrarianHost {
 public:
  virtual ~LibrarianHost() = default;

  virtual BrowseState& browseState() = 0;
  virtual PatchLibrarian* librarian() = 0;
  // Null while the plug-in has none; jobs are then dropped.
  virtual MIDIMessageManager* messageManager() = 0;
  virtual int currentPart() = 0;
  virtual bool multiMode() = 0;
  virtual void setMultiMode(bool on) = 0;
  // kControlLibrary is on: the top bar's menus work on the upper bank.
  virtual bool libraryControl() = 0;
  virtual void setLibraryControl(bool on) = 0;
  virtual bool midiConfigured() = 0;

  // ---- Parameters.
  virtual IParam* paramAt(int index) = 0;
  // Shows a value on every control bound to the parameter; nothing goes
  // back to the plug-in.
  virtual void setParameterFromPlug(int index, double value, bool normalized) = 0;
  // Display texts, guarded against the threads that read them.
  virtual void setParamDisplayText(int index, int value, const std::string& text) = 0;
  // A whole list of texts, as setParamDisplayText would set its values in
  // turn; a host may hand the one list to every parameter it fills.
  virtual void setParamDisplayTexts(int index, const std::shared_ptr<const IParam::DisplayTextList>& texts) {
    if (texts)
      for (const IParam::DisplayText& entry : *texts) setParamDisplayText(index, entry.mValue, entry.mText);
  }
  virtual void resetParamDisplayTexts(int index) = 0;

  // ---- The editor core.
  virtual void ProcessSysEx(ISysEx* message, bool fromDevice) = 0;
  // False when a library write was refused: nothing is armed.
  virtual bool SetLibrarianRequestActive(bool on) = 0;
  // True, and the status line says why, when a library write has no slot to
  // go to or its slot lies past a bank's hundred entries.
  virtual bool refuseLibrarySlot() = 0;
  virtual void SetLibrarianStatusUnsaved(bool on) = 0;
  // A pick of the window for the part (the multi with multi), handed to the
  // entry: the bank select and program change, or the library entry, go on
  // the part's lane.
  virtual void handPick(Pick pick, bool multi) = 0;
  // True when another part plays the bank and program picked for the part:
  // the pick is refused (the conflict window says so) before it changes anything.
  virtual bool refusePartPick(int /*part*/, int /*bank*/, int /*program*/) { return false; }
  // The bank the part's next program change goes on: one a pick on its way
  // selected, else the part's.
  int bankOfNextPick(int part);
  // True, logged and said on the status line, when the part's program
  // change (the multi's with multi true) has no channel to go out on.
  virtual bool refuseNoProgramChannel(int /*part*/, bool /*multi*/) { return false; }
  // Runs the task on the instance's MIDI thread, in order, so that its
  // messages and the pauses between them keep the caller from waiting.
  virtual void runOffHostThread(std::function<void()> task) = 0;
  // The part's sound (job 2) and with thenMulti the multi (job 0) to the
  // instrument, behind whatever the worker is doing.
  virtual void sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) = 0;
  // SEND MULTI with every part (job 0), its sending flags set as the send
  // starts and cleared as it ends; false when it did not start.
  virtual bool startMultiPush() = 0;
  // The plug-in's handler of kRefreshFolders.
  virtual void refreshFolders() = 0;
  // Drops the unsaved edit of the upper bank as kDiscardBankData does
  // (the library is read again).
  virtual void discardBankEdit() {}
  // The page leaves the unsaved state of the upper bank: DISCARD hides, the
  // controls an edit holds come back.
  virtual void endBankEdit() {}
  // A status text: the name display and the value display, which an empty
  // value empties.
  virtual void showStatus(const std::string& /*name*/, const std::string& /*value*/) {}
  // A success: both displays, the value display emptied when detail is.
  virtual void showSuccess(const std::string& /*what*/, const std::string& /*detail*/) {}
  // The edited bank is on disk as the editor holds it: the page leaves the
  // unsaved state and both panes show the file as written.
  virtual void bankSaved() = 0;
  // The same after a Save As: the pane is on the file written, read again
  // when the folders can be.
  virtual void bankSavedAs() {}
  virtual void OpenDataDirectory() = 0;
  virtual bool saveImportedFile(bool midi) = 0;
  virtual std::string getPatchesFolderStr() = 0;
  virtual void debugLog(const std::string& line) = 0;
  virtual void pause(int ms) = 0;

  // Shows the menu at the rectangle and waits; the menu or submenu in which
  // an entry was chosen, or null when the menu was dismissed.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) = 0;

  // ---- Layers, by name.
  virtual void hideLayer(const char* name, bool hide) = 0;
  virtual void grayOutLayer(const char* name, bool gray) = 0;
};
