// When the host's picks reached the instrument's port, as the peer stamped
// each message on its arrival: for each picked part (part p on channel
// p + 1), its first message (the pick's notes off, the first of its bank
// select) and the program change of its picked program; and the waits for
// them and for a quiet port.
#pragma once

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "JackPeer.h"

class PickArrivals {
 public:
  using Clock = std::chrono::steady_clock;

  // programs[p]: the program picked for part p; from: the moment the
  // arrivals are counted from (and after which they are looked for).
  PickArrivals(std::vector<int> programs, Clock::time_point from)
      : mPrograms(std::move(programs)), mFrom(from), mFirst(mPrograms.size()), mChange(mPrograms.size()) {}

  // Waits, within bound, until every part's program change has arrived;
  // true when they all did.
  bool await(JackPeer& peer, std::chrono::milliseconds bound) {
    const Clock::time_point end = Clock::now() + bound;
    // The peer stamps each arrival itself: the look may come later.
    while (!read(peer.Events()) && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return complete();
  }

  bool complete() const {
    return std::all_of(mChange.begin(), mChange.end(), [](const auto& at) { return at.has_value(); });
  }
  // Milliseconds from the moment counted from to each part's program change
  // (first message), or -1 for one that did not come.
  std::vector<double> programChangeMs() const { return msOf(mChange); }
  std::vector<double> firstMessageMs() const { return msOf(mFirst); }
  // The last of them: -1 when one did not come.
  static double last(const std::vector<double>& ms) {
    if (ms.empty() || std::find(ms.begin(), ms.end(), -1.0) != ms.end()) return -1.0;
    return *std::max_element(ms.begin(), ms.end());
  }

 private:
  bool read(const std::vector<PeerEvent>& events) {
    for (const PeerEvent& event : events) {
      if (event.arrival < mFrom || event.bytes.empty() || event.bytes[0] < 0x80 || event.bytes[0] >= 0xF0) continue;
      const size_t part = event.bytes[0] & 0x0F;
      if (part >= mPrograms.size()) continue;
      if (!mFirst[part]) mFirst[part] = event.arrival;
      if (!mChange[part] && (event.bytes[0] & 0xF0) == 0xC0 && event.bytes.size() >= 2 && event.bytes[1] == mPrograms[part])
        mChange[part] = event.arrival;
    }
    return complete();
  }
  std::vector<double> msOf(const std::vector<std::optional<Clock::time_point>>& times) const {
    std::vector<double> ms;
    for (const auto& at : times)
      ms.push_back(at ? std::chrono::duration<double, std::milli>(*at - mFrom).count() : -1.0);
    return ms;
  }

  std::vector<int> mPrograms;
  Clock::time_point mFrom;
  std::vector<std::optional<Clock::time_point>> mFirst, mChange;
};

// Waits until nothing has arrived at the peer for quiet, within bound:
// false when the port never went quiet.
inline bool AwaitQuietPort(JackPeer& peer, std::chrono::milliseconds quiet, std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < end) {
    const size_t seen = peer.Events().size();
    if (peer.WaitForEvents(seen + 1, quiet).size() <= seen) return true;
  }
  return false;
}

// The median of a run's figures.
inline double MedianOf(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
  return values[values.size() / 2];
}
