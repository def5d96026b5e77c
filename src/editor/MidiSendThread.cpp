#include "MidiSendThread.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "MIDIMessageManager.h"
#include "RealtimeScope.h"
#include "Tarnivex.h"

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

MidiSendThread::Record* MidiSendThread::next(Kind kind) {
  Record* record = mQueue.back();
  if (!record) {
    mDropped.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  record->kind = kind;
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
  mWake.release();
}

void MidiSendThread::sendShort(const IMidiMsg& msg) {
  if (Record* record = next(Kind::kShort)) {
    record->msg = msg;
    publish();
  }
}

bool MidiSendThread::sendSysEx(const unsigned char* bytes, int size) {
  if (size <= 0 || size > static_cast<int>(kInlineBytes)) return false;
  if (Record* record = next(Kind::kSysEx)) {
    std::memcpy(record->bytes, bytes, static_cast<size_t>(size));
    record->size = size;
    publish();
  }
  return true;
}

bool MidiSendThread::traceSysEx(const std::vector<int>& message, int count) {
  const int n = std::min(count, static_cast<int>(message.size()));
  if (n < 0 || n > static_cast<int>(kInlineBytes / sizeof(int))) return false;
  if (Record* record = next(Kind::kSysExTrace)) {
    std::copy_n(message.begin(), n, record->ints);
    record->size = n;
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
  if (Record* record = next(Kind::kJob)) {
    record->job = job;
    record->onStart = onStart;
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

void MidiSendThread::programChange(int part, const IMidiMsg& msg) {
  if (Record* record = next(Kind::kProgramChange)) {
    record->msg = msg;
    record->value = part;
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

void MidiSendThread::log(const std::string& line) {
  if (Record* record = next(Kind::kLogLine)) {
    const size_t n = std::min(line.size(), kInlineBytes - 1);
    std::memcpy(record->text, line.data(), n);
    record->text[n] = '\0';
    publish();
  }
}

void MidiSendThread::enquireFromAnyThread() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mOther.emplace_back(Kind::kEnquiry, nullptr);
    ++mOtherPosted;
  }
  wake();
}

void MidiSendThread::runFromAnyThread(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mOther.emplace_back(Kind::kTask, std::move(task));
    ++mOtherPosted;
  }
  wake();
}

void MidiSendThread::wait(int ms) {
  std::unique_lock<std::mutex> lock(mMutex);
  mChanged.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return mStopping.load(); });
}

bool MidiSendThread::flush(int boundMs) {
  const uint64_t published = mPublished.load(std::memory_order_acquire);
  std::unique_lock<std::mutex> lock(mMutex);
  const uint64_t posted = mOtherPosted;
  return mChanged.wait_for(lock, std::chrono::milliseconds(boundMs),
                           [&] { return mDone >= published && mOtherDone >= posted; });
}

void MidiSendThread::run() {
  pthread_setname_np(pthread_self(), "tvx midi out");
  uint64_t droppedReported = 0, ignoredReported = 0;
  for (;;) {
    mWake.acquire();
    if (mStopping) return;
    for (;;) {
      std::pair<Kind, std::function<void()>> work;
      {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mOther.empty()) break;
        work = std::move(mOther.front());
        mOther.pop_front();
      }
      if (work.first == Kind::kTask) {
        if (work.second) work.second();
      } else {
        Record record;
        record.kind = work.first;
        perform(record);
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
      perform(*record);
      // Whatever the record owns is let go here, not on the real-time side.
      record->onStart = nullptr;
      record->job = SenderJob{};
      mQueue.pop();
      ++done;
    }
    // Never silent: the window says so as well as the log.
    reportLoss(mDropped.load(std::memory_order_relaxed), droppedReported,
               " messages of the audio thread not sent: its queue was full", " messages lost");
    mIgnoredUnreported.store(false, std::memory_order_release);
    reportLoss(mIgnored.load(std::memory_order_relaxed), ignoredReported,
               " host messages not sent: the editor was busy sending", " host messages not sent while busy");
    // Only now is what was drained done, loss report included: a flush
    // returning earlier would find the status line not yet telling of it.
    // (Once a run, not once a record: a waiting flush is not woken for each.)
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mDone += done;
    }
    mChanged.notify_all();
  }
}

void MidiSendThread::reportLoss(uint64_t count, uint64_t& reported, const char* logText, const char* statusText) {
  if (count == reported) return;
  mPlug.debugLog("MIDI OUT: " + std::to_string(count - reported) + logText);
  mPlug.showStatusText(("MIDI Out: " + std::to_string(count) + statusText).c_str());
  reported = count;
}

void MidiSendThread::perform(Record& record) {
  switch (record.kind) {
    case Kind::kShort: mPlug.sendMidiMsgAndLog(&record.msg); break;
    case Kind::kSysEx: mPlug.sendSysExToDevice(record.bytes, record.size); break;
    case Kind::kSysExTrace:
      mPlug.logSysExOutMessageByteInt(std::vector<int>(record.ints, record.ints + record.size), record.size);
      break;
    case Kind::kPause: mPlug.pauseFor(record.value); break;
    case Kind::kJob:
      if (mPlug.midiMessageManager) mPlug.midiMessageManager->startJob(record.job, record.onStart);
      break;
    case Kind::kEnquiry: mPlug.runDeviceEnquiry(); break;
    case Kind::kPartRequest: mPlug.runPartRequest(); break;
    case Kind::kProgramChange:
      if (mPlug.midiMessageManager) mPlug.midiMessageManager->MakeProgramChangeMessages(record.value, &record.msg);
      break;
    case Kind::kTempoLog:
      mPlug.debugLog(record.flag ? "PROCESSOR: Host tempo synced to " + std::to_string(record.value) + "BPM"
                                 : std::string("PROCESSOR: Host tempo is out of sync!"));
      break;
    case Kind::kLogLine: mPlug.debugLog(record.text); break;
    case Kind::kTask: break;  // never a record: run where it is taken out
  }
}
