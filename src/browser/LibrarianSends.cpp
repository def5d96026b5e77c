// Sending from the library to the instrument: one entry as a part's sound,
// or the editor's current sound or multi.
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PaneBanks.h"
#include "ParamIndex.h"

void LibrarianBrowser::sendPatchToDeviceFromLibrarian(int slot, int pane, int part) {
  if (part < 0 || part > 15) return;
  if (const IParam* lock = mHost->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return;
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian || slot < 0) return;
  SenderJob job;
  {
    auto guard = librarian->lock();
    const auto bank = paneBank(*librarian, mHost->browseState(), pane);
    if (!bank) return;
    if (bank->patches.size() < static_cast<size_t>(kPatchesPerBank)) bank->holdAt(kPatchesPerBank);
    if (static_cast<size_t>(slot) >= bank->patches.size() || bank->patches[static_cast<size_t>(slot)].empty()) return;
    job.patchArgument = bank->patches[static_cast<size_t>(slot)];
  }
  if (view) view->cursor = slot;
  job.jobCode = 3;
  job.slotArgument = slot;
  job.partArgument = part;
  startLibrarianJob(mHost->messageManager(), job, kSetBusy);
}

void LibrarianBrowser::sendPatchToDevice(int part, bool sound, bool, bool, bool multi) {
  if (sound)
    startLibrarianJob(mHost->messageManager(), sendPartJob(part, false, false), kSetBusy);
  else if (multi)
    startLibrarianJob(mHost->messageManager(), sendMultiJob(false, false), kSetBusy);
}

void LibrarianBrowser::SendAllProgramsFromLibrarian(int bank) {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  const int pane = librarian->targetSlot >= 0 ? 0 : 1;
  librarian->targetSlot = 0;
  startLibrarianJob(mHost->messageManager(), storeJob(pane, 0, bank), kSetBusy);
}

void LibrarianBrowser::SendSingleProgramFromLibrarian(int part) {
  PatchLibrarian* librarian = mHost->librarian();
  if (!librarian) return;
  sendPatchToDeviceFromLibrarian(librarian->targetSlot, 0, part);
}
