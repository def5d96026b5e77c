#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "Handles.h"

namespace {

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct Gate {
  std::atomic<bool> open{false};
  std::atomic<int> ran{0};
};

unsigned waitForGate(void* p) {
  auto* g = static_cast<Gate*>(p);
  auto until = Clock::now() + std::chrono::seconds(10);
  while (!g->open && Clock::now() < until) usleep(1000);
  ++g->ran;
  return 42;
}

TEST(Threads, WaitThenCloseJoinsOnce) {
  Gate g;
  DWORD tid = 0;
  HANDLE t = CreateThread(nullptr, 0, waitForGate, &g, 0, &tid);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(tid, 0u);
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);
  auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(t, 30), WAIT_TIMEOUT);
  EXPECT_GE(elapsedMs(start), 30);
  g.open = true;
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);  // already joined: no second join
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(t));
  EXPECT_EQ(g.ran, 1);
}

TEST(Threads, ClosingBeforeTheEndLeavesTheRecordToTheThread) {
  Gate g;
  HANDLE t = CreateThread(nullptr, 0, waitForGate, &g, 0, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(SWELL_HandleRefCount(t), 2);
  EXPECT_TRUE(CloseHandle(t));
  g.open = true;
  auto until = Clock::now() + std::chrono::seconds(10);
  while (g.ran == 0 && Clock::now() < until) usleep(1000);
  EXPECT_EQ(g.ran, 1);
  usleep(20000);  // the thread frees its record as it ends; ASan reports a leak or misuse otherwise
}

TEST(Threads, TwoWaitersJoinOnce) {
  Gate g;
  HANDLE t = CreateThread(nullptr, 0, waitForGate, &g, 0, nullptr);
  std::vector<std::thread> waiters;
  std::atomic<int> ok{0};
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] { ok += WaitForSingleObject(t, 5000) == WAIT_OBJECT_0; });
  usleep(10000);
  g.open = true;
  for (auto& w : waiters) w.join();
  EXPECT_EQ(ok, 2);
  EXPECT_TRUE(CloseHandle(t));
}

TEST(Threads, PriorityIsClampedToThePolicy) {
  Gate g;
  HANDLE t = CreateThread(nullptr, 0, waitForGate, &g, 0, nullptr);
  EXPECT_TRUE(SetThreadPriority(t, 0));
  g.open = true;
  WaitForSingleObject(t, INFINITE);
  EXPECT_FALSE(SetThreadPriority(t, 0));  // done
  CloseHandle(t);
  EXPECT_FALSE(SetThreadPriority(nullptr, 0));
}

TEST(Events, AutoAndManualReset) {
  struct Case {
    bool manual;
    DWORD secondWait;
  } cases[] = {{false, WAIT_TIMEOUT}, {true, WAIT_OBJECT_0}};
  for (auto c : cases) {
    HANDLE e = CreateEvent(nullptr, c.manual, false, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), c.secondWait);
    EXPECT_TRUE(ResetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
  }
}

TEST(Events, TimedWaitEndsOnTimeDespiteWakeUps) {
  HANDLE e = CreateEvent(nullptr, false, false, nullptr);
  std::atomic<bool> stop{false};
  // Another waiter keeps taking signals, so our waiter wakes without the flag set.
  std::thread noise([&] {
    while (!stop) {
      SetEvent(e);
      usleep(2000);
    }
  });
  HANDLE other = CreateEvent(nullptr, true, false, nullptr);
  auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(other, 60), WAIT_TIMEOUT);
  long took = elapsedMs(start);
  EXPECT_GE(took, 60);
  EXPECT_LT(took, 2000);
  stop = true;
  noise.join();
  CloseHandle(e);
  CloseHandle(other);
}

TEST(Events, ManualResetWakesEveryWaiterAutoResetOne) {
  for (bool manual : {true, false}) {
    HANDLE e = CreateEvent(nullptr, manual, false, nullptr);
    std::atomic<int> woke{0};
    std::vector<std::thread> ws;
    for (int i = 0; i < 3; ++i) ws.emplace_back([&] { woke += WaitForSingleObject(e, 300) == WAIT_OBJECT_0; });
    usleep(20000);
    SetEvent(e);
    for (auto& w : ws) w.join();
    EXPECT_EQ(woke, manual ? 3 : 1) << (manual ? "manual" : "auto");
    CloseHandle(e);
  }
}

