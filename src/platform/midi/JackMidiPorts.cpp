#include "JackMidiPorts.h"

namespace {
// The port at a position of the live list, as RtMidi numbers them.
std::string Listed(JackMidiClient& client, bool takingInput, unsigned port) {
  const std::vector<std::string> names = client.ports(takingInput);
  if (port >= names.size()) throw MidiError("JACK: no MIDI port " + std::to_string(port));
  return names[port];
}
}  // namespace

unsigned JackMidiOutPort::getPortCount() { return static_cast<unsigned>(mClient->ports(true).size()); }

std::string JackMidiOutPort::getPortName(unsigned port) { return Listed(*mClient, true, port); }

void JackMidiOutPort::openPort(unsigned port, const std::string& portName) {
  mClient->openOut(Listed(*mClient, true, port), portName);
}

void JackMidiOutPort::openPortByName(const std::string& device, const std::string& portName) {
  mClient->openOut(device, portName);
}

void JackMidiOutPort::openVirtualPort(const std::string& portName) { mClient->openOut(std::string(), portName); }

JackMidiInPort::~JackMidiInPort() {
  mClient->input().cancel();
  mClient->closeIn();
}

unsigned JackMidiInPort::getPortCount() { return static_cast<unsigned>(mClient->ports(false).size()); }

std::string JackMidiInPort::getPortName(unsigned port) { return Listed(*mClient, false, port); }

void JackMidiInPort::openPort(unsigned port, const std::string& portName) {
  mClient->openIn(Listed(*mClient, false, port), portName);
}

void JackMidiInPort::openPortByName(const std::string& device, const std::string& portName) {
  mClient->openIn(device, portName);
}
