// The filter link on the wire: what the partner filter parameter is sent and
// keeps, and that a value from the instrument links without echo and does not
// link again while a link is being carried out.
#include "ControlAction.h"
#include "EditorTestSupport.h"
#include "LinkManager.h"

namespace {
class FilterLinkTest : public EditorTest {
 protected:
  static constexpr int kPart = 2;
  static constexpr int kF1 = kFilter1Cutoff + kPart;
  static constexpr int kF2 = kFilter2Cutoff + kPart;

  FilterLinkTest() {
    makePlug();
    param(kFilterLinkSwitch + kPart)->InitInt("", 0, 0, 1);
    bind(kF1, 0x20);
    bind(kF2, 0x21);
  }
  // SysEx action whose message n is 3E 10 00 20 part 00 number n.
  void bind(int idx, int number) {
    param(idx)->InitInt("", 0, 0, 127);
    auto action = std::make_unique<ControlAction>();
    action->actionType = ControlAction::kSysEx;
    for (int v = 0; v <= 127; ++v) action->sysex.messages.push_back({0x3E, 0x10, 0, 0x20, kPart, 0, number, v});
    controls.push_back(std::make_unique<IInvisibleSwitchControl>(plug.get(), IRECT(), idx));
    action->controls.push_back(controls.back().get());
    param(idx)->SetControlAction(action.get());
    owned.push_back(std::move(action));
  }
  ControlAction* actionOf(int idx) { return static_cast<ControlAction*>(param(idx)->GetControlAction()); }
  static Bytes message(int number, int value) { return {0xF0, 0x3E, 0x10, kDeviceId, 0x20, kPart, 0, static_cast<unsigned char>(number), static_cast<unsigned char>(value), 0xF7}; }

  std::vector<std::unique_ptr<ControlAction>> owned;
  std::vector<std::unique_ptr<IInvisibleSwitchControl>> controls;
};

TEST_F(FilterLinkTest, PartnerKeepsTheDistanceRecordedWhileTheLinkWasOff) {
  struct Row {
    const char* name;
    int partnerBefore, offset, edited, partnerAfter;
  };
  const Row table[] = {
      {"partner above moves up", 70, 30, 60, 90},      {"partner below moves down", 90, 30, 100, 70},
      {"clamped at 127", 119, 30, 100, 127},          {"partner below the new value", 50, 30, 80, 50},
      {"equal values stay equal", 44, 30, 44, 44},    {"below 0 is sent as 0", 5, 30, 20, 0},
      {"never recorded: distance 1", 10, -1, 40, 39},
  };
  param(kFilterLinkSwitch + kPart)->Set(1);
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    param(kF2)->Set(row.partnerBefore);
    actionOf(kF1)->linkOffset = row.offset;
    setParam(kF1, row.edited);
    EXPECT_EQ(arrivedAtInstrument(), (ByteList{message(0x20, row.edited), message(0x21, row.partnerAfter)}));
    EXPECT_EQ(param(kF2)->Value(), row.partnerAfter);
    EXPECT_DOUBLE_EQ(controls[1]->GetValue(), param(kF2)->GetNormalized());
    EXPECT_FALSE(plug->linking);
  }
}

TEST_F(FilterLinkTest, LinkOffRecordsTheDistanceAndMovesNothing) {
  param(kF2)->Set(70);
  setParam(kF1, 40);
  EXPECT_EQ(actionOf(kF1)->linkOffset, 30);
  EXPECT_EQ(arrivedAtInstrument(), ByteList{message(0x20, 40)});
  param(kFilterLinkSwitch + kPart)->Set(1);
  setParam(kF1, 60);
  EXPECT_EQ(param(kF2)->Value(), 90);
  // Filter 2 uses its own distance, never recorded: 1.
  setParam(kF2, 100);
  EXPECT_EQ(param(kF1)->Value(), 99);
}

TEST_F(FilterLinkTest, ValueFromTheInstrumentMovesThePartnerOnBothSidesUnlessALinkIsRunning) {
  param(kFilterLinkSwitch + kPart)->Set(1);
  param(kF2)->Set(70);
  actionOf(kF1)->linkOffset = 30;
  param(kF1)->Set(60);
  plug->linking = true;
  plug->OnParamChange2(kF1);
  EXPECT_EQ(param(kF2)->Value(), 70);
  EXPECT_TRUE(arrivedAtInstrument().empty());
  plug->linking = false;
  plug->OnParamChange2(kF1);
  EXPECT_EQ(param(kF2)->Value(), 90);
  EXPECT_DOUBLE_EQ(controls[1]->GetValue(), param(kF2)->GetNormalized());
  // The value itself is not echoed; the partner, moved only here, is sent.
  EXPECT_EQ(arrivedAtInstrument(), ByteList{message(0x21, 90)});
  EXPECT_FALSE(plug->deviceEcho);
}

TEST_F(FilterLinkTest, DocumentLinkNeedsItsSwitchOnAndAPartnerWithAnAction) {
  param(kLFO1Speed)->InitInt("", 0, 0, 127);
  param(kLFO2Speed)->InitInt("", 0, 0, 127);
  auto action = std::make_unique<ControlAction>();
  action->linkOffset = 3;
  const LinkInfo link{kF2, kFilterLinkSwitch + kPart, 0};
  param(kF2)->Set(10);
  LinkManager().controlLinker(plug.get(), action.get(), link, kLFO1Speed, 20, 20.0);
  EXPECT_TRUE(arrivedAtInstrument().empty());
  param(kFilterLinkSwitch + kPart)->Set(1);
  LinkManager().controlLinker(plug.get(), action.get(), LinkInfo{kLFO2Speed, kFilterLinkSwitch + kPart, 0}, kLFO1Speed, 20, 20.0);
  EXPECT_TRUE(arrivedAtInstrument().empty());
  LinkManager().controlLinker(plug.get(), action.get(), link, kLFO1Speed, 20, 20.0);
  EXPECT_EQ(arrivedAtInstrument(), ByteList{message(0x21, 17)});
}
}  // namespace
