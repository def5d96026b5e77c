// The control factories: parameter, control geometry, action and index entry
// per element kind, and the elements that cannot be built.
#include <gtest/gtest.h>

#include "ControlLayer.h"
#include "ICustomRadioButtonsControl.h"
#include "IParam.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
using Bytes = std::vector<int>;

class FactoryTest : public testing::Test {
 protected:
  void SetUp() override {
    ui.plug = logged.plug.get();
    ui.debuggerOutput = &logged.plug->debuggerOutput;
    ui.uiScale = 1.5;
    ui.initParams();
    // Definition 0: a sound parameter; 1: a multi parameter; 2: too short.
    ui.sysexContainers = {SysExContainer{{Values{{"3E 10 00 20 00 01 23 00"}}}, {}, false},
                          SysExContainer{{Values{{"3E 10 00 21 00 05 00"}}}, {}, false},
                          SysExContainer{{Values{{"3E 10 00"}}}, {}, false}};
    logged.clearLog();
  }
  IParam* param(int idx) { return logged.plug->GetParam(idx); }
  ControlAction* action(int idx) { return static_cast<ControlAction*>(param(idx)->GetControlAction()); }
  IControl* last() { return layer.controls().empty() ? nullptr : layer.controls().back().get(); }
  static IRECT rect(IControl* c) { return *c->GetRECT(); }
  IControl* ccAt(int channel, int cc, int global) {
    const auto* leaf = control_index::at(control_index::at(control_index::at(&ui.ccControls, channel), cc), global);
    return leaf ? *leaf : nullptr;
  }
  IControl* sysexAt(const Bytes& m, int first, int section) {
    return ui.sysexControls.findControl(m[first], m[first + 1], m[first + 2], m[first + 3], section);
  }

  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager ui;
  ControlLayer layer{0, "page"};
  const LinkInfo noLink{};
};

TEST_F(FactoryTest, ControllerControlsNameChannelAndIndexByPart) {
  struct Row {
    const char* kind;
    int part;
    const char* name;
    int channel, global;
  };
  const Row table[] = {{"knob", 2, "[3] Cut", 3, 0},   {"knob", -1, "Cut", 5, 1},   {"slider", -1, "[0] Cut", 5, 0},
                       {"slider", 0, "[1] Cut", 1, 0}, {"menu", 4, "[5] Cut", 5, 0}, {"menu", -1, "Cut", 5, 1},
                       {"button", 2, "[3] Cut", 3, 0}};
  for (const Row& row : table) {
    SCOPED_TRACE(std::string(row.kind) + " part " + std::to_string(row.part));
    const int idx = kFilter1Cutoff + std::max(row.part, 0);
    const std::string kind = row.kind;
    if (kind == "knob")
      ui.createCCKnobControl(74, 5, "Cut", idx, 10, 20, "", 64, 0, 127, 2, noLink, row.part, &layer, "");
    else if (kind == "slider")
      ui.createCCSliderControl(74, 5, "Cut", idx, 100, 40, 120, "", 64, 0, 127, noLink, row.part, &layer, "",
                               kHorizontal, false);
    else if (kind == "menu")
      ui.createMultiSelectionCCControl(74, 5, "Cut", idx, 100, 50, 60, 13, 0, 0, 3, 0, 0, {"a", "b", "c"}, row.part,
                                       &layer, "", false);
    else
      ui.createCCBoolControl(74, 5, "Cut", idx, 10, 20, "", 0, 0, 127, noLink, row.part, &layer, "");
    EXPECT_EQ(std::string(param(idx)->GetNameForHost()), row.name);
    ASSERT_NE(action(idx), nullptr);
    EXPECT_EQ(action(idx)->channel, row.channel);
    EXPECT_EQ(action(idx)->globalFlag, row.global);
    EXPECT_EQ(ccAt(row.channel, 74, row.global), last());
  }
  EXPECT_EQ(param(kFilter1Cutoff + 2)->GetStep(), 1.0);  // the button's bool
  ui.createCCKnobControl(74, 5, "Cut", kFilter1Cutoff + 9, 10, 20, "", 64, 0, 127, 2, noLink, 9, &layer, "Filter");
  EXPECT_EQ(param(kFilter1Cutoff + 9)->GetStep(), 2.0);
  EXPECT_STREQ(param(kFilter1Cutoff + 9)->GetParamGroupForHost(), "Part 10:Filter");
  EXPECT_EQ(rect(last()).L, 15);
  EXPECT_EQ(rect(last()).T, 30);
  ui.createCCSliderControl(74, 4, "S", kFilter1Resonance, 100, 40, 120, "", 0, 0, 127, noLink, -1, &layer, "",
                           kHorizontal, false);
  EXPECT_EQ(rect(last()).L, 150);
  EXPECT_EQ(rect(last()).R, 150 + 180);
  ui.createMultiSelectionCCControl(1, 1, "M", kFilter1Drive, 100, 50, 60, 13, 0, 0, 3, 1, 3, {}, 0, &layer, "", false);
  EXPECT_EQ(rect(last()).L, 150);
  EXPECT_EQ(rect(last()).B, 75 + 19);
}

