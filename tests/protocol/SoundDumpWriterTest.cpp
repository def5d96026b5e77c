// What leaves the editor as a sound dump, byte for byte.
#include <gtest/gtest.h>

#include <numeric>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using Bytes = std::vector<unsigned char>;

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
  d[390] = std::accumulate(d.begin() + 4, d.begin() + 390, 0u) & 0x7F;
  d[391] = 0xF7;
  return d;
}

class SoundDumpWriterTest : public ::testing::Test, public EngineFixture {
 protected:
  SoundDumpWriterTest() {
    manager->virtualPause = [](int) { return true; };
  }

  Bytes sendPart(int part, bool toLibrarian = false) {
    editor.clearRecords();
    manager->sender->sendPartToDevice(part, toLibrarian, false);
    const auto sent = editor.sentSysEx();
    return sent.empty() ? Bytes{} : sent.back();
  }
  void name(int part, const std::string& sound, const std::string& category) {
    editor.setParamDisplayText(kPatchName + part, 0, sound);
    editor.setParamDisplayText(kCategoryName + part, 0, category);
  }
};

TEST_F(SoundDumpWriterTest, PartAtZeroIsByteExactWithBlanksForEmptyNames) {
  editor.setValue(kGlobalSysExID, 0x11);
  name(4, "Bass Line", "BASS");
  EXPECT_EQ(sendPart(4), expectedZeroDump(0x11, 4, "Bass Line", "BASS"));
  EXPECT_EQ(sendPart(0), expectedZeroDump(0x11, 0, "", ""));
  EXPECT_EQ(editor.patchNames()[1], "Set Name");
  EXPECT_EQ(editor.patchNames()[19], "Set Name");
}

TEST_F(SoundDumpWriterTest, EachEncodingCarriesTheValueAtItsOffset) {
  const struct {
    const char* what;
    std::vector<std::pair<int, double>> values;  // block base, value (part 5)
    int byte;
    unsigned char expected;
  } cases[] = {
      {"detune", {{kOscillator1Detune, 5}}, 10, 5},
      {"octave 3", {{kOscillator2Octave, 3}}, 24, 52},
      {"semitone -5", {{kOscillator3Semitone, -5}}, 41, 47},
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

TEST_F(SoundDumpWriterTest, NamesAreCleanedAndCutInTheDumpOnlyAndNoByteReachesTheStatusRange) {
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

TEST_F(SoundDumpWriterTest, LibraryPathAddressesTheBankSlotWithAValidChecksum) {
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
  EXPECT_EQ(dump[390], std::accumulate(dump.begin() + 4, dump.begin() + 390, 0u) & 0x7F);
  EXPECT_EQ(entry.name, "Lib Sound       ");
}

TEST_F(SoundDumpWriterTest, NothingLeavesForAPartOutsideTheSixteenOrWithoutMidi) {
  EXPECT_TRUE(sendPart(16).empty());
  EXPECT_TRUE(sendPart(-1).empty());
  EXPECT_TRUE(editor.statusTexts().empty());
  editor.midiConfigured = false;
  EXPECT_TRUE(sendPart(1).empty());
  EXPECT_EQ(editor.statusTexts(), std::vector<std::string>{"Set MIDI I/O First!"});
  EXPECT_EQ(editor.indicatorOff(), 1);
}
}  // namespace
