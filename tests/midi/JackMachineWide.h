// JACK's names hold for the whole machine, whatever a run's temporary folder:
// servers and clients listen on sockets named after them in one folder, and
// the registry of servers, a few slots for every user, is there too. The
// turns test runs take for those names are lock files in the same folder.
#pragma once

#include <string>

// Where jackd2 keeps them on Linux.
inline std::string JackMachineWidePath(const std::string& file) { return "/dev/shm/" + file; }

// Held shared by every test server of any run for its life; scripts/test
// takes it exclusively before it clears stale entries from the registry.
inline const char kJackRegistryLock[] = "tarnivex-jack-registry.lock";
