#include "InstrumentLink.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

InstrumentLink::InstrumentLink(SimulatedInstrument& instrument, Output toEditor)
    : mInstrument(instrument), mToEditor(std::move(toEditor)), mThread([this] { loop(); }) {}

InstrumentLink::~InstrumentLink() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mChanged.notify_all();
  mThread.join();
}

void InstrumentLink::deliver(SimBytes message) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mQueue.push_back(std::move(message));
  }
  mChanged.notify_all();
}

bool InstrumentLink::waitIdle(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return mQueue.empty() && mLate.empty() && !mWorking; });
}

void InstrumentLink::loop() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    // A slow instrument's replies leave at their time; the messages that
    // come meanwhile are taken as they come, as an instrument busy answering
    // still plays.
    const auto ready = [this] {
      return mStopping || !mQueue.empty() || (!mLate.empty() && Clock::now() >= mLate.front().first);
    };
    if (mLate.empty()) mChanged.wait(lock, ready);
    else mChanged.wait_until(lock, mLate.front().first, ready);
    if (mStopping) return;
    std::vector<SimBytes> out;
    if (!mLate.empty() && Clock::now() >= mLate.front().first) {
      out.push_back(std::move(mLate.front().second));
      mLate.pop_front();
    } else if (!mQueue.empty()) {
      SimBytes message = std::move(mQueue.front());
      mQueue.pop_front();
      mWorking = true;
      lock.unlock();
      std::vector<SimulatedInstrument::TimedReply> replies = mInstrument.receiveTimed(message);
      const int delayMs = mInstrument.replyDelayMs();
      lock.lock();
      for (auto& reply : replies) {
        const int ms = delayMs + reply.lateMs;
        if (ms <= 0 && mLate.empty()) {
          out.push_back(std::move(reply.bytes));
          continue;
        }
        // The instrument answers in order: a late answer holds back the
        // ones after it.
        auto leaves = Clock::now() + std::chrono::milliseconds(ms);
        if (!mLate.empty()) leaves = std::max(leaves, mLate.back().first);
        mLate.emplace_back(leaves, std::move(reply.bytes));
      }
    } else {
      continue;
    }
    mWorking = true;
    lock.unlock();
    for (const SimBytes& reply : out) mToEditor(reply);
    lock.lock();
    mWorking = false;
    mChanged.notify_all();
  }
}
