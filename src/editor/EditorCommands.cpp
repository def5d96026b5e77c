// The editor's own parameters: page tabs, librarian views, bank and program
// stepping, search, rename, sending and requesting, and the instrument
// parameters whose change does more than send a message.
#include <algorithm>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "IControl.h"
#include "IGraphics.h"
#include "IMidiMsg.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "SysExFormat.h"
#include "TabSwitchFunctions.h"
#include "TopBarMenus.h"
#include "Tarnivex.h"

namespace {
bool inBlock(int base, int idx) { return idx >= base && idx < base + kParamBlockSpan; }

int wrap(int value, int count) { return ((value % count) + count) % count; }
}  // namespace

bool Tarnivex::runEarlyCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  if (inBlock(kCurrentPatchBank, paramIdx)) {
    if (keepSelectedBank) return true;
    setParameterFromPlug(kPatchSelectionListUpper, iv, false);
    GetParam(kCurrentPatchBank + currentPart)->Set(iv);
    if (IControl* list = browse.upperSelectionListControl)
      list->SetValueFromPlug(GetParam(kPatchSelectionListUpper)->GetNormalized());
    if (patchLibrarian) {
      patchLibrarian->upperBank = iv;
      std::string file, folder;
      if (const auto bank = patchLibrarian->bankAt(kSoundList, iv)) {
        file = bank->fileName;
        folder = bank->folderName;
      }
      {
        std::lock_guard<std::mutex> names(browse.namesMutex);
        browse.upperPatchFile = file;
        browse.upperPatchFolder = folder;
      }
      if (librarianBrowser && librarianBrowser->leftPatchMenu)
        librarianBrowser->leftPatchMenu->refreshFolderStructure(iv, file, folder);
    }
    updatePatchLibrarianView(0);
    return true;
  }
  if (paramIdx >= kLibUpperPreviousBank && paramIdx <= kLibLowerNextBank) {
    if (iv != 1) return false;
    const bool upper = paramIdx == kLibUpperPreviousBank || paramIdx == kLibUpperNextBank;
    if (upper && GetParam(kBankEditUnsaved)->Value() == 1.0) {
      showStatus("Save bank or Discard changes!", "");
      return true;
    }
    if (librarianBrowser) librarianBrowser->OnParamChange(paramIdx);
    return true;
  }
  return false;
}

bool Tarnivex::runInstrumentSideEffect(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  for (int base : {kFilterEnvTrigger, kAmpEnvTrigger, kEnv3Trigger, kEnv4Trigger, kFilterEnvMode, kAmpEnvMode,
                   kEnvelope3Mode, kEnvelope4Mode})
    if (inBlock(base, paramIdx)) {
      // The instrument takes these only with the whole sound.
      startPartDump(paramIdx - base, false, false);
      return true;
    }
  if (inBlock(kEffect1Mode, paramIdx) || inBlock(kEffect2Mode, paramIdx)) {
    showEffectPage(paramIdx, iv);
    return false;
  }
  if (paramIdx == kGlobalLocalControl) {
    localControl = iv == 1;
    return false;
  }
  if (paramIdx == kGlobalSysExID) {
    // The instrument answers only its present ID: the change goes out under it.
    const int previous = deviceId;
    if (midiIOConfigured) {
      unsigned char body[] = {0x3E, 0x10, static_cast<unsigned char>(previous & 0x7F), 0x24, 0x00, 0x19,
                              static_cast<unsigned char>(iv & 0x7F)};
      SendMidiSysex(body, static_cast<int>(sizeof(body)));
    }
    GetParam(kDeviceID_old)->Set(previous);
    deviceId = iv;
    return false;
  }
  if (paramIdx == kMultiName) {
    midiMessageManager->patchRequest.disarm();
    sendAllParts = false;
    sendGlobalFirst = false;
    AllSoundsOff(0, true);
    startArrangementDump();
    return false;
  }
  if (inBlock(kPatchName, paramIdx) || inBlock(kCategoryName, paramIdx)) {
    const int part = paramIdx - (inBlock(kPatchName, paramIdx) ? kPatchName : kCategoryName);
    AllSoundsOff(part, false);
    midiMessageManager->patchRequest.disarm();
    startPartDump(part, false, true);
    return false;
  }
  // A part's bank or program (the multi's program in multi mode) set by
  // the host or the editor itself: a pick of what the parameter now holds.
  if (inBlock(kMultiPartBank, paramIdx) || inBlock(kMultiPartPatch, paramIdx)) {
    const int part = paramIdx - (inBlock(kMultiPartBank, paramIdx) ? kMultiPartBank : kMultiPartPatch);
    pickPartProgram(part, inBlock(kMultiPartBank, paramIdx) ? iv : -1, GetParam(kMultiPartPatch + part)->Int(), false);
    return false;
  }
  if (paramIdx == kMultiPatch && multiMode) {
    pickPartProgram(currentPart, -1, iv, true);
    return false;
  }
  if (paramIdx == kGlobalFX2Link) OnParamChange(kMainTab);
  return false;
}

