// An edit on the wire: for each kind of control action, the exact bytes the
// instrument receives, and what is refused and why.
#include "TraceOutput.h"
#include "ControlAction.h"
#include "EditorTestSupport.h"

namespace {
class ControlActionTest : public EditorTest {
 protected:
  ControlActionTest() { makePlug(); }

  ControlAction* action(int idx, int kind, int minimum = 0, int maximum = 127) {
    param(idx)->InitInt("", minimum, minimum, maximum);
    auto owned = std::make_unique<ControlAction>();
    owned->actionType = kind;
    param(idx)->SetControlAction(owned.get());
    actions.push_back(std::move(owned));
    return actions.back().get();
  }
  // Message n: 3E 10 00 20 <part> 00 <number> n.
  ControlAction* sysexAction(int idx, int kind, int part, int number, int minimum = 0, int maximum = 127) {
    ControlAction* a = action(idx, kind, minimum, maximum);
    for (int v = minimum; v <= maximum; ++v)
      a->sysex.messages.push_back({0x3E, 0x10, 0x00, 0x20, part, 0x00, number, (v - minimum) & 0x7F});
    return a;
  }
  ControlAction* ccAction(int idx, int kind, int part, int cc, int minimum = 0, int maximum = 127) {
    ControlAction* a = action(idx, kind, minimum, maximum);
    a->part = part;
    a->ccNumber = cc;
    return a;
  }

  std::vector<std::unique_ptr<ControlAction>> actions;
};

// F0, the body with device ID 0x21 in byte 2, F7.
Bytes framed(std::vector<int> body) {
  Bytes bytes = {0xF0};
  for (int b : body) bytes.push_back(static_cast<unsigned char>(b));
  bytes.push_back(0xF7);
  return bytes;
}

TEST_F(ControlActionTest, EachKindArrivesAtTheInstrumentByteExact) {
  struct Row {
    const char* name;
    std::function<int()> prepare;  // returns the parameter edited
    double value;
    ByteList expected;
    const char* display;
  };
  const Row table[] = {
      {"controller on part 2 (channel value 4)",
       [&] { ccAction(kFilter1Cutoff + 2, ControlAction::kController, 2, 74); return kFilter1Cutoff + 2; }, 63.7,
       {{0xB2, 74, 63}}, "CC|74"},
      {"controller semitone -12 sends 40",
       [&] { ccAction(kOscillator2Semitone + 3, ControlAction::kController, 3, 20, -12, 12); return kOscillator2Semitone + 3; },
       -12, {{0xB3, 20, 40}}, "CC|20"},
      {"controller octave 2 sends 40",
       [&] { ccAction(kOscillator3Octave, ControlAction::kController, 0, 21, 0, 8); return kOscillator3Octave; }, 2,
       {{0xB0, 21, 40}}, "CC|21"},
      {"controller switch: 0.5 counts as on",
       [&] {
         ControlAction* a = ccAction(kFilter1Type + 5, ControlAction::kControllerSwitch, 5, 80, 0, 1);
         a->ccOffValue = 0;
         a->ccOnValue = 127;
         param(kFilter1Type + 5)->InitDouble("", 0, 0, 1, 0.5);
         return kFilter1Type + 5;
       },
       0.5, {{0xB5, 80, 127}}, "CC|80"},
      {"SysEx: message of the value, device ID in byte 2",
       [&] { sysexAction(kFilter1Resonance + 4, ControlAction::kSysEx, 4, 0x11); return kFilter1Resonance + 4; }, 10,
       {framed({0x3E, 0x10, kDeviceId, 0x20, 4, 0, 0x11, 10})}, "SysEx"},
      {"SysEx with a negative minimum: message value - minimum",
       [&] { sysexAction(kFilter1EnvAmount + 1, ControlAction::kSysEx, 1, 0x12, -64, 63); return kFilter1EnvAmount + 1; }, -60,
       {framed({0x3E, 0x10, kDeviceId, 0x20, 1, 0, 0x12, 4})}, "SysEx"},
      {"SysEx group: every message of the value back to back",
       [&] {
         ControlAction* a = action(kFilter2Type, ControlAction::kSysEx, 0, 2);
         a->sysex.hasMessageLists = true;
         for (int v = 0; v <= 2; ++v)
           a->sysex.messageLists.push_back({{0x3E, 0x10, 0, 0x20, 0, 0, 0x30, v}, {0x3E, 0x10, 0, 0x20, 0, 0, 0x31, 2 * v}});
         return kFilter2Type;
       },
       2, {framed({0x3E, 0x10, kDeviceId, 0x20, 0, 0, 0x30, 2}), framed({0x3E, 0x10, kDeviceId, 0x20, 0, 0, 0x31, 4})},
       "SysEx"},
      {"mono/poly switch packs unisono in byte 7",
       [&] {
         param(kOscillatorUnisono + 3)->InitInt("", 2, 0, 5);
         sysexAction(kOscillatorMonoPolyMode + 3, ControlAction::kSysExSwitch, 3, 0x3A, 0, 1);
         return kOscillatorMonoPolyMode + 3;
       },
       1, {framed({0x3E, 0x10, kDeviceId, 0x20, 3, 0, 0x3A, 33})}, "SysEx"},
      {"unisono packs mono/poly in byte 7",
       [&] {
         param(kOscillatorMonoPolyMode + 3)->InitInt("", 1, 0, 1);
         sysexAction(kOscillatorUnisono + 3, ControlAction::kSysEx, 3, 0x3A, 0, 5);
         return kOscillatorUnisono + 3;
       },
       4, {framed({0x3E, 0x10, kDeviceId, 0x20, 3, 0, 0x3A, 65})}, "SysEx"},
      {"arp step 3 timing 3 with step length 5 gives 83",
       [&] {
         param(kArpPattern01StepLen + 2 * 80 + 2)->InitInt("", 5, 0, 7);
         sysexAction(kArpPattern01Timing + 2 * 80 + 2, ControlAction::kSysEx, 2, 0x50, 0, 15);
         return kArpPattern01Timing + 2 * 80 + 2;
       },
       3, {framed({0x3E, 0x10, kDeviceId, 0x20, 2, 0, 0x50, 83})}, "SysEx"},
      {"arp glide switch packs accent and step",
       [&] {
         param(kArpPattern01Accent + 3 * 80 + 6)->InitInt("", 3, 0, 7);
         param(kArpPattern01Step + 3 * 80 + 6)->InitInt("", 2, 0, 7);
         sysexAction(kArpPattern01Glide + 3 * 80 + 6, ControlAction::kSysExSwitch, 6, 0x48, 0, 1);
         return kArpPattern01Glide + 3 * 80 + 6;
       },
       1, {framed({0x3E, 0x10, kDeviceId, 0x20, 6, 0, 0x48, 3 + 8 + 32})}, "SysEx"},
      {"arp accent as a switch is not packed",
       [&] { sysexAction(kArpPattern01Accent + 7, ControlAction::kSysExSwitch, 7, 0x49, 0, 7); return kArpPattern01Accent + 7; },
       5, {framed({0x3E, 0x10, kDeviceId, 0x20, 7, 0, 0x49, 5})}, "SysEx"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    const int idx = row.prepare();
    IInvisibleSwitchControl knob(plug.get(), IRECT(), idx);
    actions.back()->controls.push_back(&knob);
    setParam(idx, row.value);
    EXPECT_EQ(arrivedAtInstrument(), row.expected);
    EXPECT_EQ(ccText.GetText(), row.display);
    EXPECT_DOUBLE_EQ(knob.GetValue(), param(idx)->GetNormalized());
    EXPECT_EQ(actions.back()->lastValue, static_cast<int>(row.value));
    actions.back()->controls.clear();
  }
}

TEST_F(ControlActionTest, ChannelValuesZeroAndOneAreChannelsZeroAndOne) {
  ccAction(kFilter1Cutoff + 6, ControlAction::kController, 6, 74);
  for (int channelValue : {0, 1, 17}) {
    param(kMultiPartMIDICh + 6)->Set(channelValue);
    setParam(kFilter1Cutoff + 6, 9);
  }
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xB0, 74, 9}, {0xB1, 74, 9}, {0xBF, 74, 9}}));
}

