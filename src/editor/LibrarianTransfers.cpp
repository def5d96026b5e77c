// Library patches, whole library banks and the current part's sound on their
// way to the instrument: the editor picks what to send and hands the long
// transfer to the request worker.
#include "IMidiMsg.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"

namespace {
constexpr int kSectionLocks = 40;
constexpr int kMultiSendPauseMs = 400;
constexpr int kPartSendPauseMs = 100;

bool validPart(int part) { return part >= 0 && part < 16; }
}  // namespace

bool Tarnivex::startRequestJob(SenderJob job, const std::function<void()>& onStart) {
  if (!midiMessageManager) return false;
  MIDIMessageManager& manager = *midiMessageManager;
  return manager.startJob(job, [&manager, &onStart] {
    manager.busy = true;
    if (onStart) onStart();
  });
}

bool Tarnivex::startPartDump(int part, bool first, bool second) {
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = part;
  job.firstSendFlag = first;
  job.secondSendFlag = second;
  return startRequestJob(job);
}

bool Tarnivex::startArrangementDump() {
  SenderJob job;
  job.jobCode = 0;
  return startRequestJob(job);
}

bool Tarnivex::ThreadRunning() const {
  return midiMessageManager && midiMessageManager->isThreadRunning(JobThread::kRequest);
}

bool Tarnivex::sendPatchToDeviceFromLibrarian(int slot, int pane, int part) {
  if (!patchLibrarian || !validPart(part)) return false;
  if (GetParam(kPartLock + currentPart)->Value() == 1.0) return false;
  const int mode = patchLibrarian->librarianMode;
  int list = -1;
  int index = 0;
  if (pane == 0) {
    if (mode == 0 || mode == 1) list = mode == 0 ? kSoundList : kMultiList;
    index = patchLibrarian->upperBank;
  } else {
    if (categoryView) list = kCategoryList;
    else if (searchView) list = kSearchList;
    else if (mode == 0 || mode == 1) list = mode == 0 ? kSoundList : kMultiList;
    index = patchLibrarian->lowerBank;
  }
  if (list < 0) return false;
  const std::shared_ptr<PatchFile> bank = patchLibrarian->bankAt(list, index);
  if (!bank) return false;

  SenderJob job;
  {
    auto lock = patchLibrarian->lock();
    if (bank->patches.size() < kPatchesPerBank) bank->holdAt(kPatchesPerBank);
    // The slot view counts 128 slots and may have none selected: only the
    // bank's own entries are ever sent.
    if (slot < 0 || slot >= static_cast<int>(bank->patches.size())) {
      debugLog("PROCESSOR: library slot " + std::to_string(slot) + " does not exist; nothing sent");
      return false;
    }
    const LibrarianPatch& entry = bank->patches[static_cast<size_t>(slot)];
    if (entry.empty()) return false;
    job.patchArgument = entry;
  }
  librarianViewSentSlot = slot;
  if (!midiIOConfigured) return false;

  if (!midiMessageManager->librarySendActive) {
    const int channel = GetParam(kMultiPartMIDICh + part)->Int() - 2;
    if (channel >= 0 && channel <= 15) {
      IMidiMsg notesOff(0, static_cast<uint8_t>(0xB0 | channel), IMidiMsg::kAllNotesOff, 0);
      MIDIOutRoutingSwitch(&notesOff);
    } else {
      debugLog("MIDI OUT: all notes off for part " + std::to_string(part + 1) + " not sent: channel outside 0-15");
    }
    notesSilenced = true;
  }
  job.jobCode = 3;
  job.partArgument = part;
  job.slotArgument = slot;
  return startRequestJob(job);
}

void Tarnivex::SendSingleProgramFromLibrarian(bool keepPlaying, int part) {
  if (!patchLibrarian || !midiMessageManager) return;
  midiMessageManager->librarySendActive = keepPlaying;
  const int pane = librarianViewSelection < 0 ? 1 : 0;
  sendPatchToDeviceFromLibrarian(patchLibrarian->targetSlot, pane, part);
}

void Tarnivex::SendAllProgramsFromLibrarian(int part) {
  if (!patchLibrarian || !midiMessageManager) return;
  patchLibrarian->targetSlot = 0;
  midiMessageManager->librarySendActive = true;
  if (midiIOConfigured) storeAllPatchesToDeviceFromLibrarian(librarianViewSelection < 0 ? 1 : 0, 0, part);
}

void Tarnivex::storeAllPatchesToDeviceFromLibrarian(int pane, int first, int part) {
  if (!midiIOConfigured) return;
  SenderJob job;
  job.jobCode = 4;
  job.storeArgument1 = pane;
  job.storeArgument2 = first;
  job.storeArgument3 = part;
  startRequestJob(job);
}

void Tarnivex::sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  sendGlobalFirst = withGlobal;
  quietSend = quiet;
  editorBusy = busy;
  startPartDump(part, false, false);
  if (thenMulti) {
    startArrangementDump();
    pauseFor(kMultiSendPauseMs);
  }
  editorBusy = false;
}

void Tarnivex::sendPartDataBackToHardware(int part) {
  if (!validPart(part)) return;
  if (midiIOConfigured && !stateRestore) pauseFor(kPartSendPauseMs);
  for (int k = 0; k < kSectionLocks; ++k)
    if (GetParam(kSectionLockOsc1 + 16 * k + part)->Value() == 1.0) {
      startPartDump(part, false, false);
      return;
    }
}
