// The run loop of a thread, on a virtual clock that only moves when the loop
// runs: repeating timers fire in time order, each at its own due time.
#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace winsys {

class ModelTimer {
 public:
  bool isValid() const { return mValid; }
  void invalidate() { mValid = false; }
  double interval() const { return mInterval; }
  double fireTime() const { return mNext; }
  int fireCount() const { return mFired; }

 private:
  friend class RunLoop;
  double mInterval = 0;  // milliseconds
  double mNext = 0;
  bool mValid = true;
  int mFired = 0;
  uint64_t mOrder = 0;
  std::function<void()> mFire;
};

class RunLoop {
 public:
  // The calling thread's run loop.
  static RunLoop& current();

  double now() const { return mNow; }
  void setNow(double ms) { mNow = ms; }
  // A repeating timer, first due interval ms from now.
  std::shared_ptr<ModelTimer> schedule(double intervalMs, std::function<void()> fire);
  // Runs for ms milliseconds of the virtual clock, firing every timer that falls due.
  void runFor(double ms);
  size_t validTimerCount() const;
  void reset();

 private:
  double mNow = 0;
  uint64_t mOrder = 0;
  std::vector<std::shared_ptr<ModelTimer>> mTimers;
};

}  // namespace winsys
