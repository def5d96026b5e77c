#include "JackMidiClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <semaphore>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include "ByteRing.h"
#include "JackServerWatch.h"
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
// What a closing port may still have to send, at most.
constexpr auto kDrainOnClose = std::chrono::milliseconds(200);
// A server found absent is asked for again only after this.
constexpr auto kOpenRetry = std::chrono::seconds(1);
// After the server went: how often it and the process's clients are looked at.
constexpr auto kServerLook = std::chrono::milliseconds(250);
// How long a menu waits for a client being opened to look.
constexpr auto kLookWait = std::chrono::milliseconds(500);
// The longest a port's owner waits for a process cycle that may use it.
constexpr auto kCycleWait = std::chrono::milliseconds(500);
// The longest the server's notice waits for a call on its client to end: a
// close under way ends only once the notice has returned.
constexpr auto kNoticeWait = std::chrono::milliseconds(300);
// Instances whose ports one process callback serves.
constexpr size_t kSlots = 512;
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

// Closing: taking no more messages, sending those it took.
enum OutState : int { kClosed, kConnecting, kLive, kClosing, kFailed };

// The client's threads run code of this module after the host may have
// unloaded the plug-in; so does JACK's process thread until the client is
// closed. The module stays loaded once it has opened a client.
void KeepModuleLoaded() {
  static const bool kept = (KeepLoaded(reinterpret_cast<const void*>(&KeepModuleLoaded)), true);
  (void)kept;
}

void Report(const std::string& text) { MidiError(text).printMessage(); }

// libjack's threads may be cancelled at any instruction, and a cancel that
// lands in code that cannot unwind (a notify, a lock's release) ends the
// process. Our callbacks take cancels only once done: no destructor may turn
// them back on, since a pending cancel acts at once and unwinds from there.
int HoldCancels() {
  int state = 0;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &state);
  return state;
}
void TakeCancels(int state) { pthread_setcancelstate(state, nullptr); }

// Waits, within the bound for a cycle, until done() says yes.
template <class Done>
void AwaitCycles(Done done) {
  for (const auto until = Clock::now() + kCycleWait; !done() && Clock::now() < until;)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
}
}  // namespace

struct JackMidiClient::Endpoint {
  size_t slot = 0;  // in the process callback's table
  int number = 1;   // tells its ports from other instances'

  // What the instance asks for, under the client's mutex; each change
  // counts up wanted.
  struct Want {
    bool out = false, outVirtual = false, in = false;
    std::string target, source;  // peers' full names
    std::string outName, inName;  // the ports' names, kept once given
    unsigned long outChoice = 0, inChoice = 0;  // a choice made again reconnects
    bool retired = false;
  } want;
  unsigned long wanted = 1;
  Clock::time_point closingSince;

  // The client's thread only: what it last brought about.
  unsigned long applied = 0, lookChecked = 0;
  Want done;

  std::atomic<jack_port_t*> outPort{nullptr};
  std::atomic<int> outState{kClosed};
  std::atomic<bool> outConnected{false};  // the connection asked for is made
  // Live, but no port takes what it writes (the instrument unplugged, its
  // cables disconnected); the process callback looks every cycle.
  std::atomic<bool> outUnplugged{false};
  std::atomic<int> settleCycles{0};
  ByteRing out{kOutRingBytes};

  std::atomic<jack_port_t*> inPort{nullptr};
  std::atomic<bool> inOpen{false};
  ByteRing in{kInRingBytes};
  MidiInputGuard guard;
  std::vector<unsigned char> partialSysEx;  // input thread only

  // ---- JACK's process thread: never allocates, never waits.
  bool process(jack_nframes_t frames, size_t bufferSize) {
    if (jack_port_t* port = outPort.load(std::memory_order_acquire)) {
      void* buffer = jack_port_get_buffer(port, frames);
      jack_midi_clear_buffer(buffer);
      drainOut(port, buffer, bufferSize);
    }
    bool received = false;
    if (jack_port_t* port = inPort.load(std::memory_order_acquire)) {
      void* buffer = jack_port_get_buffer(port, frames);
      const jack_nframes_t count = jack_midi_get_event_count(buffer);
      for (jack_nframes_t i = 0; i < count && inOpen.load(std::memory_order_relaxed); ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        received = in.push(event.buffer, event.size) || received;
      }
    }
    return received;
  }

