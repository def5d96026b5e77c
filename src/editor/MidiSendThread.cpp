#include "MidiSendThread.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "MIDIMessageManager.h"
#include "NoteEnds.h"
#include "WaitGuard.h"
#include "RealtimeScope.h"
#include "Tarnivex.h"
#include "WDL_Mutex.h"

MidiSendThread::MidiSendThread(Tarnivex& plug) : mPlug(plug), mThread([this] { run(); }) {}

void MidiSendThread::stop() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mChanged.notify_all();
  mWake.release();
  if (mThread.joinable()) mThread.join();
}

void MidiSendThread::sendQueuedSoundOffs() {
  while (Record* record = mQueue.front()) {
    if (record->kind == Kind::kShort && endsSounding(record->msg)) mPlug.SendMidiMsg(&record->msg);
    if (carriesPayload(record->kind) && mPayloads.front()) {
      Payload* payload = mPayloads.front();
      payload->onStart = nullptr;
      payload->job = SenderJob{};
      mPayloads.pop();
    }
    mQueue.pop();
  }
}

MidiSendThread::Record* MidiSendThread::next(Kind kind, Payload** payload) {
  Record* record = mQueue.back();
  Payload* extra = payload ? mPayloads.back() : nullptr;
  if (!record || (payload && !extra)) {
    mDropped.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  record->kind = kind;
  if (payload) *payload = extra;
  return record;
}

void MidiSendThread::publish() {
  mQueue.publish();
  mPublished.fetch_add(1, std::memory_order_release);
  wakeAfterCall();
}

void MidiSendThread::wakeAfterCall() {
  if (mWakeDeferred.load(std::memory_order_relaxed)) return;
  if (RealtimeScope::deferToEnd(&MidiSendThread::wakeAtEnd, this)) {
    mWakeDeferred.store(true, std::memory_order_relaxed);
    return;
  }
  wake();
}

void MidiSendThread::wakeAtEnd(void* self) {
  auto* thread = static_cast<MidiSendThread*>(self);
  thread->mWakeDeferred.store(false, std::memory_order_relaxed);
  thread->wake();
}

void MidiSendThread::wake() {
  mWakes.fetch_add(1, std::memory_order_relaxed);
  // Against the thread's look at the queues after it said it sleeps: one of
  // the two sees the other's write.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  // The first to find it asleep wakes it.
  if (!mAsleep.load(std::memory_order_relaxed) || !mAsleep.exchange(false)) return;
  mWakeCalls.fetch_add(1, std::memory_order_relaxed);
  mWake.release();
}

bool MidiSendThread::workWaiting() {
  if (mStopping.load() || !mQueue.empty() || mIgnoredUnreported.load()) return true;
  std::lock_guard<std::mutex> lock(mMutex);
  return !mOther.empty();
}

void MidiSendThread::sendShort(const IMidiMsg& msg) {
  if (Record* record = next(Kind::kShort)) {
    record->msg = msg;
    publish();
  }
}

bool MidiSendThread::sendSysEx(const unsigned char* bytes, int size) {
  if (size <= 0 || size > static_cast<int>(kInlineBytes)) return false;
  Payload* payload = nullptr;
  if (Record* record = next(Kind::kSysEx, &payload)) {
    std::memcpy(payload->bytes, bytes, static_cast<size_t>(size));
    record->size = size;
    mPayloads.publish();
    publish();
  }
  return true;
}

bool MidiSendThread::traceSysEx(const std::vector<int>& message, int count) {
  const int n = std::min(count, static_cast<int>(message.size()));
  if (n < 0 || n > static_cast<int>(kInlineBytes / sizeof(int))) return false;
  Payload* payload = nullptr;
  if (Record* record = next(Kind::kSysExTrace, &payload)) {
    std::copy_n(message.begin(), n, payload->ints);
    record->size = n;
    mPayloads.publish();
    publish();
  }
  return true;
}

void MidiSendThread::pause(int ms) {
  if (Record* record = next(Kind::kPause)) {
    record->value = ms;
    publish();
  }
}

void MidiSendThread::startJob(const SenderJob& job, const std::function<void()>& onStart) {
  Payload* payload = nullptr;
  if (next(Kind::kJob, &payload)) {
    payload->job = job;
    payload->onStart = onStart;
    mPayloads.publish();
    publish();
  }
}

void MidiSendThread::enquire() {
  if (next(Kind::kEnquiry)) publish();
}

bool MidiSendThread::requestPart() {
  if (!next(Kind::kPartRequest)) return false;
  publish();
  return true;
}

void MidiSendThread::programChange(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank) {
  if (Record* record = next(Kind::kProgramChange)) {
    record->msg = msg;
    record->value = part;
    record->size = bank;
    record->ticket = ticket;
    publish();
  }
}

void MidiSendThread::hostController(const IMidiMsg& msg) {
  if (Record* record = next(Kind::kHostController)) {
    record->msg = msg;
    publish();
  }
}

void MidiSendThread::logTempo(int hostTempo, bool synced) {
  if (Record* record = next(Kind::kTempoLog)) {
    record->value = hostTempo;
    record->flag = synced;
    publish();
  }
}

void MidiSendThread::log(std::string_view line) {
  Payload* payload = nullptr;
  if (next(Kind::kLogLine, &payload)) {
    const size_t n = std::min(line.size(), kInlineBytes - 1);
    std::memcpy(payload->text, line.data(), n);
    payload->text[n] = '\0';
    mPayloads.publish();
    publish();
  }
}

void MidiSendThread::enquireFromAnyThread() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mOther.emplace_back(Kind::kEnquiry, nullptr);
    ++mOtherPosted;
    mOtherWaiting.store(true, std::memory_order_release);
  }
  wake();
}

