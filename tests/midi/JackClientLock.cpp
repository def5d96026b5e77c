// Test servers run side by side, but jackd2 names the socket a client listens
// on after the client alone (/dev/shm/jack_<client>_<uid>_0), not after its
// server: two clients of one name opening or closing at once on two servers
// take each other's socket, and one of them fails to open (status 0x21). Every
// JACK client of a test process (the plug-in's, the peer, the probes) opens
// and closes through these two, which hold a machine-wide lock for the call
// (in JACK's own folder: runs with different temporary folders share it).
// They stand in for libjack's own: the test program exports them, so the
// libraries it loads, the plug-in's bundle among them, call them too. So do
// jack_deactivate and jack_port_unregister, which only note when a client
// leaves the graph after its ports went, and jack_on_shutdown, which notes
// each client's shutdown notice as it runs. A client that was told its
// server went must never be called again: libjack frees it at the process's
// next open. Closing, deactivating or unregistering on such a client first
// opens a probe client, so that freeing happens for sure and ASan sees the
// call land on freed memory.
#include <dlfcn.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "JackClientLock.h"
#include "JackMachineWide.h"

JackClientTurn::JackClientTurn() {
  static const std::string path = JackMachineWidePath("tarnivex-jack-client.lock");
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

// The clients' opens and notices, in order.
std::mutex gEventMutex;
std::condition_variable gEventAdded;
std::vector<std::string> gEvents;

void Note(std::string event) {
  std::lock_guard lock(gEventMutex);
  gEvents.push_back(std::move(event));
  gEventAdded.notify_all();
}

// A shutdown notice as a client asked for it.
struct Notice {
  std::string client;
  JackShutdownCallback function;
  void* argument;
  std::atomic<bool> told{false};
};
std::mutex gNoticeMutex;
std::deque<Notice> gNotices;                   // every one registered, kept
std::map<jack_client_t*, Notice*> gNoticeOf;   // the live clients'

// Noted once the client's own notice has run: a call the client made on
// its own while being told is the client's race with libjack, not a fault.
// libjack cancels its threads at any instruction: none may land in the
// notice's bookkeeping (see the plug-in's own callbacks).
void Told(void* notice) {
  int cancels = 0;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancels);
  {
    auto& told = *static_cast<Notice*>(notice);
    told.function(told.argument);
    told.told = true;
    Note("told " + told.client);
  }
  pthread_setcancelstate(cancels, nullptr);
}

// Frees a client whose server went, as any open in the process does, so
// that a call that follows it lands on freed memory.
void OpenBeforeCallingOnATold(jack_client_t* client) {
  {
    std::lock_guard lock(gNoticeMutex);
    const auto found = gNoticeOf.find(client);
    if (found == gNoticeOf.end() || !found->second->told) return;
  }
  std::fprintf(stderr, "a call reaches a JACK client whose server went; a probe opens first\n");
  if (jack_client_t* probe = jack_client_open("told probe", JackNoStartServer, nullptr)) jack_client_close(probe);
}

std::mutex gHookMutex;
std::function<void()> gBeforeUnregister;

void Leaving(jack_client_t* client) {
  std::lock_guard lock(gLeaveMutex);
  const auto found = gUnregisteredAt.find(client);
  if (found == gUnregisteredAt.end()) return;
  gCyclesBeforeLeave = static_cast<long>((jack_last_frame_time(client) - found->second) / jack_get_buffer_size(client));
  gUnregisteredAt.erase(found);
}
}  // namespace

std::vector<std::string> JackClientEvents() {
  std::lock_guard lock(gEventMutex);
  return gEvents;
}

bool JackAwaitClientEvent(const std::string& event, size_t from, std::chrono::milliseconds bound) {
  std::unique_lock lock(gEventMutex);
  return gEventAdded.wait_for(lock, bound, [&] {
    return std::find(gEvents.begin() + static_cast<std::ptrdiff_t>(std::min(from, gEvents.size())), gEvents.end(),
                     event) != gEvents.end();
  });
}

size_t JackShutdownNotices() {
  std::lock_guard lock(gNoticeMutex);
  return gNotices.size();
}

void JackRunShutdownNotice(size_t index) {
  Notice* notice = nullptr;
  {
    std::lock_guard lock(gNoticeMutex);
    notice = &gNotices.at(index);
  }
  notice->function(notice->argument);
}

void JackOnNextUnregister(std::function<void()> hook) {
  std::lock_guard lock(gHookMutex);
  gBeforeUnregister = std::move(hook);
}

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
  Note(std::string("open ") + name);
  jack_client_t* client = nullptr;
  {
    JackClientTurn turn;
    client = real(name, options, status, extra[0], extra[1], extra[2]);
  }
  if (client) {
    std::lock_guard lock(gNoticeMutex);
    gNoticeOf.erase(client);  // a new client where a freed one was
  }
  return client;
}

__attribute__((visibility("default"))) void jack_on_shutdown(jack_client_t* client, JackShutdownCallback function,
                                                             void* argument) {
  using OnShutdown = void(jack_client_t*, JackShutdownCallback, void*);
  static OnShutdown* const real = libjack<OnShutdown>("jack_on_shutdown");
  Notice* notice = nullptr;
  {
    std::lock_guard lock(gNoticeMutex);
    notice = &gNotices.emplace_back();
    notice->client = jack_get_client_name(client);
    notice->function = function;
    notice->argument = argument;
    gNoticeOf[client] = notice;
  }
  real(client, Told, notice);
}

__attribute__((visibility("default"))) int jack_client_close(jack_client_t* client) {
  using Close = int(jack_client_t*);
  static Close* const real = libjack<Close>("jack_client_close");
  OpenBeforeCallingOnATold(client);
  {
    std::lock_guard lock(gNoticeMutex);
    gNoticeOf.erase(client);
  }
  Leaving(client);
  JackClientTurn turn;
  return real(client);
}

__attribute__((visibility("default"))) int jack_deactivate(jack_client_t* client) {
  using Deactivate = int(jack_client_t*);
  static Deactivate* const real = libjack<Deactivate>("jack_deactivate");
  OpenBeforeCallingOnATold(client);
  Leaving(client);
  return real(client);
}

__attribute__((visibility("default"))) int jack_port_unregister(jack_client_t* client, jack_port_t* port) {
  using Unregister = int(jack_client_t*, jack_port_t*);
  static Unregister* const real = libjack<Unregister>("jack_port_unregister");
  std::function<void()> hook;
  {
    std::lock_guard lock(gHookMutex);
    hook.swap(gBeforeUnregister);
  }
  if (hook) hook();
  OpenBeforeCallingOnATold(client);
  const int result = real(client, port);
  std::lock_guard lock(gLeaveMutex);
  gUnregisteredAt[client] = jack_last_frame_time(client);
  return result;
}
}
