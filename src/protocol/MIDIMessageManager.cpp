#include "MIDIMessageManager.h"

#include <cstdio>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

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
}

MIDIMessageManager::~MIDIMessageManager() { shutDown(); }

void MIDIMessageManager::shutDown() {
  mShuttingDown = true;
  resetContinuousClock(true);
  for (Worker& worker : mWorkers)
    if (worker.sender) worker.sender->cancelRequested = true;
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

bool MIDIMessageManager::startJob(const SenderJob& job, const std::function<void()>& onStart) {
  const JobThread which = threadOfJob(job.jobCode);
  if (which == JobThread::kNone || mShuttingDown) return false;
  Worker& worker = workerFor(which);
  std::unique_lock<std::mutex> lock(worker.starter, std::try_to_lock);
  if (!lock.owns_lock() || worker.sender->mRunning) return false;
  try {
    // The previous job has returned; its thread is at most on its way out.
    if (worker.everStarted) worker.thread->join();
    worker.sender->job = job;
    worker.sender->mRunning = true;
    if (onStart) onStart();
    worker.thread->start(*worker.sender);
    worker.everStarted = true;
  } catch (...) {
    worker.sender->mRunning = false;
    return false;
  }
  return true;
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
    patchRequest.arm();
    replyAccepted = false;
  });
}

void MIDIMessageManager::sendAllPatchRequestSysexFromLibrarian(int bank) {
  SenderJob job;
  job.jobCode = 10;
  job.bankArgument = bank;
  startJob(job, [this] {
    patchRequest.arm();
    replyAccepted = false;
  });
}

void MIDIMessageManager::applyLibraryReply(LibraryRequest& record) {
  const LibrarianPatch entry = record.patchCopy();
  if (patchLibrarian) patchLibrarian->setSysexDatatoSelectedSlot(&entry);
  plug->updatePatchLibrarianView(0);
  plug->setLibrarianViewDirty();
  replyAccepted = true;
}

bool MIDIMessageManager::pause(int ms) {
  if (virtualPause) return !mShuttingDown && virtualPause(ms);
  std::unique_lock<std::mutex> lock(mWaitMutex);
  return !mWake.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0), [this] { return mShuttingDown.load(); });
}

bool MIDIMessageManager::waitForClockTick(std::chrono::steady_clock::time_point due) {
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
