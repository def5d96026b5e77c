// The system's MIDI: ALSA (through RtMidi) first, JACK (the process's one
// client, each instance with its own ports on it) when ALSA cannot be opened;
// TARNIVEX_MIDI_API=alsa or =jack allows only that one.
#pragma once

#include <rtmidi/RtMidi.h>

#include <vector>

#include "MidiPorts.h"

class RtMidiBackend : public MidiBackend {
 public:
  std::unique_ptr<MidiOutPort> createOut(const std::string& clientName) override;
  std::unique_ptr<MidiInPort> createIn(const std::string& clientName, unsigned queueLimit) override;
  std::unique_ptr<MidiSession> openSession(const std::string& name) override;

  // The interfaces to try, in order, as the environment asks.
  static std::vector<RtMidi::Api> ApiOrder();
};
