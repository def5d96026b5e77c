// What the JACK client's thread looks at after its server went away, without
// opening a client: libjack frees every client still allocated in the
// process at the process's next open, the host's own included, so an open
// must wait until the server is back and every other client of the process
// is back on it.
#pragma once

#include <sys/types.h>

#include <map>
#include <set>
#include <string>

namespace jackwatch {

// True when the server the process's clients open on (JACK_DEFAULT_SERVER,
// else "default") takes connections on its socket.
bool ServerListening();
// Makes ServerListening look for the socket of the server of that name, as
// one whose socket is not where it is looked for (tests); empty undoes it.
void ProbeServerNamed(const std::string& name);

// The process's JACK clients, each by the inode of the socket its server
// connected to it for notices (one per client, named after the client).
struct Clients {
  std::set<std::string> live;    // their server is there
  std::set<std::string> hungUp;  // their server went; not yet told (the client's
                                 // thread closes the socket, then runs its notice)
  std::string own;               // the client named ownName, when it is live
  std::map<std::string, pid_t> serverOf;  // the live ones' server process (0: not known)
};
Clients ProcessClients(const std::string& ownName = std::string());

// What the process's clients were while this client's server was there.
struct Noted {
  std::set<std::string> others;  // the other clients
  std::string own;               // this client
  pid_t server = 0;              // their server (0: not known)
  size_t wentEarlier = 0;        // others that went while it stayed, none back for them yet
};
struct AfterLoss {
  bool mayOpen = false;
  size_t stillAway = 0;  // of the others, not back yet (those still going included)
};
// Whether this client may open again after its server went, seeing the
// process's clients now: its own old client closed, none of the others still
// on the old server nor still to be told, and as many back as went.
AfterLoss LookAfterLoss(const Noted& noted, const Clients& now);

// True while a JACK client in the process has not yet been told that its
// server went.
bool NoticePending();

}  // namespace jackwatch
