// The current part's sound on its way to the instrument, and the request
// worker's job starts of the editor's own commands.
#include <atomic>
#include <memory>

#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
constexpr int kSectionLocks = 40;
constexpr int kPartSendPauseMs = 100;
// What the instrument needs after a multi before the next message.
constexpr int kAfterMultiPauseMs = 400;

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

bool Tarnivex::queueStateSend(const SenderJob& job, std::function<void()> onStart, int pauseAfterMs) {
  if (!midiMessageManager) return false;
  MIDIMessageManager* manager = midiMessageManager.get();
  return manager->queueJob(
      job,
      [manager, onStart = std::move(onStart)] {
        manager->busy = true;
        if (onStart) onStart();
      },
      pauseAfterMs);
}

bool Tarnivex::startPartDump(int part, bool first, bool second) {
  return startRequestJob(sendPartJob(part, first, second));
}

bool Tarnivex::startArrangementDump() { return startRequestJob(sendMultiJob(false, false)); }

// SEND MULTI with every part, from the MULTI page's button or the bank-edit
// menu. Its flags are the send's own: set as it starts and cleared as it
// ends, so a send dropped behind a running job sets none (nor clears that
// job's), and one whose thread never started takes them back.
bool Tarnivex::startMultiPush() {
  auto claimed = std::make_shared<std::atomic<bool>>(false);
  MIDIMessageManager* manager = midiMessageManager.get();
  const bool started = startRequestJob(sendMultiJob(false, false), [this, claimed, manager] {
    *claimed = true;
    // Every part plays what the multi sent names: a pick of every part.
    if (manager) manager->sender->job.state = manager->picks.arriveAll();
    sendAllParts = true;
    editorBusy = true;
    sendGlobalFirst = true;
  });
  if (!started && *claimed) {
    sendAllParts = false;
    editorBusy = false;
  }
  return started;
}

bool Tarnivex::queuePartDump(int part) { return queueStateSend(sendPartJob(part, false, false)); }

bool Tarnivex::ThreadRunning() const {
  return midiMessageManager && midiMessageManager->isThreadRunning(JobThread::kRequest);
}

// The part's sound, and the multi after it, go out behind whatever the
// worker is doing: a quick series of part switches leaves the instrument
// with every part's sound. The host's thread returns at once; the pause the
// instrument needs after the multi is taken on the worker.
void Tarnivex::sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  queuePartSend(sendPartJob(part, false, false), busy, quiet, withGlobal, thenMulti);
}

void Tarnivex::sendHeldPartSound(int part) {
  SenderJob job = sendPartJob(part, false, false);
  job.whileHeld = true;
  queuePartSend(job, true, false, false, false);
}

void Tarnivex::queuePartSend(const SenderJob& job, bool busy, bool quiet, bool withGlobal, bool thenMulti) {
  sendGlobalFirst = withGlobal;
  quietSend = quiet;
  editorBusy = busy;
  // A send that waits its turn finds the options as this call gave them.
  const auto options = [this, quiet, withGlobal] {
    quietSend = quiet;
    sendGlobalFirst = withGlobal;
  };
  queueStateSend(job, options);
  if (thenMulti) queueStateSend(sendMultiJob(false, false), options, kAfterMultiPauseMs);
  editorBusy = false;
}

// A locked section kept the editor's values when the instrument's sound came
// in: the instrument gets the whole sound back, after the job ahead of it.
void Tarnivex::sendPartDataBackToHardware(int part) {
  if (!validPart(part)) return;
  SenderJob job = sendPartJob(part, false, false);
  if (midiIOConfigured && !stateRestore) job.pauseBeforeMs = kPartSendPauseMs;
  for (int k = 0; k < kSectionLocks; ++k)
    if (GetParam(kSectionLockOsc1 + 16 * k + part)->Value() == 1.0) {
      queueStateSend(job);
      return;
    }
}
