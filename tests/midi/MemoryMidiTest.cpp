// The direct ports on the in-memory MIDI system: device lists, selection by
// name, the bytes that leave, what reaches the handlers, and the host road.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "MemoryMidiBackend.h"
#include "RecordingPlug.h"

namespace {
class MemoryMidiTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  ~MemoryMidiTest() override { SetMidiBackend(nullptr); }
  // A new plug-in on a system offering devices "A" and "B" both ways.
  void Reset() {
    backend->setOutPorts({"A", "B"});
    backend->setInPorts({"A", "B"});
    backend->setOpenFails(false);
    SetMidiBackend(backend);
    plug = std::make_unique<RecordingPlug>();
  }
  std::vector<MidiBytes> Sent() const { return backend->out().sent; }

  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  std::unique_ptr<RecordingPlug> plug;
};

// Lists, selection and lookups: the same calls in each direction.
struct Direction {
  const char *label, *clientName, *portName, *virtualName;
};
const Direction kDirections[] = {{"Out", "RtMidi Output Client", "RtMidi Output", "virtual output"},
                                 {"In", "RtMidi Input Client", "RtMidi Input", "virtual input"}};

class PortTest : public MemoryMidiTest, public ::testing::WithParamInterface<Direction> {
 protected:
  std::vector<std::string>& Names() { return out ? plug->getExternalMIDIOutNames() : plug->getExternalMIDIInNames(); }
  int Select(int& index, const char* name) {
    return out ? plug->setExternalMIDIOut(index, name) : plug->setExternalMIDIIn(index, name);
  }
  int Device(const char* n) { return out ? plug->getExternalMIDIOutDevice(n) : plug->getExternalMIDIInDevice(n); }
  int PortNumber(const char* name) { return out ? plug->GetMIDIOutPortNumber(name) : plug->GetMIDIInPortNumber(name); }
  std::vector<std::string>& Refresh() { return out ? plug->refreshExternalMIDIOutNames() : plug->refreshExternalMIDIInNames(); }
  void LivePorts(std::vector<std::string> names) { out ? backend->setOutPorts(names) : backend->setInPorts(names); }
  size_t Objects() const { return out ? backend->outObjects() : backend->inObjects(); }
  MemoryPortRecord Port() const { return out ? MemoryPortRecord(backend->out()) : backend->in(); }

  const Direction& d = GetParam();
  const bool out = d.label == std::string("Out");
};

TEST_P(PortTest, ListIsBuiltOnceAndLookupsReadItAndTheLiveNames) {
  int index = 1;
  EXPECT_EQ(Select(index, "A"), 0);  // no list yet, nothing to open
  EXPECT_EQ(Objects(), 0u);
  std::vector<std::string>& names = Names();
  LivePorts({"A", "B", "C"});
  EXPECT_EQ(&Names(), &names);
  EXPECT_EQ(names, (std::vector<std::string>{"Select MIDI Device", "A", "B"}));
  EXPECT_EQ(Objects(), 1u);
  EXPECT_EQ(Port().clientName, d.clientName);
  const struct {
    const char* name;
    int device, portNumber;
  } kCases[] = {{"Select MIDI Device", 0, 0}, {"A", 1, 1},   {"B", 2, 2},
                {"C", -1, 3},                {"Z", -1, -1}, {d.virtualName, -1, 1}};
  for (const auto& c : kCases) {
    EXPECT_EQ(Device(c.name), c.device) << c.name;
    EXPECT_EQ(PortNumber(c.name), c.portNumber) << c.name;
  }
  // A list read again while the open device is gone keeps its name, last.
  index = 2;
  ASSERT_EQ(Select(index, "B"), 2);
  LivePorts({"A", "C"});
  EXPECT_EQ(Refresh(), (std::vector<std::string>{"Select MIDI Device", "A", "C", "B"}));
}

