// The one object through which the editor talks to the instrument: the
// receive side, the librarian reply records, the flags both sides share, and
// the three worker threads that run the sender's jobs.
#pragma once

#include <Poco/Thread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "LibraryRequests.h"
#include "MIDIMessageSender.h"

class EditorServices;
class IControl;
class IGraphics;
class PatchLibrarian;
class PatchManager;
struct IMidiMsg;
struct ISysEx;

class MIDIMessageManager {
 public:
  MIDIMessageManager(EditorServices* plug, PatchManager* patchManager, PatchLibrarian* patchLibrarian,
                     IGraphics* graphics);
  // Stops the clock, cancels and wakes every job, and joins the workers.
  ~MIDIMessageManager();
  // The same, while the owner's pointer to the manager still holds: jobs
  // that reach the manager through the editor find it until they end.
  void shutDown();
  MIDIMessageManager(const MIDIMessageManager&) = delete;
  MIDIMessageManager& operator=(const MIDIMessageManager&) = delete;

  // ---- Starting jobs.
  // Starts the job on its thread unless that thread runs a job already (the
  // job is then dropped). onStart runs only when the job does start, before
  // the thread does: starters set the manager flags the job needs there.
  // Never throws and never waits for a busy starter; false when dropped.
  bool startJob(const SenderJob& job, const std::function<void()>& onStart = {});
  // For sends of the editor's own state, where the instrument must end up
  // holding what the editor shows: the job runs now or after the jobs ahead
  // of it, never dropped. A waiting send of the same state (jobs 0 to 2 with
  // the same arguments) is replaced, since the later one reads newer values.
  // onStart runs just before the job, on the starter's thread when the job
  // starts at once, else on the worker; onEnd runs on the worker when the
  // job has returned (not for a job that never started), then pauseAfterMs
  // is waited there. Both are kept until used: capture by value.
  // Never blocks on a running job; false only when the manager
  // is going away, no thread runs the code, or kMaxQueuedJobs are waiting.
  bool queueJob(const SenderJob& job, const std::function<void()>& onStart = {}, int pauseAfterMs = 0,
                const std::function<void()>& onEnd = {});
  // Forgets every job still waiting on the thread; the running one goes on.
  void clearQueuedJobs(JobThread thread);
  // Asks the request thread's running job to stop at its next step (a
  // request's poll, a pause of the multi send); the next job clears it.
  void cancelRequestJob();
  size_t queuedJobCount(JobThread thread) const;
  // Running a job, or jobs waiting for it.
  bool isThreadRunning(JobThread thread) const;
  // The calling thread is one of the job threads.
  static bool onJobThread();

  // ---- Sending.
  void sendSysexMessage(std::vector<int> message);
  void sendSinglePatchRequestSysexFromLibrarian(bool editBuffer, int bank);
  void sendAllPatchRequestSysexFromLibrarian(int bank);

  // ---- Receiving.
  void ProcessSysEx(ISysEx* message, bool fromDevice);
  void sysexPatchParse(ISysEx* message);
  void sysexMultiParse(ISysEx* message);
  void sysexSettingsParse(ISysEx* message);
  // Applies one received byte to a control, with the value corrections, the
  // echo guard and the bank or program follow-up.
  void processSysExToUI(IControl* control, int value, bool refreshQuickTab, bool guardEcho);
  void getNormalControl(int k1, int k2, int k3, int k4, int value, bool guardEcho);

  // ---- Channel messages from the instrument and from the host.
  void ProcessMidiMsgFromDevice(IMidiMsg* msg);
  void ProcessMidiMsgFromDAW(IMidiMsg* msg, int part);
  IControl* getLegacyCCparam(int controller, int channel, int value, bool forceQuickTab, bool fromDevice);
  // False when no bank and program change (nor library sound) went out.
  // A host's program change for the part: the editor's change, then the
  // message itself on its way to the instrument, when the editor took it.
  // A host's bank select (msg a control change 32) waits for it.
  // arrival: the part's count the change moved as it came in (0: none).
  void passProgramChangeFromDAW(int part, IMidiMsg* msg, uint32_t arrival = 0);
  // shownBefore: the program a pick in the window replaced, put back should
  // the library's job refuse the sound. fromDevice: the instrument's own.
  // bank: the bank select that came before it (0..2), or -1; one pick with
  // the program change: shown, sent and recorded with it, or not at all.
  // arrival: the count the change moved as it came in; a newer one come
  // since drops it. 0: the change moves the count now.
  bool MakeProgramChangeMessages(int part, IMidiMsg* msg, double shownBefore = -1.0, bool fromDevice = false,
                                 int bank = -1, uint32_t arrival = 0);
  // The first part playing on the channel (0..15), or -1.
  int partForChannel(int channel) const;
  // A program change and the bank select before it (-1: none), each on
  // its road once no job has the instrument.
  void takeDeviceProgramChange(int part, IMidiMsg* msg, int bank, uint32_t arrival);
  void takeHostProgramChange(int part, IMidiMsg* msg, int bank, uint32_t arrival);
  // The instrument's program change, on the MIDI thread in the order it came.
  void deviceProgramChangeInTurn(int part, IMidiMsg msg, int bank, uint32_t arrival);
  // A channel message from the instrument goes on through the routing
  // switch; programChange: it is one, which the editor answers or refuses.
  bool passesBackFromDevice(bool programChange) const;

