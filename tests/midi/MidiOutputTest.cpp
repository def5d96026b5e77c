// The bytes that leave on the direct out port, and the events handed to the host.
#include <thread>

#include "MemoryMidiTest.h"

namespace {
class MidiOutputTest : public MemoryMidiTest {
 protected:
  void SetUp() override {
    MemoryMidiTest::SetUp();
    OpenA();
  }
};

struct ShortCase {
  IMidiMsg msg;
  MidiBytes bytes;
};

TEST_F(MidiOutputTest, ShortMessagesLeaveAsTwoOrThreeBytes) {
  const ShortCase kCases[] = {
      {{0, 0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x64}},  // note on
      {{0, 0xD2, 0x40, 0x00}, {0xD2, 0x40}},        // channel aftertouch
      {{0, 0xC0, 0x05, 0xFF}, {0xC0, 0x05}},        // program change; data 2 never leaves
      {{0, 0xB2, 0x07, 0x3F}, {0xB2, 0x07, 0x3F}},  // control change
      {{0, 0xE0, 0x7F, 0x7F}, {0xE0, 0x7F, 0x7F}},  // pitch wheel
      {{0, 0xF2, 0x01, 0x02}, {0xF2, 0x01, 0x02}},  // song position: three bytes, as every system message
  };
  std::vector<MidiBytes> expected;
  for (ShortCase c : kCases) {
    EXPECT_TRUE(plug->SendMidiMsg(&c.msg));
    expected.push_back(c.bytes);
  }
  EXPECT_EQ(Sent(), expected);
}

TEST_F(MidiOutputTest, SysExIsFramedOnlyWhenItDoesNotStartWithF0) {
  const struct {
    MidiBytes given;
    MidiBytes sent;
  } kCases[] = {
      {{0x3E, 0x10, 0x00}, {0xF0, 0x3E, 0x10, 0x00, 0xF7}},
      {{0xF0, 0x3E, 0x10, 0x00, 0xF7}, {0xF0, 0x3E, 0x10, 0x00, 0xF7}},
      {{0xF0, 0x3E, 0x10}, {0xF0, 0x3E, 0x10}},
      {{0x3E}, {0xF0, 0x3E, 0xF7}},
  };
  std::vector<MidiBytes> expected;
  for (const auto& c : kCases) {
    MidiBytes given = c.given;
    EXPECT_TRUE(plug->SendMidiSysex(given.data(), static_cast<int>(given.size())));
    EXPECT_EQ(given, c.given);
    expected.push_back(c.sent);
  }
  EXPECT_EQ(Sent(), expected);
}

TEST_F(MidiOutputTest, UnframedFormsSendTheBytesAsTheyAre) {
  MidiBytes dump(392, 0x11);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  MidiBytes patch = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  EXPECT_TRUE(plug->SendMidiSysex2({0xF8}));
  EXPECT_TRUE(plug->SendMidiSysex2(dump));
  EXPECT_TRUE(plug->SendPatchSysex(patch.data(), static_cast<int>(patch.size())));
  EXPECT_EQ(Sent(), (std::vector<MidiBytes>{{0xF8}, dump, patch}));
}

TEST_F(MidiOutputTest, MalformedMessagesAreNotSent) {
  IMidiMsg noStatus(0, 0x3C, 0x64, 0x00);
  IMidiMsg highData(0, 0x90, 0x80, 0x00);
  IMidiMsg sysexStatus(0, 0xF0, 0x3E, 0x10);
  IMidiMsg channelMinusOne, channelMinusTwo;
  channelMinusOne.MakeControlChangeMsg(7, 0.5, -1);
  channelMinusTwo.MakeProgramChangeMsg(5.0 / 127.0, -2);
  MidiBytes highBody = {0x3E, 0x90};
  for (IMidiMsg* msg : {&noStatus, &highData, &sysexStatus, &channelMinusOne, &channelMinusTwo})
    EXPECT_FALSE(plug->SendMidiMsg(msg)) << int(msg->mStatus);
  EXPECT_FALSE(plug->SendMidiSysex(highBody.data(), static_cast<int>(highBody.size())));
  EXPECT_FALSE(plug->SendMidiSysex2({0x90, 0x3C, 0x64, 0x00}));
  EXPECT_FALSE(plug->SendMidiSysex2({0xF0, 0x3E, 0xF7, 0x00, 0xF7}));
  EXPECT_FALSE(plug->SendMidiSysex2({}));
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MidiOutputTest, AClosedPortDropsTheMessageAndTheSendStillSucceeds) {
  int index = 0;
  plug->setExternalMIDIOut(index, "A");
  IMidiMsg msg(0, 0x90, 0x3C, 0x64);
  EXPECT_TRUE(plug->SendMidiMsg(&msg));
  EXPECT_EQ(backend->out().sentWhileClosed, 0);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MemoryMidiTest, WithoutAnOutObjectNothingIsSentAndSendsFail) {
  IMidiMsg msg(0, 0x90, 0x3C, 0x64);
  MidiBytes body = {0x3E};
  EXPECT_FALSE(plug->SendMidiMsg(&msg));
  EXPECT_FALSE(plug->SendMidiSysex(body.data(), 1));
  EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(backend->outObjects(), 0u);
}

TEST_F(MidiOutputTest, SendMidiMsgsSendsEveryRecordAndAndsTheResults) {
  WDL_TypedBuf<IMidiMsg> msgs;
  EXPECT_TRUE(plug->SendMidiMsgs(&msgs));
  EXPECT_TRUE(Sent().empty());
  msgs.Add(IMidiMsg(0, 0x90, 0x3C, 0x64));
  msgs.Add(IMidiMsg(0, 0x3C, 0x00, 0x00));  // refused
  msgs.Add(IMidiMsg(0, 0xC1, 0x05, 0x00));
  EXPECT_FALSE(plug->SendMidiMsgs(&msgs));
  EXPECT_EQ(Sent(), (std::vector<MidiBytes>{{0x90, 0x3C, 0x64}, {0xC1, 0x05}}));
}

TEST_F(MidiOutputTest, SendsFromManyThreadsLeaveOneWholeMessageAtATime) {
  constexpr int kThreads = 4, kEach = 200;
  MidiBytes dump(392, 0x22);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t)
    senders.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        IMidiMsg msg(0, 0xB0, static_cast<uint8_t>(t), static_cast<uint8_t>(i % 128));
        if (i % 2) plug->SendMidiMsg(&msg); else plug->SendMidiSysex2(dump);
      }
    });
  for (std::thread& sender : senders) sender.join();
  const MemoryOutRecord out = backend->out();
  EXPECT_EQ(out.overlappingSends, 0);
  ASSERT_EQ(out.sent.size(), size_t{kThreads * kEach});
  for (const MidiBytes& message : out.sent) EXPECT_TRUE(message == dump || message.size() == 3);
}

