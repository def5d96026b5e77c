// One job of the sender: its code and the arguments it reads, captured when
// the job is started so no other starter can change them under it.
#pragma once

#include <optional>
#include <string>

#include "LibrarianPatch.h"
#include "PickTicket.h"

struct SenderJob {
  int jobCode = 0;
  LibrarianPatch patchArgument;
  int slotArgument = 0;
  int storeArgument1 = 0;
  int storeArgument2 = 0;
  int partArgument = 0;
  int storeArgument3 = 0;
  int bankArgument = 0;
  bool requestFlag = false;
  int globalArgument = 0;
  bool editBufferFlag = false;
  bool secondSendFlag = false;
  bool firstSendFlag = false;
  bool initFlag = false;
  int clockArgument = 0;
  // The pick a part's dump (job 2) goes out under, and the picks of every
  // part a state's send (job 0) or GET MULTI (job 5) goes out under: taken
  // from the entry when the job is started, if its starter gave none.
  std::optional<PickTicket> ticket;
  std::optional<StateTicket> state;
  // A part's dump (job 2) of the sound the editor holds: it goes only while
  // the part still plays that sound.
  bool whileHeld = false;
  // Waited on the worker before the job runs, so that no starter waits.
  int pauseBeforeMs = 0;
};

// The worker thread each job code runs on.
// kPartLane: the work of a part's pick (PickLanes.h), which no job code names.
enum class JobThread { kRequest, kClock, kContinuousClock, kNone, kPartLane };

constexpr int kLastJobCode = 17;

constexpr JobThread threadOfJob(int code) {
  if (code < 0 || code > kLastJobCode || code == 14) return JobThread::kNone;
  if (code == 15 || code == 17) return JobThread::kClock;
  if (code == 16) return JobThread::kContinuousClock;
  return JobThread::kRequest;
}
