// The editor's own parameters: page tabs, librarian views, bank and program
// stepping, search, rename, sending and requesting, and the instrument
// parameters whose change does more than send a message.
#include <algorithm>
#include <cstring>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphics.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "SysExFormat.h"
#include "TabSwitchFunctions.h"
#include "Tarnivex.h"

namespace {
constexpr int kNameLength = 16;
constexpr int kSoundNameByte = 370;
constexpr int kMultiNameByte = 23;

bool inBlock(int base, int idx) { return idx >= base && idx < base + kParamBlockSpan; }

// The 16 name bytes, cut or padded with blanks.
std::string nameField(const std::string& text) {
  std::string name = text.substr(0, kNameLength);
  name.resize(kNameLength, ' ');
  return name;
}

int wrap(int value, int count) { return ((value % count) + count) % count; }
}  // namespace

bool Tarnivex::runEarlyCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  if (inBlock(kCurrentPatchBank, paramIdx)) {
    if (keepSelectedBank) return true;
    setParameterFromPlug(kPatchSelectionListUpper, iv, false);
    GetParam(kCurrentPatchBank + currentPart)->Set(iv);
    if (IControl* list = selectionListControls[0]) list->SetValueFromPlug(GetParam(kPatchSelectionListUpper)->GetNormalized());
    if (patchLibrarian) {
      patchLibrarian->upperBank = iv;
      if (const auto bank = patchLibrarian->bankAt(kSoundList, iv)) {
        menuFolderNames[0] = bank->folderName;
        menuBankNames[0] = bank->fileName;
      }
    }
    if (LibrarianMenuControl* left = menu(LibrarianMenuControl::kLeftPatch))
      left->refreshFolderStructure(menuFolderNames[0], menuBankNames[0]);
    updatePatchLibrarianView(0);
    return true;
  }
  if (paramIdx >= kLibUpperPreviousBank && paramIdx <= kLibLowerNextBank) {
    if (iv != 1) return false;
    const bool upper = paramIdx == kLibUpperPreviousBank || paramIdx == kLibUpperNextBank;
    if (upper && GetParam(kBankEditUnsaved)->Value() == 1.0) {
      showParamName("Save bank or Discard changes!");
      return true;
    }
    stepBankList(paramIdx);
    return true;
  }
  return false;
}

void Tarnivex::stepBankList(int paramIdx) {
  const bool upper = paramIdx == kLibUpperPreviousBank || paramIdx == kLibUpperNextBank;
  const bool next = paramIdx == kLibUpperNextBank || paramIdx == kLibLowerNextBank;
  const int listParam = upper ? kPatchSelectionListUpper : kPatchSelectionListLower;
  IParam* list = GetParam(listParam);
  const int maximum = static_cast<int>(list->GetMax());
  int bankIndex = list->Int();
  if (next) bankIndex = bankIndex + 1 > maximum ? 0 : bankIndex + 1;
  else bankIndex = bankIndex == 0 ? maximum : bankIndex - 1;
  list->Set(std::clamp<double>(bankIndex, list->GetMin(), list->GetMax()));
  bankIndex = list->Int();
  if (IControl* control = selectionListControls[upper ? 0 : 1]) control->SetValueFromPlug(list->GetNormalized());
  const size_t pane = upper ? 0 : 1;
  if (patchLibrarian) (upper ? patchLibrarian->upperBank : patchLibrarian->lowerBank) = bankIndex;
  if (!multiMode) GetParam((upper ? kCurrentOpenPatchBankL : kCurrentOpenPatchBankR) + currentPart)->Set(bankIndex);

  LibrarianMenuControl::Role role = LibrarianMenuControl::kLeftPatch;
  int bankList = kSoundList;
  size_t names = pane;
  if (multiMode) {
    role = upper ? LibrarianMenuControl::kLeftPerf : LibrarianMenuControl::kRightPerf;
    bankList = kMultiList;
    names = upper ? 2 : 3;
  } else if (!upper) {
    role = categoryView ? LibrarianMenuControl::kRightCategory
                        : searchView ? LibrarianMenuControl::kRightSearch : LibrarianMenuControl::kRightPatch;
    bankList = categoryView ? kCategoryList : searchView ? kSearchList : kSoundList;
  }
  if (patchLibrarian)
    if (const auto bank = patchLibrarian->bankAt(bankList, bankIndex)) {
      menuFolderNames[names] = bank->folderName;
      menuBankNames[names] = bank->fileName;
    }
  if (LibrarianMenuControl* control = menu(role)) control->refreshFolderStructure(menuFolderNames[names], menuBankNames[names]);
  updatePatchLibrarianView(upper ? 0 : 1);
  if (upper) updateBankAndProgramMenuNames(false);
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
  if (paramIdx == kGlobalFX2Link) OnParamChange(kMainTab);
  return false;
}