// A bank or program picked for a part on the MULTI page (the multi's program
// in multi mode) reaches the instrument as a program change for the part
// does: bank select and program change, then the part's new sound is
// requested, or in library mode the library's slot is sent.
void Tarnivex::pickPartProgram(int part, int bank, int program, bool multi) {
  if (!midiMessageManager || GetParam(kPartLock + part)->Value() == 1.0) return;
  if (!libraryControl && GetParam(kGlobalRxProgramChange)->Value() <= 0.0) {
    showStatus("Program Change Disabled.", "");
    return;
  }
  if (libraryControl && librarianBrowser &&
      librarianBrowser->refuseLibraryPick(program, librarianActivePane(), part, -1, bank))
    return;
  Pick pick;
  pick.slot = part;
  pick.bank = bank;
  pick.program = program;
  handWindowPick(pick, multi);
}

void Tarnivex::handWindowPick(Pick pick, bool multi) {
  if (!midiMessageManager) return;
  pick.road = Pick::Road::kWindow;
  // One the editor would refuse takes no older pick's place: it never
  // counts as the part's newest, and the window says why. A part's program
  // change is judged whole here (a conflict on the bank it goes on, a
  // pending bank select's included); a library entry by the library's own
  // checks, a multi by its ports.
  if (!multi && !libraryControl && pick.work == Pick::Work::kProgram) {
    if (const PickRefusal why = midiMessageManager->refusalAtEntry(pick); why != PickRefusal::kNone)
      return midiMessageManager->sayRefused(pick, why);
  } else if (const PickRefusal why = midiMessageManager->portRefusal(); why != PickRefusal::kNone) {
    return sayPickRefused(why);
  }
  PartPicks& picks = midiMessageManager->picks;
  pick.pane = librarianActivePane();
  if (libraryControl) {
    // The library's slot of that number goes, from the pane in use.
    std::optional<LibraryPick> entry = libraryPickFor(pick.program, pick.pane, pick.slot, pick.bank);
    if (!entry) return;
    pick.work = Pick::Work::kLibrary;
    pick.library = std::make_shared<const LibraryPick>(std::move(*entry));
  }
  if (multi) {
    // Another multi is a pick of every part.
    pick.slot = kMultiSlot;
    picks.hand(picks.arriveAll(true), std::move(pick));
  } else {
    picks.pick(std::move(pick));
  }
}

// Shown and hidden again: the page under a closed window is drawn afresh.
// Only the indicator and its layer: no flag of a running job changes.
void Tarnivex::flashProcessingIndicator() {
  for (bool hide : {false, true}) {
    if (progressIndicator) progressIndicator->Hide(hide);
    if (progressLayer) progressLayer->Hide(hide);
  }
}