TEST_F(FactoryTest, SysExControlsPrepareOneMessagePerValueAndRegisterTheirKeys) {
  struct Row {
    const char* kind;
    int idx, part, minimum, maximum, msgZeroVal, count, firstValueByte, section;
  };
  const Row table[] = {
      {"knob", kFilter1Resonance + 3, 3, 0, 127, 0, 128, 0, 0},
      {"knob", 3100, 1, 0, 127, 0, 128, 0, 1},
      {"knob", 4500, 1, 0, 127, 0, 128, 0, 10},
      {"slider", kFilter1Drive, -1, -64, 63, 64, 128, 0, 1},
      {"slider", kFilter1Drive + 1, 1, -64, 63, 0, 128, -64, 0},
      {"button", kFilter1Keytrack + 5, 5, 0, 1, 9, 2, 0, 0},
      {"menu", kFilter1EnvAmount + 2, 2, 0, 3, 0, 4, 0, 0},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(std::string(row.kind) + " " + std::to_string(row.idx));
    const std::string kind = row.kind;
    if (kind == "knob")
      ui.createSysExKnobControl("K", row.idx, 0, 0, "", 0, row.minimum, row.maximum, 0, 0, 0, 8, row.part, noLink,
                                &layer, "");
    else if (kind == "slider")
      ui.createSysExSliderControl("S", row.idx, 0, 0, 50, "", 0, row.minimum, row.maximum, 0, row.msgZeroVal, 0, 8,
                                  row.part, noLink, &layer, "", kVertical, false);
    else if (kind == "button")
      ui.createSysExBoolControl("B", row.idx, 0, 0, "", 0, row.msgZeroVal, 0, 8, row.part, noLink, &layer, "");
    else
      ui.createMultiSelectionSysExControl("M", row.idx, 0, 0, 60, 13, 0, row.minimum, row.maximum, 0, 0,
                                          {"a", "b", "c"}, 0, 0, 0, 8, row.part, &layer, "", false);
    const auto& messages = action(row.idx)->sysex.messages;
    ASSERT_EQ(static_cast<int>(messages.size()), row.count);
    const int part = row.part < 0 ? 0 : row.part;
    EXPECT_EQ(messages.front(), (Bytes{0x3E, 0x10, 0, 0x20, part, 1, 0x23, row.firstValueByte}));
    EXPECT_EQ(sysexAt(messages.front(), 3, row.section), last());
  }
  EXPECT_EQ(action(kFilter1Keytrack + 5)->actionType, ControlAction::kSysExSwitch);
  // Multi and global definitions key from byte 2.
  ui.createSysExKnobControl("M", kMultiTempo, 0, 0, "", 0, 0, 127, 0, 0, 1, 7, -1, noLink, &layer, "");
  EXPECT_EQ(sysexAt(action(kMultiTempo)->sysex.messages.front(), 2, 0), last());
}