TEST_F(ControlActionTest, WhatCannotBeSentLeavesNothingAndTheLogSaysWhy) {
  struct Row {
    const char* name;
    std::function<int()> prepare;
    double value;
    const char* logged;  // null: nothing to log
    const char* display;
  };
  const Row table[] = {
      {"value past the prepared messages",
       [&] {
         ControlAction* a = sysexAction(kFilter1Resonance, ControlAction::kSysEx, 0, 0x11, 0, 127);
         a->sysex.messages.resize(10);
         return kFilter1Resonance;
       },
       100, nullptr, "SysEx"},
      {"empty message group",
       [&] {
         ControlAction* a = action(kFilter2Type + 1, ControlAction::kSysEx, 0, 3);
         a->sysex.hasMessageLists = true;
         a->sysex.messageLists.resize(4);
         return kFilter2Type + 1;
       },
       2, nullptr, "SysEx"},
      {"controller on a part with no channel",
       [&] { ccAction(kFilter1Cutoff + 9, ControlAction::kController, -1, 74); return kFilter1Cutoff + 9; }, 5,
       "not sent: channel outside 0-15", "CC|74"},
      {"controller value above 127",
       [&] { ccAction(kFilter1Cutoff + 10, ControlAction::kController, 10, 74, 0, 200); return kFilter1Cutoff + 10; },
       150, "controller value outside 0-127", "CC|74"},
      {"packed byte above 127",
       [&] {
         param(kArpPattern01StepLen + 11)->InitInt("", 8, 0, 8);
         sysexAction(kArpPattern01Timing + 11, ControlAction::kSysEx, 11, 0x50, 0, 15);
         return kArpPattern01Timing + 11;
       },
       1, "data byte outside 0-127", "SysEx"},
      {"prepared data byte above 127",
       [&] {
         ControlAction* a = sysexAction(kFilter1Resonance + 12, ControlAction::kSysEx, 12, 0x11);
         a->sysex.messages[3][6] = 0x91;
         return kFilter1Resonance + 12;
       },
       3, "data byte outside 0-127", "SysEx"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    const int idx = row.prepare();
    IInvisibleSwitchControl knob(plug.get(), IRECT(), idx);
    actions.back()->controls.push_back(&knob);
    const std::string logBefore = debugLog();
    setParam(idx, row.value);
    EXPECT_TRUE(arrivedAtInstrument().empty());
    EXPECT_EQ(ccText.GetText(), row.display);
    // The bound controls follow all the same.
    EXPECT_DOUBLE_EQ(knob.GetValue(), param(idx)->GetNormalized());
    const std::string logged = debugLog().substr(logBefore.size());
    if (row.logged) {
      EXPECT_NE(logged.find(row.logged), std::string::npos) << logged;
    }
    actions.back()->controls.clear();
  }
}

TEST_F(ControlActionTest, TheOutPortRefusesMalformedShortMessagesIntoTheLog) {
  struct Row {
    IMidiMsg msg;
    const char* logged;
  };
  const Row table[] = {
      {IMidiMsg(0, 0x45, 1, 2), "MIDI OUT: not sent: message without a status byte"},
      {IMidiMsg(0, 0xB0, 0x80, 2), "MIDI OUT: not sent: data byte of 0x80 or more"},
      {IMidiMsg(0, 0xFF, 123, 0), "MIDI OUT: not sent: data bytes behind a status that takes none"},
      {IMidiMsg(0, 0xF0, 1, 2), "MIDI OUT: not sent: SysEx status in a short message"},
  };
  for (const Row& row : table) {
    IMidiMsg msg = row.msg;
    plug->sendMidiMsgAndLog(&msg);
    EXPECT_NE(debugLog().find(row.logged), std::string::npos) << row.logged;
  }
  EXPECT_TRUE(arrivedAtInstrument().empty());
}

TEST_F(ControlActionTest, EchoRulesAndTheMissingConfiguration) {
  ccAction(kFilter1Cutoff, ControlAction::kController, 0, 74);
  struct Row {
    const char* name;
    bool configured, secondHandler, incomingSet, localControl, fromHost;
    bool sent;
  };
  const Row table[] = {
      {"an edit on screen", true, false, false, true, false, true},
      {"while the second handler runs", true, true, false, false, true, false},
      {"set from the instrument, local control on", true, false, true, true, false, false},
      {"set from the instrument, local control off", true, false, true, false, false, true},
      {"set from the host, local control on", true, false, true, true, true, true},
      {"MIDI not configured", false, false, false, false, false, false},
  };
  int value = 0;
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    nameText.SetTextFromPlug("");
    plug->midiIOConfigured = row.configured;
    plug->deviceEcho = row.secondHandler;
    plug->midiMessageManager->echoGuard = row.incomingSet;
    plug->localControl = row.localControl;
    plug->midiMessageManager->lastChannelMessageFromHost = row.fromHost;
    setParam(kFilter1Cutoff, ++value);
    const ByteList expected = row.sent ? ByteList{{0xB0, 74, static_cast<unsigned char>(value)}} : ByteList{};
    EXPECT_EQ(arrivedAtInstrument(), expected);
    EXPECT_EQ(nameText.GetText(), row.configured ? "" : "Set MIDI I/O First!");
  }
  plug->deviceEcho = false;
  // These four stay silent without MIDI.
  for (int idx : {kDeviceOutSelection, kDeviceInSelection, kGlobalSysExID, kQModel}) {
    nameText.SetTextFromPlug("");
    plug->processControlAction(actions.back().get(), idx, 1);
    EXPECT_EQ(nameText.GetText(), "") << idx;
  }
}
}  // namespace

namespace {
TEST(OutgoingLog, SysExLinesShowTheBytesInLowerCaseHex) {
  DebuggerOutput output;
  const unsigned char body[] = {0x3E, 0x10, 0x00, 0x20};
  TraceOutput::flush();  // what came before goes first
  testing::internal::CaptureStdout();
  output.logSysExOutMessageByte(body, 4);
  TraceOutput::print("Plug-in MIDI Out ");  // a short message's trace, which has no newline of its own
  output.logSysExOutMessageByteInt({0xF0, 0x3E, 0x7F, 0xF7}, 4);
  ASSERT_TRUE(TraceOutput::flush());  // the trace leaves on its own thread
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Plug-in MIDI Out (sysex | 4 bytes | F0 3e 10 00 20 F7)\n"
            "Plug-in MIDI Out \n"
            "Plug-in MIDI Out (sysex | 4 bytes | F0 f0 3e 7f f7 F7)\n");
}
}  // namespace
