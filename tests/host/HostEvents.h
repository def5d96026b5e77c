// The host side of the plug-in's event call.
#pragma once

#include <vector>

#include "VstAbi.h"

// Short messages laid out as a host hands them to the plug-in's event call
// (at most three bytes each); the i-th at frame i % spread of the block.
class HostEventList {
 public:
  explicit HostEventList(const std::vector<std::vector<unsigned char>>& messages, int spread = 1)
      : mMidi(messages.size()), mList(sizeof(VstEvents) + messages.size() * sizeof(VstEvent*)) {
    auto* list = events();
    list->numEvents = static_cast<VstInt32>(messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
      mMidi[i].type = kVstMidiType;
      mMidi[i].byteSize = sizeof(VstMidiEvent);
      mMidi[i].deltaFrames = static_cast<VstInt32>(i % static_cast<size_t>(spread));
      for (size_t b = 0; b < 3 && b < messages[i].size(); ++b) mMidi[i].midiData[b] = static_cast<char>(messages[i][b]);
      list->events[i] = reinterpret_cast<VstEvent*>(&mMidi[i]);
    }
  }
  VstEvents* events() { return reinterpret_cast<VstEvents*>(mList.data()); }

 private:
  std::vector<VstMidiEvent> mMidi;
  std::vector<unsigned char> mList;
};