// Each case starts with B open, so both its close and a new open show.
TEST_P(PortTest, SelectionByName) {
  const struct {
    const char* what;
    std::vector<std::string> live;  // the system's ports once the list is built
    bool openFails;
    int index;
    const char* name;
    int result, indexAfter, openedPort;  // openedPort -1: none is open afterwards
  } kCases[] = {
      {"second device", {"A", "B"}, false, 2, "B", 2, 2, 1},
      {"stale index", {"A", "B"}, false, 1, "B", 2, 2, 1},
      {"moved port, opened by its name", {"B", "A"}, false, 2, "B", 2, 2, 0},
      {"unknown name", {"A", "B"}, false, 2, "Z", 0, 0, -1},
      {"Select MIDI Device", {"A", "B"}, false, 3, "Select MIDI Device", 0, 0, -1},
      {"index 0 closes", {"A", "B"}, false, 0, "B", 0, 0, -1},
      {"name beyond the live count", {"A"}, false, 2, "B", 0, 0, -1},
      {"open fails, position kept", {"A", "B"}, true, 1, "B", 0, 2, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Reset();
    Names();
    int index = 2;
    ASSERT_EQ(Select(index, "B"), 2);
    LivePorts(c.live);
    backend->setOpenFails(c.openFails);
    index = c.index;
    EXPECT_EQ(Select(index, c.name), c.result);
    EXPECT_EQ(index, c.indexAfter);
    const MemoryPortRecord port = Port();
    EXPECT_EQ(port.open, c.openedPort >= 0);
    EXPECT_EQ(port.opens, c.openedPort >= 0 ? 2 : 1);
    EXPECT_EQ(port.openedPort, c.openedPort >= 0 ? c.openedPort : 1);
    EXPECT_EQ(port.portName, d.portName);
  }
}

TEST_P(PortTest, WithoutAMidiSystemTheListHoldsOnlySelect) {
  backend->setCreateFails(true);
  EXPECT_EQ(Names(), std::vector<std::string>{"Select MIDI Device"});
  int index = 1;
  EXPECT_EQ(Select(index, "A"), 0);
  EXPECT_EQ(index, 1);
  for (const char* name : {"A", "Select MIDI Device"}) EXPECT_EQ(Device(name), -1) << name;
  EXPECT_EQ(PortNumber("A"), -1);
}

INSTANTIATE_TEST_SUITE_P(BothDirections, PortTest, ::testing::ValuesIn(kDirections),
                         [](const auto& info) { return std::string(info.param.label); });

// No out object, one whose port is closed, one replaced by a virtual output.
TEST_F(MemoryMidiTest, SendsDependOnTheOutObject) {
  EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));
  plug->getExternalMIDIOutNames();
  // The closed port drops it, as the MIDI system does, and nothing was sent.
  EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(backend->out().sentWhileClosed, 0);
  int index = 1;
  ASSERT_EQ(plug->setExternalMIDIOut(index, "A"), 1);
  ASSERT_TRUE(plug->initializeVirtualOutput("Tarnivex"));
  const MemoryOutRecord old = backend->out(0), virtualOut = backend->out();
  EXPECT_FALSE(old.alive);
  EXPECT_EQ(old.closes, 1);
  EXPECT_EQ(virtualOut.clientName, "RtMidi Output Client");
  EXPECT_TRUE(virtualOut.isVirtual);
  EXPECT_EQ(virtualOut.portName, "From Tarnivex");
  EXPECT_TRUE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(Sent(), std::vector<MidiBytes>{{0xF8}});
  backend->setOpenFails(true);  // one that cannot open leaves no out object behind
  EXPECT_FALSE(plug->initializeVirtualOutput("Tarnivex"));
  EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(plug->GetMIDIOutPortNumber("A"), -1);
}

class OpenPortTest : public MemoryMidiTest {
 protected:
  void SetUp() override {  // device A both ways
    MemoryMidiTest::SetUp();
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    int out = 1, in = 1;
    ASSERT_EQ(plug->setExternalMIDIOut(out, "A"), 1);
    ASSERT_EQ(plug->setExternalMIDIIn(in, "A"), 1);
  }
};

