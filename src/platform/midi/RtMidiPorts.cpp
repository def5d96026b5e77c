#include "RtMidiPorts.h"

namespace {
// Runs one RtMidi call; its error comes out as the seam's.
template <class Call>
decltype(auto) Translate(Call&& call) {
  try {
    return call();
  } catch (const RtMidiError& error) {
    throw MidiError(error.getMessage());
  }
}

// Calls both directions share.
void CloseQuietly(RtMidi& midi) noexcept {
  try {
    midi.closePort();
  } catch (const RtMidiError& error) {
    error.printMessage();
  }
}

unsigned CountPorts(RtMidi& midi) {
  return Translate([&] { return midi.getPortCount(); });
}

std::string PortName(RtMidi& midi, unsigned port) {
  return Translate([&] { return midi.getPortName(port); });
}

void OpenPort(RtMidi& midi, unsigned port, const std::string& portName) {
  Translate([&] { midi.openPort(port, portName); });
}
}  // namespace

RtMidiOutPort::RtMidiOutPort(RtMidi::Api api, const std::string& clientName) {
  mOut = Translate([&] { return std::make_unique<RtMidiOut>(api, clientName); });
}

unsigned RtMidiOutPort::getPortCount() { return CountPorts(*mOut); }

std::string RtMidiOutPort::getPortName(unsigned port) { return PortName(*mOut, port); }

void RtMidiOutPort::openPort(unsigned port, const std::string& portName) {
  OpenPort(*mOut, port, portName);
}

void RtMidiOutPort::openVirtualPort(const std::string& portName) {
  Translate([&] { mOut->openVirtualPort(portName); });
  mVirtualOpen = true;
}

void RtMidiOutPort::closePort() noexcept {
  CloseQuietly(*mOut);
  mVirtualOpen = false;
}

bool RtMidiOutPort::isPortOpen() const { return mVirtualOpen || mOut->isPortOpen(); }

bool RtMidiOutPort::sendMessage(const unsigned char* bytes, size_t size) {
  Translate([&] { mOut->sendMessage(bytes, size); });
  return true;
}

RtMidiInPort::RtMidiInPort(RtMidi::Api api, const std::string& clientName, unsigned queueLimit) {
  mIn = Translate([&] { return std::make_unique<RtMidiIn>(api, clientName, queueLimit); });
  // Our receiver stays installed for the object's life; the guard decides
  // whether a message goes on, so cancelling can wait for one in flight.
  Translate([&] { mIn->setCallback(Receive, &mGuard); });
}

RtMidiInPort::~RtMidiInPort() {
  mGuard.cancel();
  CloseQuietly(*mIn);
  mIn.reset();
}

unsigned RtMidiInPort::getPortCount() { return CountPorts(*mIn); }

std::string RtMidiInPort::getPortName(unsigned port) { return PortName(*mIn, port); }

void RtMidiInPort::openPort(unsigned port, const std::string& portName) { OpenPort(*mIn, port, portName); }

void RtMidiInPort::closePort() noexcept { CloseQuietly(*mIn); }

bool RtMidiInPort::isPortOpen() const { return mIn->isPortOpen(); }

void RtMidiInPort::setCallback(MidiInputCallback callback, void* userData) { mGuard.set(callback, userData); }

void RtMidiInPort::cancelCallback() { mGuard.cancel(); }

void RtMidiInPort::ignoreTypes(bool sysex, bool timing, bool activeSensing) {
  Translate([&] { mIn->ignoreTypes(sysex, timing, activeSensing); });
  mGuard.ignoreTypes(sysex, timing, activeSensing);
}

void RtMidiInPort::Receive(double timeStamp, std::vector<unsigned char>* message, void* guard) {
  static_cast<MidiInputGuard*>(guard)->deliver(timeStamp, message);
}
