// The JACK client of one plug-in instance, with its direct out and in ports.
// Opening the client lists the system's ports; everything that waits for the
// server (registering, activating, connecting) runs on the client's own
// thread, and closing hands the client to a process-wide closer, so neither
// costs the caller a JACK cycle. Messages sent before a new connection is
// live wait in the client's ring instead of being lost; what arrives on the
// in port is handed to the receiver on the client's thread, never on JACK's.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "MidiInputGuard.h"

class JackMidiClient {
 public:
  // Throws MidiError when no JACK server takes the client; never starts one.
  static std::shared_ptr<JackMidiClient> Open(const std::string& name);
  ~JackMidiClient();
  JackMidiClient(const JackMidiClient&) = delete;
  JackMidiClient& operator=(const JackMidiClient&) = delete;

  // Full names of the other clients' MIDI ports that take input (the out
  // port's targets) or give output (the in port's sources), in JACK's order.
  std::vector<std::string> ports(bool takingInput);

  // The out port: connected to target (none for a virtual port) once the
  // client's thread gets to it; sends wait in the ring until then.
  void openOut(const std::string& target, const std::string& portName);
  void closeOut();
  bool isOutOpen() const;
  // Waits for room in the ring while the connection cannot take more.
  void send(const unsigned char* bytes, size_t size);
  // True when the process callback has taken every message sent so far (a
  // connection still settling holds them), with the time it took the last.
  bool allSent(std::chrono::steady_clock::time_point* at) const;

  void openIn(const std::string& source, const std::string& portName);
  void closeIn();
  bool isInOpen() const;
  // Between the client's thread and the receiver.
  MidiInputGuard& input();

  // What the client's threads share; it lives until the closer is done.
  struct Core;

 private:
  explicit JackMidiClient(std::shared_ptr<Core> core);
  std::shared_ptr<Core> mCore;
};