// The ways out, each given the bytes as its caller holds them.
using Sender = bool (*)(RecordingPlug&, MidiBytes&);
bool Short(RecordingPlug& p, MidiBytes& b) {
  IMidiMsg msg(0, b[0], b[1], b[2]);
  return p.SendMidiMsg(&msg);
}
bool Sysex(RecordingPlug& p, MidiBytes& b) { return p.SendMidiSysex(b.data(), static_cast<int>(b.size())); }
bool Sysex2(RecordingPlug& p, MidiBytes& b) { return p.SendMidiSysex2(b); }
bool Patch(RecordingPlug& p, MidiBytes& b) { return p.SendPatchSysex(b.data(), static_cast<int>(b.size())); }

TEST_F(OpenPortTest, WhatLeavesTheOutPort) {
  const MidiBytes patch = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  const struct {
    const char* what;
    Sender send;
    MidiBytes given, sent;  // sent empty: refused
  } kCases[] = {
      {"note on", Short, {0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x64}},
      {"channel aftertouch", Short, {0xD2, 0x40, 0x00}, {0xD2, 0x40}},
      {"program change, data 2 never leaves", Short, {0xC0, 0x05, 0xFF}, {0xC0, 0x05}},
      {"song position: three bytes, as every system message", Short, {0xF2, 0x01, 0x02}, {0xF2, 0x01, 0x02}},
      {"SysEx body, framed", Sysex, {0x3E, 0x10, 0x00}, {0xF0, 0x3E, 0x10, 0x00, 0xF7}},
      {"one-byte body, framed", Sysex, {0x3E}, {0xF0, 0x3E, 0xF7}},
      {"message with F0 and F7", Sysex, patch, patch},
      {"message with F0, without F7", Sysex, {0xF0, 0x3E, 0x10}, {0xF0, 0x3E, 0x10}},
      {"one byte, unframed", Sysex2, {0xF8}, {0xF8}},
      {"dump, unframed", Sysex2, PatternDump(1), PatternDump(1)},
      {"patch, unframed", Patch, patch, patch},
      {"no status byte", Short, {0x3C, 0x64, 0x00}, {}},
      {"data byte of 0x80", Short, {0x90, 0x80, 0x00}, {}},
      {"SysEx status in a short message", Short, {0xF0, 0x3E, 0x10}, {}},
      {"control change on channel -1", Short, {0xFF, 0x07, 0x3F}, {}},
      {"SysEx body byte of 0x80 or more", Sysex, {0x3E, 0x90}, {}},
      {"four bytes that are not SysEx", Sysex2, {0x90, 0x3C, 0x64, 0x00}, {}},
      {"F7 inside SysEx", Sysex2, {0xF0, 0x3E, 0xF7, 0x00, 0xF7}, {}},
      {"no bytes", Sysex2, {}, {}},
  };
  for (const auto& c : kCases) {
    std::vector<MidiBytes> expected = Sent();
    if (!c.sent.empty()) expected.push_back(c.sent);
    MidiBytes given = c.given;
    EXPECT_EQ(c.send(*plug, given), !c.sent.empty()) << c.what;
    EXPECT_EQ(given, c.given) << c.what;
    EXPECT_EQ(Sent(), expected) << c.what;
  }
}

TEST_F(OpenPortTest, SendsFromManyThreadsLeaveOneWholeMessageAtATime) {
  const MidiBytes dump = PatternDump(2);
  std::vector<std::thread> senders;
  for (uint8_t t = 0; t < 4; ++t)
    senders.emplace_back([&, t] {
      for (uint8_t i = 0; i < 200; ++i) {
        IMidiMsg msg(0, 0xB0, t, i % 128);
        i % 2 ? plug->SendMidiMsg(&msg) : plug->SendMidiSysex2(dump);
      }
    });
  for (std::thread& sender : senders) sender.join();
  const MemoryOutRecord out = backend->out();
  EXPECT_EQ(out.overlappingSends, 0);
  ASSERT_EQ(out.sent.size(), 800u);
  for (const MidiBytes& message : out.sent) EXPECT_TRUE(message == dump || message.size() == 3);
}

