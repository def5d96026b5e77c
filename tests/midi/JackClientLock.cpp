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
// call land on freed memory. Every call here that takes a client, and the
// rest of those that write a request to the server, note who calls on which
// client and from where (JackCallFaults); the callbacks a client sets run
// through a step that notes it is inside them.
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
#include <new>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "JackClientLock.h"
#include "JackMachineWide.h"

namespace {
// An object never destroyed, for a static: libjack's threads and a plug-in's
// client closing at the process's exit still call in here while the exit
// handlers run, after a static made later than theirs would be gone.
template <class T>
class Lasting {
 public:
  template <class... Make>
  explicit Lasting(Make&&... make) : mObject(::new (static_cast<void*>(mStorage)) T(std::forward<Make>(make)...)) {}
  T& operator*() const { return *mObject; }
  T* operator->() const { return mObject; }

 private:
  alignas(T) unsigned char mStorage[sizeof(T)];
  T* mObject;
};
}  // namespace

JackClientTurn::JackClientTurn() {
  static const Lasting<const std::string> path(JackMachineWidePath("tarnivex-jack-client.lock"));
  mFile = open(path->c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
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

// Calls under way on each client, by thread, and what went wrong.
struct Call {
  std::thread::id thread;
  std::string threadName;
  const char* name;
};
std::mutex gCallMutex;
std::map<jack_client_t*, std::vector<Call>> gCallsInside;
std::map<jack_client_t*, std::string> gClientName;
std::map<std::string, size_t> gCallsOn;
std::vector<std::string> gCallFaults;
std::atomic<long> gStallUs{0};
thread_local const char* tInCallback = nullptr;

std::string ThreadName() {
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return std::string(name) + " " + std::to_string(gettid());  // threads made by one share its name
}

std::string NameOf(jack_client_t* client) {
  const auto found = gClientName.find(client);
  return found == gClientName.end() ? "(a client not opened here)" : found->second;
}

// One watched call on a client, from its start to its return.
class Watched {
 public:
  Watched(jack_client_t* client, const char* name) : mClient(client) {
    {
      std::lock_guard lock(gCallMutex);
      const std::string client = NameOf(mClient);
      ++gCallsOn[client];
      if (tInCallback) gCallFaults.push_back(client + ": " + name + " inside its " + tInCallback + " callback");
      std::vector<Call>& inside = gCallsInside[mClient];
      for (const Call& other : inside)
        if (other.thread != std::this_thread::get_id())
          gCallFaults.push_back(client + ": " + name + " on thread \"" + ThreadName() + "\" while " + other.name +
                                " on thread \"" + other.threadName + "\"");
      inside.push_back({std::this_thread::get_id(), ThreadName(), name});
    }
    if (const long us = gStallUs.load(); us > 0 && !tInCallback) usleep(static_cast<useconds_t>(us));
  }
  ~Watched() {
    std::lock_guard lock(gCallMutex);
    const auto found = gCallsInside.find(mClient);
    if (found == gCallsInside.end()) return;
    std::vector<Call>& inside = found->second;
    for (auto call = inside.rbegin(); call != inside.rend(); ++call)
      if (call->thread == std::this_thread::get_id()) {
        inside.erase(std::next(call).base());
        break;
      }
    if (inside.empty()) gCallsInside.erase(found);
  }
  Watched(const Watched&) = delete;
  Watched& operator=(const Watched&) = delete;

 private:
  jack_client_t* mClient;
};

// A client that is freed, or a new one where a freed one was.
void Forget(jack_client_t* client) {
  std::lock_guard lock(gCallMutex);
  gCallsInside.erase(client);
  gClientName.erase(client);
}

// libjack runs a client's callbacks on its threads through this, so that a
// call made inside one is seen.
class InCallback {
 public:
  explicit InCallback(const char* name) : mOuter(std::exchange(tInCallback, name)) {}
  ~InCallback() { tInCallback = mOuter; }
  InCallback(const InCallback&) = delete;
  InCallback& operator=(const InCallback&) = delete;

 private:
  const char* mOuter;
};

template <class Result, class... Args>
struct Callback {
  Result (*function)(Args..., void*);
  void* argument;
  const char* name;
  static Result Run(Args... args, void* self) {
    const auto& callback = *static_cast<const Callback*>(self);
    InCallback inside(callback.name);
    return callback.function(args..., callback.argument);
  }
};

// Kept for as long as the process runs, its exit included: libjack may call
// a callback until its client is freed, which it does when it likes after a
// server went, or after the exit handlers began (a client closing at exit).
template <class Result, class... Args>
Callback<Result, Args...>* Keep(std::type_identity_t<Result (*)(Args..., void*)> function, void* argument,
                                const char* name) {
  static Lasting<std::mutex> mutex;
  static Lasting<std::deque<Callback<Result, Args...>>> kept;
  std::lock_guard lock(*mutex);
  return &kept->emplace_back(Callback<Result, Args...>{function, argument, name});
}

// Sets a callback through libjack's setter of that name, watched, with Run
// in between.
template <class Result, class... Args>
int SetCallback(const char* setter, const char* name, jack_client_t* client,
                std::type_identity_t<Result (*)(Args..., void*)> function, void* argument) {
  using Set = int(jack_client_t*, Result (*)(Args..., void*), void*);
  Set* const real = libjack<Set>(setter);
  Watched watched(client, setter);
  if (!function) return real(client, nullptr, argument);
  return real(client, &Callback<Result, Args...>::Run, Keep<Result, Args...>(function, argument, name));
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
    InCallback inside("shutdown");
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

std::vector<std::string> JackCallFaults() {
  std::lock_guard lock(gCallMutex);
  return gCallFaults;
}

size_t JackCallsOn(const std::string& clientName) {
  std::lock_guard lock(gCallMutex);
  const auto found = gCallsOn.find(clientName);
  return found == gCallsOn.end() ? 0 : found->second;
}

JackCallStall::JackCallStall(std::chrono::microseconds hold) { gStallUs = static_cast<long>(hold.count()); }
JackCallStall::~JackCallStall() { gStallUs = 0; }

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
  if (client) {
    Forget(client);
    std::lock_guard lock(gCallMutex);
    gClientName[client] = jack_get_client_name(client);
  }
  return client;
}

__attribute__((visibility("default"))) void jack_on_shutdown(jack_client_t* client, JackShutdownCallback function,
                                                             void* argument) {
  using OnShutdown = void(jack_client_t*, JackShutdownCallback, void*);
  static OnShutdown* const real = libjack<OnShutdown>("jack_on_shutdown");
  Watched watched(client, "jack_on_shutdown");
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
  int result = 0;
  {
    Watched watched(client, "jack_client_close");
    JackClientTurn turn;
    result = real(client);
  }
  Forget(client);
  return result;
}

__attribute__((visibility("default"))) int jack_deactivate(jack_client_t* client) {
  using Deactivate = int(jack_client_t*);
  static Deactivate* const real = libjack<Deactivate>("jack_deactivate");
  Watched watched(client, "jack_deactivate");
  OpenBeforeCallingOnATold(client);
  Leaving(client);
  return real(client);
}

__attribute__((visibility("default"))) int jack_port_unregister(jack_client_t* client, jack_port_t* port) {
  using Unregister = int(jack_client_t*, jack_port_t*);
  static Unregister* const real = libjack<Unregister>("jack_port_unregister");
  Watched watched(client, "jack_port_unregister");
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

__attribute__((visibility("default"))) int jack_activate(jack_client_t* client) {
  static auto* const real = libjack<int(jack_client_t*)>("jack_activate");
  Watched watched(client, "jack_activate");
  return real(client);
}

__attribute__((visibility("default"))) jack_port_t* jack_port_register(jack_client_t* client, const char* name,
                                                                       const char* type, unsigned long flags,
                                                                       unsigned long bufferSize) {
  using Register = jack_port_t*(jack_client_t*, const char*, const char*, unsigned long, unsigned long);
  static Register* const real = libjack<Register>("jack_port_register");
  Watched watched(client, "jack_port_register");
  return real(client, name, type, flags, bufferSize);
}

__attribute__((visibility("default"))) int jack_connect(jack_client_t* client, const char* source,
                                                        const char* destination) {
  static auto* const real = libjack<int(jack_client_t*, const char*, const char*)>("jack_connect");
  Watched watched(client, "jack_connect");
  return real(client, source, destination);
}

__attribute__((visibility("default"))) int jack_disconnect(jack_client_t* client, const char* source,
                                                           const char* destination) {
  static auto* const real = libjack<int(jack_client_t*, const char*, const char*)>("jack_disconnect");
  Watched watched(client, "jack_disconnect");
  return real(client, source, destination);
}

__attribute__((visibility("default"))) int jack_port_disconnect(jack_client_t* client, jack_port_t* port) {
  static auto* const real = libjack<int(jack_client_t*, jack_port_t*)>("jack_port_disconnect");
  Watched watched(client, "jack_port_disconnect");
  return real(client, port);
}

__attribute__((visibility("default"))) const char** jack_get_ports(jack_client_t* client, const char* name,
                                                                   const char* type, unsigned long flags) {
  using GetPorts = const char**(jack_client_t*, const char*, const char*, unsigned long);
  static GetPorts* const real = libjack<GetPorts>("jack_get_ports");
  Watched watched(client, "jack_get_ports");
  return real(client, name, type, flags);
}

__attribute__((visibility("default"))) int jack_recompute_total_latencies(jack_client_t* client) {
  static auto* const real = libjack<int(jack_client_t*)>("jack_recompute_total_latencies");
  Watched watched(client, "jack_recompute_total_latencies");
  return real(client);
}

__attribute__((visibility("default"))) int jack_set_process_callback(jack_client_t* client,
                                                                     JackProcessCallback function, void* argument) {
  return SetCallback<int, jack_nframes_t>("jack_set_process_callback", "process", client, function, argument);
}

__attribute__((visibility("default"))) int jack_set_port_registration_callback(
    jack_client_t* client, JackPortRegistrationCallback function, void* argument) {
  return SetCallback<void, jack_port_id_t, int>("jack_set_port_registration_callback", "port registration", client,
                                                function, argument);
}

__attribute__((visibility("default"))) int jack_set_port_rename_callback(jack_client_t* client,
                                                                         JackPortRenameCallback function,
                                                                         void* argument) {
  return SetCallback<void, jack_port_id_t, const char*, const char*>("jack_set_port_rename_callback", "port rename",
                                                                     client, function, argument);
}

__attribute__((visibility("default"))) int jack_set_port_connect_callback(jack_client_t* client,
                                                                          JackPortConnectCallback function,
                                                                          void* argument) {
  return SetCallback<void, jack_port_id_t, jack_port_id_t, int>("jack_set_port_connect_callback", "port connect",
                                                                client, function, argument);
}

__attribute__((visibility("default"))) int jack_set_client_registration_callback(
    jack_client_t* client, JackClientRegistrationCallback function, void* argument) {
  return SetCallback<void, const char*, int>("jack_set_client_registration_callback", "client registration", client,
                                             function, argument);
}

__attribute__((visibility("default"))) int jack_set_graph_order_callback(jack_client_t* client,
                                                                         JackGraphOrderCallback function,
                                                                         void* argument) {
  return SetCallback<int>("jack_set_graph_order_callback", "graph order", client, function, argument);
}
}
