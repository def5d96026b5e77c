// The worker threads: which thread a job code runs on, the drop rule, many
// starters at once, and a manager going away while a job waits.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using namespace std::chrono_literals;

class WorkerJobsTest : public ::testing::Test, public EngineFixture {
 protected:
  struct Seen {
    JobThread thread;
    SenderJob job;
  };
  std::mutex mutex;
  std::vector<Seen> seen;

  void observe() {
    manager->jobObserver = [this](JobThread thread, const SenderJob& job) {
      std::lock_guard<std::mutex> lock(mutex);
      seen.push_back({thread, job});
    };
  }
  std::vector<Seen> seenJobs() {
    std::lock_guard<std::mutex> lock(mutex);
    return seen;
  }
  bool waitAllIdle() {
    return waitIdle(JobThread::kRequest) && waitIdle(JobThread::kClock) && waitIdle(JobThread::kContinuousClock);
  }
  // Job 16 with the clock info on; tempo 0 makes it wait for a tempo.
  void startClock(int tempo) {
    editor.clockInfo = true;
    editor.listTempo = tempo;
    manager->resetContinuousClock(false);
    SenderJob clock;
    clock.jobCode = 16;
    ASSERT_TRUE(manager->startJob(clock));
  }
  void startWaitingClock() { startClock(0); }
  // Waits (bounded) for the first byte the clock sends.
  bool firstClockSent() {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (editor.sentRaw().empty() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    return !editor.sentRaw().empty();
  }
};

TEST_F(WorkerJobsTest, EachCodeRunsOnItsThreadWithItsArguments) {
  observe();
  const std::map<int, JobThread> expected = {
      {0, JobThread::kRequest},  {1, JobThread::kRequest},  {2, JobThread::kRequest},   {3, JobThread::kRequest},
      {4, JobThread::kRequest},  {5, JobThread::kRequest},  {6, JobThread::kRequest},   {7, JobThread::kRequest},
      {8, JobThread::kRequest},  {9, JobThread::kRequest},  {10, JobThread::kRequest},  {11, JobThread::kRequest},
      {12, JobThread::kRequest}, {13, JobThread::kRequest}, {15, JobThread::kClock},    {16, JobThread::kContinuousClock},
      {17, JobThread::kClock}};
  editor.midiConfigured = false;  // job 2 then sends nothing
  for (const auto& [code, thread] : expected) {
    SenderJob job;
    job.jobCode = code;
    job.partArgument = code;
    job.bankArgument = 100 + code;
    ASSERT_TRUE(manager->startJob(job)) << "code " << code;
    ASSERT_TRUE(waitAllIdle());
  }
  const auto jobs = seenJobs();
  ASSERT_EQ(jobs.size(), expected.size());
  for (const Seen& s : jobs) {
    EXPECT_EQ(s.thread, expected.at(s.job.jobCode)) << "code " << s.job.jobCode;
    EXPECT_EQ(s.job.bankArgument, 100 + s.job.jobCode);
  }
}

TEST_F(WorkerJobsTest, CodesWithoutAJobAreRefused) {
  observe();
  for (int code : {14, 18, -1, 1000}) {
    SenderJob job;
    job.jobCode = code;
    EXPECT_FALSE(manager->startJob(job)) << code;
  }
  EXPECT_TRUE(seenJobs().empty());
}

TEST_F(WorkerJobsTest, AJobAskedForWhileItsThreadRunsIsDroppedAndOtherThreadsStillRun) {
  startWaitingClock();
  SenderJob again;
  again.jobCode = 16;
  bool flagSet = false;
  EXPECT_FALSE(manager->startJob(again, [&] { flagSet = true; }));
  EXPECT_FALSE(flagSet);  // a dropped job sets none of its flags

  editor.clockPointer = true;
  SenderJob start;
  start.jobCode = 15;
  EXPECT_TRUE(manager->startJob(start));
  ASSERT_TRUE(waitIdle(JobThread::kClock));
  EXPECT_EQ(editor.sentRaw(), (std::vector<std::vector<unsigned char>>{{0xFA}}));
  EXPECT_TRUE(manager->isThreadRunning(JobThread::kContinuousClock));
}

TEST_F(WorkerJobsTest, ManyStartersAtOnceLoseNoJobAndRunNoneTwice) {
  std::atomic<int> runs{0};
  manager->jobObserver = [&](JobThread, const SenderJob&) { runs++; };
  editor.midiConfigured = false;
  std::atomic<int> accepted{0};
  std::atomic<bool> go{false};
  auto starter = [&](int code) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < 200; ++i) {
      SenderJob job;
      job.jobCode = code;
      if (manager->startJob(job)) accepted++;
    }
  };
  // Two starters share the clock thread, one the request thread, one the
  // continuous clock (which ends at once with the clock info off).
  std::vector<std::thread> starters;
  for (int code : {13, 15, 17, 16}) starters.emplace_back(starter, code);
  go = true;
  for (auto& t : starters) t.join();
  ASSERT_TRUE(waitAllIdle());
  EXPECT_GT(accepted.load(), 0);
  EXPECT_EQ(runs.load(), accepted.load());
}

