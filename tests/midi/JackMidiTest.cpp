// The direct ports on RtMidi against a real JACK server (dummy driver) with
// a plain JACK client on the other end.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "JackPeer.h"
#include "JackServer.h"
#include "MidiPorts.h"
#include "RecordingPlug.h"

namespace {
MidiBytes Dump(unsigned char tag) {
  MidiBytes dump(392);
  for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<unsigned char>((i * 7 + tag) % 128);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  return dump;
}

std::vector<MidiBytes> BytesOf(const std::vector<PeerEvent>& events) {
  std::vector<MidiBytes> bytes;
  for (const PeerEvent& event : events) bytes.push_back(event.bytes);
  return bytes;
}

int Position(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

class JackMidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start()) << "cannot start the JACK test server: " << server.Error();
    setenv("TARNIVEX_MIDI_API", "jack", 1);
    SetMidiBackend(nullptr);
    peer = std::make_unique<JackPeer>();
    plug = std::make_unique<RecordingPlug>();
    ConnectPlug(*plug);
  }
  void TearDown() override {
    plug.reset();
    peer.reset();
    unsetenv("TARNIVEX_MIDI_API");
    server.Stop();
  }
  void ConnectPlug(RecordingPlug& p) {
    int out = Position(p.getExternalMIDIOutNames(), peer->InPortName());
    int in = Position(p.getExternalMIDIInNames(), peer->OutPortName());
    ASSERT_GT(out, 0) << "the out list does not show " << peer->InPortName();
    ASSERT_GT(in, 0) << "the in list does not show " << peer->OutPortName();
    ASSERT_EQ(p.setExternalMIDIOut(out, peer->InPortName().c_str()), out);
    ASSERT_EQ(p.setExternalMIDIIn(in, peer->OutPortName().c_str()), in);
    // The out side must not need this: the plug-in's port waits by itself.
    peer->AwaitListener();
  }

  JackServer server;
  std::unique_ptr<JackPeer> peer;
  std::unique_ptr<RecordingPlug> plug;
};

TEST_F(JackMidiTest, PortsCarryTheClientAndPortNames) {
  EXPECT_EQ(peer->InConnections(), std::vector<std::string>{"RtMidi Output Client:RtMidi Output"});
  EXPECT_EQ(plug->getExternalMIDIOutNames().front(), "Select MIDI Device");
  EXPECT_EQ(plug->getExternalMIDIInNames().front(), "Select MIDI Device");
}

TEST_F(JackMidiTest, MessagesArriveByteExact) {
  MidiBytes body = {0x3E, 0x10, 0x00, 0x01};
  IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), program(0, 0xC3, 0x05, 0x00);
  ASSERT_TRUE(plug->SendMidiSysex(body.data(), static_cast<int>(body.size())));
  ASSERT_TRUE(plug->SendMidiMsg(&noteOn));
  ASSERT_TRUE(plug->SendMidiMsg(&program));
  for (unsigned char clock : {0xFA, 0xF8, 0xF8, 0xFC}) ASSERT_TRUE(plug->SendMidiSysex2({clock}));
  ASSERT_TRUE(plug->SendMidiSysex2(Dump(1)));
  const std::vector<MidiBytes> expected = {{0xF0, 0x3E, 0x10, 0x00, 0x01, 0xF7},
                                           {0x90, 0x3C, 0x64},
                                           {0xC3, 0x05},
                                           {0xFA},
                                           {0xF8},
                                           {0xF8},
                                           {0xFC},
                                           Dump(1)};
  EXPECT_EQ(BytesOf(peer->WaitForEvents(expected.size())), expected);
}

TEST_F(JackMidiTest, AHundredDumpsBackToBackAllArrive) {
  std::vector<MidiBytes> expected;
  for (int i = 0; i < 100; ++i) {
    expected.push_back(Dump(static_cast<unsigned char>(i)));
    ASSERT_TRUE(plug->SendMidiSysex2(expected.back()));
  }
  const MidiBytes last = {0xB0, 0x07, 0x7F};
  IMidiMsg marker(0, last[0], last[1], last[2]);
  ASSERT_TRUE(plug->SendMidiMsg(&marker));
  expected.push_back(last);
  EXPECT_EQ(BytesOf(peer->WaitForEvents(expected.size())), expected);
}

TEST_F(JackMidiTest, ThePeersMessagesReachTheHandlersFromTheDevice) {
  const MidiBytes sysex = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  for (const MidiBytes& message : {MidiBytes{0xC3, 0x05}, MidiBytes{0xF8}, MidiBytes{0x90, 0x3C, 0x64},
                                   MidiBytes{0xF1, 0x20}, sysex, MidiBytes{0xFE}, Dump(7), MidiBytes{0xF2, 0x01, 0x02}})
    peer->Send(message);
  const std::vector<ReceivedMidi> expected = {{{0xC3, 0x05, 0x00}, false, true, 0},
                                              {{0x90, 0x3C, 0x64}, false, true, 0},
                                              {sysex, true, true, 0},
                                              {Dump(7), true, true, 0},
                                              {{0xF2, 0x01, 0x02}, false, true, 0}};
  // The last message is sent after all the dropped kinds, so once it is in
  // nothing else can still be on its way.
  EXPECT_EQ(plug->WaitForCount(expected.size()), expected);
}

TEST_F(JackMidiTest, ClosingThePlugInWhileThePeerSendsIsSafe) {
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 200; ++i) peer->Send({0x90, static_cast<unsigned char>(i % 128), 0x40});
    plug->WaitForCount(1);
    plug.reset();
    plug = std::make_unique<RecordingPlug>();
    ConnectPlug(*plug);
  }
}
}  // namespace
