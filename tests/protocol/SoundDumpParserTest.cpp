// Received sound dumps: what they change, what the locks keep, and what
// malformed ones leave alone.
#include <gtest/gtest.h>

#include <random>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"
#include "SoundDumpLayout.h"

namespace {
using Bytes = std::vector<unsigned char>;

class SoundDumpParserTest : public ::testing::Test, public EngineFixture {
 protected:
  SoundDumpParserTest() {
    manager->virtualPause = [](int) { return true; };
  }

  // Calls fn(field, parameter) for every parameter of the part a dump carries.
  template <typename Fn>
  void forEachParameter(int part, Fn fn) {
    for (const SoundDumpField& f : soundDumpFields())
      for (int block : {f.a, f.b, f.c})
        if (block >= 0) fn(f, *editor.paramAt(block + part));
  }
  void randomise(int part, unsigned seed) {
    std::mt19937 random(seed);
    forEachParameter(part, [&](const SoundDumpField&, IParam& p) {
      p.Set(std::uniform_int_distribution<int>(static_cast<int>(p.GetMin()), static_cast<int>(p.GetMax()))(random));
    });
  }
  std::vector<double> snapshot(int part) {
    std::vector<double> values;
    forEachParameter(part, [&](const SoundDumpField&, IParam& p) { values.push_back(p.Value()); });
    return values;
  }
  void clearPart(int part) {
    forEachParameter(part, [](const SoundDumpField&, IParam& p) { p.Set(0); });
  }
  Bytes writtenDump(int part) {
    editor.clearRecords();
    manager->sender->sendPartToDevice(part, false, false);
    return editor.sentSysEx().at(0);
  }
};

TEST_F(SoundDumpParserTest, WrittenDumpParsesBackIntoTheSameParameters) {
  editor.currentPart = 1;
  editor.setParamDisplayText(kPatchName + 1, 0, "Shown");
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
  EXPECT_EQ(editor.shownPatchName(), "Shown");  // the displays keep showing the current part
}

// The locks as the instrument's receiving side describes them, written out
// independently of the byte table.
struct LockRange {
  int lock;
  std::vector<std::pair<int, int>> bytes;
};

const LockRange kLockRanges[] = {
    {kSectionLockOsc1, {{8, 20}}}, {kSectionLockOsc2, {{24, 36}, {56, 56}}}, {kSectionLockOsc3, {{40, 50}}},
    {kSectionLockMixer, {{68, 75}, {78, 79}}}, {kSectionLockPitchMod, {{57, 58}, {60, 60}, {63, 64}}},
    {kSectionLockUnisono, {{65, 66}}}, {kSectionLockNoiseExt, {{82, 83}}},
    {kSectionLockFilter1, {{84, 85}, {87, 88}, {93, 102}, {124, 125}}},
    {kSectionLockFilter2, {{104, 105}, {107, 108}, {113, 122}}}, {kSectionLockFilterEnv, {{203, 203}, {206, 212}}},
    {kSectionLockAmp, {{128, 131}}}, {kSectionLockAmpEnv, {{215, 215}, {218, 224}}}, {kSectionLockFX1, {{135, 150}}},
    {kSectionLockFX2, {{151, 166}}}, {kSectionLockArp, {{318, 330}, {334, 365}}},
    {kSectionLockEnv3, {{227, 227}, {230, 236}}}, {kSectionLockEnv4, {{239, 239}, {242, 248}}},
    {kSectionLockLFO1, {{167, 168}, {170, 174}, {177, 177}}}, {kSectionLockLFO2, {{179, 180}, {182, 186}, {189, 189}}},
    {kSectionLockLFO3, {{191, 192}, {194, 198}, {201, 201}}},
    {kSectionLockM1F, {{268, 270}}}, {kSectionLockM2F, {{271, 273}}}, {kSectionLockM3F, {{274, 276}}},
    {kSectionLockM4F, {{277, 279}}}, {kSectionLockM5F, {{280, 282}}}, {kSectionLockM6F, {{283, 285}}},
    {kSectionLockM7F, {{286, 288}}}, {kSectionLockM8F, {{289, 291}}}, {kSectionLockM1S, {{292, 294}}},
    {kSectionLockM2S, {{295, 297}}}, {kSectionLockM3S, {{298, 300}}}, {kSectionLockM4S, {{301, 303}}},
    {kSectionLockM5S, {{304, 306}}}, {kSectionLockM6S, {{307, 309}}}, {kSectionLockM7S, {{310, 312}}},
    {kSectionLockM8S, {{313, 315}}}, {kSectionLockMod1, {{252, 255}}}, {kSectionLockMod2, {{256, 259}}},
    {kSectionLockMod3, {{260, 263}}}, {kSectionLockMod4, {{264, 267}}},
};

TEST_F(SoundDumpParserTest, EachLockKeepsExactlyTheBytesTheInstrumentNames) {
  randomise(2, 99);
  const std::vector<double> sent = snapshot(2);
  const Bytes dump = writtenDump(2);
  size_t lockedBytes = 0;
  for (const LockRange& range : kLockRanges) {
    clearPart(2);
    editor.setValue(range.lock + 2, 1.0);
    receive(dump);
    editor.setValue(range.lock + 2, 0.0);
    size_t i = 0;
    forEachParameter(2, [&](const SoundDumpField& f, IParam& p) {
      const bool locked = std::any_of(range.bytes.begin(), range.bytes.end(),
                                      [&](const auto& r) { return f.byte >= r.first && f.byte <= r.second; });
      const double unlocked = sent[i++];
      EXPECT_EQ(p.Value(), locked ? 0.0 : unlocked) << "byte " << f.byte << " with lock " << range.lock;
    });
    for (const auto& [first, last] : range.bytes) lockedBytes += static_cast<size_t>(last - first + 1);
  }
  EXPECT_EQ(lockedBytes, soundDumpFields().size());  // every parameter byte has its lock
  // Only a lock of exactly 1 holds.
  Bytes arpMode5 = dump;
  arpMode5[318] = 5;
  for (double lock : {2.0, 0.5}) {
    editor.setValue(kSectionLockArp + 2, lock);
    editor.setValue(kArpMode + 2, 0);
    receive(arpMode5);
    EXPECT_EQ(editor.value(kArpMode + 2), 5) << "lock " << lock;
  }
}

TEST_F(SoundDumpParserTest, CombinedBytesSplitIntoTheirParameters) {
  const struct {
    int byte;
    unsigned char value;
    std::vector<std::pair<int, double>> expected;  // block base, value (part 0)
  } cases[] = {
      {65, 0x11, {{kOscillatorUnisono, 1}, {kOscillatorMonoPolyMode, 1}}},
      {65, 0x10, {{kOscillatorUnisono, 1}, {kOscillatorMonoPolyMode, 0}}},
      {65, 0x60, {{kOscillatorUnisono, 5}, {kOscillatorMonoPolyMode, 1}}},
      {203, 0x21, {{kFilterEnvMode, 1}, {kFilterEnvTrigger, 1}}},
      {203, 0x1F, {{kFilterEnvMode, 31}, {kFilterEnvTrigger, 0}}},
      {334, 0x2B, {{kArpPattern01Step, 2}, {kArpPattern01Glide, 1}, {kArpPattern01Accent, 3}}},
      {334, 0x23, {{kArpPattern01Step, 2}, {kArpPattern01Glide, 0}, {kArpPattern01Accent, 3}}},
      {350, 0x39, {{kArpPattern01StepLen, 3}, {kArpPattern01Timing, 9}}},
      {8, 27, {{kOscillator1Octave, 0}}}, {8, 4, {{kOscillator1Octave, 0}}},
      {124, 0, {{kFilterRouting, 0}, {kFilterRoutingParallel, 1}, {kFilterRoutingSerial, 0}}},
      {124, 1, {{kFilterRouting, 1}, {kFilterRoutingParallel, 0}, {kFilterRoutingSerial, 1}}},
      {142, 70, {{kEffect1Param06, 70}, {kFX1PhaserCenter, 70}, {kFX1VocoderAnalysisHiOffset, 70}}},
      {163, 9, {{kEffect2Param11, 9}, {kFX251DelayS1L, 9}, {kFX2DelaySyncedLength, 9}}},
      {125, 2, {{kFilterLinkValue, 2}, {kFilterLinkSwitch, 0}}},
      {125, 3, {{kFilterLinkValue, 3}, {kFilterLinkSwitch, 1}}},
  };
  const Bytes written = writtenDump(0);
  for (const auto& c : cases) {
    Bytes dump = written;
    dump[static_cast<size_t>(c.byte)] = c.value;
    receive(dump);
    for (const auto& [base, value] : c.expected)
      EXPECT_EQ(editor.value(base), value) << "byte " << c.byte << " block " << base;
  }
  EXPECT_EQ(editor.filterLinkValue(0), 3);  // remembered for the link switch
}

TEST_F(SoundDumpParserTest, MalformedOrUnaskedDumpsChangeNothing) {
  using M = SimulatedInstrument::Malformation;
  const struct {
    const char* what;
    M kind;
    int size;  // cut to this many bytes; 0: as sent
    bool expected;
    const char* log;  // the start of the one log line, or null
  } cases[] = {{"truncated", M::kTruncated, 0, true, nullptr},
               {"389 bytes", M::kNone, 389, true, nullptr},
               {"part 32", M::kPartAbove15, 0, true, "PROCESSOR: sound dump for part 32 ignored"},
               {"wrong model", M::kWrongHeader, 0, true, nullptr},
               {"not expected", M::kNone, 0, false, nullptr}};
  SimulatedInstrument instrument;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    instrument.setMalformation(c.kind);
    Bytes reply = instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x02, 0xF7}).at(0);
    if (c.size) reply.resize(static_cast<size_t>(c.size));
    editor.clearRecords();
    manager->replyAccepted = true;
    manager->dumpExpected = false;
    receive(reply, c.expected);
    EXPECT_TRUE(editor.plugSets().empty());
    EXPECT_TRUE(manager->replyAccepted);
    EXPECT_EQ(editor.paramDisplayText(kPatchName + 2, 0), "");
    EXPECT_EQ(editor.logLines(), c.log ? std::vector<std::string>{c.log} : std::vector<std::string>{});
  }
  // Junk the instrument might send of its own accord.
  Bytes badPart = SimulatedInstrument::soundDump(5, 0x30, 0, "Bad");
  badPart[6] = 0x40;
  for (const Bytes& junk : {Bytes{0xF0, 0xF7}, Bytes{0xF0}, Bytes(391, 0x80), badPart, Bytes(60, 0x00),
                            Bytes{0xF0, 0x3E, 0x10, 0x05, 0x20, 0x7F, 0x00, 0x10, 0x05, 0xF7}})
    receive(junk);
  EXPECT_TRUE(editor.plugSets().empty());
  for (int p = 0; p < 16; ++p) EXPECT_EQ(editor.paramDisplayText(kPatchName + p, 0), "") << p;
  // 390 bytes, without checksum and end, are enough.
  Bytes dump = SimulatedInstrument::soundDump(0, 0x30, 3, "Short");
  dump[318] = 6;
  dump.resize(390);
  receive(dump);
  EXPECT_EQ(editor.value(kArpMode + 3), 6);
}

TEST_F(SoundDumpParserTest, AWrongChecksumIsAppliedAndLoggedAndHighBytesStayInRange) {
  SimulatedInstrument instrument;
  instrument.setMalformation(SimulatedInstrument::Malformation::kWrongChecksum);
  receive(instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x05, 0xF7}).at(0));
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 5, 0), "PART A06        ");
  EXPECT_EQ(editor.logLines(), std::vector<std::string>{"PROCESSOR: sound dump for part 5 has a wrong checksum"});

  for (auto kind : {SimulatedInstrument::Malformation::kHighBytes, SimulatedInstrument::Malformation::kOverlong}) {
    instrument.setMalformation(kind);
    Bytes dump = instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x06, 0xF7}).at(0);
    for (int byte = 8; byte < 366; ++byte) dump[static_cast<size_t>(byte)] |= 0x80;
    receive(dump);
    forEachParameter(6, [](const SoundDumpField&, IParam& p) {
      EXPECT_GE(p.Value(), p.GetMin());
      EXPECT_LE(p.Value(), p.GetMax());
    });
  }
}
}  // namespace
