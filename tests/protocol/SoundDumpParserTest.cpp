// Received sound dumps: what they change, what the locks keep, and what
// malformed ones leave alone.
#include <gtest/gtest.h>

#include <random>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"
#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
using Bytes = std::vector<unsigned char>;

class SoundDumpParserTest : public ::testing::Test, public EngineFixture {
 protected:
  SoundDumpParserTest() {
    manager->virtualPause = [](int) { return true; };
  }

  // Every block a field of the table sets for one part.
  static std::vector<int> fieldBlocks(const SoundDumpField& f) {
    std::vector<int> blocks{f.a};
    if (f.b >= 0) blocks.push_back(f.b);
    if (f.c >= 0) blocks.push_back(f.c);
    return blocks;
  }

  void randomise(int part, unsigned seed) {
    std::mt19937 random(seed);
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : fieldBlocks(f)) {
        IParam* p = editor.paramAt(block + part);
        std::uniform_int_distribution<int> pick(static_cast<int>(p->GetMin()), static_cast<int>(p->GetMax()));
        p->Set(pick(random));
      }
  }

  std::vector<double> snapshot(int part) {
    std::vector<double> values;
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : fieldBlocks(f)) values.push_back(editor.value(block + part));
    return values;
  }

  void clearPart(int part) {
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : fieldBlocks(f)) editor.setValue(block + part, 0);
  }

  Bytes writtenDump(int part) {
    editor.clearRecords();
    manager->sender->sendPartToDevice(part, false, false);
    return editor.sentSysEx().at(0);
  }
};

TEST_F(SoundDumpParserTest, WrittenDumpParsesBackIntoTheSameParameters) {
  for (int part : {0, 7, 15}) {
    randomise(part, 1234u + static_cast<unsigned>(part));
    editor.setParamDisplayText(kPatchName + part, 0, "Round Trip");
    editor.setParamDisplayText(kCategoryName + part, 0, "RT");
    const std::vector<double> before = snapshot(part);
    const Bytes dump = writtenDump(part);
    clearPart(part);
    receive(dump);
    EXPECT_EQ(snapshot(part), before) << "part " << part;
    EXPECT_EQ(editor.paramDisplayText(kPatchName + part, 0), "Round Trip      ");
    EXPECT_EQ(editor.paramDisplayText(kCategoryName + part, 0), "RT  ");
    EXPECT_EQ(editor.patchNames()[static_cast<size_t>(1 + part)], "Round Trip      ");
    EXPECT_TRUE(manager->replyAccepted);
  }
}

// The locks as the instrument's receiving side describes them, written out
// independently of the byte table.
struct LockRange {
  int lock;
  std::vector<std::pair<int, int>> bytes;
};

const std::vector<LockRange> kLockRanges = {
    {kSectionLockOsc1, {{8, 20}}},
    {kSectionLockOsc2, {{24, 36}, {56, 56}}},
    {kSectionLockOsc3, {{40, 50}}},
    {kSectionLockMixer, {{68, 75}, {78, 79}}},
    {kSectionLockPitchMod, {{57, 58}, {60, 60}, {63, 64}}},
    {kSectionLockUnisono, {{65, 66}}},
    {kSectionLockNoiseExt, {{82, 83}}},
    {kSectionLockFilter1, {{84, 85}, {87, 88}, {93, 102}, {124, 125}}},
    {kSectionLockFilter2, {{104, 105}, {107, 108}, {113, 122}}},
    {kSectionLockFilterEnv, {{203, 203}, {206, 212}}},
    {kSectionLockAmp, {{128, 131}}},
    {kSectionLockAmpEnv, {{215, 215}, {218, 224}}},
    {kSectionLockFX1, {{135, 150}}},
    {kSectionLockFX2, {{151, 166}}},
    {kSectionLockArp, {{318, 330}, {334, 365}}},
    {kSectionLockEnv3, {{227, 227}, {230, 236}}},
    {kSectionLockEnv4, {{239, 239}, {242, 248}}},
    {kSectionLockLFO1, {{167, 168}, {170, 174}, {177, 177}}},
    {kSectionLockLFO2, {{179, 180}, {182, 186}, {189, 189}}},
    {kSectionLockLFO3, {{191, 192}, {194, 198}, {201, 201}}},
    {kSectionLockM1F, {{268, 270}}}, {kSectionLockM2F, {{271, 273}}}, {kSectionLockM3F, {{274, 276}}},
    {kSectionLockM4F, {{277, 279}}}, {kSectionLockM5F, {{280, 282}}}, {kSectionLockM6F, {{283, 285}}},
    {kSectionLockM7F, {{286, 288}}}, {kSectionLockM8F, {{289, 291}}}, {kSectionLockM1S, {{292, 294}}},
    {kSectionLockM2S, {{295, 297}}}, {kSectionLockM3S, {{298, 300}}}, {kSectionLockM4S, {{301, 303}}},
    {kSectionLockM5S, {{304, 306}}}, {kSectionLockM6S, {{307, 309}}}, {kSectionLockM7S, {{310, 312}}},
    {kSectionLockM8S, {{313, 315}}}, {kSectionLockMod1, {{252, 255}}}, {kSectionLockMod2, {{256, 259}}},
    {kSectionLockMod3, {{260, 263}}}, {kSectionLockMod4, {{264, 267}}},
};

