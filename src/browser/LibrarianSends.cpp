// Sending from the library to the instrument: one entry as a part's sound,
// or the editor's current sound or multi.
#include <algorithm>
#include <cstdio>

#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PaneBanks.h"
#include "ParamIndex.h"
#include "ProgramChannel.h"

std::pair<std::string, std::string> LibrarianBrowser::whyNothingWouldGo(int slot, int pane, int part, int upperBank) {
  bool bankThere = false, entryThere = false;
  const char* notWhole = nullptr;
  if (PatchLibrarian* librarian = mHost->librarian(); librarian && slot >= 0) {
    auto guard = librarian->lock();
    const auto bank = pane == 0 && upperBank >= 0
                          ? librarian->bankAt(paneList(*librarian, mHost->browseState(), 0), upperBank)
                          : paneBank(*librarian, mHost->browseState(), pane);
    if (bank) {
      bankThere = true;
      if (static_cast<size_t>(slot) < bank->patches.size()) {
        const LibrarianPatch& entry = bank->patches[static_cast<size_t>(slot)];
        entryThere = !entry.empty();
        notWhole = entryThere ? entry.whyNotSendable(mHost->multiMode()) : nullptr;
      }
    }
  }
  if (!bankThere) return {kNothingSent, "The library holds no bank here"};
  if (!entryThere) {
    char text[32];
    std::snprintf(text, sizeof text, "Slot %03d is empty", slot + 1);
    return {kNothingSent, text};
  }
  if (!mHost->midiConfigured()) return {"Set MIDI I/O First!", ""};
  if (notWhole) return {kEntryNotSent, notWhole};
  // The sound would land without its program change: not what the part plays.
  if (programChannel(*mHost, part, mHost->multiMode()) < 0) return {kNothingSent, kNoChannelToSendOn};
  return {};
}

bool LibrarianBrowser::refuseLibraryPick(int slot, int pane, int part, int upperBank, int pickedBank) {
  if (refuseLockedPart(part)) return true;
  if (const auto [why, detail] = whyNothingWouldGo(slot, pane, part, upperBank); !why.empty()) {
    mHost->showStatus(why, detail);
    return true;
  }
  // What goes would be a whole sound of the slot: refused when another part
  // plays the bank it goes on (the pick's, else the part's) and that program.
  const IParam* partBank = mHost->paramAt(kMultiPartBank + part);
  const int bank = pickedBank >= 0 ? pickedBank : partBank ? mHost->bankOfNextPick(part) : 0;
  return !mHost->multiMode() && mHost->refusePartPick(part, bank, slot);
}

bool LibrarianBrowser::refuseLockedPart(int part) {
  const IParam* lock = part >= 0 && part < 16 ? mHost->paramAt(kPartLock + part) : nullptr;
  if (!lock || lock->Value() != 1.0) return false;
  mHost->showStatus(kNothingSent, "Part " + std::to_string(part + 1) + " is locked");
  return true;
}

int LibrarianHost::bankOfNextPick(int part) {
  if (MIDIMessageManager* manager = messageManager()) {
    Pick pick;
    pick.slot = part;
    return manager->bankOfPick(pick);
  }
  const IParam* shown = paramAt(kMultiPartBank + part);
  return shown ? shown->Int() : 0;
}

bool LibrarianBrowser::refuseUnsentChange(int part, bool multi) {
  if (refuseLockedPart(part)) return true;
  // The instrument would ignore the program change the pick sends (the
  // library's send is its own road).
  if (const IParam* rx = mHost->paramAt(kGlobalRxProgramChange);
      !mHost->libraryControl() && (!rx || rx->Value() <= 0.0)) {
    mHost->showStatus("Program Change Disabled.", "");
    return true;
  }
  if (!mHost->midiConfigured()) {
    mHost->showStatus("Set MIDI I/O First!", "");
    return true;
  }
  return mHost->refuseNoProgramChannel(part, multi);
}

std::optional<LibraryPick> LibrarianBrowser::libraryPickFor(int slot, int pane, int part, int partBank) {
  if (part < 0 || part > 15) return std::nullopt;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian || slot < 0) return std::nullopt;
  LibraryPick pick;
  {
    auto guard = librarian->lock();
    auto bank = paneBank(*librarian, mHost->browseState(), pane);
    if (!bank) return std::nullopt;
    if (bank->patches.size() < static_cast<size_t>(kPatchesPerBank)) {
      bank = paneBankForEdit(*librarian, mHost->browseState(), pane);
      bank->holdAt(kPatchesPerBank);
    }
    // The view counts 128 slots: only the bank's own entries are ever sent.
    if (static_cast<size_t>(slot) >= bank->patches.size() || bank->patches[static_cast<size_t>(slot)].empty())
      return std::nullopt;
    pick.entry = bank->patches[static_cast<size_t>(slot)];
    pick.bank = bankKey(paneList(*librarian, mHost->browseState(), pane), *bank);
    pick.slot = slot;
  }
  if (!mHost->midiConfigured()) return std::nullopt;
  // Nothing goes out for an entry that is not a whole dump, not even notes off.
  if (const char* why = pick.entry.whyNotSendable(mHost->multiMode())) {
    mHost->showStatus(kEntryNotSent, why);
    return std::nullopt;
  }
  if (pickRefused(slot, pane, part, partBank)) return std::nullopt;
  return pick;
}

