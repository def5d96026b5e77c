// The host's audio thread while the window works: 64-frame blocks at 48 kHz,
// each after an event call with a controller and a note (or with what
// eventsFor gives, none where it gives null), at real-time priority where
// the system grants it. Each call's wait is its wall time less the thread's
// CPU time: the time it slept on the plug-in's lock or was not given a core.
#pragma once

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "../AudioThreadEvents.h"

inline double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The worst of a run's times, the 99th percentile and the median.
struct Spread {
  double worst = 0.0, p99 = 0.0, median = 0.0;
  explicit Spread(std::vector<double> times) {
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    worst = times.back();
    p99 = times[times.size() * 99 / 100];
    median = times[times.size() / 2];
  }
};

class HostAudioThread {
 public:
  // counted false: the calls are made but not timed until counting() is set.
  explicit HostAudioThread(AEffect* effect, BlockEvents eventsFor = {}, bool counted = true) : mCounting(counted) {
    for (auto* times : {&mWaits, &mWalls, &mEventWaits, &mEventWalls}) times->reserve(1 << 16);
    mThread = std::thread([this, effect, eventsFor = std::move(eventsFor)] {
      mRealtime = RaiseToRealTime();
      std::vector<double> a(64), b(64);
      double* channels[] = {a.data(), b.data()};
      ControllerAndNote events;
      const auto take = [this](std::vector<double>& wallsOf, std::vector<double>& waitsOf, auto call) {
        const bool counting = mCounting;
        const double cpu = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        call();
        if (!counting) return;
        const double wall = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        wallsOf.push_back(wall);
        waitsOf.push_back(std::max(0.0, wall - (ThreadCpuSeconds() - cpu) * 1e6));
      };
      const auto period = std::chrono::nanoseconds(static_cast<long>(1e9 * 64 / 48000.0));
      auto due = std::chrono::steady_clock::now();
      for (int n = 0; mRunning; ++n) {
        VstEvents* list = eventsFor ? eventsFor(n) : events.forBlock(n);
        if (list) take(mEventWalls, mEventWaits, [&] { effect->dispatcher(effect, effProcessEvents, 0, 0, list, 0.0f); });
        take(mWalls, mWaits, [&] { effect->processDoubleReplacing(effect, channels, channels, 64); });
        due += period;
        std::this_thread::sleep_until(due);
      }
    });
  }
  ~HostAudioThread() { stop(); }
  HostAudioThread(const HostAudioThread&) = delete;
  HostAudioThread& operator=(const HostAudioThread&) = delete;

  // From the next call on, each is timed.
  void counting() { mCounting = true; }
  void stop() {
    mRunning = false;
    if (mThread.joinable()) mThread.join();
  }
  // The worst of each, in microseconds; after stop.
  double worstWait() const { return worst(mWaits); }
  double worstBlock() const { return worst(mWalls); }
  double worstEventWait() const { return worst(mEventWaits); }
  double worstEvent() const { return worst(mEventWalls); }
  // The wall times of the blocks and of the event calls; after stop.
  Spread blocks() const { return Spread(mWalls); }
  Spread eventCalls() const { return Spread(mEventWalls); }
  bool realtime() const { return mRealtime; }

 private:
  static double worst(const std::vector<double>& times) {
    return times.empty() ? 0.0 : *std::max_element(times.begin(), times.end());
  }
  std::atomic<bool> mRunning{true}, mCounting;
  bool mRealtime = false;
  std::vector<double> mWaits, mWalls, mEventWaits, mEventWalls;
  std::thread mThread;
};