bool Tarnivex::runProgramStep(int paramIdx, int iv) {
  if (iv != 1) return true;
  const bool up = inBlock(kPatchUp, paramIdx);
  const int part = paramIdx - (up ? kPatchUp : kPatchDown);
  const int step = up ? 1 : -1;
  if (multiMode) showParamName("Disable Multi Mode first");
  if (GetParam(kPartLock + part)->Value() == 1.0) return true;
  midiMessageManager->quickTabRefreshPending = false;
  if (!libraryControl) {
    if (GetParam(kGlobalRxProgramChange)->Value() <= 0.0) {
      showParamName("Program Change Disabled.");
      return true;
    }
    currentProgram = wrap(currentProgram + step, kPatchesPerBank);
    setParameterFromPlug(multiMode ? kMultiPatch : kMultiPartPatch + part, currentProgram, false);
    if (patchLibrarian) patchLibrarian->currentProgram = currentProgram.load();
    if (BankChangeMessage(part) && programBankControl) {
      SetLibrarianRequestActive(false);
      midiMessageManager->dumpExpected = true;
      SenderJob job;
      job.jobCode = 6;
      job.partArgument = part;
      job.requestFlag = true;
      startRequestJob(job, [this] { midiMessageManager->dumpExpected = true; });
      sendPartDataBackToHardware(part);
    }
  } else {
    const int pane = librarianViewSelection < 0 ? 1 : 0;
    int slot = (pane == 0 ? patchLibrarian->targetSlot : patchLibrarian->mSelectedLowerSlot) + step;
    setParameterFromPlug(kMultiPartPatch + part, std::clamp(slot, 0, kPatchesPerBank - 1), false);
    if (slot >= kPatchesPerBank) slot = 0;
    if (slot < 0) slot = kPatchesPerBank - 1;
    (pane == 0 ? patchLibrarian->targetSlot : patchLibrarian->mSelectedLowerSlot) = slot;
    currentProgram = slot;
    sendPatchToDeviceFromLibrarian(slot, pane, part);
  }
  if (patchLibrarian) patchLibrarian->currentProgram = currentProgram.load();
  if (LibrarianMenuControl* programs = menu(LibrarianMenuControl::kProgramNumber)) programs->refreshNames(currentProgram);
  OnParamChange(kMainTab);
  return true;
}

void Tarnivex::endSearch() {
  searchView = false;
  setParamDisplayText(kPatchSearchString, 0, "search...");
  showLayer("categoryLimit", true);
  if (searchButton) searchButton->Hide(false);
  showLayer("searchField", false);
  patchTypeChanged(0, 0, false);
  showLayer("LOWERPOPUPMENU", true);
  showLayer("RightSearchPopupMenu", false);
}

void Tarnivex::runSearch() {
  const std::string text = paramDisplayText(kPatchSearchString, 0);
  if (text.empty()) {
    endSearch();
    return;
  }
  if (text.size() == 1) {
    setParamDisplayText(kPatchSearchString, 0, "search...");
    showParamName("Enter 2 digits or more!");
    return;
  }
  if (!searchView) {
    setParamDisplayText(kPatchSearchString, 0, text);
    searchView = true;
    showLayer("RightSearchPopupMenu", true);
  }
  patchLibrarian->createNewSearchPatchFiles(text);
  if (patchLibrarian->bankCount(kSearchList) == 0) {
    showParamName("No results - Try another keyword!");
    showParamValue("Letter size matters!");
    setParamDisplayText(kPatchSearchString, 0, "search...");
    return;
  }
  patchTypeChanged(0, 4, false);
  showLayer("RightSearchPopupMenu", true);
}