TEST(SoundDumpLayout, EveryParameterByteHasTheLockTheInstrumentNames) {
  int covered = 0;
  for (const LockRange& range : kLockRanges)
    for (const auto& [first, last] : range.bytes)
      for (int byte = first; byte <= last; ++byte) {
        const SoundDumpField* field = soundDumpFieldAt(byte);
        ASSERT_NE(field, nullptr) << "byte " << byte;
        EXPECT_EQ(field->lock, range.lock) << "byte " << byte;
        ++covered;
      }
  EXPECT_EQ(covered, static_cast<int>(soundDumpFields().size()));
  EXPECT_EQ(kLockRanges.size(), static_cast<size_t>(kNumSectionLocks));
}

TEST_F(SoundDumpParserTest, LockedSectionsKeepTheirValues) {
  randomise(2, 99);
  const std::vector<double> sent = snapshot(2);
  const Bytes dump = writtenDump(2);
  for (const LockRange& range : kLockRanges) {
    clearPart(2);
    editor.setValue(range.lock + 2, 1.0);
    receive(dump);
    editor.setValue(range.lock + 2, 0.0);
    size_t i = 0;
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : fieldBlocks(f)) {
        const double expected = f.lock == range.lock ? 0.0 : sent[i];
        EXPECT_EQ(editor.value(block + 2), expected) << "byte " << f.byte << " with lock " << range.lock;
        ++i;
      }
  }
}

TEST_F(SoundDumpParserTest, OnlyALockOfExactlyOneHolds) {
  editor.setValue(kArpMode + 1, 0);
  for (double lock : {2.0, 0.5, 0.0}) {
    Bytes dump = writtenDump(1);
    dump[318] = 5;
    editor.setValue(kSectionLockArp + 1, lock);
    editor.setValue(kArpMode + 1, 0);
    receive(dump);
    EXPECT_EQ(editor.value(kArpMode + 1), 5) << "lock " << lock;
  }
}

struct DecodeCase {
  int byte;
  unsigned char value;
  std::vector<std::pair<int, double>> expected;  // block base, value (part 0)
};

class SoundDumpDecoding : public SoundDumpParserTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(SoundDumpDecoding, CombinedBytesSplitIntoTheirParameters) {
  const DecodeCase& c = GetParam();
  Bytes dump = writtenDump(0);
  dump[static_cast<size_t>(c.byte)] = c.value;
  receive(dump);
  for (const auto& [base, value] : c.expected) EXPECT_EQ(editor.value(base), value) << "block " << base;
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, SoundDumpDecoding,
    ::testing::Values(
        DecodeCase{65, 0x10, {{kOscillatorUnisono, 1}, {kOscillatorMonoPolyMode, 0}}},
        DecodeCase{65, 0x11, {{kOscillatorUnisono, 1}, {kOscillatorMonoPolyMode, 1}}},
        DecodeCase{65, 0x60, {{kOscillatorUnisono, 5}, {kOscillatorMonoPolyMode, 1}}},
        DecodeCase{203, 0x21, {{kFilterEnvMode, 1}, {kFilterEnvTrigger, 1}}},
        DecodeCase{203, 0x1F, {{kFilterEnvMode, 31}, {kFilterEnvTrigger, 0}}},
        DecodeCase{334, 0x2B, {{kArpPattern01Step, 2}, {kArpPattern01Glide, 1}, {kArpPattern01Accent, 3}}},
        DecodeCase{334, 0x23, {{kArpPattern01Step, 2}, {kArpPattern01Glide, 0}, {kArpPattern01Accent, 3}}},
        DecodeCase{350, 0x39, {{kArpPattern01StepLen, 3}, {kArpPattern01Timing, 9}}},
        DecodeCase{8, 27, {{kOscillator1Octave, 0}}}, DecodeCase{8, 4, {{kOscillator1Octave, 0}}},
        DecodeCase{124, 0, {{kFilterRouting, 0}, {kFilterRoutingParallel, 1}, {kFilterRoutingSerial, 0}}},
        DecodeCase{124, 1, {{kFilterRouting, 1}, {kFilterRoutingParallel, 0}, {kFilterRoutingSerial, 1}}},
        DecodeCase{125, 3, {{kFilterLinkValue, 3}, {kFilterLinkSwitch, 1}}},
        DecodeCase{125, 2, {{kFilterLinkValue, 2}, {kFilterLinkSwitch, 0}}},
        DecodeCase{142, 70, {{kEffect1Param06, 70}, {kFX1PhaserCenter, 70}, {kFX1VocoderAnalysisHiOffset, 70}}},
        DecodeCase{163, 9, {{kEffect2Param11, 9}, {kFX251DelayS1L, 9}, {kFX2DelaySyncedLength, 9}}}));

