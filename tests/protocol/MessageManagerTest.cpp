// The manager's own operations: the SysEx exit for integer lists, the
// effect slots, and the librarian reply records.
#include <gtest/gtest.h>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"

namespace {
using Bytes = std::vector<unsigned char>;

class MessageManagerTest : public ::testing::Test, public EngineFixture {};

TEST_F(MessageManagerTest, SysexMessageLeavesAsBytes) {
  manager->sendSysexMessage({0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x142});
  EXPECT_EQ(editor.sentSysEx(), (std::vector<Bytes>{{0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x42}}));
}

TEST_F(MessageManagerTest, SysexMessageNeedsAnOutputAndContent) {
  manager->sendSysexMessage({});
  EXPECT_TRUE(editor.sentSysEx().empty());
  EXPECT_TRUE(editor.statusTexts().empty());
  editor.setValue(kDeviceOutSelection, 0);
  manager->sendSysexMessage({0x3E});
  EXPECT_TRUE(editor.sentSysEx().empty());
  EXPECT_EQ(editor.statusTexts(), std::vector<std::string>{"Set MIDI I/O First!"});
}

struct MirrorCase {
  int named;
  int part;
  int value;
  int slot;
  double expected;
};

class EffectMirroring : public MessageManagerTest, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(EffectMirroring, NamedEditLandsInItsSlotOnly) {
  const MirrorCase& c = GetParam();
  editor.paramAt(c.slot + c.part)->InitInt("", 0, 10, 100);
  manager->SetFX1ParameterChangesToDefaultParameters(c.named + c.part, c.value);
  manager->SetFX2ParameterChangesToDefaultParameters(c.named + c.part, c.value);
  EXPECT_EQ(editor.value(c.slot + c.part), c.expected);
  EXPECT_TRUE(editor.plugSets().empty());  // no control is redrawn
  for (int other = kEffect1Param01; other < kEffect2Param14 + 16; ++other) {
    if (other != c.slot + c.part) {
      EXPECT_EQ(editor.value(other), 0) << other;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Slots, EffectMirroring,
                         ::testing::Values(MirrorCase{kFX1PhaserCenter, 3, 70, kEffect1Param06, 70},
                                           MirrorCase{kFX1PhaserCenter, 3, 120, kEffect1Param06, 100},
                                           MirrorCase{kFX1PhaserCenter, 3, 2, kEffect1Param06, 10},
                                           MirrorCase{kFX2ReverbSize, 0, 55, kEffect2Param01, 55},
                                           MirrorCase{kFX2DelaySyncedLength, 15, 33, kEffect2Param11, 33},
                                           MirrorCase{kFX1VocoderEQHighBandLevel, 8, 44, kEffect1Param14, 44}));

TEST_F(MessageManagerTest, SlotsAndUnlistedParametersMirrorNothing) {
  for (int idx : {kEffect1Param06 + 3, static_cast<int>(kFilter1Cutoff), kFX1ChorusSpeed - 1}) {
    manager->SetFX1ParameterChangesToDefaultParameters(idx, 70);
    manager->SetFX2ParameterChangesToDefaultParameters(idx, 70);
  }
  for (int idx = kEffect1Param01; idx < kEffect2Param14 + 16; ++idx) EXPECT_EQ(editor.value(idx), 0) << idx;
}

class ReplyRecords : public MessageManagerTest {
 protected:
  void SetUp() override {
    librarian.addBank(0, "Sounds.syx");
    librarian.addBank(1, "Multis.syx");
    librarian.targetSlot = 4;
  }
};

TEST_F(ReplyRecords, SoundDumpCompletesTheRecordAtOnce) {
  manager->patchRequest.arm();
  receive(SimulatedInstrument::soundDump(0, 1, 4, "Library Lead"), false);
  EXPECT_FALSE(manager->patchRequest.active);
  EXPECT_TRUE(manager->replyAccepted);
  const LibrarianPatch entry = librarian.entryAt(0, 0, 4);
  ASSERT_EQ(entry.dumps.size(), 1u);
  EXPECT_EQ(entry.name, "Library Lead    ");
}

TEST_F(ReplyRecords, ShortMessagesBeforeTheDumpAreNotCollected) {
  manager->patchRequest.arm();
  receive({0xF0, 0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x10, 0x05, 0xF7}, false);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_FALSE(manager->replyAccepted);
  receive(SimulatedInstrument::soundDump(0, 1, 4, "After Short"), false);
  const LibrarianPatch entry = librarian.entryAt(0, 0, 4);
  ASSERT_EQ(entry.dumps.size(), 1u);
  EXPECT_EQ(entry.dumps[0].bytes.size(), 392u);
  EXPECT_EQ(entry.name, "After Short     ");
}

TEST_F(ReplyRecords, CompletionNeedsThreeHundredNinetyBytesOfTheRightKind) {
  manager->patchRequest.arm();
  Bytes dump = SimulatedInstrument::soundDump(0, 1, 4, "Sized");
  receive(Bytes(dump.begin(), dump.begin() + 389), false);
  EXPECT_TRUE(manager->patchRequest.active);
  receive(SimulatedInstrument::multiDump(0, 0, 4, "A Multi"), false);
  EXPECT_TRUE(manager->patchRequest.active);
  receive(Bytes(dump.begin(), dump.begin() + 390), false);
  EXPECT_FALSE(manager->patchRequest.active);
}

TEST_F(ReplyRecords, MultiRecordIsServedFirstAndTakesTheMultiName) {
  librarian.librarianMode = 1;
  manager->patchRequest.arm();
  manager->performanceRequest.arm();
  receive(SimulatedInstrument::multiDump(0, 0, 2, "Stage Multi"), false);
  EXPECT_FALSE(manager->performanceRequest.active);
  EXPECT_TRUE(manager->patchRequest.active);
  EXPECT_EQ(librarian.entryAt(1, 0, 4).name, "Stage Multi     ");
}

TEST_F(ReplyRecords, WhileArmedNothingReachesTheParameters) {
  manager->patchRequest.arm();
  receive(SimulatedInstrument::soundDump(0, 0x30, 0, "Not For Editor"));
  EXPECT_EQ(editor.paramDisplayText(kPatchName, 0), "");
}

TEST_F(ReplyRecords, MessagesFromTheHostAreIgnored) {
  manager->patchRequest.arm();
  const Bytes dump = SimulatedInstrument::soundDump(0, 1, 4, "From Host");
  ISysEx message(0, dump.data(), static_cast<int>(dump.size()));
  manager->ProcessSysEx(&message, false);
  EXPECT_TRUE(manager->patchRequest.active);
}
}  // namespace
