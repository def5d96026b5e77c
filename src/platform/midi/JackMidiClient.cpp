#include "JackMidiClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <semaphore>
#include <string_view>
#include <thread>

#include "ByteRing.h"
#include "KeepLoaded.h"
#include "MidiPorts.h"

namespace {
using Clock = std::chrono::steady_clock;

// Room for a bank of dumps waiting for a connection, and a burst of input.
constexpr size_t kOutRingBytes = 64 * 1024;
constexpr size_t kInRingBytes = 64 * 1024;
// Cycles a new connection is seen before data goes onto it: the reading
// client may have read its input in the cycle the connection appeared.
constexpr int kSettleCycles = 2;
// A sender waits this long for room before its message is dropped.
constexpr auto kSendTimeout = std::chrono::seconds(1);
constexpr auto kSendPoll = std::chrono::microseconds(200);
// What a closing client may still have to send, at most.
constexpr auto kDrainOnClose = std::chrono::milliseconds(200);
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

// Closing: taking no more messages, sending those it took.
enum OutState : int { kClosed, kConnecting, kLive, kClosing, kFailed };

// The closer's thread runs code of this module after the host may have
// unloaded the plug-in; so does JACK's process thread until a client is
// closed. The module stays loaded once it has opened a client.
void KeepModuleLoaded() {
  static const bool kept = (KeepLoaded(reinterpret_cast<const void*>(&KeepModuleLoaded)), true);
  (void)kept;
}

void Report(const std::string& text) { MidiError(text).printMessage(); }

// The clients of this process, closing ones included: their ports are not
// offered, as no instance talks to another, and a closing one's would stay
// in a list built while it goes.
class OwnClients {
 public:
  static OwnClients& instance() {
    static OwnClients clients;
    return clients;
  }
  void add(const std::string& name) {
    std::lock_guard<std::mutex> lock(mMutex);
    mNames.push_back(name + ":");
  }
  void remove(const std::string& name) {
    std::lock_guard<std::mutex> lock(mMutex);
    const auto it = std::find(mNames.begin(), mNames.end(), name + ":");
    if (it != mNames.end()) mNames.erase(it);
  }
  bool owns(std::string_view portName) {
    std::lock_guard<std::mutex> lock(mMutex);
    return std::any_of(mNames.begin(), mNames.end(),
                       [portName](const std::string& prefix) { return portName.starts_with(prefix); });
  }

 private:
  std::mutex mMutex;
  std::vector<std::string> mNames;
};
}  // namespace

struct JackMidiClient::Core {
  jack_client_t* client = nullptr;
  std::string name;  // as the server gave it
  size_t bufferSize = 0;
  std::atomic<bool> serverGone{false};
  bool active = false;  // client thread only

  std::atomic<jack_port_t*> outPort{nullptr};
  std::atomic<int> outState{kClosed};
  std::atomic<bool> outConnected{false};  // the connection asked for is made
  std::atomic<int> settleCycles{0};
  std::string outName;  // client thread only
  ByteRing out{kOutRingBytes};
  // Messages pushed into the ring and taken out of it (written or dropped),
  // and when the process callback last took one.
  std::atomic<uint64_t> outPushed{0}, outTaken{0};
  std::atomic<int64_t> outTakenAtNs{0};

  std::atomic<jack_port_t*> inPort{nullptr};
  std::atomic<bool> inOpen{false};
  std::string inName;  // client thread only
  ByteRing in{kInRingBytes};
  MidiInputGuard guard;
  std::vector<unsigned char> partialSysEx;  // client thread only

  std::mutex opsMutex;
  std::deque<std::function<void()>> ops;
  std::counting_semaphore<> wake{0};
  std::atomic<bool> stopping{false};
  std::thread thread;
  std::once_flag threadStarted;

  ~Core() {
    if (client) jack_client_close(client);
  }

  // ---- JACK's process thread.
  static int Process(jack_nframes_t frames, void* self) {
    static_cast<Core*>(self)->process(frames);
    return 0;
  }
  static void Shutdown(void* self) { static_cast<Core*>(self)->serverGone = true; }

  void process(jack_nframes_t frames) {
    if (jack_port_t* port = outPort.load(std::memory_order_acquire)) {
      void* buffer = jack_port_get_buffer(port, frames);
      jack_midi_clear_buffer(buffer);
      drainOut(port, buffer);
    }
    if (jack_port_t* port = inPort.load(std::memory_order_acquire)) {
      void* buffer = jack_port_get_buffer(port, frames);
      const jack_nframes_t count = jack_midi_get_event_count(buffer);
      bool received = false;
      for (jack_nframes_t i = 0; i < count && inOpen.load(std::memory_order_relaxed); ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        received = in.push(event.buffer, event.size) || received;
      }
      if (received) wake.release();
    }
  }

