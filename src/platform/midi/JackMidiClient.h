// The direct ports of one plug-in instance, on the one JACK client that the
// process opens for every instance. The client is opened, and everything
// that waits for the server (registering, activating, connecting, closing)
// runs, on a thread of its own, so neither create nor a port choice costs
// the caller a JACK cycle; one process callback serves every instance's
// ports. A port is connected by its peer's name, and again whenever a port
// of that name appears (an instrument replugged or restarted). After its
// server went away the client opens again by itself once the server is back
// and every other client the process had, the host's own too, is back on it
// (or at once for a menu or a new instance); the ports then come back and
// reconnect by name. Messages sent
// before a new connection is live wait in the instance's ring; what arrives
// is handed to the receiver on the client's input thread, never on JACK's.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "MidiInputGuard.h"

class JackMidiClient {
 public:
  // Never waits for the server: the process's client opens in the
  // background (name is the client's, when this asks first).
  static std::shared_ptr<JackMidiClient> Open(const std::string& name);
  // Unregisters the instance's ports once what its out port took is sent;
  // the process's client closes when its last instance has gone.
  ~JackMidiClient();
  JackMidiClient(const JackMidiClient&) = delete;
  JackMidiClient& operator=(const JackMidiClient&) = delete;

  // Full names of other clients' MIDI ports that take input (the out
  // port's targets) or give output (the in port's sources), in JACK's order,
  // as the process's client last saw them; the process's own are left out.
  std::vector<std::string> ports(bool takingInput) const;
  // False until the process's client has looked at the server once, and
  // again while its server is away.
  bool portsListed() const;
  // Looks at the server now; waits, within a bound, for a client being opened.
  void refreshPorts();
  // Waits, within a bound, until the process's client is closed and none
  // is being opened: every instance has gone. A server must not be stopped
  // under a client (tests).
  static bool AwaitClosed(std::chrono::milliseconds bound);
  // How many times, after a loss, the client's thread has looked at the
  // server and the process's other clients without a client of its own:
  // what it decided at one look has been done by the next (tests).
  static unsigned long ServerLooks();

  // The out port: connected to target (none for a virtual port) once the
  // client's thread gets to it; sends wait in the ring until then.
  void openOut(const std::string& target, const std::string& portName);
  void closeOut();
  bool isOutOpen() const;
  // The out port was asked for but is not there (its server went away, or
  // it could not be made): nothing sent is taken until it comes back.
  bool isOutGone() const;
  bool isOutUnplugged() const;
  // Hands the message to the ring without waiting: false when the ring has
  // no room for it (a stalled server), and it is not sent.
  bool send(const unsigned char* bytes, size_t size);

  void openIn(const std::string& source, const std::string& portName);
  void closeIn();
  bool isInOpen() const;
  // Between the client's input thread and the receiver.
  MidiInputGuard& input();

  // One instance's ports, rings and states, as the client's threads share them.
  struct Endpoint;

 private:
  explicit JackMidiClient(std::shared_ptr<Endpoint> endpoint);
  std::shared_ptr<Endpoint> mEndpoint;
};
