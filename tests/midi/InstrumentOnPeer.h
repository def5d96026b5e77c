// The simulated instrument at the far end of a JACK peer: what the peer
// receives from the plug-in goes to the instrument, and the instrument's
// replies leave through the peer. Stops its hand-over thread when destroyed.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "InstrumentLink.h"
#include "JackPeer.h"

class InstrumentOnPeer {
 public:
  InstrumentOnPeer(SimulatedInstrument& instrument, JackPeer& peer)
      : mLink(std::make_unique<InstrumentLink>(instrument, [&peer](const SimBytes& reply) { peer.Send(reply); })),
        mPump([this, &peer] {
          size_t handed = 0;
          while (!mStopping) {
            const std::vector<PeerEvent> events = peer.WaitForEvents(handed + 1, std::chrono::milliseconds(20));
            for (; handed < events.size(); ++handed) mLink->deliver(events[handed].bytes);
          }
        }) {}
  ~InstrumentOnPeer() {
    mStopping = true;
    mPump.join();
  }
  InstrumentOnPeer(const InstrumentOnPeer&) = delete;
  InstrumentOnPeer& operator=(const InstrumentOnPeer&) = delete;

  InstrumentLink& link() { return *mLink; }

 private:
  std::atomic<bool> mStopping{false};
  std::unique_ptr<InstrumentLink> mLink;
  std::thread mPump;
};
