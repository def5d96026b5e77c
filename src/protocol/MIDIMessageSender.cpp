#include "MIDIMessageSender.h"

#include <pthread.h>

#include <chrono>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"

MIDIMessageSender::MIDIMessageSender(MIDIMessageManager& manager, EditorServices* plugIn, PatchManager* stateHolder)
    : patchManager(stateHolder), plug(plugIn), mManager(manager) {}

namespace {
thread_local bool tJobThread = false;
// Longer than a part's request with its device-ID search.
constexpr std::chrono::milliseconds kLanesBound{30000};
}  // namespace

bool MIDIMessageManager::onJobThread() { return tJobThread; }

void MIDIMessageSender::run() {
  tJobThread = true;
  // For a user reading `top -H` or a debugger.
  static constexpr const char* kNames[] = {"tvx request", "tvx clock", "tvx clock loop", "tvx worker"};
  pthread_setname_np(pthread_self(), kNames[static_cast<int>(threadOfJob(job.jobCode))]);
  do performJob();
  while (mManager.takeQueuedJob(*this));
}

void MIDIMessageSender::performJob() {
  const SenderJob& j = job;
  if (j.pauseBeforeMs > 0 && !mManager.pause(j.pauseBeforeMs)) return;
  // A job has the instrument to itself: the picks' work under way ends first
  // (new picks wait for the job).
  if (threadOfJob(j.jobCode) == JobThread::kRequest) mManager.picks.awaitLanesIdle(kLanesBound);
  if (mManager.jobObserver && threadOfJob(j.jobCode) != JobThread::kNone)
    mManager.jobObserver(threadOfJob(j.jobCode), j);
  switch (j.jobCode) {
    case 0: sendArrangementToDevice(j.state ? *j.state : mManager.picks.arriveAll(), j.firstSendFlag, j.secondSendFlag); break;
    case 1: sendGlobalToDevice(j.globalArgument); break;
    case 2:
      sendPartToDevice(j.ticket ? *j.ticket : mManager.picks.current(j.partArgument), j.partArgument, j.firstSendFlag,
                       j.whileHeld);
      break;
    case 3: {
      // Started as a job, the entry is the part's newest pick (the multi's,
      // of every part, in multi mode).
      const LibraryPick pick{j.patchArgument, "", j.slotArgument};
      if (plug->isMultiMode()) {
        const StateTicket state = mManager.picks.arriveAll();
        sendPatchToDeviceFromLibrarian(state.multi(), &state, pick, j.partArgument, false);
      } else {
        sendPatchToDeviceFromLibrarian(j.ticket ? *j.ticket : mManager.picks.arrive(j.partArgument), nullptr, pick,
                                       j.partArgument, false);
      }
      break;
    }
    case 4: storeAllPatchesToDeviceFromLibrarian(j.storeArgument1, j.storeArgument2, j.storeArgument3); break;
    case 5: sendActiveArrangementRequestSysex(j.requestFlag); break;
    case 6:
      // Into the editor, the part's sound asked for is a pick of the part;
      // into the library it changes nothing the part plays.
      // One that cannot reach the instrument is refused as the job starts,
      // before it counts as the part's newest pick.
      if (!j.ticket && j.requestFlag) {
        if (const PickRefusal why = mManager.portRefusal(); why != PickRefusal::kNone) {
          plug->sayPickRefused(why);
          break;
        }
      }
      sendPartRequestSysex(j.ticket           ? *j.ticket
                           : j.requestFlag ? mManager.picks.arrive(j.partArgument)
                                           : mManager.picks.current(j.partArgument),
                           j.partArgument, j.requestFlag);
      break;
    case 7: sendSingleMultiRequestSysex(); break;
    case 8: sendAllMultiRequestSysex(); break;
    case 9: sendSinglePatchRequestSysex(j.editBufferFlag, j.bankArgument); break;
    case 10: sendAllPatchRequestSysex(j.bankArgument); break;
    case 11: initPerformance(j.initFlag); break;
    case 12: initClassicPatch(j.initFlag, j.partArgument); break;
    case 13: sendDeviceIdEnquiry(); break;
    case 15: startMIDIClockOutput(); break;
    case 16: sendContinuousMIDIClock(j.clockArgument); break;
    case 17: stopMIDIClockOutput(); break;
    default: break;
  }
}

void MIDIMessageSender::resetContinuousClock(bool stop) { mManager.resetContinuousClock(stop); }

void MIDIMessageSender::markJobThread() { tJobThread = true; }
