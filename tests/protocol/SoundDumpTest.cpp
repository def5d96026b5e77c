// Sound dumps: what leaves the editor, byte for byte, and what a received
// one changes, what the locks keep, and what malformed ones leave alone.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"
#include "SoundDumpLayout.h"

namespace {
using Bytes = std::vector<unsigned char>;
using M = SimulatedInstrument::Malformation;

unsigned char checksumOf(const Bytes& dump) { return std::accumulate(dump.begin() + 4, dump.begin() + 390, 0u) & 0x7F; }

// The dump of a part whose parameters all hold 0, written out from the
// instrument's description rather than from the code's table.
Bytes expectedZeroDump(int deviceId, int part, const std::string& name, const std::string& category) {
  Bytes d(392, 0x00);
  const unsigned char header[] = {0xF0, 0x3E, 0x10, static_cast<unsigned char>(deviceId), 0x10, 0x30,
                                  static_cast<unsigned char>(part), 0x01};
  std::copy(std::begin(header), std::end(header), d.begin());
  for (int b : {8, 24, 40}) d[b] = 0x10;  // octave 0
  for (int b : {9, 25, 41}) d[b] = 0x34;  // semitone 0
  for (int b : {11, 27, 43}) d[b] = 0x28;  // bend range 0
  for (int b : {76, 77, 86, 89, 90, 91, 92, 106, 109, 110, 111, 112, 204, 216, 228, 240, 316}) d[b] = 0x40;
  d[202] = 0x01;
  d[251] = 0x01;
  d[333] = 0x37;
  d[366] = 0x44;
  for (int i = 0; i < 16; ++i) d[370 + i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
  for (int i = 0; i < 4; ++i) d[386 + i] = i < static_cast<int>(category.size()) ? category[i] : ' ';
  d[390] = checksumOf(d);
  d[391] = 0xF7;
  return d;
}

class SoundDumpTest : public ::testing::Test, public EngineFixture {
 protected:
  SoundDumpTest() {
    manager->virtualPause = [](int) { return true; };
  }

  // The dump the part's send leaves (empty when nothing left).
  Bytes sendPart(int part, bool toLibrarian = false) {
    editor.clearRecords();
    manager->sender->sendPartToDevice(manager->picks.current(part), part, toLibrarian, false);
    const auto sent = editor.sentSysEx();
    return sent.empty() ? Bytes{} : sent.back();
  }
  void name(int part, const std::string& sound, const std::string& category) {
    editor.setParamDisplayText(kPatchName + part, 0, sound);
    editor.setParamDisplayText(kCategoryName + part, 0, category);
  }
  // The simulated instrument's answer to a request for the part.
  static Bytes reply(M kind, int part) {
    SimulatedInstrument instrument;
    instrument.setMalformation(kind);
    return instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, static_cast<unsigned char>(part), 0xF7}).at(0);
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
};

TEST_F(SoundDumpTest, PartAtZeroIsByteExactWithBlanksForEmptyNames) {
  editor.setValue(kGlobalSysExID, 0x11);
  name(4, "Bass Line", "BASS");
  EXPECT_EQ(sendPart(4), expectedZeroDump(0x11, 4, "Bass Line", "BASS"));
  EXPECT_EQ(sendPart(0), expectedZeroDump(0x11, 0, "", ""));
  EXPECT_EQ(editor.patchNames()[1], "Set Name");
  EXPECT_EQ(editor.patchNames()[19], "Set Name");
}

TEST_F(SoundDumpTest, EachEncodingCarriesTheValueAtItsOffset) {
  const struct {
    const char* what;
    std::vector<std::pair<int, double>> values;  // block base, value (part 5)
    int byte;
    unsigned char expected;
  } cases[] = {
      {"detune", {{kOscillator1Detune, 5}}, 10, 5},
      {"octave 3", {{kOscillator2Octave, 3}}, 24, 52},
      {"semitone 7 (five below)", {{kOscillator3Semitone, 7}}, 41, 59},
      {"bend 12", {{kOscillator1BendRange, 12}}, 11, 52},
      {"unisono 2 mono", {{kOscillatorUnisono, 2}, {kOscillatorMonoPolyMode, 1}}, 65, 0x21},
      {"link value", {{kFilterLinkValue, 3}}, 125, 3},
      {"fx2 slot 14", {{kEffect2Param14, 42}}, 166, 42},
      {"amp env", {{kAmpEnvTrigger, 1}, {kAmpEnvMode, 3}}, 215, 0x23},
      {"mod8 amount", {{kMod8StandardAmount, 77}}, 315, 77},
      {"step glide 1", {{kArpPattern02Step, 2}, {kArpPattern02Glide, 1}, {kArpPattern02Accent, 3}}, 335, 0x2B},
      {"step glide 0", {{kArpPattern02Step, 2}, {kArpPattern02Glide, 0}, {kArpPattern02Accent, 3}}, 335, 0x23},
      {"timing", {{kArpPattern16StepLen, 3}, {kArpPattern16Timing, 9}}, 365, 0x39},
  };
  for (const auto& c : cases) {
    for (const auto& [base, value] : c.values) editor.setValue(base + 5, value);
    const Bytes dump = sendPart(5);
    ASSERT_EQ(dump.size(), 392u);
    EXPECT_EQ(dump[static_cast<size_t>(c.byte)], c.expected) << c.what;
  }
}

TEST_F(SoundDumpTest, NamesAreCleanedAndCutInTheDumpOnlyAndNoByteReachesTheStatusRange) {
  editor.currentPart = 3;
  editor.paramAt(kOscillator1Detune + 3)->InitInt("", 300, 0, 300);
  name(3, "Caf\xC3\xA9 \x01Lead Longer Name", "\x80XYZW");
  const Bytes dump = sendPart(3);
  EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 390), "Caf    Lead Long XYZ");
  EXPECT_EQ(dump[10], 0x7F);
  for (size_t i = 1; i + 1 < dump.size(); ++i) EXPECT_LT(dump[i], 0x80) << "byte " << i;
  EXPECT_EQ(editor.patchNames()[4], "Caf\xC3\xA9 \x01Lead Longer Name");
  EXPECT_EQ(editor.shownPatchName(), "Caf\xC3\xA9 \x01Lead Longer Name");
  EXPECT_EQ(editor.shownCategoryName(), "\x80XYZW");
  EXPECT_EQ(editor.indicatorOn(), 1);

  editor.sendAllParts = true;  // names and indicator are left alone
  editor.currentPart = 0;
  name(0, "Quiet", "QT");
  sendPart(0);
  EXPECT_EQ(editor.patchNames()[1], "INIT");
  EXPECT_EQ(editor.shownPatchName(), "Caf\xC3\xA9 \x01Lead Longer Name");
  EXPECT_EQ(editor.indicatorOn(), 1);
  EXPECT_EQ(editor.indicatorOff(), 2);
}