bool Tarnivex::runProgramStep(int paramIdx, int iv) {
  if (iv != 1) return true;
  const bool up = inBlock(kPatchUp, paramIdx);
  // In multi mode every arrow, the multi selector's too, steps the multi for
  // the part shown: its lock holds the step, its sound is asked for after.
  const int part = multiMode ? currentPart.load() : paramIdx - (up ? kPatchUp : kPatchDown);
  const int step = up ? 1 : -1;
  if (librarianBrowser ? librarianBrowser->refuseLockedPart(part) : GetParam(kPartLock + part)->Value() == 1.0)
    return true;
  if (!midiMessageManager) return true;
  midiMessageManager->quickTabRefreshPending = false;
  // What the step moves: the multi's program in multi mode, else the part's;
  // counted from the newest pick under way, else from what it plays.
  const bool multi = multiMode;
  const int shownProgram = multi ? int(kMultiPatch) : kMultiPartPatch + part;
  // STEP LIBRARY steps on from the entry the pane in use highlights: where
  // it lists the sound the part plays (a bank, a category or search list).
  const int played =
      libraryControl && librarianBrowser ? librarianBrowser->playedSlotIn(multi ? kMultiSlot : part, librarianActivePane()) : -1;
  // A list that does not hold it (a new search) is stepped into from its
  // start, never from the position the part's program number happens to be.
  const int listStart = libraryControl && librarianBrowser && played < 0
                            ? librarianBrowser->listStepStart(multi ? kMultiSlot : part, librarianActivePane(), step)
                            : -1;
  const int base =
      midiMessageManager->picks.stepBase(multi ? kMultiSlot : part, played >= 0 ? played : GetParam(shownProgram)->Int());
  const int next = listStart >= 0 ? listStart : wrap(base + step, kPatchesPerBank);
  Pick pick;
  pick.slot = part;
  pick.program = next;
  pick.lockedSectionsBack = true;
  pick.silenceFirst = false;
  if (!libraryControl) {
    if (GetParam(kGlobalRxProgramChange)->Value() <= 0.0) {
      showStatus("Program Change Disabled.", "");
      return true;
    }
    if (librarianBrowser ? librarianBrowser->refuseUnsentChange(part, multi) : !midiIOConfigured) return true;
    if (!multi) {
      Pick step;
      step.slot = part;
      if (refusePartPick(part, midiMessageManager->bankOfPick(step), next)) return true;
    }
  } else if (librarianBrowser && librarianBrowser->refuseLibraryPick(next, librarianActivePane(), part)) {
    // The stepped part (the multi in multi mode) steps from the slot it
    // plays, in the pane the user works in: a step that would send nothing
    // changes nothing.
    return true;
  }
  handWindowPick(pick, multi);
  currentProgram = next;
  if (patchLibrarian) patchLibrarian->currentProgram = currentProgram.load();
  // The page follows the step: its menus list every bank of the library.
  if (librarianBrowser && librarianBrowser->programNumberMenu)
    librarianBrowser->programNumberMenu->refreshPatchNames(currentProgram);
  OnParamChange(kMainTab);
  return true;
}

// The browser ends the search and lists the sound banks again; the page
// shows the search button and the category filter in place of the field.
void Tarnivex::endSearch() {
  // The lists and menus of thousands of banks again, filled as after a
  // search.
  if (librarianBrowser) librarianBrowser->OnParamChange(kPatchSearch);
  // Stepping the library, the pane in use shows where the part's sound is now.
  if (libraryControl) highlightPlayed();
  showLayer("categoryLimit", true);
  if (searchButton) searchButton->Hide(false);
  showLayer("searchField", false);
}

void Tarnivex::runSearch() {
  const std::string text = paramDisplayText(kPatchSearchString, 0);
  // A search of thousands of banks finds thousands of sounds: their lists
  // and menus are filled as after a refresh.
  if (librarianBrowser) librarianBrowser->OnParamChange(kPatchSearchString);
  if (libraryControl) highlightPlayed();
  if (text.empty()) {
    showLayer("categoryLimit", true);
    if (searchButton) searchButton->Hide(false);
    showLayer("searchField", false);
  } else if (text.size() == 1) {
    showStatus("Enter 2 digits or more!", "");
  } else if (patchLibrarian && patchLibrarian->bankCount(kSearchList) == 0) {
    showStatus("No results - Try another keyword!", "Letter size matters!");
  }
}

