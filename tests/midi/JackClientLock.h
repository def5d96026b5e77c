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