TEST_F(SoundDumpTest, LibraryPathAddressesTheBankSlotWithAValidChecksum) {
  librarian.addBank(0, "A.syx");
  librarian.targetSlot = 7;
  librarian.currentProgram = 42;
  editor.setValue(kMultiPartBank + 6, 2);
  name(6, "Lib Sound", "LIB");
  sendPart(6, true);
  EXPECT_TRUE(editor.sentSysEx().empty());  // nothing goes to the instrument
  const LibrarianPatch entry = librarian.entryAt(0, 0, 7);
  ASSERT_EQ(entry.dumps.size(), 1u);
  const Bytes& dump = entry.dumps[0].bytes;
  ASSERT_EQ(dump.size(), 392u);
  EXPECT_EQ(dump[5], 2);
  EXPECT_EQ(dump[6], 42);
  EXPECT_EQ(dump[390], checksumOf(dump));
  EXPECT_EQ(entry.name, "Lib Sound       ");
}

TEST_F(SoundDumpTest, NothingLeavesForAPartOutsideTheSixteenOrWithoutMidi) {
  EXPECT_TRUE(sendPart(16).empty());
  EXPECT_TRUE(sendPart(-1).empty());
  EXPECT_TRUE(editor.statusTexts().empty());
  editor.midiConfigured = false;
  EXPECT_TRUE(sendPart(1).empty());
  EXPECT_EQ(editor.statusTexts(), std::vector<std::string>{"Set MIDI I/O First!"});
  EXPECT_EQ(editor.indicatorOff(), 1);
}

