#include <thread>

#include "WindowFixture.h"

namespace {

using Timers = WindowTest;

std::vector<std::pair<uintptr_t, double>> gFired;
void Callback(HWND, UINT msg, uintptr_t id, DWORD) {
  EXPECT_EQ(msg, unsigned(WM_TIMER));
  gFired.push_back({id, winsys::RunLoop::current().now()});
}

TEST_F(Timers, SettingAgainReplacesTheRate) {
  HWND top = topLevel();
  rec.only = {WM_TIMER};
  rec.log.clear();
  SetTimer(top, 1, 100, nullptr);
  SetTimer(top, 1, 30, nullptr);
  SWELL_RunRunLoop(100);
  EXPECT_EQ(rec.log.size(), 3u) << "one timer at the second rate";
  EXPECT_TRUE(KillTimer(top, 1));
  EXPECT_FALSE(KillTimer(top, 1));
  rec.log.clear();
  SWELL_RunRunLoop(100);
  EXPECT_TRUE(rec.log.empty());
}

TEST_F(Timers, KillAllOfAWindowAndWindowlessIds) {
  HWND top = topLevel();
  winsys::Window* w = swell::asView(top)->window();
  EXPECT_EQ(SetTimer(w, 1, 10, nullptr), 1u) << "a window stands for its content view";
  SetTimer(top, 2, 10, nullptr);
  EXPECT_EQ(SetTimer(top, 0, 10, nullptr), 0u);
  EXPECT_EQ(SetTimer(nullptr, 5, 10, nullptr), 0u);
  EXPECT_TRUE(KillTimer(top, 0xFFFFFFFF));
  EXPECT_FALSE(KillTimer(top, 0xFFFFFFFF));
  EXPECT_FALSE(KillTimer(nullptr, 0xFFFFFFFF));
  gFired.clear();
  uintptr_t a = SetTimer(nullptr, 0, 20, Callback);
  uintptr_t b = SetTimer(nullptr, 0, 50, Callback);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b) << "each window-less timer has its own id";
  SWELL_RunRunLoop(50);
  EXPECT_EQ(gFired, (std::vector<std::pair<uintptr_t, double>>{{a, 20}, {a, 40}, {b, 50}}));
  EXPECT_TRUE(KillTimer(nullptr, a));
  gFired.clear();
  SWELL_RunRunLoop(50);
  EXPECT_EQ(gFired, (std::vector<std::pair<uintptr_t, double>>{{b, 100}}));
  EXPECT_EQ(SetTimer(top, 3, 10, Callback), 3u);
  gFired.clear();
  SWELL_RunRunLoop(10);
  EXPECT_EQ(gFired.size(), 1u);
}

TEST_F(Timers, RunLoopExHoldsBackOtherTimers) {
  HWND top = topLevel();
  HWND other = topLevel(30, 30, "Other");
  rec.only = {WM_TIMER};
  rec.log.clear();
  SetTimer(top, 1, 10, nullptr);
  SetTimer(other, 2, 10, nullptr);
  gFired.clear();
  SetTimer(nullptr, 0, 10, Callback);
  SWELL_RunRunLoopEx(30, top);
  EXPECT_EQ(rec.log.size(), 3u);
  for (auto& m : rec.log) EXPECT_EQ(m.hwnd, top);
  EXPECT_TRUE(gFired.empty());
  EXPECT_EQ(g_swell_only_timerhwnd, nullptr);
  SWELL_RunRunLoop(10);
  EXPECT_EQ(rec.log.size(), 5u);
  EXPECT_EQ(gFired.size(), 1u);
}

// A hosting application's delegate that forwards the queue's three methods.
struct QueueDelegate : winsys::AppDelegate {
  bool answersPostMessage() const override { return true; }
  bool swellPostMessage(HWND h, UINT m, WPARAM w, LPARAM l) override { return SWELL_Internal_PostMessage(h, m, w, l); }
  bool answersPostMessageClearQ() const override { return true; }
  void swellPostMessageClearQ(HWND h) override { SWELL_Internal_PMQ_ClearAllMessages(h); }
  bool answersPostMessageTick() const override { return true; }
  void swellPostMessageTick() override { SWELL_MessageQueue_Flush(); }
};

TEST_F(Timers, WithoutTheDelegatePostingFails) {
  HWND top = topLevel();
  EXPECT_EQ(PostMessage(top, 0x400, 1, 2), 0);
  SWELL_Internal_PostMessage_Init();
  EXPECT_EQ(SWELL_Internal_PostMessage(top, 0x400, 1, 2), 0) << "no queue";
}

TEST_F(Timers, PostedMessagesTravelOnTheTickWithACap) {
  HWND top = topLevel();
  HWND other = topLevel(30, 30, "Other");
  winsys::App().setDelegate(std::make_shared<QueueDelegate>());
  SWELL_Internal_PostMessage_Init();
  rec.only = {0x400};
  rec.log.clear();
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(PostMessage(top, 0x400, WPARAM(i), 0));
  EXPECT_EQ(PostMessage(top, 0x400, 0, 0), 0) << "1024 queued and no spare record";
  EXPECT_EQ(SWELL_MessageQueue_Size(), 1024);
  winsys::RunLoop::current().runFor(50);
  ASSERT_EQ(rec.log.size(), 1024u);
  EXPECT_EQ(rec.log[1023].wParam, 1023u) << "in order";
  EXPECT_EQ(SWELL_MessageQueue_Size(), 0);
  EXPECT_EQ(SWELL_MessageQueue_SpareCount(), 1024);
  EXPECT_TRUE(PostMessage(top, 0x400, 0, 0));
  EXPECT_EQ(SWELL_MessageQueue_SpareCount(), 1023) << "a spare record was reused";
  // A window's destruction drops its messages and refuses new ones.
  PostMessage(other, 0x400, 5, 0);
  PostMessage(top, 0x400, 6, 0);
  DestroyWindow(top);
  EXPECT_EQ(SWELL_MessageQueue_Size(), 1);
  EXPECT_EQ(PostMessage(top, 0x400, 7, 0), 0);
  rec.log.clear();
  SWELL_MessageQueue_Flush();
  EXPECT_EQ(rec.log, (std::vector<Msg>{{other, 0x400, 5, 0}}));
}

TEST_F(Timers, TimerCallsFromOtherThreadsGoThroughTheQueue) {
  HWND top = topLevel();
  winsys::App().setDelegate(std::make_shared<QueueDelegate>());
  SWELL_Internal_PostMessage_Init();
  rec.only = {WM_TIMER};
  rec.log.clear();
  uintptr_t got = 0, windowless = 1;
  std::thread t([&] {
    got = SetTimer(top, 9, 10, nullptr);
    windowless = SetTimer(nullptr, 0, 10, Callback);
  });
  t.join();
  EXPECT_EQ(got, 9u);
  EXPECT_EQ(windowless, 0u) << "a window-less timer cannot be carried out on the main thread";
  EXPECT_EQ(SWELL_MessageQueue_Size(), 1);
  SWELL_MessageQueue_Flush();
  SWELL_RunRunLoop(10);
  EXPECT_EQ(rec.log.size(), 1u);
  std::thread k([&] { EXPECT_TRUE(KillTimer(top, 9)); });
  k.join();
  SWELL_MessageQueue_Flush();
  rec.log.clear();
  SWELL_RunRunLoop(30);
  EXPECT_TRUE(rec.log.empty());
}

}  // namespace