  void drainOut(jack_port_t* port, void* buffer, size_t bufferSize) {
    size_t size = 0;
    switch (outState.load(std::memory_order_acquire)) {
      case kConnecting:
        if (!outConnected.load(std::memory_order_acquire) || jack_port_connected(port) <= 0) return;
        if (settleCycles.fetch_add(1, std::memory_order_relaxed) + 1 < kSettleCycles) return;
        if (int connecting = kConnecting; !outState.compare_exchange_strong(connecting, kLive)) return;
        break;
      case kLive: outUnplugged.store(jack_port_connected(port) <= 0, std::memory_order_relaxed); break;
      case kClosing: break;
      default:
        while (out.peek(&size)) out.pop();
        return;
    }
    while (out.peek(&size)) {
      if (size > bufferSize) {  // never fits: it would hold up everything behind it
        out.pop();
        continue;
      }
      unsigned char* slot = jack_midi_event_reserve(buffer, 0, size);
      if (!slot) return;  // the rest goes next cycle
      out.copyFront(slot, size);
      out.pop();
    }
  }

  // ---- The input thread. A SysEx message may come in pieces; real-time
  // bytes may come between them and are delivered at once.
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
};

namespace {
using Endpoint = JackMidiClient::Endpoint;

// The process's JACK client and the two threads that serve it: the client's
// thread (opening, ports, connections, looks, closing), which alone waits
// for the server and never while holding the mutex the instances' calls
// take, and the input thread.
class SharedClient {
 public:
  static SharedClient& instance() {
    static SharedClient shared;
    return shared;
  }

  std::shared_ptr<Endpoint> add(const std::string& name) {
    auto endpoint = std::make_shared<Endpoint>();
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mClient) mName = name.empty() ? "RtMidi Client" : name;  // JACK takes no client without a name
    endpoint->slot = freeSlot();
    for (int number = 1;; ++number)
      if (std::none_of(mEndpoints.begin(), mEndpoints.end(),
                       [number](const std::shared_ptr<Endpoint>& e) { return e->number == number; })) {
        endpoint->number = number;
        break;
      }
    mEndpoints.push_back(endpoint);
    mWantClient = true;
    ensureRunning();
    mWake.notify_all();
    return endpoint;
  }

  // The instance's wishes change under this; then it calls changed().
  std::mutex& mutex() { return mMutex; }
  void changed(Endpoint& e) {
    ++e.wanted;
    mWake.notify_all();
  }

