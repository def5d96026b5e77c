#include "JackPeer.h"

#include <jack/midiport.h>

#include <stdexcept>
#include <thread>

JackPeer::JackPeer() {
  jack_status_t status{};
  mClient = jack_client_open("TarnivexPeer", JackNoStartServer, &status);
  if (!mClient) throw std::runtime_error("the JACK peer found no server (status " + std::to_string(status) + ")");
  mIn = jack_port_register(mClient, "from plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  mOut = jack_port_register(mClient, "to plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (!mIn || !mOut || jack_set_process_callback(mClient, Process, this) != 0 || jack_activate(mClient) != 0) {
    jack_client_close(mClient);
    throw std::runtime_error("the JACK peer could not set up its ports");
  }
}

JackPeer::~JackPeer() { jack_client_close(mClient); }

std::vector<std::string> JackPeer::InConnections() const {
  std::vector<std::string> names;
  if (const char** ports = jack_port_get_all_connections(mClient, mIn)) {
    for (const char** port = ports; *port; ++port) names.emplace_back(*port);
    jack_free(ports);
  }
  return names;
}

void JackPeer::AwaitListener() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  const auto waitUntil = [&](auto done) {
    while (!done() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  waitUntil([&] { return jack_port_connected(mOut) > 0; });
  const unsigned long live = mCycles + 3;
  waitUntil([&] { return mCycles >= live; });
}

void JackPeer::Send(MidiBytes message) {
  std::lock_guard<std::mutex> lock(mMutex);
  mOutgoing.push_back(std::move(message));
}

std::vector<PeerEvent> JackPeer::WaitForEvents(size_t count, std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mMutex);
  mArrived.wait_for(lock, bound, [&] { return mEvents.size() >= count; });
  return mEvents;
}

std::vector<PeerEvent> JackPeer::Events() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mEvents;
}

void JackPeer::Clear() {
  std::lock_guard<std::mutex> lock(mMutex);
  mEvents.clear();
}

// A test peer may lock and allocate here; it keeps the code plain.
int JackPeer::Process(jack_nframes_t frames, void* self) {
  auto* peer = static_cast<JackPeer*>(self);
  ++peer->mCycles;
  std::lock_guard<std::mutex> lock(peer->mMutex);
  peer->Receive(frames);
  peer->Emit(frames);
  return 0;
}

void JackPeer::Receive(jack_nframes_t frames) {
  void* buffer = jack_port_get_buffer(mIn, frames);
  const jack_nframes_t count = jack_midi_get_event_count(buffer);
  const auto now = std::chrono::steady_clock::now();
  for (jack_nframes_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0)
      mEvents.push_back({MidiBytes(event.buffer, event.buffer + event.size), now});
  }
  if (count) mArrived.notify_all();
}

void JackPeer::Emit(jack_nframes_t frames) {
  void* buffer = jack_port_get_buffer(mOut, frames);
  jack_midi_clear_buffer(buffer);
  while (!mOutgoing.empty() && jack_midi_max_event_size(buffer) >= mOutgoing.front().size()) {
    const MidiBytes& message = mOutgoing.front();
    jack_midi_event_write(buffer, 0, message.data(), message.size());
    mOutgoing.pop_front();
  }
}
