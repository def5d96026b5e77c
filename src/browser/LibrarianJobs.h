// Starting the worker's jobs from the librarian's menus. A job starts only
// with an idle worker; a busy worker, or no message manager at all, drops
// it silently, so no pick ever throws into the host's event handler.
#pragma once

#include <functional>

#include "SenderJob.h"

class MIDIMessageManager;

// What a pick sets on the manager when (and only when) its job starts.
enum JobFlags : unsigned {
  kNoFlags = 0,
  kSetDumpExpected = 1,
  kSetBusy = 2,
  kClearReplyAccepted = 4,
};

bool startLibrarianJob(MIDIMessageManager* manager, const SenderJob& job, unsigned flags = kNoFlags,
                       const std::function<void()>& onStart = {});

// The jobs of the librarian's picks.
SenderJob sendMultiJob(bool firstSend, bool secondSend);           // 0
SenderJob sendPartJob(int part, bool firstSend, bool secondSend);  // 2
SenderJob storeJob(int pane, int firstSlot, int bank);             // 4
SenderJob multiRequestJob(bool toEditor);                          // 5
SenderJob partRequestJob(int part, bool toEditor);                 // 6
SenderJob codeOnlyJob(int code);                                   // 7, 8
SenderJob initJob(bool multi, bool initOption, int part);          // 11, 12
