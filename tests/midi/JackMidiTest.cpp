// The direct ports on RtMidi against a real JACK server (dummy driver) with
// a plain JACK client on the other end.
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
}  // namespace
