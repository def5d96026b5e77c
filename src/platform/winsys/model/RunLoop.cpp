#include "RunLoop.h"

#include <algorithm>
#include <cstdint>

namespace winsys {

RunLoop& RunLoop::current() {
  thread_local RunLoop loop;
  return loop;
}

std::shared_ptr<ModelTimer> RunLoop::schedule(double intervalMs, std::function<void()> fire) {
  auto t = std::make_shared<ModelTimer>();
  t->mInterval = std::max(intervalMs, 1.0);
  t->mNext = mNow + t->mInterval;
  t->mFire = std::move(fire);
  t->mOrder = mOrder++;
  mTimers.push_back(t);
  return t;
}

void RunLoop::runFor(double ms) {
  double deadline = mNow + ms;
  for (;;) {
    mTimers.erase(std::remove_if(mTimers.begin(), mTimers.end(), [](auto& t) { return !t->mValid; }),
                  mTimers.end());
    std::shared_ptr<ModelTimer> next;
    for (auto& t : mTimers)
      if (t->mNext <= deadline &&
          (!next || t->mNext < next->mNext || (t->mNext == next->mNext && t->mOrder < next->mOrder)))
        next = t;
    if (!next) break;
    mNow = std::max(mNow, next->mNext);
    next->mNext += next->mInterval;
    ++next->mFired;
    auto fire = next->mFire;  // the callback may invalidate or re-schedule
    fire();
  }
  mNow = deadline;
}

size_t RunLoop::validTimerCount() const {
  return size_t(std::count_if(mTimers.begin(), mTimers.end(), [](auto& t) { return t->mValid; }));
}

void RunLoop::reset() {
  for (auto& t : mTimers) t->mValid = false;
  mTimers.clear();
  mNow = 0;
}

}  // namespace winsys
