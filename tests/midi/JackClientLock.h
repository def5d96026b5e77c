// The machine-wide turn every JACK client of a test process opens and closes
// under (see JackClientLock.cpp). Held for one open or close; it goes with
// the process when that crashes. A test that holds one keeps the plug-in's
// client from opening meanwhile.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class JackClientTurn {
 public:
  JackClientTurn();
  ~JackClientTurn();
  JackClientTurn(const JackClientTurn&) = delete;
  JackClientTurn& operator=(const JackClientTurn&) = delete;

 private:
  int mFile = -1;
};

// Whole server cycles between a client's last port unregistration and its
// leaving the graph (deactivated or closed), for the last client that left
// after unregistering a port; -1 while none has. JackClientLock.cpp sees
// these calls too.
long JackCyclesBeforeLastLeave();

// What the process's JACK clients did, in order: "open NAME" as a client of
// that name is asked for, "told NAME" as a client's shutdown notice runs.
std::vector<std::string> JackClientEvents();
// Waits, within a bound, until event is among the events from position from.
bool JackAwaitClientEvent(const std::string& event, size_t from, std::chrono::milliseconds bound);
// How many shutdown notices the process's clients have registered, and one
// of them run again now, as a notice that comes late.
size_t JackShutdownNotices();
void JackRunShutdownNotice(size_t index);
// Every call on a JACK client that the fixture stands in for (see
// JackClientLock.cpp) is watched: a call on a client from a second thread
// while another thread's call on it is under way, or a call made inside one
// of the client's callbacks on libjack's threads, is noted as
// "CLIENT: what happened". libjack writes each request in pieces on the
// client's one channel to the server, so two at once break it.
std::vector<std::string> JackCallFaults();
// Watched calls made so far on the clients of that name.
size_t JackCallsOn(const std::string& clientName);
// While one lives, each watched call made outside a callback is held this
// long after it began, before it reaches libjack: a call that another thread
// makes on the same client meanwhile meets it.
class JackCallStall {
 public:
  explicit JackCallStall(std::chrono::microseconds hold);
  ~JackCallStall();
  JackCallStall(const JackCallStall&) = delete;
  JackCallStall& operator=(const JackCallStall&) = delete;
};
// Runs hook inside the next jack_port_unregister of the process, before the
// call reaches libjack: a test makes something happen while a call on a
// client is under way.
void JackOnNextUnregister(std::function<void()> hook);
