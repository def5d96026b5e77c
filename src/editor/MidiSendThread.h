// The instance's MIDI thread. What the host's real-time calls (the block and
// the host's MIDI events) would send, pause, start or move in the editor goes
// into a queue that they fill without waiting; this thread takes it out in
// order and does it: the sends with their trace lines, the pauses, the job
// starts, the host's program changes and controllers. Other
// threads hand it work that must not wait on theirs (the device enquiry
// with its pause).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string_view>
#include <thread>

#include "IMidiMsg.h"
#include "PickTicket.h"
#include "SenderJob.h"
#include "SpscQueue.h"

class Tarnivex;

class MidiSendThread {
 public:
  // What one queued record asks for.
  enum class Kind : uint8_t {
    kShort,          // msg: sendMidiMsgAndLog
    kSysEx,          // bytes: the SysEx exit
    kSysExTrace,     // ints: the outgoing-message log line
    kPause,          // value: ms
    kJob,            // job, onStart: start it
    kEnquiry,        // the device enquiry and its pause
    kPartRequest,    // the block's deferred part request
    kProgramChange,  // msg, value (part), ticket (its pick), size (the bank it took along): the host's program change
    kHostController, // msg: the controller from the host moving its control
    kTempoLog,       // value: host tempo, flag: synced (else out of sync)
    kLogLine,        // text: one debug-log line
    kTask,           // from other threads: work that sends and pauses in order
  };
  static constexpr size_t kInlineBytes = 128;
  // A record is as large as a short message: what only some kinds carry
  // (SysEx bytes, a trace, a log line, a job) goes in a payload of its own,
  // taken in the same order.
  struct Record {
    Kind kind = Kind::kShort;
    bool flag = false;
    int value = 0;
    int size = 0;
    IMidiMsg msg;
    std::optional<PickTicket> ticket;
  };
  struct Payload {
    union {
      unsigned char bytes[kInlineBytes];
      int ints[kInlineBytes / sizeof(int)];
      char text[kInlineBytes];
    };
    SenderJob job;
    std::function<void()> onStart;
    Payload() : bytes{} {}
  };
  static bool carriesPayload(Kind kind) {
    return kind == Kind::kSysEx || kind == Kind::kSysExTrace || kind == Kind::kJob || kind == Kind::kLogLine;
  }
  // A second of the densest traffic a MIDI cable carries (31,250 baud:
  // 3,125 one-byte messages) and more: a host's burst waits here, never
  // dropped, while the thread sends at the port's pace.
  static constexpr size_t kCapacity = 4096;
  // Payloads: more than a cable carries of full SysEx records in a second
  // (24 a second of 128 bytes).
  static constexpr size_t kPayloadCapacity = 512;

  explicit MidiSendThread(Tarnivex& plug);
  ~MidiSendThread() { stop(); }
  // Ends the thread (a pause it is in ends early); what is still queued is
  // dropped. The plug-in's pointer to it stays valid until it has ended.
  void stop();
  // After stop: the host's messages that end a sound still queued go
  // straight to the port (a note the host ended must not hang on the
  // instrument); everything else queued is dropped.
  void sendQueuedSoundOffs();
  MidiSendThread(const MidiSendThread&) = delete;
  MidiSendThread& operator=(const MidiSendThread&) = delete;

  // ---- The real-time side: never waits, never allocates. A record that
  // does not fit is dropped (and counted, logged by the thread).
  void sendShort(const IMidiMsg& msg);
  // False when the message is larger than a record holds.
  bool sendSysEx(const unsigned char* bytes, int size);
  bool traceSysEx(const std::vector<int>& message, int count);
  void pause(int ms);
  // onStart's target must be small enough to live inside std::function.
  void startJob(const SenderJob& job, const std::function<void()>& onStart);
  void enquire();
  bool requestPart();
  void programChange(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank);
  void hostController(const IMidiMsg& msg);
  void logTempo(int hostTempo, bool synced);
  void log(std::string_view line);

  // ---- Any other thread.
  void enquireFromAnyThread();
  // The task runs on this thread, in order with the enquiries, so that the
  // pauses it takes between its messages keep no host thread waiting. It
  // waits for the real-time side's record in hand, not for its whole queue.
  void runFromAnyThread(std::function<void()> task);

  // ---- On the MIDI thread: a pause that ends early when the thread stops.
  bool onThread() const { return std::this_thread::get_id() == mThread.get_id(); }
  void wait(int ms);