void MidiSendThread::runFromAnyThread(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mOther.emplace_back(Kind::kTask, std::move(task));
    ++mOtherPosted;
    mOtherWaiting.store(true, std::memory_order_release);
  }
  wake();
}

void MidiSendThread::wait(int ms) {
  WaitGuard::beforeWait("a pause on the MIDI thread");
  std::unique_lock<std::mutex> lock(mMutex);
  mChanged.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return mStopping.load(); });
}

bool MidiSendThread::flush(int boundMs) {
  WaitGuard::beforeWait("a wait for the MIDI thread");
  const uint64_t published = mPublished.load(std::memory_order_acquire);
  // Ignored host messages queue nothing: their count is waited for apart.
  const uint64_t ignored = mIgnored.load(std::memory_order_acquire);
  std::unique_lock<std::mutex> lock(mMutex);
  const uint64_t posted = mOtherPosted;
  return mChanged.wait_for(lock, std::chrono::milliseconds(boundMs), [&] {
    return mDone >= published && mOtherDone >= posted && mIgnoredReported >= ignored;
  });
}

void MidiSendThread::run() {
  pthread_setname_np(pthread_self(), "tvx midi out");
  // What it follows in the editor (the host's controllers and program
  // changes) never waits for a window action's file work.
  const WDL_Mutex::MidiThread midiThread;
  LossReport droppedReport, ignoredReport;
  bool logBehind = false;
  auto lastWork = std::chrono::steady_clock::now();
  for (;;) {
    if (mOtherWaiting.load(std::memory_order_acquire)) {
      // Handed over while the last run drained the queue: taken at once.
    } else if (std::chrono::steady_clock::now() - lastWork < kLookingFor) {
      (void)mWake.try_acquire_for(kLookEvery);
    } else {
      // Said before the last look, and looked after the saying: work handed
      // over before the look is found by it, and a wake after it finds the
      // thread asleep and releases it. Either way nothing waits here.
      sleepStep(SleepStep::kAboutToSaySo);
      mAsleep.store(true, std::memory_order_relaxed);
      std::atomic_thread_fence(std::memory_order_seq_cst);
      if (!workWaiting()) {
        sleepStep(SleepStep::kFoundNothing);
        // A count the log has not had yet is logged when its second is up,
        // whether or not anything else comes.
        if (logBehind)
          (void)mWake.try_acquire_for(kLossLogInterval);
        else
          mWake.acquire();
      }
      mAsleep.store(false, std::memory_order_relaxed);
    }
    if (mStopping) return;
    if (workWaiting()) lastWork = std::chrono::steady_clock::now();
    for (;;) {
      std::pair<Kind, std::function<void()>> work;
      {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mOther.empty()) {
          mOtherWaiting.store(false, std::memory_order_relaxed);
          break;
        }
        work = std::move(mOther.front());
        mOther.pop_front();
      }
      if (work.first == Kind::kTask) {
        if (work.second) work.second();
      } else {
        Record record;
        record.kind = work.first;
        perform(record, nullptr);
      }
      {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mOtherDone;
      }
      mChanged.notify_all();
    }
    uint64_t done = 0;
    while (Record* record = mQueue.front()) {
      if (mStopping) return;
      Payload* payload = carriesPayload(record->kind) ? mPayloads.front() : nullptr;
      perform(*record, payload);
      if (payload) {
        // Whatever the payload owns is let go here, not on the real-time side.
        payload->onStart = nullptr;
        payload->job = SenderJob{};
        mPayloads.pop();
      }
      mQueue.pop();
      ++done;
      // Other threads' work waits for the record in hand alone, not for the
      // queue to empty: the real-time side can keep it fed for as long as
      // this thread is behind (a loaded machine), and the window's sends
      // would wait all that time.
      if (mOtherWaiting.load(std::memory_order_acquire)) break;
    }
    // Never silent: the window says so as well as the log.
    logBehind = reportLoss(mDropped.load(std::memory_order_relaxed), droppedReport,
                           " messages of the audio thread not sent: its queue was full", " messages lost");
    // Taken back as the writer's flag was set: every count before it is seen.
    mIgnoredUnreported.exchange(false, std::memory_order_acq_rel);
    const uint64_t ignored = mIgnored.load(std::memory_order_relaxed);
    logBehind |= reportLoss(ignored, ignoredReport, " host messages not sent: the editor was busy sending",
                            " host messages not sent while busy");
    // Only now is what was drained done, loss report included: a flush
    // returning earlier would find the status line not yet telling of it.
    // (Once a run, not once a record: a waiting flush is not woken for each.)
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mDone += done;
      mIgnoredReported = ignored;
    }
    mChanged.notify_all();
  }
}

