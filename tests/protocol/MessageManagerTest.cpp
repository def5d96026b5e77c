// The manager's own operations: the SysEx exit for integer lists, the
// effect slots, and the librarian reply records.
#include <gtest/gtest.h>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"

namespace {
using Bytes = std::vector<unsigned char>;

class MessageManagerTest : public ::testing::Test, public EngineFixture {};

TEST_F(MessageManagerTest, SysexMessageLeavesAsBytesAndNeedsAnOutputAndContent) {
  manager->sendSysexMessage({0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x142});
  manager->sendSysexMessage({});
  EXPECT_EQ(editor.sentSysEx(), (std::vector<Bytes>{{0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x42}}));
  EXPECT_TRUE(editor.statusTexts().empty());
  editor.setValue(kDeviceOutSelection, 0);
  manager->sendSysexMessage({0x3E});
  EXPECT_EQ(editor.sentSysEx().size(), 1u);
  EXPECT_EQ(editor.statusTexts(), std::vector<std::string>{"Set MIDI I/O First!"});
}

TEST_F(MessageManagerTest, ANamedEffectEditLandsInItsSlotOnlyAndSlotsMirrorNothing) {
  const struct {
    int named, part, value, slot;
    double expected;  // the slot's range is 10..100
  } cases[] = {{kFX1PhaserCenter, 3, 70, kEffect1Param06, 70},
               {kFX1PhaserCenter, 3, 120, kEffect1Param06, 100},
               {kFX1PhaserCenter, 3, 2, kEffect1Param06, 10},
               {kFX2ReverbSize, 0, 55, kEffect2Param01, 55},
               {kFX2DelaySyncedLength, 15, 33, kEffect2Param11, 33},
               {kFX1VocoderEQHighBandLevel, 8, 44, kEffect1Param14, 44},
               // Slots themselves and parameters without a slot mirror nothing.
               {kEffect1Param06, 3, 70, -1, 0}, {kFilter1Cutoff, 0, 70, -1, 0}, {kFX1ChorusSpeed - 1, 0, 70, -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named + c.part);
    EngineFixture fresh;
    if (c.slot >= 0) fresh.editor.paramAt(c.slot + c.part)->InitInt("", 0, 10, 100);
    fresh.manager->SetFX1ParameterChangesToDefaultParameters(c.named + c.part, c.value);
    fresh.manager->SetFX2ParameterChangesToDefaultParameters(c.named + c.part, c.value);
    for (int idx = kEffect1Param01; idx < kEffect2Param14 + 16; ++idx)
      EXPECT_EQ(fresh.editor.value(idx), idx == c.slot + c.part ? c.expected : 0) << idx;
    EXPECT_TRUE(fresh.editor.plugSets().empty());  // no control is redrawn
  }
}

class ReplyRecords : public MessageManagerTest {
 protected:
  void SetUp() override {
    librarian.addBank(0, "Sounds.syx");
    librarian.addBank(1, "Multis.syx");
    manager->patchRequest.arm(4);
  }
  LibrarianPatch slot() { return librarian.entryAt(0, 0, 4); }
};

TEST_F(ReplyRecords, OnlyASoundDumpCompletesTheSoundRecordAndIsAllItHolds) {
  const Bytes dump = SimulatedInstrument::soundDump(0, 1, 4, "Library Lead");
  receive({0xF0, 0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x05, 0xF7}, false);
  receive(Bytes(dump.begin(), dump.begin() + 389), false);
  receive(SimulatedInstrument::multiDump(0, 0, 4, "A Multi"), false);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_FALSE(manager->replyAccepted);
  receive(Bytes(dump.begin(), dump.begin() + 390), false);
  EXPECT_FALSE(manager->patchRequest.active);
  EXPECT_TRUE(manager->replyAccepted);
  ASSERT_EQ(slot().dumps.size(), 1u);
  EXPECT_EQ(slot().dumps[0].bytes, Bytes(dump.begin(), dump.begin() + 390));
  EXPECT_EQ(slot().name, "Library Lead    ");
  EXPECT_EQ(slot().category, "SIM ");
}

TEST_F(ReplyRecords, MultiRecordIsServedFirstAndTakesTheMultiName) {
  librarian.librarianMode = 1;
  manager->performanceRequest.arm(4);
  receive(SimulatedInstrument::multiDump(0, 0, 2, "Stage Multi"), false);
  EXPECT_FALSE(manager->performanceRequest.active);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_EQ(librarian.entryAt(1, 0, 4).name, "Stage Multi     ");
}

TEST_F(ReplyRecords, WhileArmedNothingReachesTheParametersAndTheHostIsIgnored) {
  receive(SimulatedInstrument::soundDump(0, 0x30, 0, "Not For Editor"));
  EXPECT_EQ(editor.paramDisplayText(kPatchName, 0), "");
  manager->patchRequest.arm(4);
  const Bytes dump = SimulatedInstrument::soundDump(0, 1, 4, "From Host");
  ISysEx message(0, dump.data(), static_cast<int>(dump.size()));
  manager->ProcessSysEx(&message, false);
  EXPECT_TRUE(manager->patchRequest.active);
}
}  // namespace
