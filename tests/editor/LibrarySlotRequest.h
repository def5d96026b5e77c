// Library requests by program number into a slot, as the library's menus
// start them, and what a slot of the first bank holds.
#pragma once

#include <cstddef>

#include "EditorTestSupport.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"

// A sound of the bank into the slot, or the multi of that number (the
// datatype already set to multis).
inline void requestIntoLibrarySlot(Tarnivex& plug, bool multi, int slot, int bank) {
  plug.patchLibrarian->targetSlot = slot;
  plug.librarianView()->selectedUpper = slot;
  MIDIMessageManager& manager = *plug.midiMessageManager;
  if (!multi) return manager.sendSinglePatchRequestSysexFromLibrarian(false, bank);
  SenderJob job;
  job.jobCode = 7;
  manager.startJob(job, [&manager] {
    manager.performanceRequest.armForRequest();
    manager.replyAccepted = false;
  });
}

inline Bytes librarySlotDump(Tarnivex& plug, bool multi, int slot) {
  const auto bank = plug.patchLibrarian->bankAt(multi ? kMultiList : kSoundList, 0);
  if (!bank) return {};
  const auto& patch = bank->patches.at(static_cast<size_t>(slot));
  return patch.dumps.empty() ? Bytes{} : patch.dumps.at(0).bytes;
}