void MidiSendThread::onSleepStep(std::function<void(SleepStep)> hook) {
  std::lock_guard<std::mutex> lock(mMutex);
  mSleepHook = std::move(hook);
  mSleepHooked = static_cast<bool>(mSleepHook);
}

void MidiSendThread::sleepStep(SleepStep step) {
  if (!mSleepHooked.load(std::memory_order_relaxed)) return;
  std::function<void(SleepStep)> hook;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    hook = mSleepHook;
  }
  if (hook) hook(step);
}

bool MidiSendThread::reportLoss(uint64_t count, LossReport& report, const char* logText, const char* statusText) {
  if (count != report.shown) {
    mPlug.showLossText("MIDI Out: " + std::to_string(count) + statusText);
    report.shown = count;
  }
  if (count == report.logged) return false;
  const auto now = std::chrono::steady_clock::now();
  if (report.logged != 0 && now - report.loggedAt < kLossLogInterval) return true;
  mPlug.debugLog("MIDI OUT: " + std::to_string(count - report.logged) + logText);
  report.logged = count;
  report.loggedAt = now;
  return false;
}

void MidiSendThread::perform(Record& record, Payload* payload) {
  // A kind that carries a payload always has one: it was taken with the record.
  if (carriesPayload(record.kind) && !payload) return;
  switch (record.kind) {
    case Kind::kShort: mPlug.sendMidiMsgAndLog(&record.msg); break;
    case Kind::kSysEx: mPlug.sendSysExToDevice(payload->bytes, record.size); break;
    case Kind::kSysExTrace:
      mPlug.logSysExOutMessageByteInt(std::vector<int>(payload->ints, payload->ints + record.size), record.size);
      break;
    case Kind::kPause: mPlug.pauseFor(record.value); break;
    case Kind::kJob:
      if (mPlug.midiMessageManager) mPlug.midiMessageManager->startJob(payload->job, payload->onStart);
      break;
    case Kind::kEnquiry: mPlug.runDeviceEnquiry(); break;
    case Kind::kPartRequest: mPlug.runPartRequest(); break;
    case Kind::kProgramChange:
      if (mPlug.midiMessageManager)
        mPlug.midiMessageManager->takeHostPick(record.value, record.msg, record.ticket, record.size);
      break;
    case Kind::kHostController:
      if (mPlug.midiMessageManager)
        mPlug.midiMessageManager->getLegacyCCparam(record.msg.mData1, record.msg.Channel() + 1, record.msg.mData2,
                                                   false, false);
      break;
    case Kind::kTempoLog:
      mPlug.debugLog(record.flag ? "PROCESSOR: Host tempo synced to " + std::to_string(record.value) + "BPM"
                                 : std::string("PROCESSOR: Host tempo is out of sync!"));
      break;
    case Kind::kLogLine: mPlug.debugLog(payload->text); break;
    case Kind::kTask: break;  // never a record: run where it is taken out
  }
}