bool LibrarianBrowser::sendPatchToDeviceFromLibrarian(int slot, int pane, int part) {
  if (const IParam* lock = part >= 0 && part < 16 ? mHost->paramAt(kPartLock + part) : nullptr;
      lock && lock->Value() == 1.0)
    return false;
  std::optional<LibraryPick> entry = libraryPickFor(slot, pane, part);
  if (!entry) return false;
  Pick pick;
  pick.work = Pick::Work::kLibrary;
  pick.slot = part;
  pick.program = slot;
  pick.pane = pane;
  pick.library = std::make_shared<const LibraryPick>(std::move(*entry));
  mHost->handPick(std::move(pick), mHost->multiMode());
  return true;
}

void LibrarianBrowser::notePartPlays(int slot, const LibraryPick* source) {
  if (slot < 0 || slot >= kPickSlots) return;
  std::lock_guard<std::mutex> lock(mPlayedMutex);
  PlayedEntry& played = mPlayed[static_cast<size_t>(slot)];
  played = source ? PlayedEntry{source->bank, source->slot, source->entry} : PlayedEntry{};
}

int LibrarianBrowser::playedProgramParameter(int part) {
  return mHost->multiMode() ? int(kMultiPatch) : kMultiPartPatch + std::clamp(part, 0, 15);
}

void LibrarianBrowser::showProgramSlot(int programParameter, int pane) {
  const IParam* program = mHost->paramAt(programParameter);
  const int slot = program ? program->Int() : -1;
  // Program numbers run past the library's hundred slots.
  if (slot < 0 || slot >= kPatchesPerBank) return;
  selectSlot(pane, slot);
  if (PatchLibrarian* librarian = mHost->librarian()) librarian->currentProgram = slot;
}

// The pane highlights the library entry the part (the multi) plays, and only
// where it shows the bank that entry came from; a category or search list
// (rebuilt, or another search's) holds that sound wherever it lists it.
int LibrarianBrowser::playedSlotIn(int slot, int pane) {
  PlayedEntry played;
  {
    std::lock_guard<std::mutex> lock(mPlayedMutex);
    played = mPlayed[static_cast<size_t>(std::clamp(slot, 0, kPickSlots - 1))];
  }
  PatchLibrarian* librarian = mHost->librarian();
  if (played.slot < 0 || !librarian) return -1;
  auto guard = librarian->lock();
  const int list = paneList(*librarian, mHost->browseState(), pane);
  const auto bank = paneBank(*librarian, mHost->browseState(), pane);
  if (!bank) return -1;
  const auto bySound = [&] {
    const auto at = std::find_if(bank->patches.begin(), bank->patches.end(),
                                 [&](const LibrarianPatch& entry) { return entry.dumps == played.entry.dumps; });
    return at == bank->patches.end() ? -1 : static_cast<int>(at - bank->patches.begin());
  };
  const bool inList = list == kCategoryList || list == kSearchList;
  if (inList || bankKey(list, *bank) == played.bank) return inList ? bySound() : played.slot;
  // Picked from a category or search list: its sound stands in a bank, which
  // holds it where that bank lists it.
  const bool fromList = played.bank.rfind(std::to_string(kCategoryList) + '\n', 0) == 0 ||
                        played.bank.rfind(std::to_string(kSearchList) + '\n', 0) == 0;
  return fromList ? bySound() : -1;
}

int LibrarianBrowser::listStepStart(int slot, int pane, int step) {
  if (playedSlotIn(slot, pane) >= 0) return -1;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return -1;
  auto guard = librarian->lock();
  const int list = paneList(*librarian, mHost->browseState(), pane);
  const auto bank = paneBank(*librarian, mHost->browseState(), pane);
  if (!bank || (list != kCategoryList && list != kSearchList)) return -1;
  const auto& entries = bank->patches;
  if (step > 0) {
    const auto first = std::find_if(entries.begin(), entries.end(), [](const LibrarianPatch& e) { return !e.empty(); });
    return first == entries.end() ? -1 : static_cast<int>(first - entries.begin());
  }
  const auto last = std::find_if(entries.rbegin(), entries.rend(), [](const LibrarianPatch& e) { return !e.empty(); });
  return last == entries.rend() ? -1 : static_cast<int>(entries.rend() - last) - 1;
}

