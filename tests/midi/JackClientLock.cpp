// Test servers run side by side, but jackd2 names the socket a client listens
// on after the client alone (/dev/shm/jack_<client>_<uid>_0), not after its
// server: two clients of one name opening or closing at once on two servers
// take each other's socket, and one of them fails to open (status 0x21). Every
// JACK client of a test process (the plug-in's, the peer, the probes) opens
// and closes through these two, which hold a machine-wide lock for the call.
// They stand in for libjack's own: the test program exports them, so the
// libraries it loads, the plug-in's bundle among them, call them too. So do
// jack_deactivate and jack_port_unregister, which only note when a client
// leaves the graph after its ports went.
#include <dlfcn.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "JackClientLock.h"

JackClientTurn::JackClientTurn() {
  static const std::string path = (std::filesystem::temp_directory_path() / "tarnivex-jack-client.lock").string();
  mFile = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (mFile >= 0) flock(mFile, LOCK_EX);
}

JackClientTurn::~JackClientTurn() {
  if (mFile >= 0) close(mFile);
}

namespace {
template <class Function>
Function* libjack(const char* name) {
  auto* found = reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
  if (!found) {
    std::fprintf(stderr, "libjack's %s is missing: %s\n", name, dlerror());
    std::abort();
  }
  return found;
}

// When each client last unregistered a port: the frame its cycle began at.
std::mutex gLeaveMutex;
std::map<jack_client_t*, jack_nframes_t> gUnregisteredAt;
long gCyclesBeforeLeave = -1;

void Leaving(jack_client_t* client) {
  std::lock_guard lock(gLeaveMutex);
  const auto found = gUnregisteredAt.find(client);
  if (found == gUnregisteredAt.end()) return;
  gCyclesBeforeLeave = static_cast<long>((jack_last_frame_time(client) - found->second) / jack_get_buffer_size(client));
  gUnregisteredAt.erase(found);
}
}  // namespace

long JackCyclesBeforeLastLeave() {
  std::lock_guard lock(gLeaveMutex);
  return gCyclesBeforeLeave;
}

extern "C" {
__attribute__((visibility("default"))) jack_client_t* jack_client_open(const char* name, jack_options_t options,
                                                                       jack_status_t* status, ...) {
  using Open = jack_client_t*(const char*, jack_options_t, jack_status_t*, ...);
  static Open* const real = libjack<Open>("jack_client_open");
  // The optional arguments follow the options in this order; libjack reads
  // as many as the options name.
  const char* extra[3] = {};
  int count = 0;
  va_list arguments;
  va_start(arguments, status);
  for (const int option : {JackServerName, JackLoadName, JackLoadInit})
    if (options & option) extra[count++] = va_arg(arguments, const char*);
  va_end(arguments);
  JackClientTurn turn;
  return real(name, options, status, extra[0], extra[1], extra[2]);
}

__attribute__((visibility("default"))) int jack_client_close(jack_client_t* client) {
  using Close = int(jack_client_t*);
  static Close* const real = libjack<Close>("jack_client_close");
  Leaving(client);
  JackClientTurn turn;
  return real(client);
}

__attribute__((visibility("default"))) int jack_deactivate(jack_client_t* client) {
  using Deactivate = int(jack_client_t*);
  static Deactivate* const real = libjack<Deactivate>("jack_deactivate");
  Leaving(client);
  return real(client);
}

__attribute__((visibility("default"))) int jack_port_unregister(jack_client_t* client, jack_port_t* port) {
  using Unregister = int(jack_client_t*, jack_port_t*);
  static Unregister* const real = libjack<Unregister>("jack_port_unregister");
  const int result = real(client, port);
  std::lock_guard lock(gLeaveMutex);
  gUnregisteredAt[client] = jack_last_frame_time(client);
  return result;
}
}