TEST_F(SoundDumpTest, WrittenDumpParsesBackIntoTheSameParameters) {
  editor.currentPart = 1;
  editor.setParamDisplayText(kPatchName + 1, 0, "Shown");
  for (int part : {0, 7, 15}) {
    randomise(part, 1234u + static_cast<unsigned>(part));
    name(part, "Round Trip", "RT");
    const std::vector<double> before = snapshot(part);
    const Bytes dump = sendPart(part);
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
const struct {
  int lock;
  std::vector<std::pair<int, int>> bytes;
} kLockRanges[] = {
    {kSectionLockOsc1, {{8, 20}}}, {kSectionLockOsc2, {{24, 36}, {56, 56}}}, {kSectionLockOsc3, {{40, 50}}},
    {kSectionLockMixer, {{68, 75}, {78, 79}}}, {kSectionLockPitchMod, {{57, 58}, {60, 60}, {63, 64}}},
    {kSectionLockUnisono, {{65, 66}}}, {kSectionLockNoiseExt, {{82, 83}}},
    {kSectionLockFilter1, {{84, 85}, {87, 88}, {93, 102}, {124, 125}}},
    {kSectionLockFilter2, {{104, 105}, {107, 108}, {113, 122}}}, {kSectionLockFilterEnv, {{203, 203}, {206, 212}}},
    {kSectionLockAmp, {{128, 131}}}, {kSectionLockAmpEnv, {{215, 215}, {218, 224}}}, {kSectionLockFX1, {{135, 150}}},
    {kSectionLockFX2, {{151, 166}}}, {kSectionLockArp, {{318, 330}, {334, 365}}},
    {kSectionLockEnv3, {{227, 227}, {230, 236}}}, {kSectionLockEnv4, {{239, 239}, {242, 248}}},
    {kSectionLockLFO1, {{167, 168}, {170, 174}, {177, 177}}}, {kSectionLockLFO2, {{179, 180}, {182, 186}, {189, 189}}},
    {kSectionLockLFO3, {{191, 192}, {194, 198}, {201, 201}}}, {kSectionLockM1F, {{268, 270}}},
    {kSectionLockM2F, {{271, 273}}}, {kSectionLockM3F, {{274, 276}}}, {kSectionLockM4F, {{277, 279}}},
    {kSectionLockM5F, {{280, 282}}}, {kSectionLockM6F, {{283, 285}}}, {kSectionLockM7F, {{286, 288}}},
    {kSectionLockM8F, {{289, 291}}}, {kSectionLockM1S, {{292, 294}}}, {kSectionLockM2S, {{295, 297}}},
    {kSectionLockM3S, {{298, 300}}}, {kSectionLockM4S, {{301, 303}}}, {kSectionLockM5S, {{304, 306}}},
    {kSectionLockM6S, {{307, 309}}}, {kSectionLockM7S, {{310, 312}}}, {kSectionLockM8S, {{313, 315}}},
    {kSectionLockMod1, {{252, 255}}}, {kSectionLockMod2, {{256, 259}}}, {kSectionLockMod3, {{260, 263}}},
    {kSectionLockMod4, {{264, 267}}},
};

TEST_F(SoundDumpTest, EachLockKeepsExactlyTheBytesTheInstrumentNames) {
  randomise(2, 99);
  const std::vector<double> sent = snapshot(2);
  const Bytes dump = sendPart(2);
  size_t lockedBytes = 0;
  for (const auto& range : kLockRanges) {
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

// What the round trip cannot show: bytes out of range, and the views and
// switches a received byte also sets.
TEST_F(SoundDumpTest, ReceivedBytesClampAndSetTheirViews) {
  const struct {
    int byte;
    unsigned char value;
    std::vector<std::pair<int, double>> expected;  // block base, value (part 0)
  } cases[] = {
      {65, 0x60, {{kOscillatorUnisono, 5}, {kOscillatorMonoPolyMode, 1}}},
      {203, 0x1F, {{kFilterEnvMode, 31}, {kFilterEnvTrigger, 0}}},
      {8, 27, {{kOscillator1Octave, 0}}}, {8, 4, {{kOscillator1Octave, 0}}},
      {124, 0, {{kFilterRouting, 0}, {kFilterRoutingParallel, 1}, {kFilterRoutingSerial, 0}}},
      {124, 1, {{kFilterRouting, 1}, {kFilterRoutingParallel, 0}, {kFilterRoutingSerial, 1}}},
      {142, 70, {{kEffect1Param06, 70}, {kFX1PhaserCenter, 70}, {kFX1VocoderAnalysisHiOffset, 70}}},
      {163, 9, {{kEffect2Param11, 9}, {kFX251DelayS1L, 9}, {kFX2DelaySyncedLength, 9}}},
      {125, 2, {{kFilterLinkValue, 2}, {kFilterLinkSwitch, 0}}},
      {125, 3, {{kFilterLinkValue, 3}, {kFilterLinkSwitch, 1}}},
  };
  const Bytes written = sendPart(0);
  for (const auto& c : cases) {
    Bytes dump = written;
    dump[static_cast<size_t>(c.byte)] = c.value;
    receive(dump);
    for (const auto& [base, value] : c.expected)
      EXPECT_EQ(editor.value(base), value) << "byte " << c.byte << " block " << base;
  }
  EXPECT_EQ(editor.filterLinkValue(0), 3);  // remembered for the link switch
}

TEST_F(SoundDumpTest, MalformedOrUnaskedDumpsChangeNothingAndAWrongChecksumIsLogged) {
  const struct {
    const char* what;
    M kind;
    size_t size;  // cut to this many bytes; 0: as sent
    bool expected;
    const char* name;  // part 2's name afterwards: empty unless applied
    const char* log;   // the one log line, or null
  } cases[] = {{"truncated", M::kTruncated, 0, true, "", nullptr},
               {"389 bytes", M::kNone, 389, true, "", nullptr},
               {"part 32", M::kPartAbove15, 0, true, "", "PROCESSOR: sound dump for part 32 ignored"},
               {"wrong model", M::kWrongHeader, 0, true, "", nullptr},
               {"not expected", M::kNone, 0, false, "", nullptr},
               {"390 bytes", M::kNone, 390, true, "PART A03        ", nullptr},  // checksum and end are not needed
               {"wrong checksum", M::kWrongChecksum, 0, true, "PART A03        ",
                "PROCESSOR: sound dump for part 2 has a wrong checksum"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes dump = reply(c.kind, 2);
    if (c.size) dump.resize(c.size);
    editor.clearRecords();
    editor.setParamDisplayText(kPatchName + 2, 0, "");
    manager->replyAccepted = true;
    manager->dumpExpected = false;
    receive(dump, c.expected);
    EXPECT_EQ(editor.plugSets().empty(), *c.name == 0);
    EXPECT_TRUE(manager->replyAccepted);
    EXPECT_EQ(editor.paramDisplayText(kPatchName + 2, 0), c.name);
    EXPECT_EQ(editor.logLines(), c.log ? std::vector<std::string>{c.log} : std::vector<std::string>{});
  }
  // Junk the instrument might send of its own accord.
  editor.clearRecords();
  editor.setParamDisplayText(kPatchName + 2, 0, "");
  Bytes badPart = SimulatedInstrument::soundDump(5, 0x30, 0, "Bad");
  badPart[6] = 0x40;
  for (const Bytes& junk : {Bytes{0xF0, 0xF7}, Bytes{0xF0}, Bytes(391, 0x80), badPart, Bytes(60, 0x00),
                            Bytes{0xF0, 0x3E, 0x10, 0x05, 0x20, 0x7F, 0x00, 0x10, 0x05, 0xF7}})
    receive(junk);
  EXPECT_TRUE(editor.plugSets().empty());
  for (int p = 0; p < 16; ++p) EXPECT_EQ(editor.paramDisplayText(kPatchName + p, 0), "") << p;
}

TEST_F(SoundDumpTest, HighDataBytesLeaveEveryParameterInRange) {
  for (M kind : {M::kHighBytes, M::kOverlong}) {
    Bytes dump = reply(kind, 6);
    for (size_t byte = 8; byte < 366; ++byte) dump[byte] |= 0x80;
    receive(dump);
    forEachParameter(6, [](const SoundDumpField&, IParam& p) {
      EXPECT_GE(p.Value(), p.GetMin());
      EXPECT_LE(p.Value(), p.GetMax());
    });
  }
}
}  // namespace