// The librarian page's own parameters: the page's layers and buttons here,
// the bank lists, panes and menus in the browser.
bool Tarnivex::runLibrarianViewCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  LibrarianBrowser* browser = librarianBrowser.get();
  switch (paramIdx) {
    case kDatatype: {
      for (const char* name : {"LeftPerformancePopupMenu", "RightPerformancePopupMenu", "UPPERPOPUPMENU",
                               "LOWERPOPUPMENU", "RightPatchPopupMenu", "RightSearchPopupMenu", "categoryLimit"})
        showLayer(name, false);
      if (searchModeControl) searchModeControl->Hide(true);
      if (browser) browser->OnParamChange(kDatatype);
      if (iv == 1) {
        showLayer("LeftPerformancePopupMenu", true);
        showLayer("RightPerformancePopupMenu", true);
      } else {
        showLayer("UPPERPOPUPMENU", true);
        if (browse.categoryBrowsing) {
          showLayer("RightPatchPopupMenu", true);
        } else {
          if (searchModeControl) searchModeControl->Hide(false);
          showLayer(browse.searchActive ? "RightSearchPopupMenu" : "LOWERPOPUPMENU", true);
        }
        showLayer("categoryLimit", true);
      }
      // The top bar steps what it shows: the multi's program in multi mode.
      if (tabSwitchFunctions) tabSwitchFunctions->showTopBar(this, currentPart);
      updateBankAndProgramMenuNames(true);
      // Stepping the library, a slot of the kind no longer listed says nothing
      // of what the part plays.
      if (libraryControl && browser) browser->showPlayedSlotAlone(currentPart);
      return false;
    }
    case kCategorySelection:
      refreshStaleCategories();
      // Thousands of category banks: filled as after a refresh.
      if (browser) browser->OnParamChange(kCategorySelection);
      if (libraryControl) highlightPlayed();
      if (searchModeControl) searchModeControl->Hide(iv > 0);
      if (searchButton) searchButton->Hide(iv > 0);
      return false;
    case kRefreshFolders:
      if (browser) browser->OnParamChange(kRefreshFolders);
      if (!folderWasBusy()) showLeftOutBanks();
      return false;
    case kPatchSearch:
      if (iv == 1) {
        showLayer("categoryLimit", false);
        if (searchButton) searchButton->Hide(true);
        showLayer("searchField", true);
      } else {
        endSearch();
      }
      return false;
    case kPatchSearchString:
      runSearch();
      return !browse.searchActive || !patchLibrarian || patchLibrarian->bankCount(kSearchList) == 0;
    case kDiscardBankData: {
      if (iv != 1) return false;
      DisplayProcessingIndicator(true);
      endBankEdit();
      const std::string upper =
          paramDisplayText(kPatchSelectionListUpper, GetParam(kCurrentOpenPatchBankL + currentPart)->Int());
      const std::string lower =
          paramDisplayText(kPatchSelectionListLower, GetParam(kCurrentOpenPatchBankR + currentPart)->Int());
      {
        std::lock_guard<std::mutex> names(browse.namesMutex);
        browse.upperPatchFile = upper;
        browse.lowerPatchFile = lower;
      }
      browse.bankEditFlag = true;  // the rename field is closed
      OnParamChange(kRefreshFolders);
      // Not read again: the edit is still in the library, and unsaved.
      if (folderWasBusy()) showBankEditUnsaved();
      DisplayProcessingIndicator(false);
      return false;
    }
    case kOverwriteBank:
      // Refused before a job starts, as a drop is. The part (the multi, with
      // multis shown) goes into the library, not to the instrument: no port
      // is needed, and no "Set MIDI I/O First!" hides what was done.
      if (iv == 1 && librarianActivePane() == 0 && !refuseLibrarySlot() && librarianBrowser) {
        sendAllParts = false;
        librarianBrowser->sendEditorDataToSlot(currentPart);
      }
      return true;
    case kPatchRename:
      if (browser && browser->commitRename() && searchButton) searchButton->Hide(true);
      return false;
    default: return false;
  }
}

// Escape in the rename field cancels the rename and closes its box.
void Tarnivex::OnTextEntryCancelled(int paramIdx) {
  if (paramIdx != kPatchRename) return;
  WDL_MutexLock lock(&mMutex);
  if (LibrarianViewControl* view = librarianView()) {
    view->closeRename();
  } else {
    browse.bankEditFlag = true;
    showLayer("patchRename", false);
  }
}

