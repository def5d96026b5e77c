// The far end of the plug-in's ports in JACK tests: a plain JACK client with
// one MIDI input ("from plugin") and one output ("to plugin"). It records
// every event it receives, with its arrival time, and sends queued messages
// as the cycles have room, so nothing it sends is lost.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

using MidiBytes = std::vector<unsigned char>;

struct PeerEvent {
  MidiBytes bytes;
  std::chrono::steady_clock::time_point arrival;
};

class JackPeer {
 public:
  JackPeer();  // std::runtime_error when no JACK server takes the client
  ~JackPeer() {
    if (mClient) jack_client_close(mClient);
  }
  JackPeer(const JackPeer&) = delete;
  JackPeer& operator=(const JackPeer&) = delete;

  // The server went away under the peer: libjack frees its client at the
  // process's next open, so this one must not be closed again.
  void Abandon() { mClient = nullptr; }

  // Full names, as the plug-in's port lists show them.
  std::string InPortName() const { return jack_port_name(mIn.load()); }
  std::string OutPortName() const { return jack_port_name(mOut.load()); }
  // The instrument unplugged and plugged in again: both ports go and come
  // back under the same names.
  void RestartPorts();
  // The two halves of it, with the ports gone in between.
  void UnplugPorts();
  void PlugPorts();
  // The cables into the instrument's input undone, its ports kept; and
  // those same cables back.
  void UndoCablesIn();
  void RedoCablesIn();
  // Waits, within a bound, until both ports are connected and JACK has
  // made the connections live.
  bool AwaitConnected();
  // Full names of the MIDI ports of every other client on the server.
  std::vector<std::string> OtherPorts();
  // Waits, within a bound, until something listens on our output and JACK
  // has made that connection live.
  void AwaitListener();

  // Waits, within a bound, until the peer has run count more cycles.
  bool AwaitCycles(unsigned long count, std::chrono::milliseconds bound = std::chrono::seconds(10));
  // The longest time between two of the peer's cycles since the call before.
  std::chrono::steady_clock::duration LongestCycleGap();

  // Each cycle, the peer waits this long before it reads its input: a
  // graph change landing while a cycle runs lands before the read.
  void SetReadDelay(std::chrono::microseconds delay) { mReadDelayUs = static_cast<int>(delay.count()); }

  void Send(MidiBytes message);
  // Waits, within a bound, until count events have arrived; returns all.
  std::vector<PeerEvent> WaitForEvents(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10));
  std::vector<PeerEvent> Events() { return WaitForEvents(0); }
  void Clear();
  // Clients that came after the peer and are still there (the plug-in's);
  // a server asked to stop while one of them is closing hangs, so tests
  // wait, within a bound, until they are gone.
  int OtherClients();
  bool AwaitOtherClientsGone(std::chrono::milliseconds bound = std::chrono::seconds(60));

 private:
  static int Process(jack_nframes_t frames, void* self);
  static void ClientRegistration(const char* name, int registered, void* self);

  jack_client_t* mClient = nullptr;
  std::vector<std::string> mUndoneCables;
  std::atomic<jack_port_t*> mIn{nullptr}, mOut{nullptr};  // null while restarting
  std::mutex mMutex;
  std::condition_variable mArrived;
  std::vector<PeerEvent> mEvents;
  std::deque<MidiBytes> mOutgoing;
  std::atomic<unsigned long> mCycles{0};
  std::atomic<int> mReadDelayUs{0};
  int mOtherClients = 0;  // under mMutex
  std::chrono::steady_clock::time_point mLastCycle{};  // under mMutex, as is:
  std::chrono::steady_clock::duration mLongestGap{};
};
