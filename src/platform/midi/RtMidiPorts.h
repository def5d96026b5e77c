// The seam's ports on RtMidi (ALSA). RtMidi errors leave as MidiError.
#pragma once

#include <rtmidi/RtMidi.h>

#include <memory>

#include "MidiInputGuard.h"
#include "MidiPorts.h"

class RtMidiOutPort : public MidiOutPort {
 public:
  RtMidiOutPort(RtMidi::Api api, const std::string& clientName);
  unsigned getPortCount() override;
  std::string getPortName(unsigned port) override;
  void openPort(unsigned port, const std::string& portName) override;
  void openVirtualPort(const std::string& portName) override;
  void closePort() noexcept override;
  bool isPortOpen() const override;
  bool sendMessage(const unsigned char* bytes, size_t size) override;

 private:
  std::unique_ptr<RtMidiOut> mOut;
  // RtMidi does not count a virtual port as open.
  bool mVirtualOpen = false;
};

class RtMidiInPort : public MidiInPort {
 public:
  RtMidiInPort(RtMidi::Api api, const std::string& clientName, unsigned queueLimit);
  ~RtMidiInPort() override;
  unsigned getPortCount() override;
  std::string getPortName(unsigned port) override;
  void openPort(unsigned port, const std::string& portName) override;
  void closePort() noexcept override;
  bool isPortOpen() const override;
  void setCallback(MidiInputCallback callback, void* userData) override;
  void cancelCallback() override;
  void ignoreTypes(bool sysex, bool timing, bool activeSensing) override;

 private:
  static void Receive(double timeStamp, std::vector<unsigned char>* message, void* guard);

  // Declared first so the RtMidi client, and its input thread, go first.
  MidiInputGuard mGuard;
  std::unique_ptr<RtMidiIn> mIn;
};
