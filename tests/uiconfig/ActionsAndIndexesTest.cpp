// Attribute readers, prepared SysEx messages, links and index keys.
#include <gtest/gtest.h>

#include "IControls.h"
#include "IParam.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
using Bytes = std::vector<int>;

class UIConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    ui.plug = logged.plug.get();
    ui.debuggerOutput = &logged.plug->debuggerOutput;
    ui.initParams();
    logged.clearLog();
  }
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager ui;
};

TEST_F(UIConfigTest, ReadersFollowTheAttributeSyntaxes) {
  EXPECT_STREQ(ui.getParamGroup(0, "Osc"), "Part 1:Osc");
  EXPECT_STREQ(ui.getParamGroup(15, ""), "Part 16");
  EXPECT_STREQ(ui.getParamGroup(-1, "Osc"), "Osc");

  const struct {
    const char* text;
    int n;
    std::vector<int> expected;  // slots preset to 99
  } lists[] = {{"1,2,3", 2, {1, 2, 99}}, {"10,,30", 3, {10, 30, 99}}, {" 7x, y,-4", 3, {7, 99, -4}}, {"", 3, {99, 99, 99}}};
  for (const auto& c : lists) {
    std::vector<int> slots(3, 99);
    ui.getCSValues(c.text, slots.data(), c.n);
    EXPECT_EQ(slots, c.expected) << c.text;
  }

  const struct {
    const char* text;
    int part;
    int expected;
  } refs[] = {{"kFilter1Cutoff", -1, kFilter1Cutoff}, {"kFilter1Cutoff+2+7", -1, kFilter1Cutoff + 2},
              {"kFilter1Cutoff+2", 3, kFilter1Cutoff + 5},  {"kFilter1Cutoff+x", 1, kFilter1Cutoff + 1},
              {"kfilter1cutoff", -1, -1},                     {"kNoSuchParam", 5, -1},
              {"", 2, -1}};
  for (const auto& c : refs) EXPECT_EQ(ui.resolveParamReference(c.text, c.part), c.expected) << c.text;

  const LinkInfo two = ui.getBiDirectLink("kFilter1Cutoff,kFilterLinkSwitch", 2);
  EXPECT_EQ(two.partnerParam, kFilter1Cutoff + 2);
  EXPECT_EQ(two.switchParam, kFilterLinkSwitch + 2);
  EXPECT_EQ(two.linkMode, -1);
  EXPECT_EQ(ui.getBiDirectLink("kFilter1Cutoff,kFilterLinkSwitch,3", -1).linkMode, 3);
  EXPECT_EQ(ui.getBiDirectLink("kFilter1Cutoff,kFilterLinkSwitch,3,4", -1).linkMode, -1);
  EXPECT_EQ(ui.getBiDirectLink("kFilter1Cutoff", 0).partnerParam, -1);
  EXPECT_EQ(ui.getBiDirectLink("kNope,kFilterLinkSwitch", 0).partnerParam, -1);

  std::vector<std::string> tokens{"x"};
  UIConfigManager::Tokenize("  a  b ", tokens, " ");
  EXPECT_EQ(tokens, (std::vector<std::string>{"x", "a", "b"}));
  EXPECT_EQ(logged.messages(), (std::vector<std::string>{"CONFIG READER: parameter kfilter1cutoff NOT FOUND!",
                                                         "CONFIG READER: parameter kNoSuchParam NOT FOUND!",
                                                         "CONFIG READER: parameter kNope NOT FOUND!"}));
}

TEST_F(UIConfigTest, PreparedMessagesCarryThePartAndTheChangingByte) {
  const std::string t8 = "3E 10 00 20 00 01 23 00";
  const struct {
    const char* what;
    std::string text;
    int changingByte, count, first, part;
    std::vector<Bytes> expected;
  } cases[] = {
      {"button", t8, 8, 2, 0, 3, {{0x3E, 0x10, 0, 0x20, 3, 1, 0x23, 0}, {0x3E, 0x10, 0, 0x20, 3, 1, 0x23, 1}}},
      {"wraps at 128 only", t8, 8, 5, 126, -1,
       {{0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 126}, {0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 127}, {0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 0},
        {0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 1}, {0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 2}}},
      {"bare template first", "3E 10 00 20 00 01 23 40", 8, 2, -1, 2,
       {{0x3E, 0x10, 0, 0x20, 0, 1, 0x23, 0x40}, {0x3E, 0x10, 0, 0x20, 2, 1, 0x23, 0x40}}},
      {"value at the part byte wins", "3E 10 00 21 00 22 00", 5, 1, 9, 4, {{0x3E, 0x10, 0, 0x21, 9, 0x22, 0}}},
      {"0x prefixes and junk", "0x3E junk 7", 3, 1, 5, -1, {{0x3E, 0, 5}}},
      {"short template keeps no part byte", "3E 10 00", 3, 1, 1, 6, {{0x3E, 0x10, 1}}},
      {"changing byte 0", t8, 0, 2, 0, 0, {}},
      {"changing byte past the end", t8, 9, 2, 0, 0, {}},
      {"absurd count", t8, 8, 1 << 20, 0, 0, {}},
  };
  for (const auto& c : cases) {
    ControlActionSysExMessage out;
    out.messages = {{1}};
    ui.calculateSysexWithChangingByte(c.text, c.changingByte, c.count, &out, c.first, c.part);
    EXPECT_EQ(out.messages, c.expected) << c.what;
  }
  ControlActionSysExMessage knob;
  ui.calculateSysexWithChangingByte(t8, 8, 128, &knob, 0, -1);
  ASSERT_EQ(knob.messages.size(), 128u);
  for (int v = 0; v < 128; ++v) EXPECT_EQ(knob.messages[static_cast<size_t>(v)][7], v);
}