void Tarnivex::renameSelectedEntry() {
  const bool multi = multiMode;
  const int dumpSize = multi ? kMultiDumpSize : kSoundDumpSize;
  const int nameByte = multi ? kMultiNameByte : kSoundNameByte;
  const std::shared_ptr<PatchFile> bank =
      patchLibrarian ? patchLibrarian->bankAt(multi ? kMultiList : kSoundList, patchLibrarian->upperBank) : nullptr;
  const int slot = patchLibrarian ? patchLibrarian->targetSlot.load() : -1;
  std::vector<unsigned char> copy;
  {
    auto lock = patchLibrarian->lock();
    if (bank && bank->patches.size() < kPatchesPerBank) bank->holdAt(kPatchesPerBank);
    if (bank && slot >= 0 && slot < static_cast<int>(bank->patches.size())) {
      LibrarianPatch& entry = bank->patches[static_cast<size_t>(slot)];
      // Only a whole dump has a name field to write into.
      if (!entry.dumps.empty() && static_cast<int>(entry.dumps.front().bytes.size()) >= dumpSize &&
          entry.dumps.front().bytes.front() == kSysExStart) {
        entry.name = nameField(paramDisplayText(kPatchRename, 0));
        copy = entry.dumps.front().bytes;
        std::memcpy(copy.data() + nameByte, entry.name.data(), kNameLength);
        for (int i = nameByte; i < nameByte + kNameLength; ++i)
          if (copy[static_cast<size_t>(i)] < 0x20 || copy[static_cast<size_t>(i)] > 0x7E) copy[static_cast<size_t>(i)] = ' ';
        writeDumpChecksum(copy.data(), static_cast<int>(copy.size()));
      }
    }
  }
  if (copy.empty()) {
    showParamName("Select a slot holding a patch first!");
    return;
  }
  SetLibrarianRequestActive(true);
  ISysEx message(0, copy.data(), static_cast<int>(copy.size()));
  ProcessSysEx(&message, true);
  if (multi) {
    midiMessageManager->performanceRequest.disarm();
    showLayer("LeftPerformancePopupMenu", false);
  } else {
    midiMessageManager->patchRequest.disarm();
    showLayer("UPPERPOPUPMENU", false);
  }
  showLayer("discardChangesLayerRight", true);
  showLayer("keepBankOpenLayer", false);
  if (searchButton) searchButton->Hide(true);
  GetParam(kBankEditUnsaved)->Set(1.0);
  showLayer("patchRename", false);
  bankEditPending = true;
}