TEST_F(FactoryTest, ElementsThatCannotBeBuiltAreSkippedAndLogged) {
  struct Row {
    const char* what;
    int idx, sysexIndex, changingByte, minimum, maximum;
    bool control;
    const char* logged;
  };
  const Row table[] = {
      {"no parameter", -1, 0, 8, 0, 127, false, "CONFIG READER: parameter index -1 out of range for element seKnob K"},
      {"beyond the list", kParamCount, 0, 8, 0, 127, false, "out of range for element seKnob K"},
      {"no definition", kEffect1Param01, 9, 8, 0, 127, true, "CONFIG READER: SysEx definition 9 MISSING!"},
      {"changing byte 0", kEffect1Param01 + 1, 0, 0, 0, 127, true, "changing byte 0"},
      {"too short for the keys", kEffect1Param01 + 2, 2, 3, 0, 127, true, "too short for its keys"},
      {"maximum below minimum", kEffect1Param01 + 3, 0, 8, 10, 5, true, "no values between minimum and maximum"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    logged.clearLog();
    const size_t before = layer.controls().size();
    ui.createSysExKnobControl("K", row.idx, 0, 0, "", 0, row.minimum, row.maximum, 0, 0, row.sysexIndex,
                              row.changingByte, -1, noLink, &layer, "");
    EXPECT_EQ(layer.controls().size(), before + (row.control ? 1 : 0));
    bool found = false;
    for (const std::string& line : logged.messages()) found |= line.find(row.logged) != std::string::npos;
    EXPECT_TRUE(found) << row.logged;
    if (row.control) {
      EXPECT_TRUE(action(row.idx)->sysex.messages.empty());
      EXPECT_EQ(action(row.idx)->actionType, ControlAction::kSysEx);
    }
  }
  EXPECT_TRUE(ui.sysexControls.controls.empty());
  ui.createRadioControl("R", kMainTab, 0, 0, "", 0, -1, &layer, "", false);
  EXPECT_EQ(param(kMainTab)->GetMax(), 1.0);
}

TEST_F(FactoryTest, MenusTextsAndDisplays) {
  ui.createDropDownMenu2("D", kFilter1Type, 10, 20, 101, 15, 0, 0, 4, {"a", "b", "c"}, -1, &layer, "");
  EXPECT_TRUE(layer.controls().empty());
  ui.createDropDownMenu2("D", kFilter1Type, 10, 20, 101, 15, 0, 0, 4, {"a", "b", "c", "d"}, -1, &layer, "");
  ASSERT_EQ(layer.controls().size(), 1u);
  EXPECT_STREQ(param(kFilter1Type)->GetDisplayText(3), "d");
  EXPECT_EQ(rect(last()).R, 166);
  EXPECT_EQ(rect(last()).B, 52);
  EXPECT_EQ(last()->GetIText()->mSize, 19);

  ui.createNoValDropDown("P", kMultiPartPatch + 3, 0, 0, 40, 13, 0, 0, 100, 1, 100, 1, {}, -1, &layer, "", false);
  EXPECT_STREQ(param(kMultiPartPatch + 3)->GetDisplayText(0), "001");
  EXPECT_STREQ(param(kMultiPartPatch + 3)->GetDisplayText(99), "100");
  EXPECT_EQ(action(kMultiPartPatch + 3), nullptr);

  ui.createControlDisplay("Display", kControlDisplayValue, 10, 20, 101, 15, -1, &layer, "", 2, false);
  EXPECT_EQ(last()->GetIText()->mSize, 24);
  EXPECT_EQ(last()->GetIText()->mColor, IColor(255, 255, 132, 180));
  EXPECT_EQ(action(kControlDisplayValue)->controls.back(), last());
  EXPECT_TRUE(last()->IsPromptDisabled());

  const std::pair<int, const char*> names[] = {
      {kPatchName + 15, "-- INIT --"}, {kCategoryName, "INIT"}, {kPatchRename, "New Name"}, {kMultiName, "Init Multi"}};
  for (const auto& [idx, text] : names) {
    ui.createNameDisplay("N", idx, 0, 0, 100, 14, 16, -1, &layer, "");
    EXPECT_STREQ(param(idx)->GetDisplayText(0), text);
    EXPECT_FALSE(last()->IsPromptDisabled());
    EXPECT_EQ(last()->GetTextEntryLength(), 16);
  }
  EXPECT_EQ(last()->GetIText()->mColor, IColor(255, 187, 187, 187));
}

TEST_F(FactoryTest, CustomRadioButtonsTileTheImageAndOnlyALeftClickSelects) {
  IBitmap image(nullptr, 200, 60, 2, false);
  ICustomRadioButtonsControl radio(nullptr, IRECT(10, 20, 210, 50), -1, 4, &image, kHorizontal);
  ASSERT_EQ(radio.ButtonRects().size(), 4u);
  EXPECT_EQ(radio.ButtonRects()[2].L, 110);
  EXPECT_EQ(radio.ButtonRects()[2].R, 160);
  EXPECT_EQ(radio.ButtonRects()[2].B, 50);
  IMouseMod left(true), right(false, true);
  const std::pair<int, double> clicks[] = {{10, 0.0}, {60, 1.0 / 3}, {209, 1.0}, {210, 1.0}, {160, 1.0}};
  for (const auto& [x, value] : clicks) {
    radio.OnMouseDown(x, 30, &left);
    EXPECT_DOUBLE_EQ(radio.GetValue(), value) << x;
  }
  radio.OnMouseDown(10, 30, &right);
  radio.OnMouseDblClick(10, 30, &left);
  EXPECT_DOUBLE_EQ(radio.GetValue(), 1.0);
  ICustomRadioButtonsControl single(nullptr, IRECT(0, 0, 200, 30), -1, 1, &image, kHorizontal);
  single.OnMouseDown(5, 5, &left);
  EXPECT_DOUBLE_EQ(single.GetValue(), 0.0);
}
}  // namespace

