// The two parameter-change handlers of the plug-in: stage by stage for user
// edits, and the instrument's path that never sends anything back.
#include <gtest/gtest.h>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "RecordingTarnivex.h"

namespace {
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
  // A SysEx action: message v is 3E 10 00 20 00 00 10 v.
  ControlAction* sysexAction(int idx, int count) {
    auto action = std::make_unique<ControlAction>();
    action->actionType = ControlAction::kSysEx;
    for (int v = 0; v < count; ++v) action->sysex.messages.push_back({0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, v});
    plug.GetParam(idx)->SetControlAction(action.get());
    actions.push_back(std::move(action));
    return actions.back().get();
  }

  RecordingTarnivex plug;
  std::vector<std::unique_ptr<ControlAction>> actions;
};

TEST_F(ParamChangeDispatchTest, ToggleButtonFlipsItsTargetOnPressOnly) {
  plug.GetParam(kOscillator2SyncToOsc3 + 4)->InitInt("", 0, 0, 1);
  set(kTriggerOscillator2SyncToOsc3 + 4, 1);
  EXPECT_EQ(value(kOscillator2SyncToOsc3 + 4), 1.0);
  set(kTriggerOscillator2SyncToOsc3 + 4, 1);
  EXPECT_EQ(value(kOscillator2SyncToOsc3 + 4), 0.0);
  plug.nameText.SetTextFromPlug("");
  set(kTriggerOscillator2SyncToOsc3 + 4, 0);  // release: nothing, not even the display
  EXPECT_EQ(value(kOscillator2SyncToOsc3 + 4), 0.0);
  EXPECT_EQ(plug.nameText.GetText(), "");
}

TEST_F(ParamChangeDispatchTest, ToggleTurnsAnyOtherValueOn) {
  plug.GetParam(kLFO2SyncOnOff + 1)->InitInt("", 0, 0, 3);
  plug.GetParam(kLFO2SyncOnOff + 1)->Set(3);
  set(kTriggerLFO2SyncOnOff + 1, 1);
  EXPECT_EQ(value(kLFO2SyncOnOff + 1), 1.0);
}

TEST_F(ParamChangeDispatchTest, ToggleExtrasSwitchPages) {
  plug.currentPart = 6;
  set(kTriggerFX2DelayClocked + 6, 1);
  set(kTriggerLFO3Clock + 6, 1);
  ASSERT_EQ(plug.tabs->calls.size(), 2u);
  EXPECT_TRUE(plug.tabs->calls[0].main);
  EXPECT_EQ(plug.tabs->calls[0].value, 5);
  EXPECT_FALSE(plug.tabs->calls[1].main);
  EXPECT_EQ(plug.tabs->calls[1].value, 6);
}

TEST_F(ParamChangeDispatchTest, GlobalTogglesSetTheirFlags) {
  plug.GetParam(kGlobalLocalControl)->Set(1);
  set(kTriggerGlobalLocalKBDControl, 1);
  EXPECT_EQ(value(kGlobalLocalControl), 0.0);
  EXPECT_FALSE(plug.localControl);
  set(kTriggerLibControl, 1);
  EXPECT_EQ(value(kControlLibrary), 1.0);
  EXPECT_TRUE(plug.libraryControl);
}

TEST_F(ParamChangeDispatchTest, FilterRoutingSelectorAlternates) {
  set(kTriggerFilterRouting + 2, 1);
  EXPECT_EQ(value(kFilterRoutingParallel + 2), 1.0);
  EXPECT_EQ(value(kFilterRoutingSerial + 2), 0.0);
  set(kTriggerFilterRouting + 2, 1);
  EXPECT_EQ(value(kFilterRoutingParallel + 2), 0.0);
  EXPECT_EQ(value(kFilterRoutingSerial + 2), 1.0);
  set(kTriggerFilterRouting + 2, 0);
  EXPECT_EQ(value(kFilterRoutingSerial + 2), 1.0);
}

