// Runs a simulated instrument on its own thread: messages from the editor
// queue up, replies leave after the instrument's reply delay through the
// output the link was given (a MIDI port, or a direct call in unit tests).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

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
  bool mStopping = false;
  bool mWorking = false;
  std::thread mThread;
};
