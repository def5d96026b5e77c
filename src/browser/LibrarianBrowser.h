// The librarian screen as one piece: the slot view, the menu controls and
// the plug-in operations they share (pane refresh, the bank selection lists,
// the top bar's menus, sends from the library). The plug-in owns one; the
// controls themselves are owned by their control layers.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "IControl.h"
#include "LibrarianHost.h"
#include "PickTicket.h"

class LibrarianViewControl;
class FolderMenuControl;
class BankEditPopupMenu;
class BankNumberPopupMenu;
class ProgramNumberPopupMenu;
class FileEditPopupMenu;
class FileCopyPopupMenu;

// The list types of patchTypeChanged.
enum ListType : int { kSingleBanks = 0, kCategoryBanks = 1, kMultiBanks = 2, kSearchBanks = 4 };

class LibrarianBrowser {
 public:
  explicit LibrarianBrowser(LibrarianHost* host) : mHost(host) {}
  LibrarianBrowser(const LibrarianBrowser&) = delete;
  LibrarianBrowser& operator=(const LibrarianBrowser&) = delete;

  LibrarianHost* host() const { return mHost; }

  // ---- The controls, once created (not owned).
  LibrarianViewControl* view = nullptr;
  FolderMenuControl* leftPatchMenu = nullptr;
  FolderMenuControl* rightPatchMenu = nullptr;
  FolderMenuControl* leftPerfMenu = nullptr;
  FolderMenuControl* rightPerfMenu = nullptr;
  FolderMenuControl* categoryMenu = nullptr;
  FolderMenuControl* searchMenu = nullptr;
  FolderMenuControl* perfBankNameMenu = nullptr;
  FolderMenuControl* progBankNameMenu = nullptr;
  BankEditPopupMenu* bankEditMenu = nullptr;
  BankNumberPopupMenu* bankNumberMenu = nullptr;
  ProgramNumberPopupMenu* programNumberMenu = nullptr;

  // ---- The plug-in's parameter-change handler hands every change here
  // first; true when the parameter was one of the browser's.
  bool OnParamChange(int paramIdx);
  // Reads the library folder again and refreshes lists, panes and menus.
  void refreshFolders();
  // Takes the edited name of the selected upper slot into its dump; false
  // when the rename was cancelled or refused (a status text says which).
  bool commitRename();

  // ---- Bank selection lists.
  void patchTypeChanged(int patchType, int listType, bool reload);
  // The display texts of the list type's selection lists, the selections kept.
  void fillListNames(int listType);
  void ResetPatchSelectionMenus();
  // After the library's lists changed with no load (a bank took another
  // file while the folders were busy): the selection lists name the banks
  // as listed now, and the menus of the folder trees list them, each on its
  // pane's bank.
  void showBanksAsListed();

  // ---- Refreshing.
  // Rebuilds the pane menus in force with bank 0 and the stored names, then
  // reloads both panes. Never rebuilds the bank-name menus.
  void refreshPopUpMenus();
  // The top bar's menus for the mode, part and program; with namesNow
  // false their entries are listed only when one of them pops up (as they
  // always are then).
  void updateBankAndProgramMenuNames(bool keepBankMenu, bool namesNow = true);
  // Shows the top bar's bank menu of the stepping mode and data type, and
  // the program menu beside it; their entries stay as they are.
  void showTopBarMenus();
  void reloadPanes();
  // Shows bank index of the pane's list in the pane (0 upper, 1 lower): its
  // selection parameter, the pane's name over it, the library and the slots.
  void showPaneBank(int pane, int index);
  std::pair<std::string, std::string> notePaneFile(int pane);
  // The folder menu of a pane's list.
  FolderMenuControl* paneFolderMenu(int pane) const;
  // The lower pane shows category bank index, ticked in the category menu.
  void showLowerBank(int index);

  // ---- Receiving from the instrument.
  // A library without a bank of the current type gets one, as a bank file
  // of that name ("Received Sounds.syx" or "Received Multis.syx" when none is
  // given) in the library folder would be, and both panes show it, so that
  // a job about to write into the library has a bank to land in. Nothing
  // happens while the worker is busy: the job would be dropped.
  void openBankForReceiving(const std::string& fileName = {});
  // The lower pane's list, menu and slots while it lists categories, after
  // the library built them again; its slots while it lists a search's
  // results, whose edited sounds the library listed anew.
  void showCategories();
  // The panes, lists and menus filled from a library that arrived after
  // they were built.
  void showLibrary();