TEST_F(ParamChangeDispatchTest, ShapesAndTypesTakeWholeNumbersAndRefreshThePartPage) {
  plug.GetParam(kOscillator1Shape + 3)->InitDouble("", 0, 0, 5, 0.1);
  set(kOscillator1Shape + 3, 2.6);
  EXPECT_EQ(value(kOscillator1Shape + 3), 2.0);
  ASSERT_EQ(plug.tabs->calls.size(), 1u);
  EXPECT_EQ(plug.tabs->calls[0].index, kQuickTab);
}

TEST_F(ParamChangeDispatchTest, DisplayShowsTheChangedParameter) {
  plug.GetParam(kFilter1Cutoff)->InitInt("Cutoff", 0, 0, 127);
  set(kFilter1Cutoff, 0);
  EXPECT_NE(plug.nameText.GetText().find("Cutoff"), std::string::npos);
}

TEST_F(ParamChangeDispatchTest, ParameterWithoutActionOnlyDisplays) {
  set(kFilter1Resonance + 1, 64);
  EXPECT_EQ(plug.sentCount(), 0u);
  EXPECT_TRUE(plug.links->calls.empty());
}

TEST_F(ParamChangeDispatchTest, DefaultPathSendsTheValueThenLinks) {
  plug.GetParam(kFilter1Cutoff)->InitInt("", 0, 0, 127);
  ControlAction* action = sysexAction(kFilter1Cutoff, 128);
  action->link.partnerParam = kFilter2Cutoff;
  plug.GetParam(kGlobalSysExID)->InitInt("", 0, 0, 127);
  plug.GetParam(kGlobalSysExID)->Set(5);
  set(kFilter1Cutoff, 77);
  ASSERT_EQ(plug.sysex.size(), 1u);
  EXPECT_EQ(plug.sysex[0], (std::vector<unsigned char>{0x3E, 0x10, 0x05, 0x20, 0x00, 0x00, 0x10, 77}));
  EXPECT_EQ(action->lastValue, 77);
  ASSERT_EQ(plug.links->calls.size(), 1u);
  EXPECT_EQ(plug.links->calls[0], (std::vector<int>{kFilter2Cutoff, kFilter1Cutoff, 77}));
}

TEST_F(ParamChangeDispatchTest, NamedEffectEditReachesItsSlot) {
  sysexAction(kFX1PhaserCenter + 3, 128);
  plug.GetParam(kFX1PhaserCenter + 3)->InitInt("", 0, 0, 127);
  plug.GetParam(kEffect1Param06 + 3)->InitInt("", 0, 0, 127);
  set(kFX1PhaserCenter + 3, 70);
  EXPECT_EQ(value(kEffect1Param06 + 3), 70);
}

TEST_F(ParamChangeDispatchTest, WithoutMidiTheEditIsRefusedWithAStatusText) {
  plug.midiIOConfigured = false;
  sysexAction(kFilter1Cutoff, 2);
  set(kFilter1Cutoff, 1);
  EXPECT_EQ(plug.sentCount(), 0u);
  EXPECT_EQ(plug.valueText.GetText(), "Set MIDI I/O First!");
}

TEST_F(ParamChangeDispatchTest, LayerSelectionShowsOnlyTheChosenSubLayer) {
  ControlAction* action = sysexAction(kFilter1Type, 4);
  ControlLayer layer(1, "types");
  for (int id = 0; id < 3; ++id) layer.AttachLayer(std::make_unique<ControlLayer>(id, "type"));
  action->selectorLayer = &layer;
  plug.GetParam(kFilter1Type)->InitInt("", 0, 0, 3);
  set(kFilter1Type, 2);
  EXPECT_EQ(layer.selectedNumber, 2);
  EXPECT_TRUE(layer.subLayers()[0]->IsHidden());
  EXPECT_TRUE(layer.subLayers()[1]->IsHidden());
  EXPECT_FALSE(layer.subLayers()[2]->IsHidden());
}

