// The two parameter-change handlers of the plug-in: stage by stage for user
// edits, and the instrument's path that never sends anything back.
#include <gtest/gtest.h>

#include "IControls.h"

#include "ControlAction.h"
#include "ControlLayer.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "RecordingTarnivex.h"
#include "UIConfigManager.h"

namespace {
using Sent = std::vector<std::vector<unsigned char>>;

class ParamChangeDispatchTest : public ::testing::Test {
 protected:
  ParamChangeDispatchTest() {
    plug.midiIOConfigured = true;
    plug.GetParam(kDeviceOutSelection)->Set(1);
  }
  void set(int idx, double value) {
    plug.GetParam(idx)->Set(value);
    plug.OnParamChange(idx);
  }
  double value(int idx) { return plug.GetParam(idx)->Value(); }
  // A parameter 0..127 named name with a SysEx action: message v is
  // 3E 10 00 20 00 00 10 v.
  ControlAction* sysexAction(int idx, const char* name = "") {
    plug.GetParam(idx)->InitInt(name, 0, 0, 127);
    auto action = std::make_unique<ControlAction>();
    action->actionType = ControlAction::kSysEx;
    for (int v = 0; v < 128; ++v) action->sysex.messages.push_back({0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, v});
    plug.GetParam(idx)->SetControlAction(action.get());
    actions.push_back(std::move(action));
    return actions.back().get();
  }

