// Every byte of the sound, multi and global dumps and of the init multi and
// init sound, against tables copied from the instrument's documentation with
// their parameter numbers, not from the code's own layout tables: a byte the
// writer puts in the wrong place, or the parser reads from one, fails here.
#include <gtest/gtest.h>

#include <string>

#include "FrameChecksum.h"
#include "ProtocolTestSupport.h"
#include "SysExFormat.h"

namespace {
using Bytes = std::vector<unsigned char>;
constexpr int kId = 0x2A;

// ---- The sound dump: byte, parameter block, rule.
enum Rule { kPlain, kOctave, kSemitone, kBend, kUnisonoMono, kEnvelope, kArpStep, kArpTiming };
struct SoundByte {
  int byte;
  int base;         // first parameter (unisono, trigger, step, step length)
  Rule rule = kPlain;
  int second = -1;  // mono, mode, glide, timing
  int third = -1;   // accent
};

const std::vector<SoundByte>& soundBytes() {
  static const std::vector<SoundByte> table = [] {
    std::vector<SoundByte> t = {
        // Oscillators 1 to 3.
        {8, 0, kOctave}, {9, 112, kSemitone}, {10, 80}, {11, 5537, kBend}, {12, 5521}, {13, 5505}, {14, 64},
        {15, 96}, {16, 32}, {17, 5489}, {18, 48}, {19, 5745}, {20, 5761},
        {24, 144, kOctave}, {25, 256, kSemitone}, {26, 224}, {27, 5601, kBend}, {28, 5585}, {29, 5569},
        {30, 208}, {31, 240}, {32, 176}, {33, 5553}, {34, 192}, {35, 5777}, {36, 5793},
        {40, 304, kOctave}, {41, 416, kSemitone}, {42, 384}, {43, 5665, kBend}, {44, 5649}, {45, 5633},
        {46, 368}, {47, 400}, {48, 336}, {49, 5617}, {50, 352},
        {56, 288}, {57, 5729}, {58, 496}, {60, 448}, {63, 480}, {64, 464},
        {65, 5697, kUnisonoMono, 5681}, {66, 5713},
        // Mixer, noise, filters, amplifier.
        {68, 128}, {69, 16}, {70, 272}, {71, 160}, {72, 432}, {73, 320}, {74, 544}, {75, 560}, {78, 512},
        {79, 528}, {82, 7893}, {83, 7909},
        {84, 608}, {85, 576}, {87, 592}, {88, 656}, {93, 640}, {94, 624}, {95, 672}, {96, 5841}, {97, 704},
        {98, 5857}, {99, 720}, {100, 688}, {101, 5873}, {102, 736},
        {104, 800}, {105, 768}, {107, 784}, {108, 848}, {113, 832}, {114, 816}, {115, 864}, {116, 5889},
        {117, 896}, {118, 5905}, {119, 912}, {120, 880}, {121, 5921}, {122, 928},
        {124, 752}, {125, 8712}, {128, 944}, {129, 960}, {130, 6001}, {131, 976},
        // Effects.
        {135, 5009}, {136, 1568}, {151, 5249}, {152, 1584},
        // LFOs.
        {167, 1392}, {168, 1376}, {170, 1424}, {171, 6177}, {172, 6161}, {173, 1408}, {174, 6145}, {177, 6193},
        {179, 1456}, {180, 1440}, {182, 1488}, {183, 6241}, {184, 6225}, {185, 1472}, {186, 6209}, {189, 6257},
        {191, 1520}, {192, 1504}, {194, 1552}, {195, 6305}, {196, 6289}, {197, 1536}, {198, 6273}, {201, 6321},
        // Envelopes: trigger and mode, then the stages.
        {203, 5937, kEnvelope, 6033}, {206, 992}, {207, 6017}, {208, 1008}, {209, 1024}, {210, 1056},
        {211, 1072}, {212, 1040},
        {215, 5953, kEnvelope, 6065}, {218, 1088}, {219, 6049}, {220, 1104}, {221, 1120}, {222, 1152},
        {223, 1168}, {224, 1136},
        {227, 5969, kEnvelope, 6097}, {230, 1184}, {231, 6081}, {232, 1200}, {233, 1216}, {234, 1248},
        {235, 1264}, {236, 1232},
        {239, 5985, kEnvelope, 6129}, {242, 1280}, {243, 6113}, {244, 1296}, {245, 1312}, {246, 1344},
        {247, 1360}, {248, 1328},
        // Arpeggiator.
        {318, 1600}, {319, 1649}, {320, 1665}, {321, 1681}, {322, 1616}, {323, 1632}, {324, 1697}, {325, 1713},
        {326, 1729}, {327, 1745}, {328, 1761}, {329, 1777}, {330, 1793},
    };
    for (int k = 0; k < 14; ++k) {  // effect parameters 01 to 14
      t.push_back({137 + k, 5025 + 16 * k});
      t.push_back({153 + k, 5265 + 16 * k});
    }
    for (int m = 0; m < 4; ++m)  // modifiers: source 1, source 2, type, amount
      for (int k = 0; k < 4; ++k) t.push_back({252 + 4 * m + k, 7105 + 64 * m + 16 * k});
    // Fast and standard modulation slots: source, destination, amount.
    for (int s = 0; s < 16; ++s) {
      t.push_back({268 + 3 * s, 6337 + 48 * s});
      t.push_back({269 + 3 * s, 6369 + 48 * s});
      t.push_back({270 + 3 * s, 6353 + 48 * s});
    }
    for (int s = 0; s < 16; ++s) {
      t.push_back({334 + s, 1841 + 80 * s, kArpStep, 1809 + 80 * s, 1825 + 80 * s});
      t.push_back({350 + s, 1873 + 80 * s, kArpTiming, 1857 + 80 * s});
    }
    return t;
  }();
  return table;
}

// The bytes no parameter writes, as the dump always carries them.
const std::vector<std::pair<int, Bytes>>& soundFixedBytes() {
  static const std::vector<std::pair<int, Bytes>> fixed = {
      {7, {0x01}},         {21, {0, 0, 0}},    {37, {0, 0, 0}},   {51, {0, 0, 0, 0, 0}},   {59, {0}},
      {61, {0, 0}},        {67, {0}},          {76, {0x40, 0x40}}, {80, {0, 0}},           {86, {0x40}},
      {89, {0x40, 0x40, 0x40, 0x40}},          {103, {0}},        {106, {0x40}},           {109, {0x40, 0x40, 0x40, 0x40}},
      {123, {0}},          {126, {0, 0}},      {132, {0, 0, 0}},  {169, {0}},              {175, {0, 0}},
      {178, {0}},          {181, {0}},         {187, {0, 0}},     {190, {0}},              {193, {0}},
      {199, {0, 0}},       {202, {0x01}},      {204, {0x40, 0}},  {213, {0, 0}},           {216, {0x40, 0}},
      {225, {0, 0}},       {228, {0x40, 0}},   {237, {0, 0}},     {240, {0x40, 0}},        {249, {0, 0, 0x01}},
      {316, {0x40, 0}},    {331, {0, 0, 0x37}}, {366, {0x44, 0, 0, 0}},
  };
  return fixed;
}

// Values every part's parameters hold, different from byte to byte and from
// part to part, inside the ranges the instrument's bytes can carry.
struct SoundValues {
  int first, second = 0, third = 0;
};
SoundValues soundValues(const SoundByte& row, int part) {
  const int k = row.byte + part;
  switch (row.rule) {
    case kOctave: return {k % 9};
    case kSemitone: return {k % 25};
    case kBend: return {k % 49 - 24};
    case kUnisonoMono: return {(part + 2) % 6, (part + 1) % 2};
    case kEnvelope: return {k % 2, (row.byte * 3 + part) % 32};
    case kArpStep: return {k % 8, k % 2, (row.byte * 3 + part) % 8};
    case kArpTiming: return {k % 8, (row.byte * 5 + part) % 16};
    case kPlain: return {(row.byte * 37 + part * 11) % 100};
  }
  return {};
}
int soundByteValue(const SoundByte& row, int part) {
  const SoundValues v = soundValues(row, part);
  switch (row.rule) {
    case kOctave: return 12 * v.first + 16;
    case kSemitone: return v.first + 52;
    case kBend: return v.first + 40;
    case kUnisonoMono: return 16 * v.first + v.second;
    case kEnvelope: return 32 * v.first + v.second;
    case kArpStep: return 16 * v.first + (v.second == 1 ? 8 : v.second) + v.third;
    case kArpTiming: return 16 * v.first + v.second;
    case kPlain: return v.first;
  }
  return -1;
}

class DumpTablesTest : public ::testing::Test, public EngineFixture {
 protected:
  DumpTablesTest() { editor.setValue(kGlobalSysExID, kId); }
  void run(int code, int part = 0) {
    SenderJob job;
    job.jobCode = code;
    job.partArgument = part;
    manager->virtualPause = [](int) { return true; };
    ASSERT_TRUE(runJob(job));
  }
  void fillSoundParameters(FakeEditor& into) {
    for (const SoundByte& row : soundBytes())
      for (int p = 0; p < 16; ++p) {
        const SoundValues v = soundValues(row, p);
        into.setValue(row.base + p, v.first);
        if (row.second >= 0) into.setValue(row.second + p, v.second);
        if (row.third >= 0) into.setValue(row.third + p, v.third);
      }
  }
};

// Byte by byte, with the byte's number in the message.
void expectBytes(const Bytes& sent, const Bytes& expected) {
  ASSERT_EQ(sent.size(), expected.size());
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(int(sent[i]), int(expected[i])) << "byte " << i;
}

TEST_F(DumpTablesTest, EverySoundDumpByteCarriesItsParameterOfTheRightPart) {
  constexpr int kPart = 11;
  fillSoundParameters(editor);
  editor.setParamDisplayText(kPatchName + kPart, 0, "Eleven Of Sixteen!");
  editor.setParamDisplayText(kCategoryName + kPart, 0, "Bs");
  run(2, kPart);
  ASSERT_EQ(editor.sentSysEx().size(), 1u);
  const Bytes sent = editor.sentSysEx()[0];

  Bytes expected(392, 0xEE);  // every byte must be accounted for below
  const Bytes head = {0xF0, 0x3E, 0x10, kId, 0x10, 0x30, kPart};
  std::copy(head.begin(), head.end(), expected.begin());
  for (const auto& [at, bytes] : soundFixedBytes()) std::copy(bytes.begin(), bytes.end(), expected.begin() + at);
  for (const SoundByte& row : soundBytes()) expected[static_cast<size_t>(row.byte)] = static_cast<unsigned char>(soundByteValue(row, kPart));
  const std::string text = "Eleven Of SixteeBs  ";
  std::copy(text.begin(), text.end(), expected.begin() + 370);
  expected[391] = 0xF7;
  expected[390] = 0;
  unsigned sum = 0;
  for (int i = 4; i <= 389; ++i) sum += expected[static_cast<size_t>(i)];
  expected[390] = static_cast<unsigned char>(sum & 0x7F);
  EXPECT_EQ(soundBytes().size(), 288u);
  expectBytes(sent, expected);

  // And back: a fresh editor takes every value from its byte.
  EngineFixture other;
  other.receive(sent);
  for (const SoundByte& row : soundBytes()) {
    const SoundValues v = soundValues(row, kPart);
    EXPECT_EQ(other.editor.value(row.base + kPart), v.first) << "byte " << row.byte;
    if (row.second >= 0) {
      EXPECT_EQ(other.editor.value(row.second + kPart), v.second) << "byte " << row.byte;
    }
    if (row.third >= 0) {
      EXPECT_EQ(other.editor.value(row.third + kPart), v.third) << "byte " << row.byte;
    }
    EXPECT_EQ(other.editor.value(row.base + kPart - 1), 0) << "byte " << row.byte << " reached part 10";
  }
  EXPECT_EQ(other.editor.paramDisplayText(kPatchName + kPart, 0), "Eleven Of Sixtee");
}

// ---- The multi dump.
struct MappedByte {
  int byte, param, offset;
};
const MappedByte kMultiCommon[] = {{7, 7608, 0}, {8, 7610, 0}, {9, 7611, 0}, {10, 7612, 0}, {11, 7613, 0}, {12, 7609, 0}};
const MappedByte kMultiPart[] = {{0, 7361, 0},  {1, 7377, 0},  {2, 7409, 0},  {3, 7441, 0},  {4, 7473, 16},
                                 {5, 7489, 0},  {6, 7425, 0},  {7, 7393, 0},  {8, 7457, 0},  {12, 7537, 1},
                                 {13, 7553, 1}, {14, 7505, 0}, {15, 7521, 0}};

TEST_F(DumpTablesTest, EveryMultiDumpByteCarriesItsParameter) {
  int v = 1;
  for (const MappedByte& m : kMultiCommon) editor.setValue(m.param, v++);
  for (int p = 0; p < 16; ++p)
    for (const MappedByte& m : kMultiPart) editor.setValue(m.param + p, (v++ * 7) % 100);
  editor.setParamDisplayText(kMultiName, 0, "A Multi Of 20 Ch.");
  run(0);
  ASSERT_FALSE(editor.sentSysEx().empty());
  const Bytes sent = editor.sentSysEx()[0];

  Bytes expected(393, 0);
  const Bytes head = {0xF0, 0x3E, 0x10, kId, 0x11, 0x20, 0x00};
  std::copy(head.begin(), head.end(), expected.begin());
  for (const MappedByte& m : kMultiCommon) expected[static_cast<size_t>(m.byte)] = static_cast<unsigned char>(editor.value(m.param) + m.offset);
  for (int p = 0; p < 16; ++p)
    for (const MappedByte& m : kMultiPart)
      expected[static_cast<size_t>(39 + 22 * p + m.byte)] = static_cast<unsigned char>(editor.value(m.param + p) + m.offset);
  const std::string name = "A Multi Of 20 Ch";
  std::copy(name.begin(), name.end(), expected.begin() + 23);
  expected[385] = 0x77;
  expected[386] = 0x7F;
  expected[391] = sim::frameChecksum(expected.data(), 393);
  expected[392] = 0xF7;
  expectBytes(sent, expected);

  EngineFixture other;
  other.receive(sent);
  for (const MappedByte& m : kMultiCommon) EXPECT_EQ(other.editor.value(m.param), editor.value(m.param)) << m.byte;
  for (int p = 0; p < 16; ++p)
    for (const MappedByte& m : kMultiPart)
      EXPECT_EQ(other.editor.value(m.param + p), editor.value(m.param + p)) << "part " << p << " +" << m.byte;
}

// ---- The global dump.
const MappedByte kGlobal[] = {
    {10, 7601, 54}, {11, 7602, 52}, {12, 7593, 0}, {13, 7594, 0}, {20, 7592, 0}, {24, 7591, 0}, {29, 7589, 0},
    {30, 7590, 0},  {31, 7584, 0},  {32, 7606, 0}, {34, 7607, 0}, {35, 7581, 0}, {36, 7582, 0}, {37, 7583, 0},
    {38, 7603, 0},  {40, 8598, 0},  {58, 7595, 0}, {59, 7596, 0}, {60, 7597, 0}, {61, 7598, 0}, {62, 7599, 0},
    {63, 7604, 0},  {64, 7605, 0},  {75, 7585, 0}, {76, 7586, 0}, {77, 7587, 0}, {78, 7588, 0}, {79, 7600, 0}};
const Bytes kGlobalTemplate = {
    0xF0, 0x3E, 0x10, 0x00, 0x14, 0x31, 0x00, 0x63, 0x63, 0x63, 0x40, 0x40, 0x03, 0x01, 0x00, 0x02,
    0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x01, 0x00, 0x00, 0x10, 0x00, 0x01,
    0x09, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x01, 0x01, 0x41, 0x41, 0x3A, 0x41, 0x55, 0x41,
    0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x06, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x02};

TEST_F(DumpTablesTest, EveryGlobalDumpByteCarriesItsParameterAndTheRestIsTheTemplate) {
  int v = 5;
  for (const MappedByte& m : kGlobal) editor.setValue(m.param, m.param == 7590 ? kId : v += 4);
  run(1);
  ASSERT_EQ(editor.sentSysEx().size(), 1u);
  const Bytes sent = editor.sentSysEx()[0];

  Bytes expected = kGlobalTemplate;
  expected.resize(207, 0);
  expected[3] = kId;
  for (const MappedByte& m : kGlobal) expected[static_cast<size_t>(m.byte)] = static_cast<unsigned char>(editor.value(m.param) + m.offset);
  expected[205] = sim::frameChecksum(expected.data(), 207);
  expected[206] = 0xF7;
  expectBytes(sent, expected);

  EngineFixture other;
  other.editor.localControl = false;
  other.receive(sent);
  for (const MappedByte& m : kGlobal) EXPECT_EQ(other.editor.value(m.param), editor.value(m.param)) << "byte " << m.byte;
  EXPECT_TRUE(other.editor.localControl);  // byte 31 is not 0
}

// ---- The init multi and the init sound, as "Initialize Slot" stores them.
Bytes hex(const char* text) {
  Bytes bytes;
  for (const char* c = text; *c;) {
    if (*c == ' ') {
      ++c;
      continue;
    }
    bytes.push_back(static_cast<unsigned char>(std::stoi(std::string(c, 2), nullptr, 16)));
    c += 2;
  }
  return bytes;
}

const char* const kInitMulti =
    "F0 3E 10 03 11 20 00 64 00 00 00 00 37 00 00 00 00 00 00 00 00 00 00 49 6E 69 74 20 4D 75 6C 74"
    "69 20 20 20 64 56 6E 00 00 02 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 01 03"
    "64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 02 04 64 40 40 00 03 40 00 00 00 00"
    "7F 00 7F 00 00 00 00 00 00 00 03 05 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00"
    "04 06 64 3F 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 05 07 64 40 40 00 03 40 00 00"
    "00 00 7F 00 7F 00 00 00 00 00 00 00 06 08 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00"
    "00 00 07 09 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 08 0A 64 40 40 00 03 40"
    "00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 09 0B 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00"
    "00 00 00 00 0A 0C 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 0B 0D 64 40 40 00"
    "03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 0C 0E 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00"
    "00 00 00 00 00 00 0D 0F 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 0E 10 64 40"
    "40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 0F 11 64 40 40 00 03 40 00 00 00 00 7F 00"
    "7F 00 00 00 00 00 00 00 F7";

const char* const kInitSound =
    "F0 3E 10 03 10 30 00 01 40 40 40 42 60 00 00 01 7F 01 40 01 00 00 00 00 40 40 3B 42 60 00 00 00"
    "7F 03 5C 01 00 00 00 00 40 40 40 42 60 00 00 00 7F 05 40 00 00 00 00 00 00 02 54 00 01 00 00 00"
    "00 00 00 00 7F 00 00 00 00 00 00 00 40 40 00 00 00 00 00 00 01 7F 40 00 00 40 40 40 40 40 40 40"
    "01 40 00 00 40 01 40 00 00 7F 40 00 00 40 40 40 40 40 40 40 03 40 00 00 40 03 40 00 00 03 00 00"
    "6E 72 05 40 00 00 00 00 00 14 40 7F 00 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 07 00 7F 7F 00 69 64 64 7F"
    "01 00 00 0F 40 7F 7F 00 32 00 00 00 00 00 40 00 00 40 00 00 28 00 00 00 00 00 40 00 00 40 00 00"
    "1E 00 00 00 00 00 40 00 00 40 01 00 40 00 00 40 00 7F 40 40 00 00 00 00 40 00 00 40 00 7F 40 40"
    "00 00 00 00 40 00 00 40 00 7F 40 40 00 00 00 00 40 00 00 40 00 7F 40 40 00 00 00 01 00 00 00 40"
    "00 00 00 40 00 00 00 40 00 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00"
    "40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40 40 00 00 00"
    "0F 09 0B 00 00 00 00 00 00 00 0F 00 00 37 04 04 04 04 04 04 04 04 04 04 04 07 04 04 04 04 44 47"
    "44 47 44 47 44 47 44 47 44 47 44 47 44 47 44 00 00 00 49 6E 69 74 20 50 61 74 63 68 20 20 20 64"
    "56 6E 49 6E 69 74 1E F7";

TEST_F(DumpTablesTest, InitializeSlotStoresTheInitMultiAndTheInitSoundByteForByte) {
  const struct {
    const char* what;
    bool multi;
    int job;
  } rows[] = {{"init multi", true, 11}, {"init sound", false, 12}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const int bank = librarian.addBank(row.multi ? 1 : 0, row.multi ? "M.syx" : "S.syx");
    librarian.librarianMode = row.multi ? 1 : 0;
    librarian.upperBank = bank;
    librarian.targetSlot = 17;
    librarian.currentProgram = 17;
    editor.multiMode = row.multi;
    editor.currentPart = 6;
    editor.setValue(kMultiPartBank + 6, 2);
    run(row.job, 6);
    Bytes expected = hex(row.multi ? kInitMulti : kInitSound);
    ASSERT_EQ(expected.size(), row.multi ? 393u : 392u);
    if (!row.multi) {
      expected[5] = 2;   // the part's bank
      expected[6] = 17;  // the library's current program
    }
    // The init sound's stored checksum would not match its bytes.
    expected[expected.size() - 2] = sim::frameChecksum(expected);
    const LibrarianPatch entry = librarian.entryAt(row.multi ? 1 : 0, bank, 17);
    ASSERT_EQ(entry.dumps.size(), 1u);
    expectBytes(entry.dumps[0].bytes, expected);
    EXPECT_TRUE(editor.sentSysEx().empty() && editor.sentRaw().empty());  // nothing to the instrument
  }
}
}  // namespace