TEST(Events, SocketEventsHoldOneByte) {
  for (bool manual : {false, true}) {
    HANDLE e = CreateEventAsSocket(nullptr, manual, false, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
  }
  HANDLE a = CreateEventAsSocket(nullptr, false, false, nullptr);
  HANDLE b = CreateEventAsSocket(nullptr, false, true, nullptr);
  HANDLE list[] = {a, b};
  EXPECT_EQ(WaitForAnySocketObject(2, list, 100), 1u);
  EXPECT_EQ(WaitForAnySocketObject(2, list, 10), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForAnySocketObject(0, list, 10), WAIT_TIMEOUT);
  CloseHandle(a);
  CloseHandle(b);
}

TEST(Handles, InvalidHandlesAndFiles) {
  int notAHandle[4] = {0, 1, 2, 3};
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(notAHandle, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(notAHandle));
  EXPECT_FALSE(SetEvent(notAHandle));
  EXPECT_EQ(CreateFile("x", 0, 0, nullptr, 0, 0, nullptr), nullptr);

  HANDLE f = SWELL_CreateFileHandle(tmpfile());
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(f, "hello", 5, &n, nullptr));
  EXPECT_EQ(n, 5u);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(f, &high), 5u);
  EXPECT_EQ(high, 0u);
  int hi = 1;
  EXPECT_EQ(SetFilePointer(f, 1, &hi, 0), 0xFFFFFFFFu);
  EXPECT_EQ(hi, -1);
  hi = 0;
  EXPECT_EQ(SetFilePointer(f, 1, &hi, 0), 1u);
  char buf[8] = {};
  EXPECT_TRUE(ReadFile(f, buf, 4, &n, nullptr));
  EXPECT_STREQ(buf, "ello");
  EXPECT_FALSE(ReadFile(f, buf, 0, &n, nullptr));
  EXPECT_EQ(WaitForSingleObject(f, 0), WAIT_FAILED);
  EXPECT_TRUE(CloseHandle(f));

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  HANDLE s = SWELL_CreateSocketHandle(fds[0]);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  EXPECT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_EQ(WaitForSingleObject(s, 100), WAIT_OBJECT_0);
  EXPECT_FALSE(CloseHandle(s));  // not owned: the record and the descriptor stay
  EXPECT_EQ(SWELL_HandleRefCount(s), 1);
  SWELL_FreeSocketHandle(s);
  close(fds[0]);
  close(fds[1]);
}

TEST(Handles, ChildProcesses) {
  const char* args[] = {"-c", "exit 0"};
  HANDLE p = SWELL_CreateProcess("/bin/sh", 2, args);
  ASSERT_NE(p, nullptr);
  EXPECT_GT(SWELL_GetProcessId(p), 0);
  EXPECT_EQ(WaitForSingleObject(p, 5000), 0u);
  EXPECT_TRUE(CloseHandle(p));
  const char* sleepArgs[] = {"5"};
  HANDLE q = SWELL_CreateProcess("/bin/sleep", 1, sleepArgs);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(WaitForSingleObject(q, 20), WAIT_TIMEOUT);
  kill(SWELL_GetProcessId(q), SIGKILL);
  EXPECT_EQ(WaitForSingleObject(q, 5000), 0u);
  CloseHandle(q);
  EXPECT_EQ(SWELL_CreateProcess("/nonexistent/program", 0, nullptr), nullptr);
}

TEST(Handles, AppNapCountsAndHoldsOneActivity) {
  SWELL_DisableAppNap(1);
  SWELL_DisableAppNap(1);
  EXPECT_TRUE(SWELL_AppNapActivityHeld());
  SWELL_DisableAppNap(-2);
  EXPECT_FALSE(SWELL_AppNapActivityHeld());
  SWELL_SetFoundationVersion(945.9);
  SWELL_DisableAppNap(1);
  EXPECT_EQ(SWELL_AppNapCount(), 0);
  SWELL_SetFoundationVersion(1500);
}

}  // namespace

namespace {

// Signals, resets and waits from several threads at once: every flag change is under the event's lock.
TEST(Events, ConcurrentSetResetAndWait) {
  HANDLE e = CreateEvent(nullptr, true, false, nullptr);
  std::atomic<bool> stop{false};
  std::thread setter([&] {
    while (!stop) SetEvent(e);
  });
  std::thread resetter([&] {
    while (!stop) ResetEvent(e);
  });
  int got = 0;
  auto until = Clock::now() + std::chrono::milliseconds(100);
  while (Clock::now() < until) got += WaitForSingleObject(e, 1) == WAIT_OBJECT_0;
  stop = true;
  setter.join();
  resetter.join();
  EXPECT_GT(got, 0);
  CloseHandle(e);
}

}  // namespace