  std::vector<std::string> ports(bool takingInput) const {
    std::lock_guard<std::mutex> lock(mMutex);
    return takingInput ? mTargets : mSources;
  }
  bool listed() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mLooked;
  }
  void refresh() {
    std::unique_lock<std::mutex> lock(mMutex);
    const unsigned long asked = ++mLookAsked;
    mWantClient = true;
    ensureRunning();
    mWake.notify_all();
    mLookDone.wait_for(lock, kLookWait, [&] { return mLooksAnswered >= asked; });
  }

  ~SharedClient() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopping = true;
      mWake.notify_all();
    }
    mInputWake.release();
    if (mThread.joinable()) mThread.join();
    if (mInputThread.joinable()) mInputThread.join();
  }

 private:
  SharedClient() = default;

  // The threads run while there are instances or a look is asked for, no
  // longer: a closed plug-in leaves none behind. Under mMutex.
  void ensureRunning() {
    if (mRunning || mStopping) return;
    // An ended thread only returns; it takes the mutex no more.
    if (mThread.joinable()) mThread.join();
    mRunning = true;
    mInputStopping = false;
    mInputThread = std::thread([this] { runInput(); });
    mThread = std::thread([this] { run(); });
  }

  size_t freeSlot() {
    for (size_t i = 0; i < kSlots; ++i)
      if (!mSlotTaken[i]) {
        mSlotTaken[i] = true;
        return i;
      }
    return kSlots;  // beyond the table: its ports never carry anything
  }

  // ---- JACK's threads.
  static int Process(jack_nframes_t frames, void* self) {
    const int cancels = HoldCancels();
    auto& shared = *static_cast<SharedClient*>(self);
    shared.mInCycle.store(true);
    bool received = false;
    for (size_t i = 0, end = shared.mSlotsUsed.load(); i < end; ++i)
      if (Endpoint* endpoint = shared.mSlots[i].load())
        received = endpoint->process(frames, shared.mBufferSize) || received;
    if (received) shared.mInputWake.release();
    shared.mCycles.fetch_add(1);
    shared.mInCycle.store(false);
    TakeCancels(cancels);
    return 0;
  }
  // Told once per client, with the number of the client it came from.
  // Once told, the client may be freed by any open in the process, so the
  // notice is taken in only after a call on it under way has ended (see
  // onClient). A close under way stops this thread and waits for it: the
  // wait is bounded.
  static void Shutdown(void* generation) {
    SharedClient& shared = instance();
    if (reinterpret_cast<uintptr_t>(generation) != shared.mGeneration.load()) return;  // a client let go before
    const int cancels = HoldCancels();
    bool held = false;
    if (shared.mCaller.load() != std::this_thread::get_id())
      for (const auto until = Clock::now() + kNoticeWait; !(held = shared.mCall.try_lock()) && Clock::now() < until;)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    shared.mLost = true;
    if (held) shared.mCall.unlock();
    shared.poke(&shared, true);
    TakeCancels(cancels);
  }

  // Runs call on the client unless its server's notice came first; false
  // when it did. The notice waits for the call.
  template <class Call>
  bool onClient(Call&& call) {
    std::lock_guard<std::mutex> guard(mCall);
    if (mLost.load()) return false;
    mCaller = std::this_thread::get_id();
    call();
    mCaller = std::thread::id();
    return true;
  }
  static void PortRegistered(jack_port_id_t, int, void* self) {
    const int cancels = HoldCancels();
    static_cast<SharedClient*>(self)->poke(self, false);
    TakeCancels(cancels);
  }
  static void PortRenamed(jack_port_id_t, const char*, const char*, void* self) {
    const int cancels = HoldCancels();
    static_cast<SharedClient*>(self)->poke(self, false);
    TakeCancels(cancels);
  }
  void poke(void*, bool serverGone) {
    std::lock_guard<std::mutex> lock(mMutex);
    (serverGone ? mServerGone : mPortsMoved) = true;
    mWake.notify_all();
  }

  // ---- The input thread.
  void runInput() {
    pthread_setname_np(pthread_self(), "tvx jack in");
    for (;;) {
      mInputWake.acquire();
      std::vector<std::shared_ptr<Endpoint>> endpoints;
      {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mStopping || mInputStopping) return;
        endpoints = mEndpoints;
      }
      for (const std::shared_ptr<Endpoint>& endpoint : endpoints) endpoint->deliverInput();
    }
  }

  // ---- The client's thread.
  bool due() const {
    if (mStopping || mServerGone || (mClient && mPortsMoved) || mLooksAnswered < mLookAsked) return true;
    if (mClient && mEndpoints.empty()) return true;
    if (mWantClient && !mClient) return Clock::now() >= mRetryAt;
    return std::any_of(mEndpoints.begin(), mEndpoints.end(), [this](const std::shared_ptr<Endpoint>& e) {
      return e->applied != e->wanted || e->lookChecked != mLookCount || e->outState == kClosing;
    });
  }

  void run() {
    pthread_setname_np(pthread_self(), "tvx jack");
    std::unique_lock<std::mutex> lock(mMutex);
    while (!mStopping) {
      if (mServerGone) lostServer(lock);
      if (mServerAway && !mClient && !mWantClient) awaitServer(lock);
      if (mWantClient && !mClient && Clock::now() >= mRetryAt) open(lock);
      if (mClient && (mPortsMoved || mLooksAnswered < mLookAsked)) look(lock);
      if (!mClient) mPortsMoved = false;  // the next client looks when it opens
      if (mLooksAnswered < mLookAsked && !mClient) {
        mLooksAnswered = mLookAsked;  // no server to look at
        mLookDone.notify_all();
      }
      const bool draining = apply(lock);
      if (mEndpoints.empty()) {
        mWantClient = false;
        mServerAway = false;
        if (mClient) close(lock);
        mIdle.notify_all();
        if (mLooksAnswered >= mLookAsked && !mStopping) {
          mInputStopping = true;
          lock.unlock();
          mInputWake.release();
          mInputThread.join();
          lock.lock();
          if (mEndpoints.empty() && mLooksAnswered >= mLookAsked) {
            mRunning = false;
            return;
          }
          mInputStopping = false;  // an instance came meanwhile
          mInputThread = std::thread([this] { runInput(); });
          continue;
        }
      }
      if (draining || (mWantClient && !mClient))
        mWake.wait_for(lock, draining ? std::chrono::milliseconds(2) : std::chrono::milliseconds(50));
      else if (mServerAway && !mClient)
        mWake.wait_for(lock, kServerLook);
      else
        mWake.wait(lock, [this] { return due(); });
    }
    if (mClient) close(lock);
  }

  void open(std::unique_lock<std::mutex>& lock) {
    KeepModuleLoaded();
    const std::string name = mName;
    mOpening = true;
    const uintptr_t generation = mGeneration.load() + 1;
    mGeneration = generation;
    mLost = false;
    lock.unlock();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    std::string ownName;
    if (client) {
      mBufferSize = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE);
      jack_on_shutdown(client, Shutdown, reinterpret_cast<void*>(generation));
      // A server that goes meanwhile leaves the client to libjack; the
      // loss is taken in as for any client.
      onClient([&] {
        if (jack_set_process_callback(client, Process, this) != 0 ||
            jack_set_port_registration_callback(client, PortRegistered, this) != 0 ||
            jack_set_port_rename_callback(client, PortRenamed, this) != 0 || jack_activate(client) != 0) {
          Report("JACK: the MIDI client could not be activated");
          jack_client_close(client);
          client = nullptr;
          return;
        }
        ownName = jack_get_client_name(client);
      });
    } else {
      Report("JACK server not running (status " + std::to_string(status) + ")");
    }
    // Whether the server's socket is where it is looked for after a loss.
    const bool probeWorks = client && jackwatch::ServerListening();
    // Noted now, so that a client the look after this one finds gone counts.
    const jackwatch::Clients atOpen = client ? jackwatch::ProcessClients(ownName) : jackwatch::Clients();
    lock.lock();
    mOpening = false;
    mIdle.notify_all();
    if (!client) {
      // Asked for again only when an instance or a menu needs it.
      mWantClient = false;
      mRetryAt = Clock::now() + kOpenRetry;
      for (const std::shared_ptr<Endpoint>& e : mEndpoints) {
        int connecting = kConnecting;
        e->outState.compare_exchange_strong(connecting, kFailed);
      }
      return;
    }
    mClient = client;
    mProbeWorks = probeWorks;
    mOwnName = ownName;
    mOwnPrefix = ownName + ":";
    // A menu may open ahead of a host still away: it is still to come back.
    mOthersAway = mServerAway ? mStillAway : 0;
    mServerAway = false;
    mOthersBefore = atOpen.own.empty() ? std::set<std::string>() : atOpen.live;
    mOwnSocket.clear();
    mOwnServer = 0;
    mPortsMoved = true;  // the look that follows notes the process's other clients
    for (const std::shared_ptr<Endpoint>& e : mEndpoints) {
      e->applied = 0;  // made afresh on this client
      e->done = Endpoint::Want{};
      if (e->want.out) e->outState = kConnecting;
    }
  }

  // The server went away: its client is of no more use. The instances'
  // ports are made again on the next client, which opens once the server is
  // back (awaitServer), or at once for a menu or a new instance.
  // Once a client's server has gone, libjack frees that client itself at the
  // process's next open, on whichever thread opens (the host's own JACK code,
  // too): this thread never calls on it again, not even to close it.
  void lostServer(std::unique_lock<std::mutex>& lock) {
    mServerGone = false;
    if (!mClient) return;
    mServerAway = true;
    mStillAway = mOthersBefore.size() + mOthersAway;
    mWantClient = false;
    // No port of the server that went is there: the lists show none, and a
    // port chosen meanwhile is taken by name, as before a first look.
    mTargets.clear();
    mSources.clear();
    mLooked = false;
    for (const std::shared_ptr<Endpoint>& e : mEndpoints) {
      e->outPort = nullptr;
      e->inPort = nullptr;
      if (e->want.out) e->outState = kFailed;
    }
    mClient = nullptr;
    mSlotsUsed = 0;
    for (auto& slot : mSlots) slot.store(nullptr);
    lock.unlock();
    awaitCycleEnd();  // a cycle the server began may still read a slot
    lock.lock();
  }

  // The first open in the process after the server went frees every client
  // still allocated: a client not yet told never learns that its server
  // went, and one told but not yet open again (the host that reopens once
  // its user says so) is freed under its owner. So the plug-in opens by
  // itself only once the server takes connections again, no client of the
  // process is still to be told, and every other client the process had
  // before the loss is back on the new server. A client the process had on
  // another server, still there, asks nothing.
  void awaitServer(std::unique_lock<std::mutex>& lock) {
    const bool probe = mProbeWorks;
    const jackwatch::Noted noted{mOthersBefore, mOwnSocket, mOwnServer, mOthersAway};
    lock.unlock();
    // A socket the probe cannot find says nothing of the server; the
    // process's clients are looked at whatever it says.
    bool ready = !probe || jackwatch::ServerListening();
    std::optional<size_t> stillAway;
    if (ready) {
      const jackwatch::AfterLoss verdict = jackwatch::LookAfterLoss(noted, jackwatch::ProcessClients());
      ready = verdict.mayOpen;
      stillAway = verdict.stillAway;
    }
    lock.lock();
    if (stillAway) mStillAway = *stillAway;
    if (ready) mWantClient = true;
    ++mServerLooks;
  }

  // The process's other clients, noted while this one's server is there.
  void noteProcessClients(const std::string& ownName) {
    const jackwatch::Clients now = jackwatch::ProcessClients(ownName);
    if (now.own.empty()) return;  // its server went, or this client is not told of yet
    std::lock_guard<std::mutex> lock(mMutex);
    if (mServerAway || mLost) return;
    // A client that went while this server stayed (a host its server let go,
    // told and closed, waiting for its user) is still the process's: a new
    // one stands for it, and until then it counts as away at a loss.
    size_t went = 0, came = 0;
    for (const std::string& client : mOthersBefore) went += !now.live.contains(client);
    for (const std::string& client : now.live) came += !mOthersBefore.contains(client);
    mOthersAway += went;
    mOthersAway -= std::min(mOthersAway, came);
    mOthersBefore = now.live;
    mOwnSocket = now.own;
    const auto server = now.serverOf.find(now.own);
    mOwnServer = server == now.serverOf.end() ? 0 : server->second;
  }

  void look(std::unique_lock<std::mutex>& lock) {
    if (mLost) return;  // lostServer comes first
    mPortsMoved = false;
    const unsigned long asked = mLookAsked;
    jack_client_t* client = mClient;
    const std::string own = mOwnPrefix, ownName = mOwnName;
    lock.unlock();
    noteProcessClients(ownName);
    const auto list = [&](unsigned long flags) {
      std::vector<std::string> names;
      onClient([&] {
        const char** found = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
        if (!found) return;
        for (const char** name = found; *name; ++name)
          if (!std::string_view(*name).starts_with(own)) names.emplace_back(*name);
        jack_free(found);
      });
      return names;
    };
    std::vector<std::string> targets = list(JackPortIsInput), sources = list(JackPortIsOutput);
    lock.lock();
    mTargets = std::move(targets);
    mSources = std::move(sources);
    mLooked = true;
    ++mLookCount;
    if (mLooksAnswered < asked) mLooksAnswered = asked;
    mLookDone.notify_all();
  }

  // Brings every instance's ports to what it asked for; true while a
  // closing port still has something to send.
  bool apply(std::unique_lock<std::mutex>& lock) {
    bool draining = false;
    std::vector<std::shared_ptr<Endpoint>> retired;  // removed together: one wait for the graph
    for (size_t i = 0; i < mEndpoints.size(); ++i) {
      const std::shared_ptr<Endpoint> endpoint = mEndpoints[i];
      Endpoint& e = *endpoint;
      if (e.outState == kClosing) {
        if (mClient && !e.out.empty() && Clock::now() - e.closingSince < kDrainOnClose) {
          draining = true;
          continue;
        }
        int closing = kClosing;
        e.outState.compare_exchange_strong(closing, kClosed);
      }
      if (e.want.retired) {
        retired.push_back(endpoint);
        mEndpoints.erase(mEndpoints.begin() + static_cast<std::ptrdiff_t>(i--));
        continue;
      }
      if (!mClient) {
        // No process cycle reads the ring now; what a port that cannot open took goes.
        if (e.outState == kFailed || e.outState == kClosed) clearRing(e.out);
        e.applied = e.wanted;
        e.lookChecked = mLookCount;
        continue;
      }
      if (e.applied == e.wanted && e.lookChecked == mLookCount) continue;
      if (mLost) continue;  // lostServer comes first
      const Endpoint::Want want = e.want;
      const unsigned long wanted = e.wanted, looked = mLookCount;
      const bool targetThere = present(mTargets, want.target), sourceThere = present(mSources, want.source);
      jack_client_t* client = mClient;
      lock.unlock();
      onClient([&] {
        applyOut(client, e, want, targetThere);
        applyIn(client, e, want, sourceThere);
      });
      lock.lock();
      e.done = want;
      e.applied = wanted;
      e.lookChecked = looked;
      if (e.outPort.load() || e.inPort.load()) publish(e);
    }
    if (!retired.empty()) remove(lock, retired);
    return draining;
  }

  static bool present(const std::vector<std::string>& names, const std::string& name) {
    return !name.empty() && std::find(names.begin(), names.end(), name) != names.end();
  }

  static void clearRing(ByteRing& ring) {
    size_t size = 0;
    while (ring.peek(&size)) ring.pop();
  }

  static jack_port_t* registerPort(jack_client_t* client, std::atomic<jack_port_t*>& slot, const std::string& name,
                                   unsigned long flags) {
    if (jack_port_t* port = slot.load()) return port;
    jack_port_t* port = jack_port_register(client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (!port) Report("JACK: cannot register the port \"" + name + "\"");
    slot.store(port, std::memory_order_release);
    return port;
  }

  // Without the mutex. A port keeps its connection while its peer stays;
  // a new choice drops the old one; a peer that came back is connected again.
  void applyOut(jack_client_t* client, Endpoint& e, const Endpoint::Want& want, bool targetThere) {
    const bool chosenAgain = want.out != e.done.out || want.outChoice != e.done.outChoice;
    if (!want.out) {
      if (jack_port_t* port = e.outPort.load(); port && chosenAgain) jack_port_disconnect(client, port);
      return;
    }
    jack_port_t* port = registerPort(client, e.outPort, want.outName, JackPortIsOutput);
    if (!port) {
      e.outState = kFailed;
      return;
    }
    publish(e);  // a connected port's buffer is written every cycle
    if (chosenAgain) jack_port_disconnect(client, port);
    if (want.outVirtual || jack_port_connected_to(port, want.target.c_str())) {
      e.outConnected = true;
      return;
    }
    if (!targetThere) {
      // Not there now: what is sent meanwhile goes nowhere, as on an
      // unplugged cable, and the port connects when the name comes back.
      int connecting = kConnecting;
      e.outState.compare_exchange_strong(connecting, kLive);
      return;
    }
    // Made already (a look that came before the graph showed it) is made.
    if (const int failed = jack_connect(client, jack_port_name(port), want.target.c_str()); failed && failed != EEXIST) {
      Report("JACK: cannot connect to \"" + want.target + "\"");
      return;
    }
    e.outConnected = true;
  }

  void applyIn(jack_client_t* client, Endpoint& e, const Endpoint::Want& want, bool sourceThere) {
    const bool chosenAgain = want.in != e.done.in || want.inChoice != e.done.inChoice;
    if (!want.in) {
      if (jack_port_t* port = e.inPort.load(); port && chosenAgain) jack_port_disconnect(client, port);
      return;
    }
    jack_port_t* port = registerPort(client, e.inPort, want.inName, JackPortIsInput);
    if (!port) return;
    publish(e);
    if (chosenAgain) jack_port_disconnect(client, port);
    if (!sourceThere || jack_port_connected_to(port, want.source.c_str())) return;
    if (const int failed = jack_connect(client, want.source.c_str(), jack_port_name(port)); failed && failed != EEXIST)
      Report("JACK: cannot connect from \"" + want.source + "\"");
  }

  // The process callback serves the instance from now on (atomics only: no lock needed).
  void publish(Endpoint& e) {
    if (e.slot >= kSlots) return;
    mSlots[e.slot].store(&e);
    if (mSlotsUsed.load() < e.slot + 1) mSlotsUsed.store(e.slot + 1);
  }

  // Takes the instances' ports out of the process callback and off the
  // client, then lets them go.
  void remove(std::unique_lock<std::mutex>& lock, const std::vector<std::shared_ptr<Endpoint>>& gone) {
    jack_client_t* client = mClient;
    std::vector<jack_port_t*> ports;
    for (const std::shared_ptr<Endpoint>& e : gone)
      for (jack_port_t* port : {e->outPort.load(), e->inPort.load()})
        if (port) ports.push_back(port);
    lock.unlock();
    if (client) {
      // Unconnected first: a connected port whose buffer no cycle writes
      // would hand its peer stale data.
      for (jack_port_t* port : ports) onClient([&] { jack_port_disconnect(client, port); });
      // And only then unregistered: JACK frees a port at once, while the
      // graph its readers run on changes a cycle later; a reader whose
      // input still lists the freed port drops that whole cycle of input,
      // other instances' messages to the same device among it.
      for (jack_port_t* port : ports) awaitDisconnected(port);
    }
    lock.lock();
    for (const std::shared_ptr<Endpoint>& e : gone) {
      if (e->slot < kSlots) mSlots[e->slot].store(nullptr);
      e->outPort = nullptr;
      e->inPort = nullptr;
    }
    lock.unlock();
    if (client) awaitCycleEnd();
    if (client)
      for (jack_port_t* port : ports) onClient([&] { jack_port_unregister(client, port); });
    lock.lock();
    for (const std::shared_ptr<Endpoint>& e : gone)
      if (e->slot < kSlots) mSlotTaken[e->slot] = false;
  }

  // Returns, within a bound, once the graph the cycles run on has the port
  // unconnected (libjack waits out a cycle per look while a change is due).
  void awaitDisconnected(jack_port_t* port) {
    // A server gone runs no cycle: nothing is waited for then.
    AwaitCycles([this, port] {
      bool connected = false;
      return !onClient([&] { connected = jack_port_connected(port) > 0; }) || !connected;
    });
  }

  // Returns, within a bound, once a whole cycle has run since now: the
  // graph changes asked for before are live and jackd is done switching to
  // them. jackd can answer a deactivation that comes while it switches before
  // the graph without the client is live, and libjack then ends the
  // client's process thread while the running graph still waits for it:
  // every client of the server stalls until jackd gives up on it.
  void awaitGraphSettled() {
    const unsigned long cycle = mCycles.load();
    AwaitCycles([&] { return mLost.load() || mCycles.load() >= cycle + 2; });
  }

  // Returns once no process cycle can still be using a slot cleared before.
  void awaitCycleEnd() {
    if (!mInCycle.load()) return;
    const unsigned long cycle = mCycles.load();
    AwaitCycles([&] { return !mInCycle.load() || mCycles.load() != cycle; });
  }

  // jack_client_close deactivates the client itself, under libjack's lock
  // for opening and closing, which another thread's open holds while it
  // frees the clients of a server that went: a deactivation of our own would
  // run outside it, on a client that may be freed under it.
  void close(std::unique_lock<std::mutex>& lock) {
    jack_client_t* client = std::exchange(mClient, nullptr);
    mClosing = true;
    lock.unlock();
    awaitGraphSettled();
    onClient([&] { jack_client_close(client); });  // else left to libjack, see lostServer
    lock.lock();
    mClosing = false;
    mServerGone = false;  // it spoke of the client let go
    mSlotsUsed = 0;
    mIdle.notify_all();
  }

 public:
  // Under mutex(): the server went and no client has opened since.
  // Told of the loss, the client's thread may not have taken it in yet.
  bool serverAway() const { return mServerAway || mLost; }
  // Under mutex(): no client takes what a port is handed, and none is being
  // opened or asked for: the server went, or was not there when last looked
  // for (looked for again only for a menu or a new instance).
  bool takesNothing() const { return serverAway() || (!mClient && !mOpening && !mWantClient); }

  unsigned long serverLooks() const { return mServerLooks.load(); }

  bool awaitClosed(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mIdle.wait_for(lock, bound, [this] { return mEndpoints.empty() && !mClient && !mOpening && !mClosing; });
  }

 private:
  mutable std::mutex mMutex;
  std::condition_variable mWake, mLookDone, mIdle;
  std::string mName;  // the client's, as the first instance asked
  std::vector<std::shared_ptr<Endpoint>> mEndpoints;
  std::array<bool, kSlots> mSlotTaken{};
  jack_client_t* mClient = nullptr;
  std::string mOwnName, mOwnPrefix;
  bool mRunning = false, mInputStopping = false;
  bool mOpening = false, mClosing = false, mWantClient = false, mStopping = false, mLooked = false;
  bool mServerGone = false, mPortsMoved = false;
  // The server went and no client has opened since; whether the server's
  // socket was found where it is looked for; the process's other clients
  // while the server was there, by their notification sockets.
  bool mServerAway = false, mProbeWorks = true;
  std::set<std::string> mOthersBefore;
  std::string mOwnSocket;
  // Other clients that went while the server stayed and none has stood for
  // yet; after a loss, how many are still to come back.
  size_t mOthersAway = 0, mStillAway = 0;
  pid_t mOwnServer = 0;  // the server process this client's socket came from
  unsigned long mLookAsked = 0, mLooksAnswered = 0, mLookCount = 0;
  Clock::time_point mRetryAt{};
  std::vector<std::string> mTargets, mSources;  // the last look

  // Shared with JACK's process thread.
  std::array<std::atomic<Endpoint*>, kSlots> mSlots{};
  std::atomic<size_t> mSlotsUsed{0};
  std::atomic<bool> mInCycle{false};
  // The client's number, counted up at each open; whether its server went.
  std::atomic<uintptr_t> mGeneration{0};
  std::atomic<bool> mLost{false};
  // Held by a call on the client (onClient), and by whom.
  std::mutex mCall;
  std::atomic<std::thread::id> mCaller{};
  std::atomic<unsigned long> mCycles{0};
  std::atomic<unsigned long> mServerLooks{0};
  size_t mBufferSize = 0;
  std::counting_semaphore<> mInputWake{0};

  std::thread mThread, mInputThread;  // last: they start once the rest is there
};