  void drainOut(jack_port_t* port, void* buffer) {
    size_t size = 0;
    switch (outState.load(std::memory_order_acquire)) {
      case kConnecting:
        if (!outConnected.load(std::memory_order_acquire) || jack_port_connected(port) <= 0) return;
        if (settleCycles.fetch_add(1, std::memory_order_relaxed) + 1 < kSettleCycles) return;
        if (int connecting = kConnecting; !outState.compare_exchange_strong(connecting, kLive)) return;
        break;
      case kLive:
      case kClosing: break;
      default:
        while (out.peek(&size)) {
          out.pop();
          tookOne();
        }
        return;
    }
    while (out.peek(&size)) {
      if (size > bufferSize) {  // never fits: it would hold up everything behind it
        out.pop();
        tookOne();
        continue;
      }
      unsigned char* slot = jack_midi_event_reserve(buffer, 0, size);
      if (!slot) return;  // the rest goes next cycle
      out.copyFront(slot, size);
      out.pop();
      tookOne();
    }
  }

  void tookOne() {
    outTakenAtNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(),
                       std::memory_order_relaxed);
    outTaken.fetch_add(1, std::memory_order_release);
  }

  // ---- The client's thread: port work and input delivery.
  void post(std::function<void()> op) {
    std::call_once(threadStarted, [this] { thread = std::thread([this] { run(); }); });
    {
      std::lock_guard<std::mutex> lock(opsMutex);
      ops.push_back(std::move(op));
    }
    wake.release();
  }

  void run() {
    for (;;) {
      wake.acquire();
      if (stopping) return;
      for (;;) {
        std::function<void()> op;
        {
          std::lock_guard<std::mutex> lock(opsMutex);
          if (ops.empty()) break;
          op = std::move(ops.front());
          ops.pop_front();
        }
        op();
      }
      deliverInput();
    }
  }

  jack_port_t* registerPort(std::atomic<jack_port_t*>& slot, const std::string& name, unsigned long flags) {
    if (jack_port_t* port = slot.load()) return port;
    jack_port_t* port = jack_port_register(client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (!port) Report("JACK: cannot register the port \"" + name + "\"");
    slot.store(port, std::memory_order_release);
    return port;
  }

  bool activate() {
    if (active) return true;
    active = jack_activate(client) == 0;
    if (!active) Report("JACK: the MIDI client could not be activated");
    return active;
  }

  void connectOut(const std::string& target) {
    jack_port_t* port = registerPort(outPort, outName, JackPortIsOutput);
    if (!port || !activate()) {
      outState = kFailed;
      return;
    }
    jack_port_disconnect(client, port);
    if (target.empty()) {  // a virtual port: whoever connects to it hears it
      settleCycles = kSettleCycles;
      outConnected = true;
      outState = kLive;
      return;
    }
    if (jack_connect(client, jack_port_name(port), target.c_str()) != 0) {
      Report("JACK: cannot connect to \"" + target + "\"");
      int expected = kConnecting;
      outState.compare_exchange_strong(expected, kFailed);
      return;
    }
    outConnected = true;
  }

  void connectIn(const std::string& source) {
    jack_port_t* port = registerPort(inPort, inName, JackPortIsInput);
    if (!port || !activate()) return;
    jack_port_disconnect(client, port);
    if (jack_connect(client, source.c_str(), jack_port_name(port)) != 0)
      Report("JACK: cannot connect from \"" + source + "\"");
  }

  void disconnect(std::atomic<jack_port_t*>& slot) {
    if (jack_port_t* port = slot.load()) jack_port_disconnect(client, port);
  }

  // What the out port took before it was closed still goes out.
  void closeOut() {
    const auto until = Clock::now() + kDrainOnClose;
    while (outState == kClosing && !serverGone && !out.empty() && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    disconnect(outPort);
    int expected = kClosing;
    outState.compare_exchange_strong(expected, kClosed);
  }

  // A SysEx message may come in pieces; real-time bytes may come between.
  void deliverInput() {
    size_t size = 0;
    std::vector<unsigned char> message;
    while (in.peek(&size)) {
      message.resize(size);
      in.copyFront(message.data(), size);
      in.pop();
      if (!inOpen) {
        partialSysEx.clear();
        continue;
      }
      if (message[0] >= 0xF8) {
        guard.deliver(0.0, &message);
        continue;
      }
      if (!partialSysEx.empty() && message[0] != kSysExStart) {
        partialSysEx.insert(partialSysEx.end(), message.begin(), message.end());
      } else if (message[0] == kSysExStart) {
        partialSysEx = message;
      } else {
        guard.deliver(0.0, &message);
        continue;
      }
      if (partialSysEx.back() != kSysExEnd) continue;
      std::vector<unsigned char> whole;
      whole.swap(partialSysEx);
      guard.deliver(0.0, &whole);
    }
  }

  // ---- The closer's thread.
  void finish() {
    stopping = true;
    wake.release();
    if (thread.joinable()) thread.join();
    if (active && !serverGone) {
      const auto until = Clock::now() + kDrainOnClose;
      while ((outState == kLive || outState == kClosing) && !serverGone && !out.empty() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      jack_deactivate(client);
    }
    jack_client_close(client);
    client = nullptr;
    OwnClients::instance().remove(name);
  }
};

namespace {
// Closes clients one after another on a thread of its own: deactivating and
// closing waits for the server, which no host thread should.
class Closer {
 public:
  static Closer& instance() {
    static Closer closer;
    return closer;
  }
  void close(std::shared_ptr<JackMidiClient::Core> core) {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mQueue.push_back(std::move(core));
    }
    mChanged.notify_one();
  }
  ~Closer() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopping = true;
    }
    mChanged.notify_one();
    mThread.join();
  }

 private:
  Closer() : mThread([this] { run(); }) {}
  void run() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
      mChanged.wait(lock, [this] { return mStopping || !mQueue.empty(); });
      if (mQueue.empty()) return;
      std::shared_ptr<JackMidiClient::Core> core = std::move(mQueue.front());
      mQueue.pop_front();
      lock.unlock();
      core->finish();
      core.reset();
      lock.lock();
    }
  }

  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<std::shared_ptr<JackMidiClient::Core>> mQueue;
  bool mStopping = false;
  std::thread mThread;  // last: it starts once the rest is there
};
}  // namespace

