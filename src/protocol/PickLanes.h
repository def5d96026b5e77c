// Each part's picks are worked in the order they come, on a thread the lane
// holds while it has work: one part's pick never waits for another part's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class PickLanes {
 public:
  using Task = std::function<void()>;
  explicit PickLanes(int count);
  ~PickLanes() { stop(); }
  PickLanes(const PickLanes&) = delete;
  PickLanes& operator=(const PickLanes&) = delete;

  // False once stopped.
  bool post(int lane, Task task);
  // No lane runs or holds work.
  bool idle() const;
  // Waits until idle, or the bound; the calling thread's own lane aside.
  bool awaitIdle(std::chrono::milliseconds bound);
  // What waits is dropped; the work running is joined.
  void stop();
  // The lane the calling thread works for, or -1.
  static int currentLane();

 private:
  struct Lane {
    std::deque<Task> tasks;
    bool running = false;
    std::thread thread;
  };
  void run(int lane);
  bool idleLocked(int except) const;

  mutable std::mutex mMutex;
  std::condition_variable mIdle;
  std::vector<Lane> mLanes;
  bool mStopping = false;
};