bool Tarnivex::runCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  if (inBlock(kPatchUp, paramIdx) || inBlock(kPatchDown, paramIdx)) return runProgramStep(paramIdx, iv);
  if (runInstrumentSideEffect(paramIdx, value)) return true;
  switch (paramIdx) {
    case kMasterKeyboard: masterKeyboard = iv == 1; return false;
    case kKeepSelectedBank: keepSelectedBank = iv != 0; return false;
    case kControlLibrary:
    case kControlProgBank:
      // An exclusive pair: the browser switches the other off and refreshes
      // the top bar's menus.
      if (librarianBrowser) librarianBrowser->OnParamChange(paramIdx);
      return false;
    case kTriggerProgControl: {
      if (iv == 0) return false;
      IParam* progBank = GetParam(kControlProgBank);
      progBank->Set(progBank->Value() == 1.0 ? 0.0 : 1.0);
      OnParamChange(kControlProgBank);
      setParameterFromPlug(kControlProgBank, progBank->Value(), false);
      return false;
    }
    case kRandomize:
      if (iv == 1 && GetParam(kMainTab)->Value() > 0.0) {
        midiMessageManager->randomGenerator();
        midiMessageManager->randomizePatchSettings(currentPart);
        if (tabSwitchFunctions)
          tabSwitchFunctions->mainTabSwitch(this, kRandomize, GetParam(kMainTab)->Int(), modelNumber, currentPart);
        AllSoundsOff(currentPart, false);
        queuePartDump(currentPart);
        showStatus("Part Randomized", "");
        setParameterFromPlug(kRandomize, 0, false);
        randomised = true;
        partRequestPending = true;
      }
      return true;
    case kCancelDataRequest:
      if (iv == 1) midiMessageManager->cancelRequestJob();
      return false;
    case kPushArrangement:
      if (iv != 1) return false;
      midiMessageManager->patchRequest.disarm();
      AllSoundsOff(0, true);
      startMultiPush();
      return false;
    case kRequestTempData:
      if (iv == 1) {
        SenderJob job;
        job.jobCode = 5;
        job.requestFlag = true;
        midiMessageManager->dumpExpected = true;
        // GET MULTI is a pick of every part, as it starts: what each part
        // plays is what the instrument answers.
        MIDIMessageManager* manager = midiMessageManager.get();
        startRequestJob(job, [manager] {
          manager->dumpExpected = true;
          manager->sender->job.state = manager->picks.arriveAll();
        });
      }
      return false;
    case kQuickTab: {
      currentPart = std::clamp(iv, 0, 15);
      // Stepping the library, a part switch keeps the pane the user works in
      // (the menus' refresh puts the part's program in the upper one), and
      // the other pane shows nothing of another part.
      LibrarianViewControl* view = librarianBrowser ? librarianBrowser->view : nullptr;
      const int paneInUse = view ? view->activePane.load() : 0;
      if (tabSwitchFunctions) tabSwitchFunctions->quickTabSwitch(this, kQuickTab, iv, modelNumber, partChangeSend);
      updateBankAndProgramMenuNames(false);
      if (libraryControl && librarianBrowser) {
        if (view) view->activePane = paneInUse;
        librarianBrowser->showPlayedSlotAlone(currentPart);
      } else if (mainTabIndex() != 1) {
        // Made on another page, the switch moves the library's highlight all
        // the same: the page shows the new part's when it is entered.
        selectPartProgramInLibrarian(currentPart);
      }
      return false;
    }
    case kMainTab:
      if (iv == 1 && librarianBrowser && librarianBrowser->bankEditMenu) librarianBrowser->bankEditMenu->AddMenuItemsIn();
      if (tabSwitchFunctions) tabSwitchFunctions->mainTabSwitch(this, kMainTab, iv, modelNumber, currentPart);
      return false;
    case kMultiSettings:
      if (tabSwitchFunctions) tabSwitchFunctions->mainTabSwitch(this, kMultiSettings, 0, modelNumber, currentPart);
      return false;
    case kDisplayAboutWindow:
      if (iv != 0) showLayer("aboutWindow", true);
      return false;
    case kExitAboutWindow:
      if (iv != 0) {
        showLayer("aboutWindow", false);
        flashProcessingIndicator();
      }
      return false;
    default: return runLibrarianViewCommand(paramIdx, value);
  }
}