std::shared_ptr<JackMidiClient> JackMidiClient::Open(const std::string& name) {
  KeepModuleLoaded();
  // Made before the first client, so they outlive every one; the closer
  // still uses the list of clients while it goes.
  OwnClients::instance();
  Closer::instance();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (!client) throw MidiError("JACK server not running (status " + std::to_string(status) + ")");
  auto core = std::make_shared<Core>();
  core->client = client;
  core->bufferSize = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE);
  jack_on_shutdown(client, Core::Shutdown, core.get());
  if (jack_set_process_callback(client, Core::Process, core.get()) != 0)
    throw MidiError("JACK client \"" + name + "\" takes no process callback");
  core->name = jack_get_client_name(client);
  OwnClients::instance().add(core->name);
  return std::shared_ptr<JackMidiClient>(new JackMidiClient(std::move(core)));
}

JackMidiClient::JackMidiClient(std::shared_ptr<Core> core) : mCore(std::move(core)) {}

JackMidiClient::~JackMidiClient() {
  mCore->inOpen = false;
  mCore->guard.cancel();
  Closer::instance().close(std::move(mCore));
}

std::vector<std::string> JackMidiClient::ports(bool takingInput) {
  std::vector<std::string> names;
  const char** found = jack_get_ports(mCore->client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                      takingInput ? JackPortIsInput : JackPortIsOutput);
  if (!found) return names;
  for (const char** name = found; *name; ++name)
    if (!OwnClients::instance().owns(*name)) names.emplace_back(*name);
  jack_free(found);
  return names;
}

void JackMidiClient::openOut(const std::string& target, const std::string& portName) {
  Core& core = *mCore;
  core.outConnected = false;
  core.settleCycles = 0;
  core.outState = kConnecting;
  core.post([&core, target, portName] {
    if (core.outName.empty()) core.outName = portName;
    core.connectOut(target);
  });
}

void JackMidiClient::closeOut() {
  Core& core = *mCore;
  int state = core.outState;
  do {
    if (state == kClosed) return;
  } while (!core.outState.compare_exchange_weak(state, state == kLive ? kClosing : kClosed));
  core.post([&core] { core.closeOut(); });
}

bool JackMidiClient::isOutOpen() const {
  const int state = mCore->outState;
  return state == kConnecting || state == kLive;
}

void JackMidiClient::send(const unsigned char* bytes, size_t size) {
  Core& core = *mCore;
  if (core.out.tooLarge(size)) {
    Report("JACK: a message of " + std::to_string(size) + " bytes does not fit the out ring");
    return;
  }
  const auto until = Clock::now() + kSendTimeout;
  while (!core.out.push(bytes, size)) {
    if (core.serverGone || !isOutOpen() || Clock::now() >= until) return;
    std::this_thread::sleep_for(kSendPoll);
  }
  core.outPushed.fetch_add(1, std::memory_order_relaxed);
}

bool JackMidiClient::allSent(std::chrono::steady_clock::time_point* at) const {
  const Core& core = *mCore;
  if (core.outTaken.load(std::memory_order_acquire) < core.outPushed.load(std::memory_order_relaxed)) return false;
  *at = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(core.outTakenAtNs.load(std::memory_order_relaxed)));
  return true;
}

void JackMidiClient::openIn(const std::string& source, const std::string& portName) {
  Core& core = *mCore;
  core.inOpen = true;
  core.post([&core, source, portName] {
    if (core.inName.empty()) core.inName = portName;
    core.connectIn(source);
  });
}

void JackMidiClient::closeIn() {
  Core& core = *mCore;
  if (!core.inOpen.exchange(false)) return;
  core.post([&core] { core.disconnect(core.inPort); });
}

bool JackMidiClient::isInOpen() const { return mCore->inOpen; }

MidiInputGuard& JackMidiClient::input() { return mCore->guard; }
