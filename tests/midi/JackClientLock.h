// The machine-wide turn every JACK client of a test process opens and closes
// under (see JackClientLock.cpp). Held for one open or close; it goes with
// the process when that crashes. A test that holds one keeps the plug-in's
// client from opening meanwhile.
#pragma once

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