std::string PortName(const std::string& base, int number) {
  return number == 1 ? base : base + " " + std::to_string(number);
}
}  // namespace

std::shared_ptr<JackMidiClient> JackMidiClient::Open(const std::string& name) {
  return std::shared_ptr<JackMidiClient>(new JackMidiClient(SharedClient::instance().add(name)));
}

JackMidiClient::JackMidiClient(std::shared_ptr<Endpoint> endpoint) : mEndpoint(std::move(endpoint)) {}

JackMidiClient::~JackMidiClient() {
  Endpoint& e = *mEndpoint;
  e.inOpen = false;
  e.guard.cancel();
  closeOut();
  SharedClient& shared = SharedClient::instance();
  std::lock_guard<std::mutex> lock(shared.mutex());
  e.want.retired = true;
  shared.changed(e);
}

std::vector<std::string> JackMidiClient::ports(bool takingInput) const {
  return SharedClient::instance().ports(takingInput);
}

bool JackMidiClient::portsListed() const { return SharedClient::instance().listed(); }

void JackMidiClient::refreshPorts() { SharedClient::instance().refresh(); }

bool JackMidiClient::AwaitClosed(std::chrono::milliseconds bound) { return SharedClient::instance().awaitClosed(bound); }

unsigned long JackMidiClient::ServerLooks() { return SharedClient::instance().serverLooks(); }

