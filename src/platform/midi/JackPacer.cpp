#include "JackPacer.h"

#include <chrono>
#include <thread>

#include "MidiPorts.h"

namespace {
// What one event costs in a JACK MIDI buffer besides its bytes (rounded up).
constexpr size_t kEventOverhead = 16;
// Cycles that must pass after a hand-over before the queue is surely empty
// (the counter may tick in the cycle of the hand-over before RtMidi's client
// runs), and after a connection before it surely carries data.
constexpr uint64_t kDrainCycles = 3;
// A server that stops cycling (stalled, or gone without notice) must not hold
// a sender for ever.
constexpr auto kDrainTimeout = std::chrono::seconds(1);
constexpr auto kPollInterval = std::chrono::microseconds(250);
}  // namespace

JackPacer::JackPacer(const std::string& clientName) {
  jack_status_t status{};
  mClient = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (!mClient) throw MidiError("JACK server not running (status " + std::to_string(status) + ")");
  // Half the buffer: RtMidi's own queue in front of it is not ours to measure.
  mBudget = jack_port_type_get_buffer_size(mClient, JACK_DEFAULT_MIDI_TYPE) / 2;
  jack_on_shutdown(mClient, Shutdown, this);
  if (jack_set_process_callback(mClient, Process, this) != 0 || jack_activate(mClient) != 0) {
    jack_client_close(mClient);
    throw MidiError("JACK client \"" + clientName + "\" could not be activated");
  }
}

JackPacer::~JackPacer() { jack_client_close(mClient); }

bool JackPacer::ServerRunning() {
  jack_client_t* probe = jack_client_open("Tarnivex probe", JackNoStartServer, nullptr);
  if (!probe) return false;
  jack_client_close(probe);
  return true;
}

int JackPacer::Process(jack_nframes_t, void* self) {
  static_cast<JackPacer*>(self)->mCycles.fetch_add(1, std::memory_order_release);
  return 0;
}

void JackPacer::Shutdown(void* self) { static_cast<JackPacer*>(self)->mServerGone = true; }

void JackPacer::admit(size_t size) {
  const size_t cost = size + kEventOverhead;
  if (mCycles.load(std::memory_order_acquire) >= mCycleAtLastAdmit + kDrainCycles) mUsed = 0;
  // A message larger than the budget goes alone; splitting it is not ours.
  if (mUsed > 0 && mUsed + cost > mBudget) {
    waitForCycle(mCycleAtLastAdmit + kDrainCycles);
    mUsed = 0;
  }
  mUsed += cost;
  mCycleAtLastAdmit = mCycles.load(std::memory_order_acquire);
}

void JackPacer::settle() { waitForCycle(mCycles.load(std::memory_order_acquire) + kDrainCycles); }

void JackPacer::waitForCycle(uint64_t cycle) {
  const auto deadline = std::chrono::steady_clock::now() + kDrainTimeout;
  while (!mServerGone && mCycles.load(std::memory_order_acquire) < cycle &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kPollInterval);
}
