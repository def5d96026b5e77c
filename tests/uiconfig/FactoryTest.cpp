// The control factories: parameter, control geometry, action and index entry
// per element kind, and the elements that cannot be built.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <tuple>

#include "Bitmap.h"
#include "ControlLayer.h"
#include "Fill.h"
#include "IControls.h"
#include "IGraphics.h"
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
      // The offset is added before the value is clamped to int: the first
      // value stays at the top of the range instead of wrapping round.
      {"slider", kFilter1Drive + 2, 2, std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 64, 1,
       std::numeric_limits<int>::max(), 0},
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
      {kPatchName + 15, "-- INIT --"}, {kCategoryName, "INIT"}, {kPatchRename, "New Name"},
      {kPatchSearchString, "search..."}, {kMultiName, "Init Multi"}};
  for (const auto& [idx, text] : names) {
    ui.createNameDisplay("N", idx, 0, 0, 100, 14, 16, -1, &layer, "");
    EXPECT_STREQ(param(idx)->GetDisplayText(0), text);
    EXPECT_FALSE(last()->IsPromptDisabled());
    EXPECT_EQ(last()->GetTextEntryLength(), 16);
  }
  EXPECT_EQ(last()->GetIText()->mColor, IColor(255, 187, 187, 187));
}

// A damaged document's positions and sizes end at the window's edge (1500
// unscaled) at every size, instead of overflowing when they are scaled.
TEST_F(FactoryTest, ExtremeDocumentPositionsAreClampedToTheWindowAtEverySize) {
  constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
  for (const double scale : {0.85, 1.0, 1.15}) {
    SCOPED_TRACE(scale);
    const int edge = static_cast<int>(1500 * scale);  // 1275, 1500, 1724 (1.15 is a little less in binary)
    ui.uiScale = scale;
    ui.createDropDownMenu2("D", kFilter1Type, kMax, kMin, kMax, kMin, 0, 0, 4, {"a", "b", "c", "d"}, -1, &layer, "");
    ASSERT_NE(last(), nullptr);
    EXPECT_EQ(rect(last()), IRECT(edge, -edge, 2 * edge, -2 * edge));
    textlooks::Text number{textlooks::Kind::kNumberMenu};
    number.height = kMax;
    EXPECT_EQ(textlooks::size(number, scale), static_cast<int>(edge * scale));
  }
}