void JackMidiClient::openOut(const std::string& target, const std::string& portName) {
  Endpoint& e = *mEndpoint;
  SharedClient& shared = SharedClient::instance();
  std::lock_guard<std::mutex> lock(shared.mutex());
  e.outConnected = false;
  e.settleCycles = 0;
  // While the server is away, or none was found and none is looked for, the
  // port is not there: nothing sent is taken, and nothing waits for it to go.
  e.outState = shared.takesNothing() ? kFailed : kConnecting;
  if (e.want.outName.empty()) e.want.outName = PortName(portName, e.number);
  e.want.out = true;
  e.want.target = target;
  e.want.outVirtual = target.empty();
  ++e.want.outChoice;
  shared.changed(e);
}

void JackMidiClient::closeOut() {
  Endpoint& e = *mEndpoint;
  SharedClient& shared = SharedClient::instance();
  std::lock_guard<std::mutex> lock(shared.mutex());
  int state = e.outState;
  do {
    // Closing again must not drop what a closing port still sends.
    if (state == kClosed || state == kClosing) return;
  } while (!e.outState.compare_exchange_weak(state, state == kLive ? kClosing : kClosed));
  e.closingSince = Clock::now();
  e.want.out = false;
  shared.changed(e);
}

bool JackMidiClient::isOutOpen() const {
  const int state = mEndpoint->outState;
  return state == kConnecting || state == kLive;
}

