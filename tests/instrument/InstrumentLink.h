// Runs a simulated instrument on its own thread: messages from the editor
// queue up, replies leave after the instrument's reply delay through the
// output the link was given (a MIDI port, or a direct call in unit tests);
// messages that come while a reply is held back are taken meanwhile.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "SimulatedInstrument.h"

class InstrumentLink {
 public:
  using Output = std::function<void(const SimBytes&)>;

  InstrumentLink(SimulatedInstrument& instrument, Output toEditor);
  ~InstrumentLink();
  InstrumentLink(const InstrumentLink&) = delete;
  InstrumentLink& operator=(const InstrumentLink&) = delete;

  // A message from the editor; callable from any thread.
  void deliver(SimBytes message);
  // True once everything delivered so far has been handled and answered;
  // false when that took longer than timeoutMs.
  bool waitIdle(int timeoutMs);

 private:
  void loop();

  SimulatedInstrument& mInstrument;
  Output mToEditor;
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<SimBytes> mQueue;
  // Replies held back, with when they leave.
  std::deque<std::pair<std::chrono::steady_clock::time_point, SimBytes>> mLate;
  bool mStopping = false;
  bool mWorking = false;
  std::thread mThread;
};
