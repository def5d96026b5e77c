#include "MIDIMessageManager.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "EditorServices.h"
#include "WaitGuard.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "RealtimeScope.h"

namespace {
constexpr const char* kSetMidiIOFirst = "Set MIDI I/O First!";
}  // namespace

MIDIMessageManager::MIDIMessageManager(EditorServices* plugIn, PatchManager* manager, PatchLibrarian* librarian,
                                       IGraphics* graphicsContext)
    : sender(nullptr), plug(plugIn), patchManager(manager), graphics(graphicsContext), patchLibrarian(librarian) {
  Poco::Thread* threads[] = {&requestThread, &clockThread, &continuousClockThread};
  for (size_t i = 0; i < mWorkers.size(); ++i) {
    mWorkers[i].thread = threads[i];
    mWorkers[i].sender = std::make_unique<MIDIMessageSender>(*this, plug, patchManager);
  }
  sender = workerFor(JobThread::kRequest).sender.get();
  for (auto& lane : mLaneSenders) lane = std::make_unique<MIDIMessageSender>(*this, plug, patchManager);
  picks.setWork([this](const PickTicket& ticket, const Pick& pick) { runPartPick(ticket, pick); },
                [this](const StateTicket& ticket, const Pick& pick) { runStatePick(ticket, pick); });
  picks.setBusyTest([this] { return busyWithJob(); });
  picks.onOvertaken = [this](const Pick& pick) { logOvertaken(pick.slot, pick); };
  for (auto& bank : mSentBanks) bank = -1;
}

MIDIMessageManager::~MIDIMessageManager() { shutDown(); }

void MIDIMessageManager::shutDown() {
  mShuttingDown = true;
  for (auto& lane : mLaneSenders)
    if (lane) lane->cancelRequested = true;
  // The picks' work ends first: it may hand jobs to the workers. A lane in
  // a pause is woken before it is joined, so the close does not wait it out.
  wakeWaiters(true);
  picks.shutDown();
  resetContinuousClock(true);
  for (Worker& worker : mWorkers) {
    if (worker.sender) worker.sender->cancelRequested = true;
    std::lock_guard<std::mutex> queueLock(worker.queueMutex);
    worker.queue.clear();
  }
  wakeWaiters(true);
  for (Worker& worker : mWorkers) {
    // Holding the starter keeps anyone from starting a job behind our back.
    std::lock_guard<std::mutex> lock(worker.starter);
    if (!worker.everStarted || !worker.sender) continue;
    if (!worker.thread->tryJoin(kJoinBoundMs)) {
      // Freeing the job object now would pull it out from under the thread;
      // it is left to the process instead.
      std::fprintf(stderr, "MIDI message manager: a worker did not stop in time\n");
      worker.sender.release();
      continue;
    }
    worker.everStarted = false;  // joined: a second shut-down leaves it alone
  }
}

SenderJob MIDIMessageManager::withTicket(const SenderJob& job) const {
  SenderJob ticketed = job;
  // A part's dump goes out under the part's pick as it was asked for: not
  // once a newer pick of the part has arrived.
  if (job.jobCode == 2 && !job.ticket) ticketed.ticket = picks.current(job.partArgument);
  return ticketed;
}

bool MIDIMessageManager::startJob(const SenderJob& given, const std::function<void()>& onStart) {
  const SenderJob job = withTicket(given);
  const JobThread which = threadOfJob(job.jobCode);
  if (which == JobThread::kNone || mShuttingDown) return false;
  if (realtimeStarter && RealtimeScope::active()) {
    realtimeStarter(job, onStart);
    return true;
  }
  bool starterBusy = false;
  return tryStartNow(workerFor(which), QueuedJob{job, onStart, 0, {}}, starterBusy);
}