bool JackMidiClient::isOutGone() const { return mEndpoint->outState == kFailed; }

bool JackMidiClient::isOutUnplugged() const {
  return mEndpoint->outState == kLive && mEndpoint->outUnplugged.load(std::memory_order_relaxed);
}

bool JackMidiClient::send(const unsigned char* bytes, size_t size) {
  Endpoint& e = *mEndpoint;
  if (e.out.tooLarge(size)) {
    Report("JACK: a message of " + std::to_string(size) + " bytes does not fit the out ring");
    return false;
  }
  // A port not there takes nothing: nothing is kept for it.
  return isOutOpen() && e.out.push(bytes, size);
}

void JackMidiClient::openIn(const std::string& source, const std::string& portName) {
  Endpoint& e = *mEndpoint;
  SharedClient& shared = SharedClient::instance();
  std::lock_guard<std::mutex> lock(shared.mutex());
  e.inOpen = true;
  if (e.want.inName.empty()) e.want.inName = PortName(portName, e.number);
  e.want.in = true;
  e.want.source = source;
  ++e.want.inChoice;
  shared.changed(e);
}

void JackMidiClient::closeIn() {
  Endpoint& e = *mEndpoint;
  SharedClient& shared = SharedClient::instance();
  std::lock_guard<std::mutex> lock(shared.mutex());
  if (!e.inOpen.exchange(false)) return;
  e.want.in = false;
  shared.changed(e);
}

bool JackMidiClient::isInOpen() const { return mEndpoint->inOpen; }

MidiInputGuard& JackMidiClient::input() { return mEndpoint->guard; }
