// The count of each part's changes, and the change that waits for a part
// while a job has the instrument: the last one wins, and it is served on
// its own road once the jobs have ended.
#include <algorithm>
#include <string>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "MIDIMessageManager.h"

namespace {
bool isPart(int part) { return part >= 0 && part < 16; }
// The thread handing on the waiting changes: its own replays pass.
thread_local bool tServing = false;
// The change this thread is taking, and its count: what it starts for its
// part (a library send) serves that count; one change moves it once.
thread_local int tTakingPart = -1;
thread_local uint32_t tTakingCount = 0;
}  // namespace

MIDIMessageManager::TakingChange::TakingChange(int part, uint32_t count)
    : mPart(tTakingPart), mCount(tTakingCount) {
  tTakingPart = part;
  tTakingCount = count;
}

MIDIMessageManager::TakingChange::~TakingChange() {
  tTakingPart = mPart;
  tTakingCount = mCount;
}

uint32_t MIDIMessageManager::movePart(int part) {
  if (!isPart(part)) return 0;
  if (part == tTakingPart) return tTakingCount;
  std::lock_guard<std::mutex> lock(mWaitingMutex);
  // A change taken now is newer than the one waiting: that one never goes.
  // One handed on after a job is older than any that waits behind it.
  if (!tServing) mWaiting[static_cast<size_t>(part)] = WaitingChange{};
  return ++mPartCounts[static_cast<size_t>(part)];
}

uint32_t MIDIMessageManager::arrive(int part) { return isPart(part) ? ++mPartCounts[static_cast<size_t>(part)] : 0; }

uint32_t MIDIMessageManager::partCount(int part) const {
  return isPart(part) ? mPartCounts[static_cast<size_t>(part)].load() : 0;
}

bool MIDIMessageManager::partMovedOn(int part, uint32_t count) const { return partCount(part) != count; }

bool MIDIMessageManager::busyWithJob() const {
  // While the waiting changes are handed on, a newer one waits behind them.
  return plug->isEditorWorking() || isThreadRunning(JobThread::kRequest) || (mServesUnderWay > 0 && !tServing);
}

bool MIDIMessageManager::anyWaitingLocked() const {
  for (const WaitingChange& w : mWaiting)
    if (w.program || w.report) return true;
  return false;
}

bool MIDIMessageManager::anyChangeWaiting() const {
  std::lock_guard<std::mutex> lock(mWaitingMutex);
  return anyWaitingLocked();
}

void MIDIMessageManager::serveOrSettle() {
  {
    std::lock_guard<std::mutex> lock(mWaitingMutex);
    // Decided under the lock a newcomer takes: it either waits and is
    // served here, or finds nothing under way and goes on its own road.
    // A job under way serves them when it ends.
    if (mShuttingDown || !anyWaitingLocked() || plug->isEditorWorking() || isThreadRunning(JobThread::kRequest)) {
      --mServesUnderWay;
      return;
    }
  }
  plug->runOnMidiThread([this] {
    serveWaitingChanges();
    // Changes that came meanwhile and met no job are served in turn.
    serveOrSettle();
  });
}

void MIDIMessageManager::serveWhenIdle() {
  {
    std::lock_guard<std::mutex> lock(mWaitingMutex);
    if (mShuttingDown || !anyWaitingLocked()) return;
    ++mServesUnderWay;
  }
  serveOrSettle();
}

bool MIDIMessageManager::waitIfBusy(int part, const IMidiMsg& msg, bool fromDevice, int bank, uint32_t arrival) {
  if (!isPart(part) || (msg.mStatus >> 4) != 0xC) return false;
  {
    std::lock_guard<std::mutex> lock(mWaitingMutex);
    if (!busyWithJob()) return false;
    WaitingChange& w = mWaiting[static_cast<size_t>(part)];
    // The pick replaces the one waiting, its bank select with it.
    w = WaitingChange{};
    w.bank = bank;
    w.program = true;
    w.value = msg.mData1;
    w.fromDevice = fromDevice;
    w.channel = msg.mStatus & 0x0F;
    // Whatever a job does for an older change of the part is overtaken:
    // by its arrival, or now.
    w.count = arrival ? arrival : ++mPartCounts[static_cast<size_t>(part)];
    // No job ends to serve it: it goes at once after what is queued.
    if (!busyWithJob()) ++mServesUnderWay;
    else return true;
  }
  serveOrSettle();
  return true;
}

bool MIDIMessageManager::waitReportIfBusy(int part, const uint8_t* report) {
  if (!isPart(part)) return false;
  {
    std::lock_guard<std::mutex> lock(mWaitingMutex);
    if (!busyWithJob()) return false;
    WaitingChange& w = mWaiting[static_cast<size_t>(part)];
    w = WaitingChange{};
    w.report = true;
    w.fromDevice = true;
    std::copy(report, report + w.reportBytes.size(), w.reportBytes.begin());
    w.count = ++mPartCounts[static_cast<size_t>(part)];
  }
  return true;
}

void MIDIMessageManager::serveWaitingChanges() {
  if (mShuttingDown) return;
  const bool serving = tServing;
  tServing = true;
  struct Restore {
    bool was;
    ~Restore() { tServing = was; }
  } restore{serving};
  for (int part = 0; part < 16; ++part) {
    WaitingChange w;
    {
      std::lock_guard<std::mutex> lock(mWaitingMutex);
      // A job started meanwhile: the changes wait for its end.
      if (busyWithJob()) return;
      w = mWaiting[static_cast<size_t>(part)];
      mWaiting[static_cast<size_t>(part)] = WaitingChange{};
    }
    // A change that came in after it (from any road) is newer: it never goes.
    if ((w.report || w.program) && partMovedOn(part, w.count)) continue;
    if (w.report) {
      ISysEx report(0, w.reportBytes.data(), static_cast<int>(w.reportBytes.size()));
      ProcessSysEx(&report, true);
      continue;
    }
    if (!w.program) continue;
    plug->debugLog("PROCESSOR: the change that waited for part " + std::to_string(part + 1) + " goes now");
    IMidiMsg change(0, static_cast<uint8_t>(0xC0 | w.channel), static_cast<uint8_t>(w.value & 0x7F), 0);
    if (w.fromDevice)
      takeDeviceProgramChange(part, &change, w.bank, w.count);
    else
      takeHostProgramChange(part, &change, w.bank, w.count);
  }
}

void MIDIMessageManager::deviceProgramChangeInTurn(int part, IMidiMsg msg, int bank, uint32_t arrival) {
  // A newer change of the part came in behind it: that one is the pick.
  if (arrival && partMovedOn(part, arrival)) return;
  if (waitIfBusy(part, msg, true, bank, arrival)) return;
  takeDeviceProgramChange(part, &msg, bank, arrival);
}
