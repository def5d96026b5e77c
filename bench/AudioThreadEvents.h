// What the benchmarks' audio threads hand the plug-in's event call before a
// block: a controller (the modulation wheel) and a note for part 1, its
// value and the note's on and off changing block by block, or the host's
// picks of several parts; and the real-time priority such a thread asks for.
#pragma once

#include <pthread.h>
#include <sched.h>

#include <array>
#include <functional>

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

// The events an audio thread hands the event call before block n; null: no
// event call before that block, as a host makes none without events.
using BlockEvents = std::function<VstEvents*(int block)>;

// A host's picks of parts 1..count in one block, as a sequencer sends a
// program change with its bank select: controller 0 (value 0), controller
// 32 (64 + the bank) and the program change, on each part's channel.
class HostPicks {
 public:
  static constexpr int kMaxParts = 16;

  HostPicks() {
    for (size_t e = 0; e < mMidi.size(); ++e) {
      mMidi[e].type = kVstMidiType;
      mMidi[e].byteSize = sizeof mMidi[e];
      mList.events[e] = reinterpret_cast<VstEvent*>(&mMidi[e]);
    }
  }
  HostPicks(const HostPicks&) = delete;
  HostPicks& operator=(const HostPicks&) = delete;

  // The picks of parts 1..programs.size() (at most 16): part p's bank and
  // programs[p], on channel p + 1.
  template <typename Programs>
  VstEvents* forParts(const Programs& programs, int bank) {
    int e = 0;
    for (size_t p = 0; p < programs.size() && p < kMaxParts; ++p) {
      const char channel = static_cast<char>(p);
      set(e++, static_cast<char>(0xB0 | channel), 0, 0);
      set(e++, static_cast<char>(0xB0 | channel), 32, static_cast<char>(64 + bank));
      set(e++, static_cast<char>(0xC0 | channel), static_cast<char>(programs[p]), 0);
    }
    mList.numEvents = e;
    return reinterpret_cast<VstEvents*>(&mList);
  }

 private:
  void set(int at, char status, char data1, char data2) {
    VstMidiEvent& event = mMidi[static_cast<size_t>(at)];
    event.midiData[0] = status;
    event.midiData[1] = data1;
    event.midiData[2] = data2;
  }
  std::array<VstMidiEvent, 3 * kMaxParts> mMidi{};
  // VstEvents with room for more than its two declared pointers.
  struct {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[3 * kMaxParts] = {};
  } mList;
};
