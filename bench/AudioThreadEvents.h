// What the benchmarks' audio threads hand the plug-in's event call before a
// block: a controller (the modulation wheel) and a note for part 1, its
// value and the note's on and off changing block by block; and the
// real-time priority such a thread asks for.
#pragma once

#include <pthread.h>
#include <sched.h>

#include "VstAbi.h"

// Real-time priority for the calling thread, where the system grants it.
inline bool RaiseToRealTime() {
  sched_param priority{};
  priority.sched_priority = 70;
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0;
}

class ControllerAndNote {
 public:
  // The note sits at noteFrame of the block.
  explicit ControllerAndNote(int noteFrame = 0) {
    for (VstMidiEvent* event : {&mController, &mNote}) {
      event->type = kVstMidiType;
      event->byteSize = sizeof *event;
    }
    mController.midiData[0] = static_cast<char>(0xB0);
    mController.midiData[1] = 1;
    mNote.deltaFrames = noteFrame;
    mNote.midiData[1] = 60;
    mNote.midiData[2] = 100;
  }
  ControllerAndNote(const ControllerAndNote&) = delete;
  ControllerAndNote& operator=(const ControllerAndNote&) = delete;

  // The events for block n: the controller at n % 128, the note on in even
  // blocks and off in odd ones.
  VstEvents* forBlock(int n) {
    mController.midiData[2] = static_cast<char>(n % 128);
    mNote.midiData[0] = static_cast<char>(n % 2 ? 0x80 : 0x90);
    return &mEvents;
  }

 private:
  VstMidiEvent mController{}, mNote{};
  VstEvents mEvents{2, 0, {reinterpret_cast<VstEvent*>(&mController), reinterpret_cast<VstEvent*>(&mNote)}};
};
