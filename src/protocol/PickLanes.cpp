#include "PickLanes.h"

#include <pthread.h>

#include <cstdio>
#include <string>

#include "WaitGuard.h"

namespace {
thread_local int tLane = -1;
}  // namespace

PickLanes::PickLanes(int count) : mLanes(static_cast<size_t>(count)) {}

int PickLanes::currentLane() { return tLane; }

bool PickLanes::post(int lane, Task task) {
  if (lane < 0 || lane >= static_cast<int>(mLanes.size()) || !task) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  if (mStopping) return false;
  Lane& l = mLanes[static_cast<size_t>(lane)];
  l.tasks.push_back(std::move(task));
  if (l.running) return true;
  // The lane's last thread has left its loop: it is at most on its way out.
  if (l.thread.joinable()) l.thread.join();
  l.running = true;
  try {
    l.thread = std::thread([this, lane] { run(lane); });
  } catch (...) {
    l.running = false;
    l.tasks.clear();
    std::fprintf(stderr, "Tarnivex: no thread for a part's picks\n");
    return false;
  }
  return true;
}

void PickLanes::run(int lane) {
  tLane = lane;
  const std::string name = "tvx part " + std::to_string(lane + 1);
  pthread_setname_np(pthread_self(), name.c_str());
  std::unique_lock<std::mutex> lock(mMutex);
  Lane& l = mLanes[static_cast<size_t>(lane)];
  while (!l.tasks.empty() && !mStopping) {
    Task task = std::move(l.tasks.front());
    l.tasks.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // what it holds goes before the lane counts as idle
    lock.lock();
  }
  l.tasks.clear();
  l.running = false;
  mIdle.notify_all();
}

bool PickLanes::idleLocked(int except) const {
  for (size_t i = 0; i < mLanes.size(); ++i)
    if (static_cast<int>(i) != except && (mLanes[i].running || !mLanes[i].tasks.empty())) return false;
  return true;
}

bool PickLanes::idle() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return idleLocked(-1);
}

bool PickLanes::awaitIdle(std::chrono::milliseconds bound) {
  WaitGuard::beforeWait("a wait for the parts' picks");
  std::unique_lock<std::mutex> lock(mMutex);
  const int own = tLane;
  return mIdle.wait_for(lock, bound, [&] { return mStopping || idleLocked(own); });
}

void PickLanes::stop() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
    for (Lane& l : mLanes) {
      l.tasks.clear();
      if (l.thread.joinable()) threads.push_back(std::move(l.thread));
    }
  }
  mIdle.notify_all();
  for (std::thread& thread : threads)
    if (thread.get_id() != std::this_thread::get_id()) thread.join();
    else thread.detach();
}
