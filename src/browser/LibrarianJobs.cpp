#include "LibrarianJobs.h"

#include "MIDIMessageManager.h"

bool startLibrarianJob(MIDIMessageManager* manager, const SenderJob& job, unsigned flags,
                       const std::function<void()>& onStart) {
  if (!manager) return false;
  return manager->startJob(job, [manager, flags, &onStart] {
    if (flags & kSetDumpExpected) manager->dumpExpected = true;
    if (flags & kSetBusy) manager->busy = true;
    if (flags & kClearReplyAccepted) manager->replyAccepted = false;
    if (onStart) onStart();
  });
}

SenderJob sendMultiJob(bool firstSend, bool secondSend) {
  SenderJob job;
  job.jobCode = 0;
  job.firstSendFlag = firstSend;
  job.secondSendFlag = secondSend;
  return job;
}

SenderJob sendPartJob(int part, bool firstSend, bool secondSend) {
  SenderJob job = sendMultiJob(firstSend, secondSend);
  job.jobCode = 2;
  job.partArgument = part;
  return job;
}

SenderJob storeJob(int pane, int firstSlot, int bank) {
  SenderJob job;
  job.jobCode = 4;
  job.storeArgument1 = pane;
  job.storeArgument2 = firstSlot;
  job.storeArgument3 = bank;
  return job;
}

SenderJob multiRequestJob(bool toEditor) {
  SenderJob job;
  job.jobCode = 5;
  job.requestFlag = toEditor;
  return job;
}

SenderJob partRequestJob(int part, bool toEditor) {
  SenderJob job;
  job.jobCode = 6;
  job.partArgument = part;
  job.requestFlag = toEditor;
  return job;
}

SenderJob codeOnlyJob(int code) {
  SenderJob job;
  job.jobCode = code;
  return job;
}

SenderJob initJob(bool multi, bool initOption, int part) {
  SenderJob job;
  job.jobCode = multi ? 11 : 12;
  job.initFlag = initOption;
  job.partArgument = part;
  return job;
}