void LibrarianBrowser::showPlayedSlot(int part) {
  const int pane = view ? view->activePane.load() : 0;
  if (!mHost->libraryControl()) {
    // Stepping the instrument: its program number, in the upper pane (the
    // multi's in the pane in use).
    if (mHost->multiMode()) showProgramSlot(kMultiPatch, pane);
    else showProgramSlot(kMultiPartPatch + std::clamp(part, 0, 15), 0);
    return;
  }
  const int slot = playedSlotIn(mHost->multiMode() ? kMultiSlot : std::clamp(part, 0, 15), pane);
  if (slot >= 0) {
    selectSlot(pane, slot);
    if (PatchLibrarian* librarian = mHost->librarian()) librarian->currentProgram = slot;
    return;
  }
  // Nothing of that pane is what the part plays.
  if (view) {
    (pane == 0 ? view->selectedUpper : view->selectedLower) = -1;
    view->SetDirty(false);
  }
  if (PatchLibrarian* librarian = mHost->librarian()) (pane == 0 ? librarian->targetSlot : librarian->mSelectedLowerSlot) = -1;
}

void LibrarianBrowser::showPlayedSlotAlone(int part) {
  if (view) {
    const int other = view->activePane == 0 ? 1 : 0;
    (other == 0 ? view->selectedUpper : view->selectedLower) = -1;
    if (PatchLibrarian* librarian = mHost->librarian())
      (other == 0 ? librarian->targetSlot : librarian->mSelectedLowerSlot) = -1;
    view->SetDirty(false);
  }
  showPlayedSlot(part);
}

void LibrarianBrowser::selectSlot(int pane, int slot) {
  if (slot < 0 || slot >= kSlotsPerPane) return;
  // A job (or a pick's lane) hands the slot to the window's thread, the
  // view's one writer.
  if (view && MIDIMessageManager::onJobThread()) {
    view->handSlot(pane, slot);
  } else if (view) {
    view->dropHandedSlot();  // a newer selection than any handed over
    int& selected = pane == 0 ? view->selectedUpper : view->selectedLower;
    if (selected != slot || view->cursor != slot) {
      selected = slot;
      view->cursor = slot;
      view->SetDirty(false);
    }
  }
  if (PatchLibrarian* librarian = mHost->librarian())
    (pane == 0 ? librarian->targetSlot : librarian->mSelectedLowerSlot) = slot;
}

bool LibrarianBrowser::sendEditorDataToSlot(int part) {
  // A multi page's slot takes the multi, never a part's sound.
  const SenderJob job = mHost->multiMode() ? sendMultiJob(true, false) : sendPartJob(part, true, false);
  return startLibrarianJob(mHost->messageManager(), job, kSetBusy);
}

bool LibrarianBrowser::pickRefused(int slot, int pane, int part, int bank) {
  if (part < 0 || part > 15 || slot < 0 || mHost->multiMode() || !mHost->midiConfigured()) return false;
  if (const IParam* lock = mHost->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return false;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return false;
  {
    auto guard = librarian->lock();
    auto bank = paneBank(*librarian, mHost->browseState(), pane);
    if (!bank || static_cast<size_t>(slot) >= bank->patches.size() ||
        !bank->patches[static_cast<size_t>(slot)].sendable(false))
      return false;
  }
  // The send goes on the bank its pick carried, else the part's shown one.
  const IParam* partBank = mHost->paramAt(kMultiPartBank + part);
  return mHost->refusePartPick(part, bank >= 0 ? bank : partBank ? partBank->Int() : 0, slot);
}

void LibrarianBrowser::SendAllProgramsFromLibrarian(int bank) {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  MIDIMessageManager* manager = mHost->messageManager();
  if (!manager || !mHost->midiConfigured()) return;
  const int pane = librarian->targetSlot >= 0 ? 0 : 1;
  librarian->targetSlot = 0;
  manager->librarySendActive = true;
  if (!storeAllPatchesToDeviceFromLibrarian(pane, 0, bank)) manager->librarySendActive = false;
}

bool LibrarianBrowser::storeAllPatchesToDeviceFromLibrarian(int pane, int firstSlot, int bank) {
  MIDIMessageManager* manager = mHost->messageManager();
  if (!manager || !mHost->midiConfigured()) return false;
  return startLibrarianJob(manager, storeJob(pane, firstSlot, bank), kSetBusy);
}

void LibrarianBrowser::SendSingleProgramFromLibrarian(bool store, int part) {
  PatchLibrarian* librarian = mHost->librarian();
  MIDIMessageManager* manager = mHost->messageManager();
  if (!librarian || !manager) return;
  manager->librarySendActive = store;
  if (!sendPatchToDeviceFromLibrarian(librarian->targetSlot, 0, part)) manager->librarySendActive = false;
}
