// The current part's sound on its way to the instrument, and the request
// worker's job starts of the editor's own commands.
#include "LibrarianBrowser.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
constexpr int kSectionLocks = 40;
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

// The part's sound, or the multi, goes out the way the librarian's menus
// send it; the flags say how the send is made.
void Tarnivex::sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  sendGlobalFirst = withGlobal;
  quietSend = quiet;
  editorBusy = busy;
  if (librarianBrowser) librarianBrowser->sendPatchToDevice(part, true, quiet, withGlobal, thenMulti);
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