  RecordingTarnivex plug;
  std::vector<std::unique_ptr<ControlAction>> actions;
};

TEST_F(ParamChangeDispatchTest, ButtonsFlipTheirTargetOnPressAndDoNothingOnRelease) {
  const int sync = kOscillator2SyncToOsc3 + 4, routing = kFilterRoutingParallel + 2;
  const struct {
    int button, target;
    double before, press, after;
  } steps[] = {
      {kTriggerOscillator2SyncToOsc3 + 4, sync, 0, 1, 1},
      {kTriggerOscillator2SyncToOsc3 + 4, sync, 1, 1, 0},
      {kTriggerOscillator2SyncToOsc3 + 4, sync, 0, 0, 0},  // a release does nothing
      {kTriggerLFO2SyncOnOff + 1, kLFO2SyncOnOff + 1, 3, 1, 1},  // any value but 1 turns on
      {kTriggerGlobalLocalKBDControl, kGlobalLocalControl, 1, 1, 0},
      {kTriggerLibControl, kControlLibrary, 0, 1, 1},
      {kTriggerFilterRouting + 2, routing, 0, 1, 1},  // serial always the other way
      {kTriggerFilterRouting + 2, routing, 1, 1, 0},
      {kTriggerFilterRouting + 2, routing, 0, 0, 0},
  };
  for (const auto& s : steps) {
    plug.GetParam(s.target)->InitInt("", static_cast<int>(s.before), 0, 3);
    set(s.button, s.press);
    EXPECT_EQ(value(s.target), s.after) << s.button << " pressed " << s.press;
  }
  EXPECT_EQ(value(kFilterRoutingSerial + 2), 1.0);
  EXPECT_FALSE(plug.localControl);
  EXPECT_TRUE(plug.libraryControl);
}

TEST_F(ParamChangeDispatchTest, WholeNumbersAndClockButtonsRefreshTheirPage) {
  plug.currentPart = 6;
  set(kTriggerFX2DelayClocked + 6, 1);
  set(kTriggerLFO3Clock + 6, 1);
  plug.GetParam(kOscillator1Shape + 3)->InitDouble("", 0, 0, 5, 0.1);
  set(kOscillator1Shape + 3, 2.6);
  EXPECT_EQ(value(kOscillator1Shape + 3), 2.0);
  EXPECT_EQ(plug.tabs->calls, (Calls{{1, kMainTab, 5}, {0, kQuickTab, 6}, {0, kQuickTab, 6}}));
}

TEST_F(ParamChangeDispatchTest, DefaultPathDisplaysSelectsTheLayerSendsTheValueMirrorsEffectsThenLinks) {
  ControlAction* action = sysexAction(kFilter1Type, "Type");
  action->link.partnerParam = kFilter2Type;
  ControlLayer layer(1, "types");
  for (int id = 0; id < 3; ++id) layer.AttachLayer(std::make_unique<ControlLayer>(id, "type"));
  action->selectorLayer = &layer;
  plug.GetParam(kGlobalSysExID)->InitInt("", 5, 0, 127);
  set(kFilter1Type, 2);
  EXPECT_EQ(plug.nameText.GetText(), "Type");
  EXPECT_EQ(layer.selectedNumber, 2);
  for (int id = 0; id < 3; ++id) EXPECT_EQ(layer.subLayers()[id]->IsHidden(), id != 2) << id;
  EXPECT_EQ(plug.sent(), (Sent{{0x3E, 0x10, 0x05, 0x20, 0x00, 0x00, 0x10, 2}}));
  EXPECT_EQ(action->lastValue, 2);
  EXPECT_EQ(plug.links->calls, (Calls{{kFilter2Type, kFilter1Type, 2}}));

  sysexAction(kFX1PhaserCenter + 3);
  plug.GetParam(kEffect1Param06 + 3)->InitInt("", 0, 0, 127);
  set(kFX1PhaserCenter + 3, 70);
  EXPECT_EQ(value(kEffect1Param06 + 3), 70);
}

TEST_F(ParamChangeDispatchTest, WithoutMidiOrWhileTheEchoGuardHoldsNothingIsSent) {
  sysexAction(kFilter1Cutoff);
  plug.midiIOConfigured = false;
  set(kFilter1Cutoff, 1);
  EXPECT_TRUE(plug.sent().empty());
  EXPECT_EQ(plug.nameText.GetText(), "Set MIDI I/O First!");
  plug.midiIOConfigured = true;
  plug.localControl = true;  // the instrument applied its own edit already
  plug.midiMessageManager->echoGuard = true;
  set(kFilter1Cutoff, 10);
  EXPECT_TRUE(plug.sent().empty());
  plug.midiMessageManager->lastChannelMessageFromHost = true;
  set(kFilter1Cutoff, 11);
  EXPECT_EQ(plug.sent().size(), 1u);
}

TEST_F(ParamChangeDispatchTest, ValuesFromTheInstrumentAreShownButNeverSentAndRunNoCommands) {
  ControlAction* action = sysexAction(kFilter1Cutoff, "Cutoff");
  action->link.partnerParam = kFilter2Cutoff;
  IInvisibleSwitchControl knob(&plug, IRECT(), kFilter1Cutoff);
  action->controls.push_back(&knob);
  plug.midiMessageManager->dumpExpected = true;
  knob.SetValueFromHardware(0.25);  // the first value only becomes the default
  EXPECT_EQ(value(kFilter1Cutoff), 0.0);
  knob.SetValueFromHardware(0.5);
  EXPECT_EQ(value(kFilter1Cutoff), 64.0);
  EXPECT_TRUE(plug.sent().empty());
  EXPECT_FALSE(plug.deviceEcho);
  EXPECT_FALSE(plug.midiMessageManager->dumpExpected);
  EXPECT_EQ(plug.links->calls.size(), 1u);  // the partner still follows
  EXPECT_EQ(plug.nameText.GetText(), "Cutoff");

  plug.SetParameterFromGUI2(kTriggerOscillator2SyncToOsc3, 1.0);
  EXPECT_EQ(value(kOscillator2SyncToOsc3), 0.0);
  plug.GetParam(kQuickTab)->InitInt("", 0, 0, 16);
  plug.SetParameterFromGUI2(kQuickTab, plug.GetParam(kQuickTab)->GetNormalized(4));
  EXPECT_EQ(plug.tabs->calls, (Calls{{0, kQuickTab, 4}}));
}

TEST(ControlLookups, FindOnlyWhatWasRegisteredUnderEveryKeyAndNeverCreateLevels) {
  RecordingTarnivex plug;
  IInvisibleSwitchControl a(nullptr, IRECT(), 1), b(nullptr, IRECT(), 2);
  const unsigned char keys[] = {0x3E, 0x10, 0x20, 0x05};
  UIConfigManager& ui = *plug.uiConfigManager;
  ui.sysexControls.addToControlMap(keys, 0, &a);
  ui.ccControls[3][74][0] = &b;
  ui.nrpnControls.add(1, 2, 3, 4, 5, &b);
  EXPECT_EQ(plug.getSysexControl(0x3E, 0x10, 0x20, 0x05, 0), &a);
  EXPECT_EQ(plug.getCCControls(3, 74, 0), &b);
  EXPECT_EQ(plug.getMsbLsbControl(1, 2, 3, 4, 5), &b);
  for (IControl* none : {plug.getSysexControl(0x3E, 0x10, 0x20, 5, 1), plug.getSysexControl(0x3E, 0x10, 0x21, 5, 0),
                         plug.getCCControls(4, 74, 0), plug.getCCControls(3, 74, 1),
                         plug.getMsbLsbControl(1, 2, 3, 4, 6)})
    EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(ui.ccControls.count(4));
  plug.setProgramValueByParts(1, 2, 3, 40);
  plug.setProgramValueByParts(1, 2, 3, 41);
  EXPECT_EQ(plug.getProgramValueByParts(1, 2, 3), 41);
  EXPECT_EQ(plug.getProgramValueByParts(1, 2, 4), 0);
}
}  // namespace
