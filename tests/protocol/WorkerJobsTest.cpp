// The worker threads: which thread a job code runs on, the drop rule, many
// starters at once, a manager going away while a job waits, and the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <map>
#include <thread>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using namespace std::chrono_literals;
using Raw = std::vector<std::vector<unsigned char>>;

SenderJob job(int code, int part = 0) {
  SenderJob job;
  job.jobCode = code;
  job.partArgument = part;
  job.bankArgument = 100 + code;
  return job;
}

class WorkerJobsTest : public ::testing::Test, public EngineFixture {
 protected:
  // Every job is recorded as its worker performs it; request jobs wait
  // first while holdRequests is set.
  WorkerJobsTest() {
    manager->jobObserver = [this](JobThread thread, const SenderJob& job) {
      while (thread == JobThread::kRequest && holdRequests) std::this_thread::sleep_for(1ms);
      std::lock_guard<std::mutex> lock(mMutex);
      mJobs.emplace_back(thread, job);
    };
  }
  ~WorkerJobsTest() override { destroyManager(); }

  // Requests that nobody answers wait, search and time out in no time.
  void instantPauses() {
    manager->virtualPause = [](int) { return true; };
  }
  std::vector<std::pair<JobThread, SenderJob>> jobs() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mJobs;
  }
  bool waitAllIdle() {
    return waitIdle(JobThread::kRequest) && waitIdle(JobThread::kClock) && waitIdle(JobThread::kContinuousClock);
  }
  // Job 16 with the clock info on and no tempo in the list: it waits for one.
  void startClock() {
    editor.clockInfo = true;
    editor.listTempo = 0;
    manager->resetContinuousClock(false);
    ASSERT_TRUE(manager->startJob(job(16)));
  }

  std::atomic<bool> holdRequests{false};
  std::mutex mMutex;
  std::vector<std::pair<JobThread, SenderJob>> mJobs;
};

TEST_F(WorkerJobsTest, EachCodeRunsOnItsThreadWithItsArgumentsAndOtherCodesAreRefused) {
  instantPauses();
  std::map<int, JobThread> expected = {
      {15, JobThread::kClock}, {16, JobThread::kContinuousClock}, {17, JobThread::kClock}};
  for (int code = 0; code <= 13; ++code) expected[code] = JobThread::kRequest;
  editor.midiConfigured = false;  // job 2 then sends nothing
  for (const auto& [code, thread] : expected) {
    ASSERT_TRUE(manager->startJob(job(code))) << "code " << code;
    ASSERT_TRUE(waitAllIdle());
  }
  for (int code : {14, 18, -1, 1000}) EXPECT_FALSE(manager->startJob(job(code))) << code;
  ASSERT_EQ(jobs().size(), expected.size());
  for (const auto& [thread, job] : jobs()) {
    EXPECT_EQ(thread, expected.at(job.jobCode)) << "code " << job.jobCode;
    EXPECT_EQ(job.bankArgument, 100 + job.jobCode);
  }
}

TEST_F(WorkerJobsTest, AJobAskedForWhileItsThreadRunsIsDroppedAndDestroyingTheManagerEndsAWaitingJob) {
  startClock();
  bool flagSet = false;
  EXPECT_FALSE(manager->startJob(job(16), [&] { flagSet = true; }));
  EXPECT_FALSE(flagSet);  // a dropped job sets none of its flags
  editor.clockPointer = true;  // other threads still run
  EXPECT_TRUE(manager->startJob(job(15)));
  ASSERT_TRUE(waitIdle(JobThread::kClock));
  EXPECT_TRUE(manager->isThreadRunning(JobThread::kContinuousClock));
  destroyManager();
  // A wait that ignored the shutdown would have run its eleven retries out.
  EXPECT_TRUE(editor.statusTexts().empty());
  EXPECT_EQ(editor.sentRaw(), Raw{{0xFA}});
}

TEST_F(WorkerJobsTest, ManyStartersAtOnceLoseNoJobAndRunNoneTwice) {
  instantPauses();
  editor.midiConfigured = false;
  std::atomic<int> accepted{0};
  std::atomic<bool> go{false};
  // Two starters share the clock thread, one the request thread, one the
  // continuous clock (which ends at once with the clock info off).
  std::vector<std::thread> starters;
  for (int code : {13, 15, 17, 16})
    starters.emplace_back([&, code] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) accepted += manager->startJob(job(code)) ? 1 : 0;
    });
  go = true;
  for (auto& t : starters) t.join();
  ASSERT_TRUE(waitAllIdle());
  EXPECT_GT(accepted.load(), 0);
  EXPECT_EQ(jobs().size(), static_cast<size_t>(accepted.load()));
}

