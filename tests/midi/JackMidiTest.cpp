// The direct ports on RtMidi against a real JACK server (dummy driver) with
// a plain JACK client on the other end.
#include <unistd.h>

#include <chrono>
#include <thread>

#include "JackTest.h"
#include "RecordingPlug.h"

namespace {
class JackMidiTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    plug = std::make_unique<RecordingPlug>();
    Connect(*plug);
  }
  std::unique_ptr<RecordingPlug> plug;
};

TEST_F(JackMidiTest, WhatThePlugInSendsArrivesByteExactAndNothingIsLost) {
  MidiBytes body = {0x3E, 0x10, 0x00, 0x01};
  IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), program(0, 0xC3, 0x05, 0x00), volume(0, 0xB0, 0x07, 0x7F);
  ASSERT_TRUE(plug->SendMidiSysex(body.data(), static_cast<int>(body.size())));
  ASSERT_TRUE(plug->SendMidiMsg(&noteOn));
  ASSERT_TRUE(plug->SendMidiMsg(&program));
  for (unsigned char clock : {0xFA, 0xF8, 0xF8, 0xFC}) ASSERT_TRUE(plug->SendMidiSysex2({clock}));
  std::vector<MidiBytes> expected = {{0xF0, 0x3E, 0x10, 0x00, 0x01, 0xF7}, {0x90, 0x3C, 0x64}, {0xC3, 0x05},
                                     {0xFA}, {0xF8}, {0xF8}, {0xFC}};
  // A hundred dumps back to back, and a short message behind them.
  for (int i = 0; i < 100; ++i) {
    expected.push_back(PatternDump(static_cast<unsigned char>(i)));
    ASSERT_TRUE(plug->SendMidiSysex2(expected.back()));
  }
  ASSERT_TRUE(plug->SendMidiMsg(&volume));
  expected.push_back({0xB0, 0x07, 0x7F});
  std::vector<MidiBytes> arrived;
  for (const PeerEvent& event : peer->WaitForEvents(expected.size())) arrived.push_back(event.bytes);
  EXPECT_EQ(arrived, expected);
}

TEST_F(JackMidiTest, ThePeersMessagesReachTheHandlersFromTheDevice) {
  const MidiBytes sysex = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  for (const MidiBytes& message : {MidiBytes{0xC3, 0x05}, MidiBytes{0xF8}, MidiBytes{0x90, 0x3C, 0x64},
                                   MidiBytes{0xF1, 0x20}, sysex, MidiBytes{0xFE}, PatternDump(7),
                                   MidiBytes{0xF2, 0x01, 0x02}})
    peer->Send(message);
  const std::vector<ReceivedMidi> expected = {{{0xC3, 0x05, 0x00}, false, true, 0},
                                              {{0x90, 0x3C, 0x64}, false, true, 0},
                                              {sysex, true, true, 0},
                                              {PatternDump(7), true, true, 0},
                                              {{0xF2, 0x01, 0x02}, false, true, 0}};
  // The last message is sent after all the dropped kinds, so once it is in
  // nothing else can still be on its way.
  EXPECT_EQ(plug->WaitForCount(expected.size()), expected);
}
// A server found absent is asked for again only a second later: the out and
// in port lists of an instance's start-up come from one look, and a failed
// look costs the host's thread libjack's own pauses. Another instance looks
// for itself.
TEST_F(JackTest, AServerFoundAbsentIsAskedForAgainOnlyAfterASecond) {
  const std::string server = std::getenv("JACK_DEFAULT_SERVER");
  const std::shared_ptr<MidiBackend> backend = CurrentMidiBackend();
  const std::unique_ptr<MidiSession> session = backend->openSession("Tarnivex probe");
  setenv("JACK_DEFAULT_SERVER", ("tarnivex-absent-" + std::to_string(getpid())).c_str(), 1);
  EXPECT_THROW(session->createOut("out"), MidiError);
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  EXPECT_THROW(session->createIn("in", 64), MidiError);
  EXPECT_NE(backend->openSession("Tarnivex other")->createIn("in", 64), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  std::unique_ptr<MidiInPort> in;
  EXPECT_NO_THROW(in = session->createIn("in", 64));
  ASSERT_NE(in, nullptr);
  EXPECT_GT(in->getPortCount(), 0u);
}
}  // namespace
