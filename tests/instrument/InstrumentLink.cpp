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

void InstrumentLink::sendToEditor(const SimBytes& message) {
  if (mToEditor) mToEditor(message);
}

bool InstrumentLink::waitIdle(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return mQueue.empty() && !mWorking; });
}

int InstrumentLink::handled() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mHandled;
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
    const int delay = mInstrument.replyDelayMs();
    lock.lock();
    if (!replies.empty() && delay > 0 &&
        mChanged.wait_for(lock, std::chrono::milliseconds(delay), [this] { return mStopping; }))
      return;
    lock.unlock();
    for (const SimBytes& reply : replies) sendToEditor(reply);
    lock.lock();
    mWorking = false;
    ++mHandled;
    mChanged.notify_all();
  }
}
