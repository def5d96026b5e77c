// What the JACK client's thread looks at after its server went away, without
// opening a client: libjack frees every client still allocated in the
// process at the process's next open, the host's own included, so an open
// must wait until the server is back and every client has been told.
#pragma once

namespace jackwatch {

// True when the server the process's clients open on (JACK_DEFAULT_SERVER,
// else "default") takes connections on its socket.
bool ServerListening();

// True while a JACK client in the process has not yet been told that its
// server went: the server hung up that client's notification socket and the
// client's own thread has not read it yet (it closes the socket, then runs
// the client's shutdown notice). Clients of a live server do not count.
bool NoticePending();

}  // namespace jackwatch
