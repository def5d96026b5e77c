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

namespace {
constexpr const char* kEditorBusy = "Editor busy, try again";
}  // namespace

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
  // A running job would drop the send.
  if (MIDIMessageManager* manager = mHost->messageManager(); manager && manager->isThreadRunning(threadOfJob(3)))
    return {kNothingSent, kEditorBusy};
  return {};
}

bool LibrarianBrowser::refuseLibraryPick(int slot, int pane, int part, int upperBank) {
  if (refuseLockedPart(part)) return true;
  if (const auto [why, detail] = whyNothingWouldGo(slot, pane, part, upperBank); !why.empty()) {
    mHost->showStatus(why, detail);
    return true;
  }
  // What goes would be a whole sound of the slot: refused when another part
  // plays the part's bank and that program.
  const IParam* partBank = mHost->paramAt(kMultiPartBank + part);
  return !mHost->multiMode() && mHost->refusePartPick(part, partBank ? partBank->Int() : 0, slot);
}

bool LibrarianBrowser::refuseLockedPart(int part) {
  const IParam* lock = part >= 0 && part < 16 ? mHost->paramAt(kPartLock + part) : nullptr;
  if (!lock || lock->Value() != 1.0) return false;
  mHost->showStatus(kNothingSent, "Part " + std::to_string(part + 1) + " is locked");
  return true;
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

bool LibrarianBrowser::sendPatchToDeviceFromLibrarian(int slot, int pane, int part, double shownBefore) {
  if (part < 0 || part > 15) return false;
  if (const IParam* lock = mHost->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return false;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian || slot < 0) return false;
  SenderJob job;
  {
    auto guard = librarian->lock();
    auto bank = paneBank(*librarian, mHost->browseState(), pane);
    if (!bank) return false;
    if (bank->patches.size() < static_cast<size_t>(kPatchesPerBank)) {
      bank = paneBankForEdit(*librarian, mHost->browseState(), pane);
      bank->holdAt(kPatchesPerBank);
    }
    // The view counts 128 slots: only the bank's own entries are ever sent.
    if (static_cast<size_t>(slot) >= bank->patches.size() || bank->patches[static_cast<size_t>(slot)].empty())
      return false;
    job.patchArgument = bank->patches[static_cast<size_t>(slot)];
    job.sourceBank = bankKey(paneList(*librarian, mHost->browseState(), pane), *bank);
  }
  if (!mHost->midiConfigured()) return false;
  // Nothing goes out for an entry that is not a whole dump, not even notes off.
  if (const char* why = job.patchArgument.whyNotSendable(mHost->multiMode())) {
    mHost->showStatus(kEntryNotSent, why);
    return false;
  }
  if (pickRefused(slot, pane, part)) return false;
  MIDIMessageManager* manager = mHost->messageManager();
  job.jobCode = 3;
  job.slotArgument = slot;
  job.partArgument = part;
  job.programShownBefore = shownBefore;
  // The send is the part's newest change; a newer one ends it where it is.
  if (manager) {
    job.countPart = part;
    job.partCount = manager->movePart(part);
  }
  return startLibrarianJob(manager, job, kSetBusy);
}

int LibrarianBrowser::playedProgramParameter(int part) {
  return mHost->multiMode() ? int(kMultiPatch) : kMultiPartPatch + std::clamp(part, 0, 15);
}

int LibrarianBrowser::playedSlot(int part) {
  const IParam* program = mHost->paramAt(playedProgramParameter(part));
  return program ? program->Int() : 0;
}

bool LibrarianBrowser::movesPlayedSlot(int part) {
  if (part < 0 || part > 15) return false;
  return !mHost->libraryControl() || mHost->multiMode() || part == mHost->currentPart();
}

void LibrarianBrowser::showProgramSlot(int programParameter, int pane, int part) {
  const IParam* program = mHost->paramAt(programParameter);
  const int slot = program ? program->Int() : -1;
  // Program numbers run past the library's hundred slots.
  if (slot < 0 || slot >= kPatchesPerBank) return;
  // The same number in a bank the part does not play from is another sound.
  if (part >= 0 && !paneShowsPlayedBank(part, pane)) {
    if (view) {
      (pane == 0 ? view->selectedUpper : view->selectedLower) = -1;
      view->SetDirty(false);
    }
    if (PatchLibrarian* librarian = mHost->librarian())
      (pane == 0 ? librarian->targetSlot : librarian->mSelectedLowerSlot) = -1;
    return;
  }
  selectSlot(pane, slot);
  if (PatchLibrarian* librarian = mHost->librarian()) librarian->currentProgram = slot;
}

void LibrarianBrowser::showPlayedSlot(int part) {
  if (!movesPlayedSlot(part)) return;
  // The multi panes list multis: a part's program is never a slot there.
  if (mHost->libraryControl() || mHost->multiMode())
    showProgramSlot(playedProgramParameter(part), view ? view->activePane : 0, stepsPartSound(part));
  else
    showProgramSlot(kMultiPartPatch + part, 0);
}

void LibrarianBrowser::showPlayedSlotAlone(int part) {
  if (view) {
    const int other = view->activePane == 0 ? 1 : 0;
    (other == 0 ? view->selectedUpper : view->selectedLower) = -1;
    if (PatchLibrarian* librarian = mHost->librarian())
      (other == 0 ? librarian->targetSlot : librarian->mSelectedLowerSlot) = -1;
    view->SetDirty(false);
  }
  if (movesPlayedSlot(part))
    showProgramSlot(playedProgramParameter(part), view ? view->activePane : 0, stepsPartSound(part));
}

int LibrarianBrowser::stepsPartSound(int part) {
  return mHost->libraryControl() && !mHost->multiMode() ? part : -1;
}

void LibrarianBrowser::notePartPlaysFromBank(int part, const std::string& bank, int slot) {
  if (part < 0 || part > 15) return;
  std::lock_guard<std::mutex> lock(mPlayedMutex);
  mPlayed[static_cast<size_t>(part)] = {bank, slot};
}

bool LibrarianBrowser::paneShowsPlayedBank(int part, int pane) {
  PlayedBank played;
  {
    std::lock_guard<std::mutex> lock(mPlayedMutex);
    played = mPlayed[static_cast<size_t>(std::clamp(part, 0, 15))];
  }
  // Moved since by another road (the host, the instrument): the part's own bank.
  if (played.slot != playedSlot(part)) played.bank.clear();
  if (played.bank.empty() && pane == 0) return true;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return pane == 0;
  auto guard = librarian->lock();
  const std::string shown = paneBankKey(*librarian, mHost->browseState(), pane);
  if (!played.bank.empty()) return shown == played.bank;
  return !shown.empty() && shown == paneBankKey(*librarian, mHost->browseState(), 0);
}

void LibrarianBrowser::selectSlot(int pane, int slot) {
  if (slot < 0 || slot >= kSlotsPerPane) return;
  // A send off the window's thread finds the slot its pick selected there:
  // nothing of the view is written again. A job hands the slot over.
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

bool LibrarianBrowser::pickRefused(int slot, int pane, int part) {
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
  const IParam* partBank = mHost->paramAt(kMultiPartBank + part);
  return mHost->refusePartPick(part, partBank ? partBank->Int() : 0, slot);
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
