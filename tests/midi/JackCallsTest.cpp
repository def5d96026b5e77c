// Who calls on the plug-in's JACK client. libjack writes each request to the
// server in pieces on the client's one channel and reads the answer from it:
// two threads calling on one client at once interleave their pieces, the
// server reads a request out of frame and the caller waits for an answer
// that never comes. A call from inside one of the client's callbacks waits
// for a server that waits for that callback. Every thread of the plug-in
// that could reach the client works at once here: the window's (menus, port
// choices), the MIDI thread's (sends), closing and new instances', libjack's
// notification thread (the instrument's ports going and coming), with the
// host's own client busy beside it. Each call on a client is held a while
// after it began (JackCallStall), so a second thread's call meets it.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "JackClientLock.h"
#include "JackHostClient.h"
#include "JackTest.h"
#include "RecordingPlug.h"

namespace {
// The process's client is named after the first instance, which has no
// name here.
const std::string kClient = "RtMidi Client";
constexpr int kRounds = 12;

class JackCallsTest : public JackTest {};

TEST_F(JackCallsTest, NoTwoThreadsCallOnThePlugInsClientAtOnceNorFromItsCallbacks) {
  JackCallStall stall(std::chrono::milliseconds(2));
  JackHostClient host;
  std::vector<std::unique_ptr<RecordingPlug>> plugs;
  for (int i = 0; i < 3; ++i) {
    plugs.push_back(std::make_unique<RecordingPlug>());
    ASSERT_NO_FATAL_FAILURE(Connect(*plugs.back()));
  }
  const size_t callsBefore = JackCallsOn(kClient);
  const std::string instrument = peer->InPortName();  // the name stays while its ports go and come
  std::atomic<bool> done{false};
  RecordingPlug& windowed = *plugs[0];
  RecordingPlug& playing = *plugs[1];
  // The window: menus opened and the instrument's port chosen again.
  std::thread window([&] {
    for (int round = 0; round < kRounds && !done; ++round) {
      const std::vector<std::string>& outs = windowed.refreshExternalMIDIOutNames();
      for (int i = 0; i < static_cast<int>(outs.size()); ++i)
        if (outs[i] == instrument) windowed.setExternalMIDIOut(i, outs[i].c_str());
      windowed.refreshExternalMIDIInNames();
    }
  });
  // The MIDI thread: sends all along.
  std::thread midi([&] {
    for (int n = 0; !done; ++n, std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
      IMidiMsg note(0, 0x90, static_cast<uint8_t>(n & 0x7F), 0x40);
      playing.SendMidiMsg(&note);
    }
  });
  // The host's client works on its own meanwhile.
  std::thread hosting([&] {
    for (int round = 0; round < kRounds && !done; ++round) host.AddPort();
  });
  // The host closes instances and makes new ones, while the instrument's
  // ports go and come back (libjack's notification thread is told).
  for (int round = 0; round < kRounds; ++round) {
    plugs.back() = std::make_unique<RecordingPlug>();
    plugs.back()->refreshExternalMIDIOutNames();
    const std::vector<std::string>& outs = plugs.back()->refreshExternalMIDIOutNames();
    for (int i = 0; i < static_cast<int>(outs.size()); ++i)
      if (outs[i] == instrument) plugs.back()->setExternalMIDIOut(i, outs[i].c_str());
    if (round % 3 == 0) peer->RestartPorts();
  }
  window.join();
  hosting.join();
  done = true;
  midi.join();
  plugs.clear();  // the client closes on its own thread
  ASSERT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
  // The client was worked on all along: ports made, connected, dropped, closed.
  EXPECT_GT(JackCallsOn(kClient), callsBefore + 4 * kRounds);
  // The fixture finds no call on a client made while another thread's was
  // under way, nor one made inside a callback.
}
}  // namespace
