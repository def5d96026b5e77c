// The narrow seam between the plug-in base and a MIDI system: one input and
// one output object, as the plug-in's direct ports use them.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Errors of the MIDI system; the plug-in base catches them and prints them.
class MidiError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // A newline, the text and two newlines on standard error.
  void printMessage() const;
};

using MidiInputCallback = void (*)(double timeStamp, std::vector<unsigned char>* message, void* userData);

// What both directions offer for the port lists. A system whose list comes
// from a look taken off the caller's thread (JACK) may not have looked yet:
// it takes a device by name and connects it when it can.
class MidiPortList {
 public:
  virtual ~MidiPortList() = default;
  virtual unsigned getPortCount() = 0;
  virtual std::string getPortName(unsigned port) = 0;
  virtual void openPort(unsigned port, const std::string& portName) = 0;
  // False while the system has not looked at its ports yet.
  virtual bool portsListed() const { return true; }
  // Looks again now, so the count and names are current: for a menu the
  // user opens only, as it may open the system's client meanwhile.
  virtual void refreshPorts() {}
  // Opens the device of that name: by default the live port that has it.
  virtual void openPortByName(const std::string& device, const std::string& portName) {
    const unsigned count = getPortCount();
    for (unsigned i = 0; i < count; ++i)
      if (getPortName(i) == device) return openPort(i, portName);
    throw MidiError("no MIDI port named " + device);
  }
};

// Not safe for concurrent use: the owner serialises calls on one object.
// closePort never throws, since destructors call it.
class MidiOutPort : public MidiPortList {
 public:
  virtual void openVirtualPort(const std::string& portName) = 0;
  virtual void closePort() noexcept = 0;
  // True while a device port or a virtual port is open.
  virtual bool isPortOpen() const = 0;
  // True while the port asked for is not there although it was chosen (its
  // MIDI system went away); it comes back by itself when the system does.
  virtual bool isPortGone() const { return false; }
  // True while the port is open but nothing on the other end takes what it
  // sends (the device unplugged, its connection undone).
  virtual bool isPortUnplugged() const { return false; }
  // Hands one whole message over without waiting: false when the system
  // cannot take it now (its buffer full), and the message is not sent.
  virtual bool sendMessage(const unsigned char* bytes, size_t size) = 0;
};

// The callback runs on the MIDI system's own thread. cancelCallback returns
// only when no callback is running and none will start, so the receiver may
// be destroyed right after it.
class MidiInPort : public MidiPortList {
 public:
  virtual void closePort() noexcept = 0;
  virtual bool isPortOpen() const = 0;
  virtual void setCallback(MidiInputCallback callback, void* userData) = 0;
  virtual void cancelCallback() = 0;
  // True drops that kind: SysEx; clock and time-code quarter frames; active sensing.
  virtual void ignoreTypes(bool sysex, bool timing, bool activeSensing) = 0;
};

// Creates port objects; throws MidiError when the MIDI system is unavailable.
class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  virtual std::unique_ptr<MidiOutPort> createOut(const std::string& clientName) = 0;
  virtual std::unique_ptr<MidiInPort> createIn(const std::string& clientName, unsigned queueLimit) = 0;
  // The port objects of one plug-in instance come from one session, so a
  // MIDI system can serve both directions from one client named name.
  virtual std::unique_ptr<class MidiSession> openSession(const std::string& name);
};

// By default each port object stands alone, made by the back end.
class MidiSession {
 public:
  explicit MidiSession(MidiBackend& backend) : mBackend(backend) {}
  virtual ~MidiSession() = default;
  MidiSession(const MidiSession&) = delete;
  MidiSession& operator=(const MidiSession&) = delete;
  virtual std::unique_ptr<MidiOutPort> createOut(const std::string& clientName) {
    return mBackend.createOut(clientName);
  }
  virtual std::unique_ptr<MidiInPort> createIn(const std::string& clientName, unsigned queueLimit) {
    return mBackend.createIn(clientName, queueLimit);
  }

 private:
  MidiBackend& mBackend;
};

// The back end new port objects come from: the system's own (RtMidi) unless
// a test installs another. Passing null restores the system's.
std::shared_ptr<MidiBackend> CurrentMidiBackend();
void SetMidiBackend(std::shared_ptr<MidiBackend> backend);