  // ---- What each part plays: one count of its changes, on every road.
  // A job, a request and its reply carry the count they serve and are
  // dropped once the part moved on; a change that comes while a job runs
  // waits (one per part, the last replacing the one before) and is served
  // when the jobs have ended.
  // A new change for the part: the count moves and a waiting one is dropped.
  uint32_t movePart(int part);
  // While a change of the part is taken on this thread, movePart for the
  // part gives that change's count.
  class TakingChange {
   public:
    TakingChange(int part, uint32_t count);
    ~TakingChange();
    TakingChange(const TakingChange&) = delete;
    TakingChange& operator=(const TakingChange&) = delete;

   private:
    int mPart;
    uint32_t mCount;
  };
  // A change came in for the part (from the instrument or the host): the
  // count moves at once, lock-free, so that what is under way for an older
  // one stops before the newer is taken in turn. 0 for no part.
  uint32_t arrive(int part);
  uint32_t partCount(int part) const;
  bool partMovedOn(int part, uint32_t count) const;
  // The job's part has moved on since the job was started for it.
  bool jobOvertaken(const SenderJob& job) const { return job.countPart >= 0 && partMovedOn(job.countPart, job.partCount); }
  // A job runs, or the editor holds the instrument for a transfer.
  bool busyWithJob() const;
  // A program change for the part and the bank select before it (0..2, or
  // -1), from the instrument or the host, kept while busy: true when kept.
  bool waitIfBusy(int part, const IMidiMsg& msg, bool fromDevice, int bank, uint32_t arrival);
  // The instrument's report of a part's bank or program, kept while busy.
  bool waitReportIfBusy(int part, const uint8_t* report);
  // Hands the waiting changes to their roads, oldest part first; any that
  // meet a job again wait again.
  void serveWaitingChanges();
  bool anyChangeWaiting() const;
  // A change waits, or is being handed on after the jobs ended.
  bool changesPending() const { return mServesUnderWay > 0 || anyChangeWaiting(); }
  // With one hand-on counted: hands the waiting changes on (on the MIDI
  // thread), or, with none, ends the count.
  void serveOrSettle();
  // The editor let go of the instrument: changes that waited for it go, if
  // no job still runs (its end serves them then).
  void serveWhenIdle();
  // The part request whose reply is awaited: a reply for the part that
  // moved on since is dropped. -1: none.
  std::atomic<int> awaitedPart{-1};
  std::atomic<uint32_t> awaitedCount{0};
  // Per part, requests a newer change overtook before their reply came: the
  // next sound dumps for the part are those replies, dropped when they come.
  std::array<std::atomic<int>, 16> overtakenReplies{};
  // The awaited reply came and was dropped as overtaken.
  std::atomic<bool> awaitedReplyDropped{false};
  // True when the message is such a reply, taken out of the count.
  bool dropOvertakenReply(const uint8_t* d, int size);

  // ---- The sound randomiser.
  void randomGenerator();
  int randomizer(int paramIdx, int slot);
  void randomizePatchSettings(int part);
  static constexpr int kRandomTableSize = 393;
  std::array<int, kRandomTableSize> randomTable{};

  // ---- Effect slots kept in step with the named effect parameters.
  void SetFX1ParameterChangesToDefaultParameters(int paramIdx, int value);
  void SetFX2ParameterChangesToDefaultParameters(int paramIdx, int value);

  // ---- Pacing for the jobs.
  // Waits ms milliseconds; false (at once) when the manager is going away.
  bool pause(int ms);
  // The same, also ending at once when the job is asked to stop.
  bool pauseUnlessCancelled(const MIDIMessageSender& job, int ms);
  bool isShuttingDown() const { return mShuttingDown; }
  void resetContinuousClock(bool stop);

  // The request thread's sender (cancel and outcome flags of request jobs).
  MIDIMessageSender* sender;
  EditorServices* plug;
  PatchManager* patchManager;
  IGraphics* graphics;
  PatchLibrarian* patchLibrarian;
  LibraryPerformanceRequest performanceRequest;
  LibraryPatchRequest patchRequest;
  std::atomic<bool> dumpExpected{false};
  std::atomic<bool> controlNotFound{false};
  std::atomic<bool> quickTabRefreshPending{false};
  std::atomic<bool> deviceBankSelectLatch{false};
  std::atomic<bool> multiRequestStarted{false};
  std::atomic<bool> lastChannelMessageFromHost{false};
  std::atomic<bool> echoGuard{false};
  std::atomic<bool> replyAccepted{false};
  std::atomic<bool> librarySendActive{false};
  std::atomic<bool> busy{false};
  std::atomic<uint32_t> lastProgramChangeTick{0};