TEST_F(ParamChangeDispatchTest, ValuesFromTheInstrumentAreShownButNeverSent) {
  ControlAction* action = sysexAction(kFilter1Cutoff, 128);
  action->link.partnerParam = kFilter2Cutoff;
  plug.GetParam(kFilter1Cutoff)->InitInt("Cutoff", 0, 0, 127);
  IControl knob(&plug, kFilter1Cutoff);
  action->controls.push_back(&knob);
  plug.midiMessageManager->dumpExpected = true;

  knob.SetValueFromHardware(0.25);  // the first value only becomes the default
  EXPECT_EQ(value(kFilter1Cutoff), 0.0);
  knob.SetValueFromHardware(0.5);
  EXPECT_EQ(value(kFilter1Cutoff), 64.0);
  EXPECT_EQ(plug.sentCount(), 0u);
  EXPECT_FALSE(plug.deviceEcho);
  EXPECT_FALSE(plug.midiMessageManager->dumpExpected);
  EXPECT_EQ(plug.links->calls.size(), 1u);  // the partner still follows
  EXPECT_NE(plug.nameText.GetText().find("Cutoff"), std::string::npos);
}

TEST_F(ParamChangeDispatchTest, InstrumentPathRunsNoCommandsOrToggles) {
  plug.SetParameterFromGUI2(kTriggerOscillator2SyncToOsc3, 1.0);
  EXPECT_EQ(value(kOscillator2SyncToOsc3), 0.0);
  plug.GetParam(kQuickTab)->InitInt("", 0, 0, 16);
  plug.SetParameterFromGUI2(kQuickTab, plug.GetParam(kQuickTab)->GetNormalized(4));
  ASSERT_FALSE(plug.tabs->calls.empty());
  EXPECT_EQ(plug.tabs->calls.back().value, 4);
}

TEST_F(ParamChangeDispatchTest, EchoGuardHoldsBackWhatTheInstrumentAppliedItself) {
  sysexAction(kFilter1Cutoff, 128);
  plug.GetParam(kFilter1Cutoff)->InitInt("", 0, 0, 127);
  plug.localControl = true;
  plug.midiMessageManager->echoGuard = true;
  set(kFilter1Cutoff, 10);
  EXPECT_EQ(plug.sentCount(), 0u);
  plug.midiMessageManager->lastChannelMessageFromHost = true;
  set(kFilter1Cutoff, 11);
  EXPECT_EQ(plug.sentCount(), 1u);
}

TEST(ControlLookups, FindOnlyWhatWasRegisteredUnderEveryKey) {
  RecordingTarnivex plug;
  IControl a(nullptr, 1), b(nullptr, 2);
  const unsigned char keys[] = {0x3E, 0x10, 0x20, 0x05};
  plug.sysexControls.addToControlMap(keys, 0, &a);
  EXPECT_EQ(plug.getSysexControl(0x3E, 0x10, 0x20, 0x05, 0), &a);
  EXPECT_EQ(plug.getSysexControl(0x3E, 0x10, 0x20, 0x05, 1), nullptr);
  EXPECT_EQ(plug.getSysexControl(0x3E, 0x10, 0x21, 0x05, 0), nullptr);
  plug.ccControls[3][74][0] = &b;
  EXPECT_EQ(plug.getCCControls(3, 74, 0), &b);
  EXPECT_EQ(plug.getCCControls(4, 74, 0), nullptr);
  EXPECT_EQ(plug.getCCControls(3, 74, 1), nullptr);
  EXPECT_EQ(plug.getMsbLsbControl(1, 2, 3, 4, 5), nullptr);
  plug.nrpnControls.add(1, 2, 3, 4, 5, &b);
  EXPECT_EQ(plug.getMsbLsbControl(1, 2, 3, 4, 5), &b);
  EXPECT_EQ(plug.getProgramValueByParts(1, 2, 3), 0);
  plug.setProgramValueByParts(1, 2, 3, 40);
  EXPECT_EQ(plug.getProgramValueByParts(1, 2, 3), 40);
  plug.setProgramValueByParts(1, 2, 3, 41);
  EXPECT_EQ(plug.getProgramValueByParts(1, 2, 3), 41);
  EXPECT_TRUE(plug.sysexControls.controls.count(0x3E));
  EXPECT_FALSE(plug.ccControls.count(4));  // lookups never create levels
}
}  // namespace