// The factories of controls that send nothing themselves: the plain knob, the
// three kinds of switch, the "----" menu and the device menu.
TEST_F(FactoryTest, ControlsWithoutMidiTakeTheirImageParameterAndPlace) {
  ui.graphics = logged.plug->GetGUI();
  ui.initImages(ui.graphics);
  const char* kImage = "BUTTON_LOCK_ID";  // two frames: off, on
  const IBitmap image = ui.getImageByName(ui.graphics, kImage);
  ASSERT_GT(image.W, 0);
  ASSERT_GT(image.N, 1);
  const IRECT placed(151, 30, 151 + image.W, 30 + image.H / image.N);  // x 101, y 20 at scale 1.5

  ui.createNoValKnobControl("Level", kMultiPartLevel + 2, 101, 20, kImage, 5, 0, 127, 3, 2, &layer, "Mixer");
  EXPECT_EQ(std::string(param(kMultiPartLevel + 2)->GetNameForHost()), "Level");  // no part prefix
  EXPECT_EQ(param(kMultiPartLevel + 2)->Value(), 5);
  EXPECT_EQ(param(kMultiPartLevel + 2)->GetMax(), 127);
  EXPECT_EQ(param(kMultiPartLevel + 2)->GetStep(), 1.0);
  EXPECT_NE(dynamic_cast<IKnobMultiControl*>(last()), nullptr);
  EXPECT_EQ(rect(last()), placed);
  if (ControlAction* levelAction = action(kMultiPartLevel + 2)) {  // nothing to send, nothing to find
    EXPECT_EQ(std::count(levelAction->controls.begin(), levelAction->controls.end(), last()), 0);
  }

  const struct {
    const char* what;
    int idx, defaultValue;
    bool momentary;
    std::vector<double> afterDownUpDownUp;
  } switches[] = {{"switch starting on", kMultiPartStatus + 1, 1, false, {0, 0, 1, 1}},
                  {"autooff button", kRequestTempData, 0, true, {1, 0, 1, 0}},
                  {"cancel button", kCancelDataRequest, 7, true, {1, 0, 1, 0}}};
  IMouseMod left(true);
  for (const auto& row : switches) {
    SCOPED_TRACE(row.what);
    IControl* control = nullptr;
    if (row.idx == kCancelDataRequest) {
      control = ui.createAutoOffSwitchControl("Cancel", row.idx, 101, 20, kImage, 0, &layer, "Global");
      EXPECT_EQ(control, last());
    } else {
      if (row.momentary) {
        ui.createSwitchControl("S", row.idx, row.defaultValue, 101, 20, kImage, -1, &layer, "");
      } else {
        ui.createBoolControl("S", row.idx, row.defaultValue, 101, 20, kImage, -1, &layer, "");
      }
      control = last();
    }
    EXPECT_EQ(dynamic_cast<IContactControl*>(control) != nullptr, row.momentary);
    EXPECT_EQ(rect(control), placed);
    EXPECT_EQ(param(row.idx)->GetMax(), 1.0);
    EXPECT_EQ(param(row.idx)->Value(), row.defaultValue == 1 ? 1.0 : 0.0);  // an autooff button starts off
    ASSERT_NE(action(row.idx), nullptr);
    EXPECT_EQ(action(row.idx)->actionType, ControlAction::kNone);
    EXPECT_EQ(action(row.idx)->controls.back(), control);
    control->SetValueFromPlug(param(row.idx)->GetNormalized());  // as the editor shows its parameters
    std::vector<double> values;
    for (int i = 0; i < 2; ++i) {
      control->OnMouseDown(0, 0, &left);
      values.push_back(control->GetValue());
      control->OnMouseUp(0, 0, &left);
      values.push_back(control->GetValue());
    }
    EXPECT_EQ(values, row.afterDownUpDownUp);
  }

  const struct {
    int style;
    IColor color;
  } styles[] = {{0, IColor(255, 241, 243, 33)}, {1, IColor(255, 134, 150, 166)}, {2, IColor(255, 200, 200, 200)}};
  for (const auto& row : styles) {
    ui.uiStyle = row.style;
    ui.createDropDownMenu("Text", kFilter1Type, 10, 20, 101, 15, -1, &layer, "");
    EXPECT_STREQ(param(kFilter1Type)->GetDisplayText(0), "----");
    EXPECT_EQ(param(kFilter1Type)->GetMax(), 1.0);
    EXPECT_TRUE(last()->IsPromptDisabled());
    EXPECT_EQ(rect(last()), IRECT(15, 30, 166, 52));
    EXPECT_EQ(last()->GetIText()->mSize, 22);
    EXPECT_EQ(last()->GetIText()->mColor, row.color) << row.style;
  }

  const size_t onLayer = layer.controls().size();
  IGraphics& graphics = *ui.graphics;
  ui.createMIDIDeviceSelectionControl("MIDI Setup", kDeviceInSelection, 10, 20, 101, 15, 1, 3, &layer, "");
  EXPECT_EQ(layer.controls().size(), onLayer);  // on the editor itself, shown on every page
  IControl* device = graphics.GetControl(graphics.NControls() - 1);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->ParamIdx(), kDeviceInSelection);
  const std::vector<std::string> ports = logged.plug->getExternalMIDIInNames();
  ASSERT_EQ(param(kDeviceInSelection)->GetNDisplayTexts(), static_cast<int>(ports.size()));
  EXPECT_STREQ(param(kDeviceInSelection)->GetDisplayText(0), "Select MIDI Device");
  EXPECT_EQ(device->GetIText()->mColor, IColor(255, 0, 174, 255));
  EXPECT_FALSE(device->IsPromptDisabled());
  EXPECT_EQ(action(kDeviceInSelection)->controls.back(), device);
}

