#include "JackPeer.h"

#include <jack/midiport.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <thread>

JackPeer::JackPeer() {
  jack_status_t status{};
  mClient = jack_client_open("TarnivexPeer", JackNoStartServer, &status);
  if (!mClient) throw std::runtime_error("the JACK peer found no server (status " + std::to_string(status) + ")");
  mIn = jack_port_register(mClient, "from plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  mOut = jack_port_register(mClient, "to plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (!mIn || !mOut || jack_set_process_callback(mClient, Process, this) != 0 ||
      jack_set_client_registration_callback(mClient, ClientRegistration, this) != 0 || jack_activate(mClient) != 0) {
    jack_client_close(mClient);
    throw std::runtime_error("the JACK peer could not set up its ports");
  }
}

void JackPeer::AwaitListener() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (jack_port_connected(mOut.load()) <= 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (const unsigned long live = mCycles + 3; mCycles < live && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackPeer::RestartPorts() {
  UnplugPorts();
  PlugPorts();
}

void JackPeer::UnplugPorts() {
  jack_port_t* in = mIn.exchange(nullptr);
  jack_port_t* out = mOut.exchange(nullptr);
  // The process callback may still hold them for this cycle.
  for (const unsigned long next = mCycles + 2; mCycles < next;) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  jack_port_unregister(mClient, in);
  jack_port_unregister(mClient, out);
}

void JackPeer::PlugPorts() {
  mIn = jack_port_register(mClient, "from plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  mOut = jack_port_register(mClient, "to plugin", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
}

void JackPeer::UndoCablesIn() {
  jack_port_t* in = mIn.load();
  if (const char** sources = jack_port_get_all_connections(mClient, in)) {
    for (const char** name = sources; *name; ++name) mUndoneCables.emplace_back(*name);
    jack_free(sources);
  }
  jack_port_disconnect(mClient, in);
}

void JackPeer::RedoCablesIn() {
  for (const std::string& source : mUndoneCables) jack_connect(mClient, source.c_str(), jack_port_name(mIn.load()));
  mUndoneCables.clear();
}

bool JackPeer::AwaitConnected() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((jack_port_connected(mIn.load()) <= 0 || jack_port_connected(mOut.load()) <= 0) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (const unsigned long live = mCycles + 3; mCycles < live && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return jack_port_connected(mIn.load()) > 0 && jack_port_connected(mOut.load()) > 0;
}

std::vector<std::string> JackPeer::OtherPorts() {
  std::vector<std::string> names;
  const std::string own = std::string(jack_get_client_name(mClient)) + ":";
  if (const char** found = jack_get_ports(mClient, nullptr, JACK_DEFAULT_MIDI_TYPE, 0)) {
    for (const char** name = found; *name; ++name)
      if (std::string(*name).rfind(own, 0) != 0) names.emplace_back(*name);
    jack_free(found);
  }
  return names;
}

void JackPeer::ClientRegistration(const char*, int registered, void* self) {
  auto& peer = *static_cast<JackPeer*>(self);
  std::lock_guard lock(peer.mMutex);
  peer.mOtherClients += registered ? 1 : -1;
  peer.mArrived.notify_all();
}

int JackPeer::OtherClients() {
  std::lock_guard lock(mMutex);
  return mOtherClients;
}

bool JackPeer::AwaitOtherClientsGone(std::chrono::milliseconds bound) {
  std::unique_lock lock(mMutex);
  return mArrived.wait_for(lock, bound, [&] { return mOtherClients <= 0; });
}

bool JackPeer::AwaitCycles(unsigned long count, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (const unsigned long until = mCycles + count; mCycles < until;
       std::this_thread::sleep_for(std::chrono::milliseconds(1)))
    if (std::chrono::steady_clock::now() >= deadline) return false;
  return true;
}

std::chrono::steady_clock::duration JackPeer::LongestCycleGap() {
  std::lock_guard lock(mMutex);
  return std::exchange(mLongestGap, std::chrono::steady_clock::duration{});
}

void JackPeer::Send(MidiBytes message) {
  std::lock_guard lock(mMutex);
  mOutgoing.push_back(std::move(message));
}

void JackPeer::Clear() {
  std::lock_guard lock(mMutex);
  mEvents.clear();
}

std::vector<PeerEvent> JackPeer::WaitForEvents(size_t count, std::chrono::milliseconds bound) {
  std::unique_lock lock(mMutex);
  mArrived.wait_for(lock, bound, [&] { return mEvents.size() >= count; });
  return mEvents;
}

// A test peer may lock and allocate here; it keeps the code plain.
int JackPeer::Process(jack_nframes_t frames, void* self) {
  auto& peer = *static_cast<JackPeer*>(self);
  ++peer.mCycles;
  if (const int delay = peer.mReadDelayUs) std::this_thread::sleep_for(std::chrono::microseconds(delay));
  std::lock_guard lock(peer.mMutex);
  const auto now = std::chrono::steady_clock::now();
  if (peer.mLastCycle != std::chrono::steady_clock::time_point{})
    peer.mLongestGap = std::max(peer.mLongestGap, now - peer.mLastCycle);
  peer.mLastCycle = now;
  jack_port_t* inPort = peer.mIn.load();
  jack_port_t* outPort = peer.mOut.load();
  if (!inPort || !outPort) return 0;
  void* in = jack_port_get_buffer(inPort, frames);
  const jack_nframes_t count = jack_midi_get_event_count(in);
  for (jack_nframes_t i = 0; i < count; ++i)
    if (jack_midi_event_t event; jack_midi_event_get(&event, in, i) == 0)
      peer.mEvents.push_back({MidiBytes(event.buffer, event.buffer + event.size), now});
  if (count) peer.mArrived.notify_all();
  void* out = jack_port_get_buffer(outPort, frames);
  jack_midi_clear_buffer(out);
  for (auto& queue = peer.mOutgoing; !queue.empty() && jack_midi_max_event_size(out) >= queue.front().size();
       queue.pop_front())
    jack_midi_event_write(out, 0, queue.front().data(), queue.front().size());
  return 0;
}