  // ---- Sending to the instrument.
  // The parameter holding what the stepped part plays: the multi's program
  // in multi mode, else the part's.
  int playedProgramParameter(int part);
  // The one writer of the highlight for what the current part (the multi in
  // multi mode) plays, on the window's thread. Stepping the library: the
  // slot of the library entry it plays, in the pane in use, only where that
  // pane shows the bank the entry came from (a category or search list
  // highlights that sound wherever it lists it); nothing else in that pane. Stepping the
  // instrument: its program number in the upper pane (the multi's in the
  // pane in use).
  void showPlayedSlot(int part);
  // The same, with nothing selected in the other pane: the panes just took
  // another kind of entry, or the page was entered.
  void showPlayedSlotAlone(int part);
  // The slot of the program parameter's value, selected in that pane.
  void showProgramSlot(int programParameter, int pane);
  // The record: the slot (a part, or the multi's) plays this library entry
  // (none: no library entry); written as the gate lets its pick go.
  void notePartPlays(int slot, const LibraryPick* source);
  // Where the pane shows the entry the slot plays (the one it highlights),
  // or -1.
  int playedSlotIn(int slot, int pane);
  // Where a step (+1 or -1) of the slot starts in the pane when the pane
  // shows a category or search list that does not hold what the slot plays:
  // its first entry going up, its last going down. -1 otherwise.
  int listStepStart(int slot, int pane, int step);
  // The slot becomes the pane's selection, the keys' cursor and the
  // library's slot of that pane.
  void selectSlot(int pane, int slot);
  // The editor's own part (the multi in multi mode) into the selected upper
  // slot, as the library's receive path takes a dump; false when nothing
  // started.
  bool sendEditorDataToSlot(int part);
  // Hands one entry of a pane's bank to the entry as a pick of the part (the
  // multi in multi mode): job 3's work on its lane; false when nothing was
  // picked (the status line says why).
  bool sendPatchToDeviceFromLibrarian(int slot, int pane, int part);
  // The entry in that slot of the pane's bank, for a pick of the part; none
  // (the status line or the conflict window says why) when it would not go.
  // On the bank the pick carries (-1: the part's shown bank).
  std::optional<LibraryPick> libraryPickFor(int slot, int pane, int part, int bank = -1);
  // A send of the slot to the part would go out, yet another part plays the
  // part's bank and that program: the conflict window shows, and the pick
  // is to change nothing.
  bool pickRefused(int slot, int pane, int part, int bank = -1);
  // Why that send to the part would start nothing (no bank, an empty slot, no
  // port, not a whole dump, no channel for its program change, a job
  // running), as the status line's two texts; both empty
  // when it would go. A step or pick that would send nothing changes nothing
  // shown. With upperBank, the upper pane is taken to show that bank.
  std::pair<std::string, std::string> whyNothingWouldGo(int slot, int pane, int part, int upperBank = -1);
  // A library slot picked or stepped to for the part that would send
  // nothing (the part locked, or as above) or that another part plays: the
  // status line or the conflict window says why; true then, and the pick is
  // to change nothing.
  bool refuseLibraryPick(int slot, int pane, int part, int upperBank = -1, int partBank = -1);
  // A pick for a locked part sends nothing: the status line says so. True
  // when the part is locked.
  bool refuseLockedPart(int part);
  // A bank or program change picked for the part (for the multi, on the
  // global channel, with multi) that would not go out (the part locked,
  // program changes not taken, no port, no single MIDI channel): the status line says why; true then.
  bool refuseUnsentChange(int part, bool multi);
  // Stores the whole upper bank (the lower one when no upper slot is
  // selected) into an instrument bank (job 4).
  void SendAllProgramsFromLibrarian(int bank);
  // Stores a pane's bank (0 upper, 1 lower) from firstSlot on into the
  // instrument bank's programs from 0 on (job 4); false when nothing started.
  bool storeAllPatchesToDeviceFromLibrarian(int pane, int firstSlot, int bank);
  // Sends the selected upper slot's entry to the part (job 3), in the store
  // form when store is set.
  void SendSingleProgramFromLibrarian(bool store, int part);

  // ---- The slot menus of a right click.
  void showFileEditMenu(int x, int y);
  void showFileCopyMenu(int x, int y);

 private:
  // The list type the lower pane is in; 0 sound banks.
  int lowerListType() const;
  // Gives entry i of each selection list the display name of names[i].
  void setDisplayNames(const std::vector<std::string>& names, const std::vector<int>& lists);
  void stepPane(int pane, int step);
  // Ends a search: the lower pane shows the sound banks again.
  void closeSearch();
  void showLowerMenuLayer();

  // The bank and program the top bar's menus are for.
  void menuSelection(int& bank, int& program) const;

  LibrarianHost* mHost;
  // Per part (and the multi), the library entry it plays and where from:
  // written as the gate lets a pick go, read by the window's thread.
  struct PlayedEntry {
    std::string bank;
    int slot = -1;
    LibrarianPatch entry;
  };
  std::mutex mPlayedMutex;
  std::array<PlayedEntry, kPickSlots> mPlayed;
  // The latest slot menus; a right click replaces them.
  std::unique_ptr<IControl> mFileEditMenu;
  std::unique_ptr<IControl> mFileCopyMenu;
};