// The host road: events handed to the host callback.
struct HostRecord {
  VstInt32 opcode = -1;
  VstInt32 numEvents = -1;
  bool terminated = false;
  VstMidiEvent midi{};
  VstMidiSysexEvent sysex{};
  VstIntPtr answer = 1;
} gHost;

VstIntPtr RecordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  if (opcode != audioMasterProcessEvents) return 0;
  const auto* events = static_cast<const VstEvents*>(ptr);
  gHost.opcode = opcode;
  gHost.numEvents = events->numEvents;
  gHost.terminated = events->events[1] == nullptr;
  if (events->events[0]->type == kVstMidiType)
    gHost.midi = *reinterpret_cast<const VstMidiEvent*>(events->events[0]);
  else
    gHost.sysex = *reinterpret_cast<const VstMidiSysexEvent*>(events->events[0]);
  return gHost.answer;
}

TEST(MidiHostRoadTest, EventsReachTheHostAndSucceedOnlyWhenItAnswersOne) {
  gHost = HostRecord{};
  RecordingPlug plug(RecordingHost);
  IMidiMsg msg(17, 0x92, 0x3C, 0x64);
  EXPECT_TRUE(plug.SendMidiVST(&msg));
  EXPECT_EQ(gHost.opcode, audioMasterProcessEvents);
  EXPECT_EQ(gHost.numEvents, 1);
  EXPECT_TRUE(gHost.terminated);
  EXPECT_EQ(gHost.midi.type, kVstMidiType);
  EXPECT_EQ(gHost.midi.byteSize, 32);
  EXPECT_EQ(gHost.midi.deltaFrames, 17);
  EXPECT_EQ(MidiBytes(gHost.midi.midiData, gHost.midi.midiData + 4), (MidiBytes{0x92, 0x3C, 0x64, 0x00}));
  EXPECT_EQ(gHost.midi.flags | gHost.midi.noteLength | gHost.midi.noteOffset | gHost.midi.detune, 0);

  const uint8_t bytes[] = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  ISysEx sysex(3, bytes, 5);
  EXPECT_TRUE(plug.SendSysEx(&sysex));
  EXPECT_EQ(gHost.sysex.type, kVstSysExType);
  EXPECT_EQ(gHost.sysex.byteSize, 32);
  EXPECT_EQ(gHost.sysex.deltaFrames, 3);
  EXPECT_EQ(gHost.sysex.dumpBytes, 5);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(gHost.sysex.sysexDump), bytes);

  for (VstIntPtr answer : {0, 2, -1}) {
    gHost.answer = answer;
    EXPECT_FALSE(plug.SendMidiVST(&msg));
    EXPECT_FALSE(plug.SendSysEx(&sysex));
  }
}
}  // namespace
