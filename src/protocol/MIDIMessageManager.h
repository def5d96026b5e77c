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
#include <optional>
#include <vector>

#include "LibraryRequests.h"
#include "MIDIMessageSender.h"
#include "PartPicks.h"
#include "ReportEchoes.h"

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
  // No job runs or waits on the request thread, no pick works or waits.
  bool atRest() const {
    // Waiting before lanes: a waiting pick is posted to its lane before it
    // stops waiting.
    return !isThreadRunning(JobThread::kRequest) && !picks.anyWaiting() && picks.lanesIdle() &&
           !isThreadRunning(JobThread::kRequest);
  }
  // The calling thread is one of the job threads or a pick lane.
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
  // The first part playing on the channel (0..15), or -1.
  int partForChannel(int channel) const;
  // Every part whose MIDI channel is the channel (0..15), in order.
  void forEachPartOn(int channel, const std::function<void(int)>& each) const;
  // Asks the part's sound after the pick under way, so that the window ends
  // on what the part plays.
  void askWhatPartPlays(int part);
  // The host's program change, on the MIDI thread in the order the host
  // sent them: ticket, the pick it made as it came in, with the bank select
  // it took along (-1: none).
  // No ticket: it was refused as it came in, and is said so here.
  void takeHostPick(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank);
  // Why a program change from the host or the instrument (local control
  // off) is refused before it counts as its part's newest; reads only, from
  // any thread. sayRefused shows why, off the real-time thread.
  PickRefusal refusalAtEntry(const Pick& pick) const;
  // What of that the port decides: none chosen, gone, or nothing connected.
  PickRefusal portRefusal() const;
  void sayRefused(const Pick& pick, PickRefusal why);
  // A part's program change a newer pick (a restore's among them) overtook
  // before it went: not refused, and never gone without a word in the log.
  void logOvertaken(int part, const Pick& pick);
  // The bank the pick goes on: its own, a pick's not yet gone, the part's.
  int bankOfPick(const Pick& pick) const;
  // A program change's program as it goes, shows and is recorded: at most
  // 100, then into the part's program range (the highest program shown).
  int clampedProgram(int part, int program) const;
  static Pick hostPick(int part, const IMidiMsg& msg, int bank);
  // A channel message from the instrument goes on through the routing
  // switch; programChange: it is one, which the editor answers or refuses.
  bool passesBackFromDevice(bool programChange) const;

  // ---- What each part plays: decided in one place (PartPicks.h). Every
  // road hands its pick there; the work of a pick runs on its part's lane.
  PartPicks picks;
  // A job holds the instrument: picks wait for its end.
  bool busyWithJob() const;
  // The work of one pick, on its part's lane (the multi's: a state ticket).
  void runPartPick(const PickTicket& ticket, const Pick& pick);
  void runStatePick(const StateTicket& ticket, const Pick& pick);
  // A program pick (window, host, instrument, report): true when its bank
  // and program went out (or the instrument already plays them).
  bool runProgramPick(MIDIMessageSender& sender, const PickTicket& ticket, const Pick& pick);
  // The instrument's pick (a program change, a report), as it came in.
  void handInstrumentsPick(const PickTicket& ticket, Pick pick);
  // A pick's work ends any library request's record, without arming for a
  // dump the pick does not ask for.
  void disarmLibraryRecords();
  // A pause inside a pick's work; false (at once) once overtaken or going away.
  bool pickPause(const PickTicket& ticket, int ms);
  // The library's own hand-over of an entry into the editor, as if the
  // instrument had sent it: taken only while the ticket is its part's newest.
  void handOver(const PickTicket& ticket, ISysEx* message);
  static bool handingOver();
  // The instrument's report of a part's bank or program: handed to the
  // entry as a pick (which waits while a job has the instrument); false for
  // any other message.
  bool takeReport(const uint8_t* d, int size);
  // A sound dump in: taken when a live request of its part awaits it, or it
  // is the library's own hand-over for the part's newest pick.
  bool takeSoundDump(const uint8_t* d, int size);
  // A sound dump a request of its part waits for (or one that ended first
  // still owes): the request's answer, whatever else the editor is busy with.
  bool replyDue(const uint8_t* d, int size) const;

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
  // Part requests into the editor running now: the last to end lets the
  // instrument's edits through again.
  std::atomic<int> partRequestsRunning{0};
  std::atomic<bool> controlNotFound{false};
  std::atomic<bool> quickTabRefreshPending{false};
  std::atomic<bool> deviceBankSelectLatch{false};
  std::atomic<bool> lastChannelMessageFromHost{false};
  std::atomic<bool> echoGuard{false};
  std::atomic<bool> replyAccepted{false};
  std::atomic<bool> librarySendActive{false};
  std::atomic<bool> busy{false};
  // The instrument's reports owed for the program changes the editor sent.
  ReportEchoes echoes;
  // A channel message on its way to the instrument: its bank select is the
  // channel's bank, and a program change makes the instrument owe the part
  // on the channel its report; one the port did not take owes nothing.
  void goingToDevice(const IMidiMsg& msg);
  void notSentToDevice(const IMidiMsg& msg);
  // One device-ID search at a time, of any part's request.
  std::mutex searchMutex;

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
  PendingBanks hostBankSelect;    // the host's, held and taken on the host's thread
  PendingBanks deviceBankSelect;  // the instrument's

  // Takes the starts made inside the host's real-time calls, which must not
  // start a thread there; they are made later on another thread.
  std::function<void(const SenderJob&, const std::function<void()>&)> realtimeStarter;

  // Called with each pause a pick's work takes, and whether its pick is
  // still its part's newest; for tests.
  std::function<void(const PickTicket&, bool newest)> pickPauseObserver;
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

  SenderJob withTicket(const SenderJob& job) const;
  Worker& workerFor(JobThread thread) { return mWorkers[static_cast<size_t>(thread)]; }
  const Worker& workerFor(JobThread thread) const { return mWorkers[static_cast<size_t>(thread)]; }
  void applyLibraryReply(LibraryRequest& record);
  // The parameter-change forms of ProcessSysEx.
  void processParameterChange(const uint8_t* d, int size);
  void processArpStepByte(int part, int number, int value, const uint8_t* d, int size);
  IControl* lookup(const uint8_t* d, int size, int subKey);
  void applyOrMiss(const uint8_t* d, int size, int value);
  // The pick taken: passed on as its road has it (false: overtaken first).
  bool passOn(const PickTicket& ticket, const Pick& pick);
  // The instrument's own pick refused: what it plays now is not the sound
  // the window held; asked for, or shown with no name.
  void showInstrumentsOwnSound(MIDIMessageSender& sender, const PickTicket& ticket, bool ask);
  // The part's name and category blank: the editor knows no name of what it plays.
  void clearShownSound(int part);
  // Waits until the time, the clock being stopped, or shutdown; false when
  // the loop must end.
  bool waitForClockTick(std::chrono::steady_clock::time_point due);
  std::chrono::steady_clock::time_point clockNow() const;
  void wakeWaiters(bool mayBlock);

  Poco::Thread requestThread;
  Poco::Thread clockThread;
  Poco::Thread continuousClockThread;
  std::array<Worker, 3> mWorkers;
  // Per part, the last bank report and the pick it made: the program report
  // right after it goes on that bank. The instrument's input thread's own.
  struct ReportedBank {
    uint32_t count = 0;
    int bank = -1;
  };
  std::array<ReportedBank, 16> mReportedBanks{};
  // Per part, with local control off, a bank report not yet a pick: the
  // program report after it makes one pick of both (refused whole), or, none
  // coming, the bank goes alone. Its number tells a newer report from it.
  struct HeldBank {
    int bank = -1;
    uint32_t number = 0;
    uint32_t count = 0;  // the part's newest pick as it came
  };
  std::mutex mHeldBanksMutex;
  std::array<HeldBank, 16> mHeldBanks{};
  void releaseHeldBank(int part, uint32_t number, Pick pick);
  // Refused: false. With after, it arrives only while the part's newest
  // pick is still that one.
  bool enterReport(Pick pick, std::optional<uint32_t> after = std::nullopt);
  // Per channel, the bank its last bank select sent selected (-1: none known).
  std::array<std::atomic<int>, 16> mSentBanks{};
  // Each pick lane's own sender: its work's outcome and cancel flags.
  std::array<std::unique_ptr<MIDIMessageSender>, kPickSlots> mLaneSenders;

  std::atomic<bool> mShuttingDown{false};
  std::atomic<bool> mClockRunning{false};
  std::chrono::steady_clock::time_point mVirtualClockNow{};  // the clock thread's own
  std::mutex mWaitMutex;
  std::condition_variable mWake;
};
