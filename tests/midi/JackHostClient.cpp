#include "JackHostClient.h"

#include <stdexcept>
#include <thread>

namespace {
// The longest a held notification thread stays held.
constexpr auto kHoldBound = std::chrono::seconds(60);
}  // namespace

JackHostClient::JackHostClient() {
  jack_status_t status{};
  mClient = jack_client_open("TarnivexHost", JackNoStartServer, &status);
  if (!mClient) throw std::runtime_error("the host's JACK client found no server (status " + std::to_string(status) + ")");
  mName = jack_get_client_name(mClient);
  jack_on_shutdown(mClient, Shutdown, this);
  // Active with no process callback: no real-time thread, so the notice
  // comes on the notification thread alone.
  if (jack_set_port_registration_callback(mClient, PortRegistered, this) != 0 || jack_activate(mClient) != 0) {
    jack_client_close(mClient);
    throw std::runtime_error("the host's JACK client could not be activated");
  }
}

JackHostClient::~JackHostClient() {
  Release();
  if (mClient) jack_client_close(mClient);
}

std::string JackHostClient::AddPort() {
  jack_port_t* port = jack_port_register(mClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  return port ? jack_port_name(port) : "";
}

bool JackHostClient::Hold() {
  mHold = true;
  // Its own port's registration reaches it on the notification thread.
  if (!jack_port_register(mClient, "hold", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0)) return false;
  std::unique_lock lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::seconds(10), [&] { return mHeld.load(); });
}

bool JackHostClient::AwaitTold(std::chrono::milliseconds bound) {
  std::unique_lock lock(mMutex);
  return mChanged.wait_for(lock, bound, [&] { return mTold; });
}

void JackHostClient::Shutdown(void* self) {
  auto& host = *static_cast<JackHostClient*>(self);
  std::lock_guard lock(host.mMutex);
  host.mTold = true;
  host.mChanged.notify_all();
}

// Held without a cancellation point: a client freed under it by another
// open (libjack cancels and joins its thread) is freed only once let go.
void JackHostClient::PortRegistered(jack_port_id_t, int, void* self) {
  auto& host = *static_cast<JackHostClient*>(self);
  if (!host.mHold || host.mHeld.exchange(true)) return;
  {
    std::lock_guard lock(host.mMutex);
    host.mChanged.notify_all();
  }
  for (const auto until = std::chrono::steady_clock::now() + kHoldBound;
       host.mHold && std::chrono::steady_clock::now() < until;)
    std::this_thread::yield();
}