bool Tarnivex::runLibrarianViewCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  switch (paramIdx) {
    case kDatatype: {
      for (const char* name : {"LeftPerformancePopupMenu", "RightPerformancePopupMenu", "UPPERPOPUPMENU",
                               "LOWERPOPUPMENU", "RightPatchPopupMenu", "RightSearchPopupMenu", "categoryLimit"})
        showLayer(name, false);
      if (searchModeControl) searchModeControl->Hide(true);
      if (iv == 1) {
        multiMode = true;
        patchTypeChanged(1, 2, false);
        showLayer("LeftPerformancePopupMenu", true);
        showLayer("RightPerformancePopupMenu", true);
      } else {
        multiMode = false;
        showLayer("UPPERPOPUPMENU", true);
        if (categoryView) {
          patchTypeChanged(0, 1, false);
          showLayer("RightPatchPopupMenu", true);
        } else if (searchView) {
          if (searchModeControl) searchModeControl->Hide(false);
          patchTypeChanged(0, 4, false);
          showLayer("RightSearchPopupMenu", true);
        } else {
          if (searchModeControl) searchModeControl->Hide(false);
          patchTypeChanged(0, 0, false);
          showLayer("LOWERPOPUPMENU", true);
        }
        showLayer("categoryLimit", true);
      }
      if (LibrarianMenuControl* edit = menu(LibrarianMenuControl::kBankEdit)) edit->AddMenuItemsIn();
      updateBankAndProgramMenuNames(true);
      return false;
    }
    case kCategorySelection:
      for (const char* name : {"RightSearchPopupMenu", "RightPatchPopupMenu", "LOWERPOPUPMENU"}) showLayer(name, false);
      if (iv > 0) {
        categoryView = true;
        patchTypeChanged(0, 1, false);
        showLayer("RightPatchPopupMenu", true);
        if (searchModeControl) searchModeControl->Hide(true);
        if (searchButton) searchButton->Hide(true);
      } else {
        categoryView = false;
        patchTypeChanged(0, 0, false);
        showLayer("LOWERPOPUPMENU", true);
        if (searchModeControl) searchModeControl->Hide(false);
        if (searchButton) searchButton->Hide(false);
      }
      return false;
    case kRefreshFolders:
      if (multiMode) patchTypeChanged(1, 2, true);
      else if (categoryView) patchTypeChanged(0, 1, true);
      else if (searchView) patchTypeChanged(0, 4, true);
      else patchTypeChanged(0, 0, true);
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
      return !searchView || patchLibrarian->bankCount(kSearchList) == 0;
    case kDiscardBankData:
      if (iv != 1) return false;
      DisplayProcessingIndicator(true);
      showLayer("discardChangesLayerRight", false);
      showLayer("keepBankOpenLayer", true);
      if (searchButton) searchButton->Hide(false);
      showLayer("patchRename", false);
      GetParam(kBankEditUnsaved)->Set(0.0);
      showLayer(multiMode ? "LeftPerformancePopupMenu" : "UPPERPOPUPMENU", true);
      if (datatypeControl) datatypeControl->GrayOut(false);
      menuBankNames[0] = paramDisplayText(kPatchSelectionListUpper, GetParam(kCurrentOpenPatchBankL + currentPart)->Int());
      menuBankNames[1] = paramDisplayText(kPatchSelectionListLower, GetParam(kCurrentOpenPatchBankR + currentPart)->Int());
      bankEditPending = false;
      OnParamChange(kRefreshFolders);
      DisplayProcessingIndicator(false);
      return false;
    case kOverwriteBank:
      if (iv == 1 && librarianViewSelection >= 0) {
        sendAllParts = false;
        startPartDump(currentPart, true, false);
      }
      return false;
    case kPatchRename:
      if (!bankEditPending) renameSelectedEntry();
      return false;
    default: return false;
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
      if (iv == 1) {
        setParameterFromPlug(kControlProgBank, 0, false);
        programBankControl = false;
        libraryControl = true;
      } else {
        libraryControl = false;
      }
      updateBankAndProgramMenuNames(false);
      return false;
    case kControlProgBank:
      if (iv == 1) {
        setParameterFromPlug(kControlLibrary, 0, false);
        libraryControl = false;
        programBankControl = true;
      } else {
        programBankControl = false;
      }
      updateBankAndProgramMenuNames(false);
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
        startPartDump(currentPart, false, false);
        showParamName("Part Randomized");
        setParameterFromPlug(kRandomize, 0, false);
        randomised = true;
        partRequestPending = true;
      }
      return true;
    case kCancelDataRequest:
      if (iv == 1) midiMessageManager->sender->cancelRequested = true;
      return false;
    case kPushArrangement:
      if (iv != 1) return false;
      sendAllParts = true;
      editorBusy = true;
      sendGlobalFirst = true;
      midiMessageManager->patchRequest.disarm();
      AllSoundsOff(0, true);
      startArrangementDump();
      return false;
    case kRequestTempData:
      if (iv == 1) {
        SenderJob job;
        job.jobCode = 5;
        job.requestFlag = true;
        midiMessageManager->dumpExpected = true;
        startRequestJob(job, [this] { midiMessageManager->dumpExpected = true; });
      }
      return false;
    case kQuickTab:
      currentPart = std::clamp(iv, 0, 15);
      if (tabSwitchFunctions) tabSwitchFunctions->quickTabSwitch(this, kQuickTab, iv, modelNumber, partChangeSend);
      updateBankAndProgramMenuNames(false);
      return false;
    case kMainTab:
      if (iv == 1)
        if (LibrarianMenuControl* edit = menu(LibrarianMenuControl::kBankEdit)) edit->AddMenuItemsIn();
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
        // Shown and hidden again: the overlay's controls are drawn afresh.
        for (bool hide : {false, true}) {
          if (progressIndicator) progressIndicator->Hide(hide);
          if (progressLayer) progressLayer->Hide(hide);
        }
      }
      return false;
    default: return runLibrarianViewCommand(paramIdx, value);
  }
}