  // Waits until everything handed over so far is done, the losses counted
  // so far reported with it; false after the bound.
  bool flush(int boundMs = 10000);
  // Records of the real-time side dropped because the queue was full.
  uint64_t dropped() const { return mDropped.load(std::memory_order_relaxed); }
  // A host message the editor did not send, being busy (a job's overlay or
  // a transfer); counted here and reported from this thread. Any thread.
  void countIgnored() {
    mIgnored.fetch_add(1, std::memory_order_relaxed);
    // One wake for a run of them, after the host's call that brought them:
    // the thread reports the count once.
    if (!mIgnoredUnreported.exchange(true, std::memory_order_acq_rel)) wakeAfterCall();
  }
  uint64_t ignored() const { return mIgnored.load(std::memory_order_relaxed); }
  // How often the thread was asked to wake: a host's burst, or a block, asks
  // once (a system call only while the thread sleeps).
  uint64_t wakes() const { return mWakes.load(std::memory_order_relaxed); }
  // Of them, the wakes made by a system call; and whether the thread sleeps
  // until woken now.
  uint64_t wakeCalls() const { return mWakeCalls.load(std::memory_order_relaxed); }
  bool asleep() const { return mAsleep.load(std::memory_order_relaxed); }
  // Where the thread stands as it goes to sleep: before it says it sleeps,
  // and after its last look found nothing. A test hands work over there;
  // the hook runs on this thread. Null takes it away.
  enum class SleepStep : uint8_t { kAboutToSaySo, kFoundNothing };
  void onSleepStep(std::function<void(SleepStep)> hook);

 private:
  // A free record, and for a kind that carries one a free payload; null
  // (counted as dropped) when either queue is full.
  Record* next(Kind kind, Payload** payload = nullptr);
  // Hands the record over; inside a real-time call the thread is woken once
  // when the call returns, not once a record (a wake is a system call).
  void publish();
  // Wakes the thread now, or once the real-time call this is in returns.
  void wakeAfterCall();
  // Counts a wake; the system call is made only for a thread that sleeps
  // until woken: one that looked for work within kLookingFor looks again
  // every kLookEvery by itself, so the host's audio thread, which hands work
  // over block after block, makes no system call (a wake costs it the most).
  void wake();
  static void wakeAtEnd(void* self);
  // Work handed over and not yet taken, of any kind.
  bool workWaiting();
  static constexpr std::chrono::microseconds kLookEvery{1000};
  static constexpr std::chrono::milliseconds kLookingFor{200};
  void run();
  void sleepStep(SleepStep step);
  void perform(Record& record, Payload* payload);
  // What the window and the log were last told of one loss count. The
  // window follows the count; the log takes at most one line a second.
  struct LossReport {
    uint64_t shown = 0;
    uint64_t logged = 0;
    std::chrono::steady_clock::time_point loggedAt{};
  };
  static constexpr std::chrono::seconds kLossLogInterval{1};
  // Tells the status line of a count that moved since shown, and the log
  // when its second is up; true while the log is behind the count.
  bool reportLoss(uint64_t count, LossReport& report, const char* logText, const char* statusText);

  Tarnivex& mPlug;
  SpscQueue<Record> mQueue{kCapacity};
  SpscQueue<Payload> mPayloads{kPayloadCapacity};
  std::counting_semaphore<> mWake{0};
  std::atomic<bool> mStopping{false};
  std::atomic<uint64_t> mPublished{0};
  std::atomic<uint64_t> mDropped{0};
  std::atomic<uint64_t> mIgnored{0};
  std::atomic<bool> mIgnoredUnreported{false};
  std::atomic<uint64_t> mWakes{0};
  std::atomic<uint64_t> mWakeCalls{0};
  std::atomic<bool> mWakeDeferred{false};  // set only on the real-time side
  std::atomic<bool> mAsleep{false};        // the thread waits for a wake alone
  // Work from other threads, and the count of records done, for flush.
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<std::pair<Kind, std::function<void()>>> mOther;
  // Records done, counted when the run that did them has reported its losses.
  uint64_t mDone = 0;
  // The count of ignored host messages the last report told of.
  uint64_t mIgnoredReported = 0;
  uint64_t mOtherPosted = 0;
  uint64_t mOtherDone = 0;
  // Set while other threads' work waits in mOther; read without mMutex.
  std::atomic<bool> mOtherWaiting{false};
  std::function<void(SleepStep)> mSleepHook;
  std::atomic<bool> mSleepHooked{false};
  std::thread mThread;  // last: it starts once the rest is there
};
