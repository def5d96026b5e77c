#include "InstrumentLink.h"

#include <chrono>

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
                           [this] { return mQueue.empty() && !mWorking; });
}

void InstrumentLink::loop() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mChanged.wait(lock, [this] { return mStopping || !mQueue.empty(); });
    if (mStopping) return;
    SimBytes message = std::move(mQueue.front());
    mQueue.pop_front();
    mWorking = true;
    lock.unlock();
    const std::vector<SimBytes> replies = mInstrument.receive(message);
    const auto delay = std::chrono::milliseconds(mInstrument.replyDelayMs());
    lock.lock();
    // A slow instrument's replies wait, but never keep the link from closing.
    if (!replies.empty() && mChanged.wait_for(lock, delay, [this] { return mStopping; })) return;
    lock.unlock();
    for (const SimBytes& reply : replies) mToEditor(reply);
    lock.lock();
    mWorking = false;
    mChanged.notify_all();
  }
}