TEST_F(OpenPortTest, WhatReachesTheHandlers) {
  const MidiBytes dump = PatternDump(3);
  const struct {
    MidiBytes in, out;  // out empty: never arrives
    bool sysex;
  } kCases[] = {
      {{0xC3, 0x05}, {0xC3, 0x05, 0x00}, false},
      {{0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x64}, false},
      {{0xF2, 0x01, 0x02}, {0xF2, 0x01, 0x02}, false},
      {{0xF6}, {0xF6, 0x00, 0x00}, false},
      {{0xF0, 0x3E, 0x10, 0x00, 0xF7}, {0xF0, 0x3E, 0x10, 0x00, 0xF7}, true},
      {dump, dump, true},
      {{0x90, 0x3C, 0x64, 0x3D}, {0x90, 0x3C, 0x64, 0x3D}, true},  // four bytes: SysEx, whatever byte 0
      {{0xF8}, {}, false},                                          // timing clock
      {{0xF1, 0x20}, {}, false},                                    // time code
      {{0xFE}, {}, false},                                          // active sensing
  };
  for (const auto& c : kCases) {
    std::vector<ReceivedMidi> expected = plug->Received();
    if (!c.out.empty()) expected.push_back({c.out, c.sysex, true, 0});
    backend->inject(c.in);
    EXPECT_EQ(plug->Received(), expected) << ::testing::PrintToString(c.in);
  }
}

TEST_F(OpenPortTest, StopMidiInputWaitsForAMessageInFlightAndEndsDelivery) {
  std::atomic<bool> stopped{false}, stoppedWhileHandling{true};
  std::thread stopper;
  plug->onMessage = [&] {
    if (stopper.joinable()) return;
    stopper = std::thread([&] {
      plug->StopMidiInput();
      stopped = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // room for a stop that would not wait
    stoppedWhileHandling = stopped.load();
  };
  backend->inject({0x90, 0x3C, 0x64});
  stopper.join();
  EXPECT_FALSE(stoppedWhileHandling);
  backend->inject({0x90, 0x3C, 0x65});
  EXPECT_EQ(plug->Received().size(), 1u);
  EXPECT_FALSE(backend->in().open);
}

// The host road: a host that takes one event at a time and answers as told.
VstMidiEvent gMidi{};
VstMidiSysexEvent gSysex{};
VstIntPtr gAnswer = 1;

VstIntPtr RecordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  const auto* events = static_cast<const VstEvents*>(ptr);
  if (opcode != audioMasterProcessEvents || events->numEvents != 1 || events->events[1]) return 0;
  if (const VstEvent* event = events->events[0]; event->type == kVstMidiType)
    gMidi = *reinterpret_cast<const VstMidiEvent*>(event);
  else
    gSysex = *reinterpret_cast<const VstMidiSysexEvent*>(event);
  return gAnswer;
}

TEST(MidiHostRoadTest, EventsReachTheHostAndSucceedOnlyWhenItAnswersOne) {
  RecordingPlug plug(RecordingHost);
  IMidiMsg msg(17, 0x92, 0x3C, 0x64);
  const uint8_t bytes[] = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  ISysEx sysex(3, bytes, 5);
  for (VstIntPtr answer : {1, 0, 2, -1}) {
    gAnswer = answer;
    EXPECT_EQ(plug.SendMidiVST(&msg), answer == 1) << answer;
    EXPECT_EQ(plug.SendSysEx(&sysex), answer == 1) << answer;
  }
  EXPECT_EQ(std::tie(gMidi.type, gMidi.byteSize, gMidi.deltaFrames, gMidi.flags, gMidi.noteLength, gMidi.noteOffset),
            std::make_tuple(kVstMidiType, 32, 17, 0, 0, 0));
  EXPECT_EQ(MidiBytes(gMidi.midiData, gMidi.midiData + 4), (MidiBytes{0x92, 0x3C, 0x64, 0x00}));
  EXPECT_EQ(gMidi.detune | gMidi.noteOffVelocity, 0);
  EXPECT_EQ(std::tie(gSysex.type, gSysex.byteSize, gSysex.deltaFrames, gSysex.dumpBytes),
            std::make_tuple(kVstSysExType, 32, 3, 5));
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(gSysex.sysexDump), bytes);
}
}  // namespace
