// The simulated instrument on the peer's ports while a benchmark runs: it
// takes what the plug-in sends and answers what it asks (the device
// enquiry, a part's or the multi's request), until it goes; the peer's
// record is then cleared.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "JackPeer.h"
#include "SimulatedInstrument.h"

class AnsweringInstrument {
 public:
  explicit AnsweringInstrument(JackPeer& peer)
      : mPeer(peer), mThread([this] {
          SimulatedInstrument instrument(0);
          size_t seen = 0;
          while (!mDone) {
            const std::vector<PeerEvent> events = mPeer.WaitForEvents(seen + 1, std::chrono::milliseconds(20));
            for (; seen < events.size(); ++seen)
              for (const SimBytes& reply : instrument.receive(events[seen].bytes)) mPeer.Send(reply);
          }
        }) {}
  ~AnsweringInstrument() {
    mDone = true;
    mThread.join();
    mPeer.Clear();
  }
  AnsweringInstrument(const AnsweringInstrument&) = delete;
  AnsweringInstrument& operator=(const AnsweringInstrument&) = delete;

 private:
  JackPeer& mPeer;
  std::atomic<bool> mDone{false};
  std::thread mThread;
};