TEST_F(WorkerJobsTest, ArgumentsOfARunningJobCannotBeChangedByAnotherStarter) {
  // The request job is busy; a clock starter writes its own record only.
  std::atomic<bool> release{false};
  std::atomic<int> partSeen{-1};
  manager->jobObserver = [&](JobThread thread, const SenderJob& job) {
    if (thread != JobThread::kRequest) return;
    while (!release) std::this_thread::sleep_for(1ms);
    partSeen = job.partArgument;
  };
  SenderJob request;
  request.jobCode = 6;
  request.partArgument = 9;
  ASSERT_TRUE(manager->startJob(request));
  SenderJob clock;
  clock.jobCode = 17;
  clock.partArgument = 3;
  EXPECT_TRUE(manager->startJob(clock));
  release = true;
  ASSERT_TRUE(waitAllIdle());
  EXPECT_EQ(partSeen.load(), 9);
}

TEST_F(WorkerJobsTest, DestroyingTheManagerEndsAWaitingJob) {
  startWaitingClock();
  std::this_thread::sleep_for(20ms);  // let it reach its wait
  editor.manager = nullptr;
  manager.reset();
  // A wait that ignored the shutdown would have run its eleven retries out.
  EXPECT_TRUE(editor.statusTexts().empty());
  EXPECT_TRUE(editor.sentRaw().empty());
}

TEST_F(WorkerJobsTest, DestroyingTheManagerStopsARunningClock) {
  startClock(30);
  ASSERT_TRUE(firstClockSent());
  EXPECT_EQ(editor.sentRaw()[0], std::vector<unsigned char>{0xF8});
  editor.manager = nullptr;
  manager.reset();
  SUCCEED();
}

TEST_F(WorkerJobsTest, StoppingTheClockEndsItsJob) {
  startClock(30);
  manager->resetContinuousClock(true);
  EXPECT_TRUE(waitIdle(JobThread::kContinuousClock));
}

TEST_F(WorkerJobsTest, ClockWithoutTempoGivesUpAndSwitchesItselfOff) {
  editor.clockInfo = true;
  editor.listTempo = 0;
  editor.hostTempo = 0;
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
  EXPECT_TRUE(editor.sentRaw().empty());
}

TEST_F(WorkerJobsTest, ClockJobsRespectTheirSwitches) {
  manager->sender->startMIDIClockOutput();
  manager->sender->stopMIDIClockOutput();
  manager->sender->sendContinuousMIDIClock(120);
  EXPECT_TRUE(editor.sentRaw().empty());
  editor.clockPointer = true;
  manager->sender->startMIDIClockOutput();
  manager->sender->stopMIDIClockOutput();
  EXPECT_EQ(editor.sentRaw(), (std::vector<std::vector<unsigned char>>{{0xFA}, {0xFC}}));
}

TEST_F(WorkerJobsTest, OverrideTempoTakesTheHostTempo) {
  editor.hostTempo = 140;
  editor.setValue(kOverrideTempo, 1);
  startClock(0);
  EXPECT_TRUE(firstClockSent());
  manager->resetContinuousClock(true);
  EXPECT_TRUE(waitIdle(JobThread::kContinuousClock));
}

TEST_F(WorkerJobsTest, PartDumpJobSendsThePart) {
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = 11;
  ASSERT_TRUE(manager->startJob(job));
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
  const auto sent = editor.sentSysEx();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].size(), 392u);
  EXPECT_EQ(sent[0][6], 11);
}

TEST_F(WorkerJobsTest, LibrarianRequestArmsItsRecordOnlyWhenItStarts) {
  SenderJob busy;
  busy.jobCode = 13;
  std::atomic<bool> release{false};
  manager->jobObserver = [&](JobThread thread, const SenderJob&) {
    while (thread == JobThread::kRequest && !release) std::this_thread::sleep_for(1ms);
  };
  ASSERT_TRUE(manager->startJob(busy));
  manager->sendSinglePatchRequestSysexFromLibrarian(false, 1);
  EXPECT_FALSE(manager->patchRequest.active);
  release = true;
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
  manager->replyAccepted = true;
  manager->sendAllPatchRequestSysexFromLibrarian(2);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_FALSE(manager->replyAccepted);
  ASSERT_TRUE(waitIdle(JobThread::kRequest));  // the observer uses this frame
}
}  // namespace