TEST_F(WorkerJobsTest, ArgumentsOfARunningJobCannotBeChangedByAnotherStarter) {
  instantPauses();
  holdRequests = true;
  ASSERT_TRUE(manager->startJob(job(6, 9)));
  EXPECT_TRUE(manager->startJob(job(17, 3)));  // a clock starter writes its own record only
  holdRequests = false;
  ASSERT_TRUE(waitAllIdle());
  for (const auto& [thread, job] : jobs()) EXPECT_EQ(job.partArgument, thread == JobThread::kRequest ? 9 : 3);
}

TEST_F(WorkerJobsTest, LibrarianRequestArmsItsRecordOnlyWhenItStarts) {
  instantPauses();
  holdRequests = true;
  ASSERT_TRUE(manager->startJob(job(13)));
  manager->sendSinglePatchRequestSysexFromLibrarian(false, 1);
  EXPECT_FALSE(manager->patchRequest.active);
  holdRequests = false;
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
  manager->replyAccepted = true;
  holdRequests = true;  // checked before the unanswered request gives up
  manager->sendAllPatchRequestSysexFromLibrarian(2);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_FALSE(manager->replyAccepted);
  holdRequests = false;
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
  EXPECT_FALSE(manager->patchRequest.active);  // a request that timed out leaves no record armed
}

TEST_F(WorkerJobsTest, TheClockTakesTheHostTempoWhenOverriddenAndStopsOnRequestOrDestruction) {
  editor.hostTempo = 140;
  editor.setValue(kOverrideTempo, 1);
  startClock();
  ASSERT_TRUE(waitUntil([&] { return !editor.sentRaw().empty(); }));
  EXPECT_EQ(editor.sentRaw()[0], std::vector<unsigned char>{0xF8});
  manager->resetContinuousClock(true);
  EXPECT_TRUE(waitIdle(JobThread::kContinuousClock));
  startClock();  // running when the manager goes
  destroyManager();
}

TEST_F(WorkerJobsTest, ClockJobsRespectTheirSwitchesAndAClockWithoutTempoGivesUp) {
  manager->sender->startMIDIClockOutput();
  manager->sender->stopMIDIClockOutput();
  manager->sender->sendContinuousMIDIClock(120);  // clock info off
  EXPECT_TRUE(editor.sentRaw().empty());
  editor.clockPointer = true;
  manager->sender->startMIDIClockOutput();
  manager->sender->stopMIDIClockOutput();
  EXPECT_EQ(editor.sentRaw(), (Raw{{0xFA}, {0xFC}}));

  editor.clockInfo = true;
  editor.listTempo = 0;
  std::vector<int> pauses;
  manager->virtualPause = [&](int ms) {
    pauses.push_back(ms);
    return true;
  };
  manager->resetContinuousClock(false);
  manager->sender->sendContinuousMIDIClock(120);
  EXPECT_EQ(pauses, std::vector<int>(11, 1000));
  EXPECT_EQ(editor.statusTexts(), std::vector<std::string>{"Unable to get DAW Tempo"});
  EXPECT_FALSE(editor.clockInfo);
  EXPECT_EQ(editor.sentRaw().size(), 2u);
}
// Queued sends of the editor's state: behind the running job, in order, a
// waiting send of the same state replaced by the later one, the pause after
// a job taken on the worker, and nothing left once the manager goes.
struct QueueCase {
  const char* name;
  std::vector<std::pair<int, int>> queued;  // code, part, while job 13 runs
  std::vector<std::pair<int, int>> performed;
};

void PrintTo(const QueueCase& c, std::ostream* out) { *out << c.name; }