  // A bank select waiting for the program change after it, per channel:
  // the part's bank (0..2), or -1. The next program change on the channel
  // takes it, whether that change is taken or refused.
  class PendingBanks {
   public:
    PendingBanks() {
      for (auto& bank : mBanks) bank = -1;
    }
    void hold(int channel, int bank) {
      if (channel >= 0 && channel < 16) mBanks[static_cast<size_t>(channel)] = bank;
    }
    int take(int channel) {
      return channel >= 0 && channel < 16 ? mBanks[static_cast<size_t>(channel)].exchange(-1) : -1;
    }

   private:
    std::array<std::atomic<int>, 16> mBanks;
  };
  PendingBanks hostBankSelect;    // the host's, taken on the thread its program changes run on
  PendingBanks deviceBankSelect;  // the instrument's

  // Takes the starts made inside the host's real-time calls, which must not
  // start a thread there; they are made later on another thread.
  std::function<void(const SenderJob&, const std::function<void()>&)> realtimeStarter;

  // Called on the worker with each job it is about to perform; for tests.
  std::function<void(JobThread, const SenderJob&)> jobObserver;
  // When set, the jobs' pauses take virtual time: it is called instead of
  // waiting and returns whether the job may go on.
  std::function<bool(int ms)> virtualPause;
  // When set, the continuous clock runs on virtual time: each wait for a tick
  // calls it with the time the tick is due instead of waiting, and the clock
  // then reads that time as now; false stops the clock.
  std::function<bool(std::chrono::steady_clock::time_point due)> virtualClockTick;

  // How long the destructor waits for each worker.
  static constexpr long kJoinBoundMs = 10000;
  static constexpr size_t kMaxQueuedJobs = 64;

 private:
  friend class MIDIMessageSender;

  struct QueuedJob {
    SenderJob job;
    std::function<void()> onStart;
    int pauseAfterMs = 0;
    std::function<void()> onEnd;
  };

  struct Worker {
    Poco::Thread* thread = nullptr;
    std::unique_ptr<MIDIMessageSender> sender;
    std::mutex starter;
    bool everStarted = false;
    // Guards the queue and the sender's running flag together, so a job
    // ending on the worker and a starter never both believe the other acts.
    mutable std::mutex queueMutex;
    std::deque<QueuedJob> queue;
    int pauseAfterMs = 0;  // of the job running now
    std::function<void()> onEnd;  // of the job running now; the worker's once it runs
  };

  // Called by the worker after each job: waits the job's pause, then hands
  // the sender the next queued job (true) or marks it idle (false).
  bool takeQueuedJob(MIDIMessageSender& sender);
  // startJob's work; false when the starter lock was taken or the thread is busy.
  bool tryStartNow(Worker& worker, const QueuedJob& job, bool& starterBusy);

  Worker& workerFor(JobThread thread) { return mWorkers[static_cast<size_t>(thread)]; }
  const Worker& workerFor(JobThread thread) const { return mWorkers[static_cast<size_t>(thread)]; }
  void applyLibraryReply(LibraryRequest& record);
  // The parameter-change forms of ProcessSysEx.
  void processParameterChange(const uint8_t* d, int size);
  bool processMultiPartSelection(const uint8_t* d);
  void processArpStepByte(int part, int number, int value, const uint8_t* d, int size);
  IControl* lookup(const uint8_t* d, int size, int subKey);
  void applyOrMiss(const uint8_t* d, int size, int value);
  void bankOrProgramFollowUp(int part, bool programChange, int value);
  // count: the part's change the request serves.
  bool startPartRequest(int part, uint32_t count);
  void showInstrumentsOwnChange(int part, int program, uint32_t count);
  // Waits until the time, the clock being stopped, or shutdown; false when
  // the loop must end.
  bool waitForClockTick(std::chrono::steady_clock::time_point due);
  std::chrono::steady_clock::time_point clockNow() const;
  void wakeWaiters(bool mayBlock);

  struct WaitingChange {
    bool program = false;     // a program change waits
    bool fromDevice = false;
    int channel = 0;
    int bank = -1;            // the bank select before it (0..2); -1 none
    int value = 0;            // program, or the report's value
    bool report = false;
    std::array<uint8_t, 9> reportBytes{};
    uint32_t count = 0;       // the part's count it came with
  };
  mutable std::mutex mWaitingMutex;
  std::array<WaitingChange, 16> mWaiting{};
  std::array<std::atomic<uint32_t>, 16> mPartCounts{};
  std::atomic<int> mServesUnderWay{0};
  bool anyWaitingLocked() const;

  Poco::Thread requestThread;
  Poco::Thread clockThread;
  Poco::Thread continuousClockThread;
  std::array<Worker, 3> mWorkers;

  std::atomic<bool> mShuttingDown{false};
  std::atomic<bool> mClockRunning{false};
  std::chrono::steady_clock::time_point mVirtualClockNow{};  // the clock thread's own
  std::mutex mWaitMutex;
  std::condition_variable mWake;
};