TEST_F(SoundDumpParserTest, ArpStepByteGoesThroughGlideZeroAndAccentElevenFirst) {
  Bytes dump = writtenDump(0);
  dump[334] = 0x2B;
  editor.clearRecords();
  receive(dump);
  std::vector<std::pair<int, double>> stepWrites;
  for (const auto& set : editor.plugSets())
    if (set.first == kArpPattern01Glide || set.first == kArpPattern01Accent) stepWrites.push_back(set);
  const std::vector<std::pair<int, double>> expected = {
      {kArpPattern01Glide, 0}, {kArpPattern01Accent, 11}, {kArpPattern01Accent, 3}, {kArpPattern01Glide, 1}};
  EXPECT_EQ(stepWrites, expected);
}

TEST_F(SoundDumpParserTest, FilterLinkValueIsRemembered) {
  Bytes dump = writtenDump(9);
  dump[125] = 3;
  receive(dump);
  EXPECT_EQ(editor.filterLinkValue(9), 3);
}

TEST_F(SoundDumpParserTest, DisplaysKeepShowingTheCurrentPart) {
  editor.currentPart = 1;
  editor.setParamDisplayText(kPatchName + 1, 0, "Shown");
  receive(SimulatedInstrument::soundDump(0, 0x30, 4, "Other Part"));
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 4, 0), "Other Part      ");
  EXPECT_EQ(editor.shownPatchName(), "Shown");
}

TEST_F(SoundDumpParserTest, ShortestAcceptedDumpHasNoChecksumOrEnd) {
  Bytes dump = SimulatedInstrument::soundDump(0, 0x30, 3, "Short");
  dump[318] = 6;
  dump.resize(390);
  receive(dump);
  EXPECT_EQ(editor.value(kArpMode + 3), 6);
  dump.resize(389);
  dump[318] = 2;
  receive(dump);
  EXPECT_EQ(editor.value(kArpMode + 3), 6);
}

// Malformed dumps from the instrument: which change nothing at all.
struct Malformed {
  const char* what;
  SimulatedInstrument::Malformation kind;
};

class MalformedDumps : public SoundDumpParserTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedDumps, ChangeNothing) {
  SimulatedInstrument instrument;
  instrument.setMalformation(GetParam().kind);
  const auto replies = instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x02, 0xF7});
  ASSERT_EQ(replies.size(), 1u);
  editor.clearRecords();
  manager->replyAccepted = true;
  receive(replies[0]);
  EXPECT_TRUE(editor.plugSets().empty()) << GetParam().what;
  EXPECT_TRUE(manager->replyAccepted) << GetParam().what;
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 2, 0), "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, MalformedDumps,
                         ::testing::Values(Malformed{"truncated", SimulatedInstrument::Malformation::kTruncated},
                                           Malformed{"part 32", SimulatedInstrument::Malformation::kPartAbove15},
                                           Malformed{"wrong model", SimulatedInstrument::Malformation::kWrongHeader}));

TEST_F(SoundDumpParserTest, PartAboveFifteenIsLogged) {
  Bytes dump = SimulatedInstrument::soundDump(0, 0x30, 0, "X");
  dump[6] = 16;
  receive(dump);
  ASSERT_EQ(editor.logLines().size(), 1u);
  EXPECT_EQ(editor.logLines()[0].rfind("PROCESSOR: ", 0), 0u);
}

TEST_F(SoundDumpParserTest, WrongChecksumIsAppliedAndLogged) {
  SimulatedInstrument instrument;
  instrument.setMalformation(SimulatedInstrument::Malformation::kWrongChecksum);
  receive(instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x05, 0xF7}).at(0));
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 5, 0), "PART A06        ");
  ASSERT_EQ(editor.logLines().size(), 1u);
  EXPECT_NE(editor.logLines()[0].find("checksum"), std::string::npos);
}

TEST_F(SoundDumpParserTest, HighAndOverlongBytesKeepEveryParameterInItsRange) {
  SimulatedInstrument instrument;
  for (auto kind : {SimulatedInstrument::Malformation::kHighBytes, SimulatedInstrument::Malformation::kOverlong}) {
    instrument.setMalformation(kind);
    Bytes dump = instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x06, 0xF7}).at(0);
    for (int byte = 8; byte < 366; ++byte) dump[static_cast<size_t>(byte)] |= 0x80;
    receive(dump);
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : fieldBlocks(f)) {
        IParam* p = editor.paramAt(block + 6);
        EXPECT_GE(p->Value(), p->GetMin());
        EXPECT_LE(p->Value(), p->GetMax());
      }
  }
}

TEST_F(SoundDumpParserTest, NothingIsParsedUnlessADumpIsExpected) {
  receive(SimulatedInstrument::soundDump(0, 0x30, 0, "Unasked"), false);
  EXPECT_EQ(editor.paramDisplayText(kPatchName, 0), "");
}
}  // namespace