class QueuedJobsTest : public WorkerJobsTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueuedJobsTest, RunInOrderBehindTheRunningJob) {
  instantPauses();
  editor.midiConfigured = false;  // the sends then put nothing on the wire
  holdRequests = true;
  ASSERT_TRUE(manager->startJob(job(13)));
  std::atomic<int> started{0};
  for (const auto& [code, part] : GetParam().queued)
    ASSERT_TRUE(manager->queueJob(job(code, part), [&started] { ++started; }));
  EXPECT_TRUE(manager->isThreadRunning(JobThread::kRequest));
  EXPECT_FALSE(manager->startJob(job(6)));  // a dropping starter still sees a busy thread
  holdRequests = false;
  ASSERT_TRUE(waitAllIdle());
  std::vector<std::pair<int, int>> performed;
  for (const auto& [thread, job] : jobs())
    if (job.jobCode != 13) performed.emplace_back(job.jobCode, job.partArgument);
  EXPECT_EQ(performed, GetParam().performed);
  EXPECT_EQ(started.load(), static_cast<int>(performed.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Sends, QueuedJobsTest,
    ::testing::Values(
        QueueCase{"TwoPartSwitches", {{2, 3}, {0, 0}, {2, 5}, {0, 0}}, {{2, 3}, {2, 5}, {0, 0}}},
        QueueCase{"SamePartTwice", {{2, 3}, {2, 3}}, {{2, 3}}},
        QueueCase{"OtherJobsAreNotMerged", {{12, 1}, {12, 1}, {2, 1}}, {{12, 1}, {12, 1}, {2, 1}}},
        QueueCase{"GlobalMultiParts", {{1, 0}, {0, 0}, {2, 0}, {2, 15}}, {{1, 0}, {0, 0}, {2, 0}, {2, 15}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerJobsTest, AQueuedJobStartsAtOnceOnAnIdleThreadAndItsPauseIsTakenOnTheWorker) {
  std::vector<int> pauses;
  std::mutex pausesMutex;
  manager->virtualPause = [&](int ms) {
    std::lock_guard<std::mutex> lock(pausesMutex);
    pauses.push_back(ms);
    return true;
  };
  editor.midiConfigured = false;
  bool onStartRan = false;
  ASSERT_TRUE(manager->queueJob(job(2, 4), [&] { onStartRan = true; }, 400));
  EXPECT_TRUE(onStartRan);  // started on the caller's thread, before the worker runs
  ASSERT_TRUE(waitAllIdle());
  std::lock_guard<std::mutex> lock(pausesMutex);
  ASSERT_FALSE(pauses.empty());
  EXPECT_EQ(pauses.back(), 400);  // after the job's own pauses
}

TEST_F(WorkerJobsTest, APauseBeforeAJobIsTakenOnTheWorkerJustBeforeItRuns) {
  std::vector<std::string> timeline;
  std::mutex timelineMutex;
  const auto note = [&](const std::string& event) {
    std::lock_guard<std::mutex> lock(timelineMutex);
    timeline.push_back(event);
  };
  manager->virtualPause = [&](int ms) {
    if (ms == 77) note("pause 77");
    return true;
  };
  manager->jobObserver = [&](JobThread, const SenderJob& performed) {
    while (holdRequests) std::this_thread::sleep_for(1ms);
    note("job " + std::to_string(performed.jobCode));
  };
  editor.midiConfigured = false;
  SenderJob paused = job(2, 4);
  paused.pauseBeforeMs = 77;
  // Started at once, and queued behind a running job: the caller never waits.
  ASSERT_TRUE(manager->queueJob(paused));
  ASSERT_TRUE(waitAllIdle());
  holdRequests = true;
  ASSERT_TRUE(manager->startJob(job(13)));
  ASSERT_TRUE(manager->queueJob(paused));
  holdRequests = false;
  ASSERT_TRUE(waitAllIdle());
  EXPECT_EQ(timeline, (std::vector<std::string>{"pause 77", "job 2", "job 13", "pause 77", "job 2"}));
}

// A restore's send of global, multi and parts: asked to stop, it ends
// between two dumps; what runs after it ends runs on the worker, and only
// for a job that ran.
TEST_F(WorkerJobsTest, AMultiSendAskedToStopEndsBetweenTwoDumpsAndItsEndRunsOnTheWorker) {
  editor.sendGlobalFirst = true;
  editor.sendAllParts = true;
  for (int p = 0; p < 4; ++p) editor.paramAt(kMultiPartStatus + p)->Set(1);
  std::atomic<bool> stopAtFirstPause{true};
  manager->virtualPause = [&](int) {
    if (stopAtFirstPause.exchange(false)) manager->cancelRequestJob();
    return true;
  };
  const std::thread::id caller = std::this_thread::get_id();
  std::mutex endsMutex;
  std::vector<bool> endsOnWorker;
  const auto onEnd = [&] {
    std::lock_guard<std::mutex> lock(endsMutex);
    endsOnWorker.push_back(std::this_thread::get_id() != caller);
  };
  ASSERT_TRUE(manager->queueJob(job(0), {}, 0, onEnd));
  ASSERT_TRUE(waitAllIdle());
  EXPECT_EQ(editor.sentSysEx().size(), 1u);  // the global dump, then the stop
  EXPECT_FALSE(editor.sendAllParts);           // the choice served the stopped send alone
  // The next send chooses all parts again, as a restore's start does.
  ASSERT_TRUE(manager->queueJob(job(0), [this] { editor.sendAllParts = true; }, 0, onEnd));
  ASSERT_TRUE(waitAllIdle());
  const auto sent = editor.sentSysEx();
  ASSERT_EQ(sent.size(), 1u + 1u + 1u + 4u);  // then global, multi and the four parts
  EXPECT_EQ(sent[2].size(), 393u);
  std::lock_guard<std::mutex> lock(endsMutex);
  EXPECT_EQ(endsOnWorker, (std::vector<bool>{true, true}));
}

TEST_F(WorkerJobsTest, QueuedJobsAreForgottenWhenClearedOrWhenTheManagerGoes) {
  instantPauses();
  editor.midiConfigured = false;
  holdRequests = true;
  ASSERT_TRUE(manager->startJob(job(13)));
  std::atomic<int> ends{0};
  ASSERT_TRUE(manager->queueJob(job(2, 1), {}, 0, [&ends] { ++ends; }));
  ASSERT_TRUE(manager->queueJob(job(2, 2), {}, 0, [&ends] { ++ends; }));
  EXPECT_EQ(manager->queuedJobCount(JobThread::kRequest), 2u);
  manager->clearQueuedJobs(JobThread::kRequest);
  ASSERT_TRUE(manager->queueJob(job(2, 3)));
  std::thread release([this] {
    std::this_thread::sleep_for(20ms);
    holdRequests = false;
  });
  destroyManager();
  release.join();
  for (const auto& [thread, job] : jobs()) EXPECT_EQ(job.jobCode, 13);
  EXPECT_EQ(ends.load(), 0);
}
}  // namespace

namespace {
// On virtual time: the ticks fall due 1/24 of a quarter note apart at the
// tempo the clock reads, so tempo-synced sounds run at the host's speed.
TEST_F(WorkerJobsTest, TheClockSendsTwentyFourTicksAQuarterNoteAtItsTempo) {
  const struct {
    const char* what;
    int listTempo, hostTempo;
    bool overridden;
    int tempo;
  } rows[] = {{"the multi's tempo", 120, 0, false, 120},
              {"the host's tempo", 120, 93, true, 93},
              {"a slow multi", 45, 0, false, 45}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    editor.clearRecords();
    editor.clockInfo = true;
    editor.listTempo = row.listTempo;
    editor.hostTempo = row.hostTempo;
    editor.setValue(kOverrideTempo, row.overridden ? 1 : 0);
    std::vector<std::chrono::steady_clock::time_point> dues;
    manager->virtualClockTick = [&](std::chrono::steady_clock::time_point due) {
      dues.push_back(due);
      return dues.size() < 49;
    };
    manager->resetContinuousClock(false);
    manager->sender->sendContinuousMIDIClock(0);
    EXPECT_EQ(editor.sentRaw(), Raw(49, {0xF8}));  // one before the first wait, one after each
    ASSERT_EQ(dues.size(), 49u);
    const auto quarter = std::chrono::nanoseconds(60'000'000'000LL / row.tempo);
    for (size_t k = 0; k + 24 < dues.size(); k += 24) {
      const auto span = dues[k + 24] - dues[k];
      EXPECT_LE(std::chrono::abs(span - quarter), std::chrono::nanoseconds(24)) << "ticks " << k << " to " << k + 24;
    }
  }
}

// The second tick is due one interval after the first was handed to the
// port: nothing waits for the port to pass it on.
TEST_F(WorkerJobsTest, TheClocksSecondTickIsDueOneIntervalAfterTheFirstWasHandedOver) {
  const std::chrono::steady_clock::time_point start{};  // virtual time starts here
  const std::chrono::nanoseconds interval(20'833'333);  // 120 BPM
  destroyManager();  // a new manager's virtual time starts at zero
  manager = std::make_unique<MIDIMessageManager>(&editor, nullptr, &librarian, nullptr);
  editor.manager = manager.get();
  editor.clockInfo = true;
  editor.listTempo = 120;
  editor.setValue(kOverrideTempo, 0);
  std::vector<std::chrono::steady_clock::time_point> dues;
  manager->virtualClockTick = [&](std::chrono::steady_clock::time_point due) {
    dues.push_back(due);
    return dues.size() < 3;
  };
  manager->resetContinuousClock(false);
  manager->sender->sendContinuousMIDIClock(0);
  ASSERT_EQ(dues.size(), 3u);
  EXPECT_EQ(dues[0], start + interval);
  EXPECT_EQ(dues[1] - dues[0], interval);
  EXPECT_EQ(dues[2] - dues[1], interval);
}
}  // namespace
