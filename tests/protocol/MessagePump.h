// Carries what the plug-in sent on a MIDI system (read as the growing list
// of everything sent so far) to the simulated instrument, on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "InstrumentLink.h"

class MessagePump {
 public:
  using Source = std::function<std::vector<std::vector<unsigned char>>()>;

  MessagePump(Source source, InstrumentLink& link) : mSource(std::move(source)), mLink(link), mThread([this] { run(); }) {}
  ~MessagePump() {
    mStop = true;
    mThread.join();
  }
  // True once count messages have been handed on (bounded wait).
  bool waitForCount(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (mForwarded < count && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return mForwarded >= count && mLink.waitIdle(static_cast<int>(bound.count()));
  }

 private:
  void run() {
    while (!mStop) {
      const auto all = mSource();
      for (size_t i = mForwarded; i < all.size(); ++i) mLink.deliver(all[i]);
      mForwarded = all.size();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  Source mSource;
  InstrumentLink& mLink;
  std::atomic<bool> mStop{false};
  std::atomic<size_t> mForwarded{0};
  std::thread mThread;
};