bool MIDIMessageManager::tryStartNow(Worker& worker, const QueuedJob& start, bool& starterBusy) {
  std::unique_lock<std::mutex> lock(worker.starter, std::try_to_lock);
  starterBusy = !lock.owns_lock();
  if (starterBusy) return false;
  {
    std::lock_guard<std::mutex> queueLock(worker.queueMutex);
    if (worker.sender->mRunning) return false;
    // Claimed here, under the queue lock: a queuer seeing the flag set from
    // now on puts its job behind this one.
    worker.sender->mRunning = true;
  }
  try {
    // The previous job has returned; its thread is at most on its way out.
    if (worker.everStarted) worker.thread->join();
    worker.sender->job = start.job;
    worker.pauseAfterMs = start.pauseAfterMs;
    worker.onEnd = start.onEnd;
    if (start.onStart) start.onStart();
    worker.thread->start(*worker.sender);
    worker.everStarted = true;
  } catch (...) {
    std::lock_guard<std::mutex> queueLock(worker.queueMutex);
    worker.sender->mRunning = false;
    worker.queue.clear();
    worker.onEnd = nullptr;
    return false;
  }
  return true;
}

bool MIDIMessageManager::queueJob(const SenderJob& given, const std::function<void()>& onStart, int pauseAfterMs,
                                  const std::function<void()>& onEnd) {
  const SenderJob job = withTicket(given);
  const JobThread which = threadOfJob(job.jobCode);
  if (which == JobThread::kNone) return false;
  Worker& worker = workerFor(which);
  const auto sameState = [&job](const QueuedJob& waiting) {
    const SenderJob& w = waiting.job;
    return job.jobCode <= 2 && w.jobCode == job.jobCode && w.partArgument == job.partArgument &&
           w.firstSendFlag == job.firstSendFlag && w.secondSendFlag == job.secondSendFlag &&
           w.globalArgument == job.globalArgument;
  };
  for (;;) {
    if (mShuttingDown) return false;
    {
      std::lock_guard<std::mutex> queueLock(worker.queueMutex);
      if (worker.sender->mRunning) {
        auto& queue = worker.queue;
        queue.erase(std::remove_if(queue.begin(), queue.end(), sameState), queue.end());
        if (queue.size() >= kMaxQueuedJobs) return false;
        queue.push_back({job, onStart, pauseAfterMs, onEnd});
        return true;
      }
    }
    bool starterBusy = false;
    if (tryStartNow(worker, QueuedJob{job, onStart, pauseAfterMs, onEnd}, starterBusy)) return true;
    // Another starter holds the lock for the moment it takes to start a
    // thread; once it has, the job goes behind that one.
    if (starterBusy) std::this_thread::yield();
  }
}

bool MIDIMessageManager::takeQueuedJob(MIDIMessageSender& sender) {
  const auto owner = std::find_if(mWorkers.begin(), mWorkers.end(),
                                  [&sender](const Worker& w) { return w.sender.get() == &sender; });
  if (owner == mWorkers.end()) {
    sender.mRunning = false;
    return false;
  }
  Worker& worker = *owner;
  if (worker.onEnd) {
    const std::function<void()> onEnd = std::move(worker.onEnd);
    worker.onEnd = nullptr;
    onEnd();
  }
  if (worker.pauseAfterMs > 0) pause(worker.pauseAfterMs);
  QueuedJob next;
  bool idle = false;
  {
    std::lock_guard<std::mutex> queueLock(worker.queueMutex);
    if (worker.queue.empty() || mShuttingDown) {
      worker.queue.clear();
      // Last: from here on a starter may hand this sender the next job.
      sender.mRunning = false;
      idle = true;
    } else {
      next = std::move(worker.queue.front());
      worker.queue.pop_front();
    }
  }
  if (idle) {
    // The picks that came while the jobs ran go now, each on its part's lane.
    if (&worker == &workerFor(JobThread::kRequest)) picks.serveWaiting();
    return false;
  }
  sender.job = std::move(next.job);
  worker.pauseAfterMs = next.pauseAfterMs;
  worker.onEnd = std::move(next.onEnd);
  if (next.onStart) next.onStart();
  return true;
}

void MIDIMessageManager::clearQueuedJobs(JobThread thread) {
  if (thread == JobThread::kNone) return;
  Worker& worker = workerFor(thread);
  std::lock_guard<std::mutex> queueLock(worker.queueMutex);
  worker.queue.clear();
}

void MIDIMessageManager::cancelRequestJob() {
  sender->cancelRequested = true;
  // The overlay's CANCEL ends a part's request too.
  for (auto& lane : mLaneSenders) lane->cancelRequested = true;
  wakeWaiters(true);
  picks.wakeAll();
}