// Button i of frame 1 (off) has red 20 + i, of frame 2 (on) red 100 + i.
std::unique_ptr<LICE_MemBitmap> RadioImage(int buttons, int width, int height) {
  auto image = std::make_unique<LICE_MemBitmap>(width * buttons, height * 2);
  for (int frame = 0; frame < 2; ++frame)
    for (int i = 0; i < buttons; ++i)
      LICE_FillRect(image.get(), i * width, frame * height, width, height,
                    LICE_RGBA(unsigned((frame ? 100 : 20) + i), 0, 0, 255), 1.0f, 0);
  return image;
}

TEST_F(FactoryTest, ARadioDrawsItsSelectedButtonFromTheSecondFrameAtFullStrength) {
  IGraphics& graphics = *logged.plug->GetGUI();
  const auto pixels = RadioImage(4, 50, 30);
  IBitmap image(pixels.get(), 200, 60, 2, false);
  // On a layer of its own above the editor's pages, drawn in a pass over its area.
  auto* top = new ControlLayer(99, "radio");
  graphics.AttachLayer(top);
  top->Hide(false);
  auto* radio = static_cast<ICustomRadioButtonsControl*>(
      top->AttachControl(new ICustomRadioButtonsControl(nullptr, IRECT(10, 20, 210, 50), -1, 4, &image, kHorizontal)));
  const struct {
    const char* what;
    double value;
    bool greyed;
    int selected;
  } rows[] = {{"0.49: 1.97 rounds to 1", 0.49, false, 1}, {"0.5: 2.0", 0.5, false, 2}, {"above 1", 1.5, false, 3},
              {"below 0", -0.3, false, 0}, {"greyed", 1.0 / 3, true, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    radio->SetValueFromPlug(row.value);
    radio->GrayOut(row.greyed);
    IRECT area(0, 0, 220, 60);
    graphics.Draw(&area);
    for (int i = 0; i < 4; ++i) {
      const LICE_pixel drawn = LICE_GetPixel(graphics.GetDrawBitmap(), 10 + 50 * i + 25, 35);
      EXPECT_EQ(int(LICE_GETR(drawn)), (i == row.selected ? 100 : 20) + i) << "button " << i;
    }
  }
}

// The overlay draws its image from the top-left into its own rectangle,
// whatever its value, and a click on it goes nowhere.
TEST_F(FactoryTest, TheProgressIndicatorDrawsIntoItsRectangleAndSwallowsClicks) {
  IGraphics& graphics = *logged.plug->GetGUI();
  const LICE_pixel kOverlay = LICE_RGBA(200, 7, 199, 255);
  auto pixels = std::make_unique<LICE_MemBitmap>(300, 300);
  LICE_FillRect(pixels.get(), 0, 0, 300, 300, kOverlay, 1.0f, 0);
  IBitmap image(pixels.get(), 300, 300, 1, false);
  auto* progress = new ControlLayer(98, "PROGRESS");
  graphics.AttachLayer(progress);
  progress->Hide(false);
  auto* indicator = new ProgressIndicator(progress, nullptr, 10, 20, 100, 50, -1, &image, IRECT(10, 20, 110, 70));
  ASSERT_EQ(progress->controls().size(), 1u);
  EXPECT_EQ(progress->controls().front().get(), indicator);
  EXPECT_TRUE(progress->GetIgnoreHiddenWhenUpdatingScreen());
  for (double value : {0.0, 1.0}) {
    indicator->SetValueFromPlug(value);
    IRECT area(0, 0, 300, 300);
    graphics.Draw(&area);
    for (const auto& [x, y, inside] : {std::tuple{10, 20, true}, std::tuple{109, 69, true}, std::tuple{110, 40, false},
                                       std::tuple{50, 70, false}, std::tuple{9, 40, false}})
      EXPECT_EQ(LICE_GetPixel(graphics.GetDrawBitmap(), x, y) == kOverlay, inside) << x << "," << y;
  }
  IMouseMod left(true);
  indicator->OnMouseDown(50, 40, &left);
  indicator->OnMouseDblClick(50, 40, &left);
  EXPECT_EQ(indicator->GetValue(), 1.0);
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
