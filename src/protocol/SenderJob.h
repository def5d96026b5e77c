// One job of the sender: its code and the arguments it reads, captured when
// the job is started so no other starter can change them under it.
#pragma once

#include <string>

#include "LibrarianPatch.h"

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
  // Job 3: the program the part showed before a step or pick moved it ahead
  // of the job, put back should the job refuse the sound; below 0 when none.
  double programShownBefore = -1.0;
  // The part whose change the job serves and that change's count: the job
  // ends, sending nothing more, once the part moved on. -1: none.
  int countPart = -1;
  uint32_t partCount = 0;
  // Job 3: the library bank the entry came from (its list and file), which
  // the part plays from once the entry went out.
  std::string sourceBank;
  // Waited on the worker before the job runs, so that no starter waits.
  int pauseBeforeMs = 0;
};

// The worker thread each job code runs on.
enum class JobThread { kRequest, kClock, kContinuousClock, kNone };

constexpr int kLastJobCode = 17;

constexpr JobThread threadOfJob(int code) {
  if (code < 0 || code > kLastJobCode || code == 14) return JobThread::kNone;
  if (code == 15 || code == 17) return JobThread::kClock;
  if (code == 16) return JobThread::kContinuousClock;
  return JobThread::kRequest;
}