size_t MIDIMessageManager::queuedJobCount(JobThread thread) const {
  if (thread == JobThread::kNone) return 0;
  const Worker& worker = workerFor(thread);
  std::lock_guard<std::mutex> queueLock(worker.queueMutex);
  return worker.queue.size();
}

bool MIDIMessageManager::isThreadRunning(JobThread thread) const {
  if (thread == JobThread::kNone) return false;
  return workerFor(thread).sender->mRunning;
}

void MIDIMessageManager::sendSysexMessage(std::vector<int> message) {
  IParam* out = plug->paramAt(kDeviceOutSelection);
  if (!out || out->Value() == 0.0) {
    plug->showStatusText(kSetMidiIOFirst);
    return;
  }
  if (message.empty()) return;
  std::vector<unsigned char> bytes(message.size());
  for (size_t i = 0; i < message.size(); ++i) bytes[i] = static_cast<unsigned char>(message[i] & 0xFF);
  plug->sendSysExToDevice(bytes.data(), static_cast<int>(bytes.size()));
  plug->logSysExOutMessageByteInt(message, static_cast<int>(message.size()));
}

void MIDIMessageManager::sendSinglePatchRequestSysexFromLibrarian(bool editBuffer, int bank) {
  SenderJob job;
  job.jobCode = 9;
  job.bankArgument = bank;
  job.editBufferFlag = editBuffer;
  // The record is armed only for a request that is really sent: a stale
  // armed record would swallow later messages into the library slot.
  startJob(job, [this] {
    patchRequest.armForRequest();
    replyAccepted = false;
  });
}

void MIDIMessageManager::sendAllPatchRequestSysexFromLibrarian(int bank) {
  SenderJob job;
  job.jobCode = 10;
  job.bankArgument = bank;
  startJob(job, [this] {
    patchRequest.armForRequest();
    replyAccepted = false;
  });
}

void MIDIMessageManager::applyLibraryReply(LibraryRequest& record) {
  const LibrarianPatch entry = record.patchCopy();
  if (patchLibrarian) patchLibrarian->setSysexDatatoSelectedSlot(&entry, record.slot());
  plug->updatePatchLibrarianView(0);
  plug->setLibrarianViewDirty();
  record.taken = true;
  replyAccepted = true;
}

bool MIDIMessageManager::pause(int ms) {
  WaitGuard::beforeWait("a job's pause");
  if (virtualPause) return !mShuttingDown && virtualPause(ms);
  std::unique_lock<std::mutex> lock(mWaitMutex);
  return !mWake.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0), [this] { return mShuttingDown.load(); });
}

bool MIDIMessageManager::pauseUnlessCancelled(const MIDIMessageSender& job, int ms) {
  WaitGuard::beforeWait("a job's pause");
  if (virtualPause) return !mShuttingDown && !job.cancelRequested && virtualPause(ms) && !job.cancelRequested;
  std::unique_lock<std::mutex> lock(mWaitMutex);
  return !mWake.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0),
                         [&] { return mShuttingDown || job.cancelRequested; });
}

bool MIDIMessageManager::waitForClockTick(std::chrono::steady_clock::time_point due) {
  WaitGuard::beforeWait("the clock's wait");
  if (virtualClockTick) {
    mVirtualClockNow = due;
    return virtualClockTick(due) && !mShuttingDown && mClockRunning;
  }
  std::unique_lock<std::mutex> lock(mWaitMutex);
  mWake.wait_until(lock, due, [this] { return mShuttingDown || !mClockRunning; });
  return !mShuttingDown && mClockRunning;
}

std::chrono::steady_clock::time_point MIDIMessageManager::clockNow() const {
  return virtualClockTick ? mVirtualClockNow : std::chrono::steady_clock::now();
}

void MIDIMessageManager::resetContinuousClock(bool stop) {
  mClockRunning = !stop;
  // The audio thread calls this too: it never waits for the lock; a waiter
  // that misses the wake-up sees the flag at its next tick.
  if (stop) wakeWaiters(false);
}

void MIDIMessageManager::wakeWaiters(bool mayBlock) {
  if (mayBlock) {
    std::lock_guard<std::mutex> lock(mWaitMutex);
  } else {
    std::unique_lock<std::mutex> lock(mWaitMutex, std::try_to_lock);
  }
  mWake.notify_all();
}
