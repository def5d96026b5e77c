// What the JACK client's thread looks at after its server went away, without
// opening a client: libjack frees every client still allocated in the
// process at the process's next open, the host's own included, so an open
// must wait until the server is back and every other client of the process
// is back on it.
#pragma once

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
};
Clients ProcessClients(const std::string& ownName = std::string());

// True while a JACK client in the process has not yet been told that its
// server went.
bool NoticePending();

}  // namespace jackwatch
