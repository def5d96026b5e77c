// MIDI that reaches the plug-in: from the instrument on its direct input
// port, and from the host through the VST event call, then one block.
//
// Input: messages of [port byte, length byte, bytes]; an even port byte is
// the instrument's port, an odd one the host (up to three bytes a short
// message, more a SysEx event).
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <thread>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "MIDIMessageManager.h"
#include "MemoryMidiBackend.h"
#include "Tarnivex.h"

namespace fuzz {
namespace {
constexpr size_t kMaxEvents = 256;

void hostEvents(Tarnivex& plug, const std::vector<std::vector<uint8_t>>& messages) {
  if (messages.empty()) return;
  std::vector<VstMidiEvent> shorts;
  std::vector<VstMidiSysexEvent> sysex;
  shorts.reserve(messages.size());
  sysex.reserve(messages.size());
  std::vector<VstEvent*> list;
  for (const auto& m : messages) {
    if (m.size() <= 3) {
      VstMidiEvent e{};
      e.type = kVstMidiType;
      e.byteSize = sizeof(VstMidiEvent);
      for (size_t k = 0; k < m.size(); ++k) e.midiData[k] = static_cast<char>(m[k]);
      shorts.push_back(e);
      list.push_back(reinterpret_cast<VstEvent*>(&shorts.back()));
    } else {
      VstMidiSysexEvent e{};
      e.type = kVstSysExType;
      e.byteSize = sizeof(VstMidiSysexEvent);
      e.dumpBytes = static_cast<VstInt32>(m.size());
      e.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(m.data()));
      sysex.push_back(e);
      list.push_back(reinterpret_cast<VstEvent*>(&sysex.back()));
    }
  }
  // VstEvents as a host lays it out, its list running on past two entries.
  struct HostEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[kMaxEvents];
  } events{};
  events.numEvents = static_cast<VstInt32>(std::min(list.size(), kMaxEvents));
  for (size_t k = 0; k < static_cast<size_t>(events.numEvents); ++k) events.events[k] = list[k];
  static_assert(offsetof(HostEvents, events) == offsetof(VstEvents, events));
  AEffect* effect = plug.GetAEffect();
  effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
}
}  // namespace

int midiPorts(const uint8_t* data, size_t size) {
  Tarnivex& plug = plugin(true);
  MemoryMidiBackend& backend = midiBackend();
  Input in(data, size);
  std::vector<std::vector<uint8_t>> fromHost;
  while (!in.empty()) {
    const bool host = in.byte() & 1;
    const size_t length = in.byte();
    if (length == 0 || in.empty()) continue;
    if (host)
      fromHost.push_back(in.bytes(length));
    else
      backend.inject(in.bytes(length));
  }
  hostEvents(plug, fromHost);
  double left[64] = {}, right[64] = {};
  double* channels[] = {left, right};
  plug.ProcessDoubleReplacing(channels, channels, 64);
  // Jobs a message started end before the next input.
  for (int i = 0; i < 200 && !plug.midiMessageManager->atRest(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 0;
}

}  // namespace fuzz
