// The worker threads: which thread a job code runs on, the drop rule, many
// starters at once, a manager going away while a job waits, and the clock.
#include <gtest/gtest.h>

#include <atomic>
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
  bool waitAllIdle() {
    return waitIdle(JobThread::kRequest) && waitIdle(JobThread::kClock) && waitIdle(JobThread::kContinuousClock);
  }
  // Job 16 with the clock info on; tempo 0 makes it wait for a tempo.
  void startClock(int tempo) {
    editor.clockInfo = true;
    editor.listTempo = tempo;
    manager->resetContinuousClock(false);
    ASSERT_TRUE(manager->startJob(job(16)));
  }
  // Request jobs wait in the observer until released; others record their part.
  void holdRequestJobs() {
    manager->jobObserver = [this](JobThread thread, const SenderJob& job) {
      while (thread == JobThread::kRequest && !release) std::this_thread::sleep_for(1ms);
      if (thread == JobThread::kRequest) requestPart = job.partArgument;
    };
  }
  std::atomic<bool> release{false};
  std::atomic<int> requestPart{-1};
};

TEST_F(WorkerJobsTest, EachCodeRunsOnItsThreadWithItsArgumentsAndOtherCodesAreRefused) {
  std::mutex mutex;
  std::vector<std::pair<JobThread, SenderJob>> seen;
  manager->jobObserver = [&](JobThread thread, const SenderJob& job) {
    std::lock_guard<std::mutex> lock(mutex);
    seen.emplace_back(thread, job);
  };
  std::map<int, JobThread> expected = {
      {15, JobThread::kClock}, {16, JobThread::kContinuousClock}, {17, JobThread::kClock}};
  for (int code = 0; code <= 13; ++code) expected[code] = JobThread::kRequest;
  editor.midiConfigured = false;  // job 2 then sends nothing
  for (const auto& [code, thread] : expected) {
    ASSERT_TRUE(manager->startJob(job(code))) << "code " << code;
    ASSERT_TRUE(waitAllIdle());
  }
  for (int code : {14, 18, -1, 1000}) EXPECT_FALSE(manager->startJob(job(code))) << code;
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(seen.size(), expected.size());
  for (const auto& [thread, job] : seen) {
    EXPECT_EQ(thread, expected.at(job.jobCode)) << "code " << job.jobCode;
    EXPECT_EQ(job.bankArgument, 100 + job.jobCode);
  }
}

TEST_F(WorkerJobsTest, AJobAskedForWhileItsThreadRunsIsDroppedAndOtherThreadsStillRun) {
  startClock(0);
  bool flagSet = false;
  EXPECT_FALSE(manager->startJob(job(16), [&] { flagSet = true; }));
  EXPECT_FALSE(flagSet);  // a dropped job sets none of its flags

  editor.clockPointer = true;
  EXPECT_TRUE(manager->startJob(job(15)));
  ASSERT_TRUE(waitIdle(JobThread::kClock));
  EXPECT_EQ(editor.sentRaw(), Raw{{0xFA}});
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
    for (int i = 0; i < 200; ++i)
      if (manager->startJob(job(code))) accepted++;
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
  holdRequestJobs();
  ASSERT_TRUE(manager->startJob(job(6, 9)));
  EXPECT_TRUE(manager->startJob(job(17, 3)));  // a clock starter writes its own record only
  release = true;
  ASSERT_TRUE(waitAllIdle());
  EXPECT_EQ(requestPart.load(), 9);
}

TEST_F(WorkerJobsTest, LibrarianRequestArmsItsRecordOnlyWhenItStarts) {
  holdRequestJobs();
  ASSERT_TRUE(manager->startJob(job(13)));
  manager->sendSinglePatchRequestSysexFromLibrarian(false, 1);
  EXPECT_FALSE(manager->patchRequest.active);
  release = true;
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
  manager->replyAccepted = true;
  manager->sendAllPatchRequestSysexFromLibrarian(2);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_FALSE(manager->replyAccepted);
  ASSERT_TRUE(waitIdle(JobThread::kRequest));
}

TEST_F(WorkerJobsTest, DestroyingTheManagerEndsAWaitingJob) {
  startClock(0);
  std::this_thread::sleep_for(20ms);  // let it reach its wait
  editor.manager = nullptr;
  manager.reset();
  // A wait that ignored the shutdown would have run its eleven retries out.
  EXPECT_TRUE(editor.statusTexts().empty());
  EXPECT_TRUE(editor.sentRaw().empty());
}

TEST_F(WorkerJobsTest, TheClockTakesTheHostTempoWhenOverriddenAndStopsOnRequestOrDestruction) {
  editor.hostTempo = 140;
  editor.setValue(kOverrideTempo, 1);
  startClock(0);
  ASSERT_TRUE(waitUntil([&] { return !editor.sentRaw().empty(); }));
  EXPECT_EQ(editor.sentRaw()[0], std::vector<unsigned char>{0xF8});
  manager->resetContinuousClock(true);
  EXPECT_TRUE(waitIdle(JobThread::kContinuousClock));
  startClock(0);  // running when the manager goes
  editor.manager = nullptr;
  manager.reset();
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
}  // namespace