TEST_F(UIConfigTest, ActionsAreSharedAndLinksGivePartnersARecord) {
  ControlAction* a = ui.controlActionFor(kFilter1Cutoff, ControlAction::kController);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(ui.controlActionFor(kFilter1Cutoff, ControlAction::kSysEx), a);
  EXPECT_EQ(a->actionType, ControlAction::kSysEx);
  EXPECT_EQ(ui.controlActionFor(-1, 1), nullptr);
  EXPECT_EQ(ui.controlActionFor(kParamCount, 1), nullptr);

  ui.setControlLink(a, kFilter1Cutoff, {kFilter2Cutoff, kFilterLinkSwitch, 2}, -1);
  const ControlAction* partner = ui.existingControlAction(kFilter2Cutoff);
  ASSERT_NE(partner, nullptr);
  EXPECT_EQ(partner->actionType, ControlAction::kSysEx);
  EXPECT_EQ(partner->link.partnerParam, kFilter1Cutoff);
  EXPECT_EQ(partner->link.switchParam, kFilterLinkSwitch);
  EXPECT_EQ(partner->link.linkMode, -1);
  EXPECT_EQ(a->link.linkMode, 2);
  // Out of range or absent: nothing is linked and nothing is created.
  ControlAction* b = ui.controlActionFor(kEffect1Param01, ControlAction::kController);
  ui.setControlLink(b, kEffect1Param01, {kParamCount + 5, kFilterLinkSwitch, -1}, -1);
  ui.setControlLink(b, kEffect1Param01, {kEffect2Param01, -1, -1}, -1);
  EXPECT_EQ(b->link.partnerParam, -1);
  EXPECT_EQ(ui.existingControlAction(kEffect2Param01), nullptr);
  // A SysEx definition the list does not have gives no template.
  ui.sysexContainers.resize(1);
  for (int index : {-1, 0, 1}) EXPECT_EQ(ui.sysexTemplateAt(index), nullptr) << index;
}

// The key a received parameter change is looked up with: bytes 4..7 of a
// 10-byte sound change, bytes 3..6 of a 9-byte multi or global change.
std::vector<int> receiveKey(const Bytes& message) {
  const size_t first = message.size() == 10 ? 4 : 3;
  return {message[first], message[first + 1], message[first + 2], message[first + 3]};
}

TEST_F(UIConfigTest, EveryMessageFormFindsTheControlTheDocumentBoundToIt) {
  IInvisibleSwitchControl knob(nullptr, IRECT(), 1), multi(nullptr, IRECT(), 2), global(nullptr, IRECT(), 3),
      other(nullptr, IRECT(), 4);
  const struct {
    const char* what;
    std::string text;
    int changingByte, part, section;
    IControl* control;
    Bytes received;  // F0 .. F7
  } cases[] = {
      {"sound, part 5", "3E 10 00 20 00 01 23 00", 8, 5, 0, &knob, {0xF0, 0x3E, 0x10, 0x7F, 0x20, 5, 1, 0x23, 9, 0xF7}},
      {"multi", "3E 10 00 21 00 22 00", 7, -1, 0, &multi, {0xF0, 0x3E, 0x10, 0x00, 0x21, 0, 0x22, 9, 0xF7}},
      {"global", "3E 10 00 24 00 06 00", 7, -1, 0, &global, {0xF0, 0x3E, 0x10, 0x00, 0x24, 0, 6, 9, 0xF7}},
      {"effect section", "3E 10 00 20 00 01 05 00", 8, 2, 3, &other, {0xF0, 0x3E, 0x10, 0, 0x20, 2, 1, 5, 9, 0xF7}},
  };
  for (const auto& c : cases) {
    ControlAction action;
    ui.calculateSysexWithChangingByte(c.text, c.changingByte, 128, &action.sysex, 0, c.part);
    ASSERT_TRUE(ui.registerSysExControl(action, c.changingByte, c.section, c.control)) << c.what;
  }
  for (const auto& c : cases) {
    const std::vector<int> k = receiveKey(c.received);
    EXPECT_EQ(ui.sysexControls.findControl(k[0], k[1], k[2], k[3], c.section), c.control) << c.what;
  }
  EXPECT_EQ(ui.sysexControls.findControl(0x20, 2, 1, 5, 0), nullptr);
  ControlAction empty;
  EXPECT_FALSE(ui.registerSysExControl(empty, 8, 0, &knob));

  ControlAction cc;
  cc.channel = 3, cc.ccNumber = 74, cc.globalFlag = 0;
  ui.registerCCControl(cc, &knob);
  logged.plug->uiConfigManager->ccControls = ui.ccControls;
  EXPECT_EQ(logged.plug->getCCControls(3, 74, 0), &knob);
  EXPECT_EQ(logged.plug->getCCControls(3, 74, 1), nullptr);
}

TEST(EffectSections, FollowTheEffectParameterBlocks) {
  const std::pair<int, int> cases[] = {{3088, 0}, {3089, 1}, {3744, 1}, {3137, 2}, {3296, 3}, {4064, 4},
                                       {3393, 0}, {3408, 0}, {3409, 5}, {3489, 0}, {3505, 6}, {3905, 7},
                                       {4737, 0}, {4753, 8}, {5008, 9}, {4417, 10}, {5009, 0}};
  for (const auto& [index, section] : cases) EXPECT_EQ(UIConfigManager::effectSection(index), section) << index;
}
}  // namespace