TEST_F(FactoryTest, MsbLsbControlsTakeTheirChannelFromTheLayerAndRegisterTheirAddress) {
  struct Row {
    const char* kind;
    const char* layerName;
    int part, channel, global;
  };
  const Row table[] = {{"knob", "page", 2, 3, 0},
                       {"knob", "miniMixer", 2, 5, 1},
                       {"menu", "page", 4, 5, 0},
                       {"menu", "multiModeSettingsPage1", 4, 5, 1},
                       // Buttons: the channel given on the mixer and settings pages, no global flag.
                       {"button", "miniMixer", 2, 5, 0},
                       {"button", "additionalSettingsPart3", 6, 5, 0},
                       {"button", "additionalSettingsPart9", 6, 7, 0},
                       {"button", "page", 2, 3, 0}};
  for (const Row& row : table) {
    SCOPED_TRACE(std::string(row.kind) + " on " + row.layerName);
    ControlLayer own{1, row.layerName};
    const int idx = kFilter1Cutoff + row.part;
    const std::string kind = row.kind;
    if (kind == "knob")
      ui.createMsbLsbKnobControl(99, 1, 2, 3, 5, "N", idx, 10, 20, "", 0, 0, 127, 0, noLink, row.part, &own, "");
    else if (kind == "menu")
      ui.createMsbLsbSelectionCCControl(99, 1, 2, 3, 5, "N", idx, 10, 20, 60, 13, 0, 0, 3, 0, 0, {"a", "b", "c"},
                                        row.part, &own, "");
    else
      ui.createMsbLsbBoolControl(99, 1, 2, 3, 5, "N", idx, 10, 20, "", 0, 0, 127, noLink, row.part, &own, "");
    ASSERT_NE(action(idx), nullptr);
    EXPECT_EQ(action(idx)->actionType, ControlAction::kMsbLsb);
    EXPECT_EQ(action(idx)->ccNumber, 99);
    EXPECT_EQ(action(idx)->channel, row.channel);
    EXPECT_EQ(action(idx)->globalFlag, row.global);
    EXPECT_EQ(ui.nrpnControls.findControl(row.channel, 1, 2, 3, row.global), own.controls().back().get());
  }
  // The menu needs a layer to live on.
  const size_t registered = ui.nrpnControls.controls.size();
  ui.createMsbLsbSelectionCCControl(99, 7, 7, 7, 9, "N", kFilter1Drive, 10, 20, 60, 13, 0, 0, 3, 0, 0, {}, 0, nullptr,
                                    "");
  EXPECT_EQ(ui.nrpnControls.controls.size(), registered);
}
