// The randomiser's arithmetic: how a random byte is brought into a
// parameter's range, which byte each parameter of the part takes, and the
// rules that split one byte over two parameters.
#include <gtest/gtest.h>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
class RandomiserTest : public ::testing::Test, public EngineFixture {
 protected:
  // Each slot's byte: the ones the rows below look at, and some spread.
  void fillTable() {
    for (int i = 0; i < MIDIMessageManager::kRandomTableSize; ++i)
      manager->randomTable[static_cast<size_t>(i)] = (i * 37 + 11) % 256;
  }
  void setSlot(int slot, int byte) { manager->randomTable[static_cast<size_t>(slot)] = byte; }
  // The value last written to a parameter, before the parameter clamps it.
  double written(int index) {
    double value = -1;
    for (const auto& [idx, v] : editor.plugSets())
      if (idx == index) value = v;
    return value;
  }
};

TEST_F(RandomiserTest, AByteIsBroughtIntoTheParametersRange) {
  const struct {
    int minimum, maximum, byte, value;
  } rows[] = {{0, 127, 0, 0},   {0, 127, 127, 127}, {0, 127, 128, 1}, {0, 127, 200, 73}, {0, 127, 254, 127},
              {0, 127, 255, 1}, {0, 1, 254, 0},     {0, 1, 255, 1},   {0, 5, 255, 5},    {0, 7, 200, 4},
              {-24, 24, 200, 32}, {0, 15, 17, 2}};
  for (const auto& row : rows) {
    editor.paramAt(kFilter1Cutoff + 5)->InitInt("", row.minimum, row.minimum, row.maximum);
    setSlot(40, row.byte);
    EXPECT_EQ(manager->randomizer(kFilter1Cutoff + 5, 40), row.value)
        << row.byte << " into " << row.minimum << ".." << row.maximum;
  }
}

TEST_F(RandomiserTest, EachParameterTakesItsSlotsByteInItsOwnRange) {
  constexpr int kPart = 2;
  fillTable();
  setSlot(0, 200);  // octave 0..8
  setSlot(56, 255);
  setSlot(91, 130);
  // Each row's range is set here; the value is the slot's byte, (slot * 37 +
  // 11) % 256 unless set above, less the maximum (2 for a maximum of 1) while
  // it is above maximum - minimum, then clamped into the range.
  const struct {
    int base, slot, minimum, maximum, value;
  } rows[] = {
      {kOscillator1Octave, 0, 0, 8, 8},          {kOscillator1Semitone, 1, 0, 127, 48},
      {kOscillator1SubLevel, 12, 0, 1, 1},       {kOscillator2Octave, 13, -24, 24, 24},
      {kOscillator2SyncToOsc3, 26, 0, 3, 1},     {kOscillator3PWMAmount, 37, 0, 63, 37},
      {kOscillatorPitchSource, 38, 0, 15, 2},    {kOscillatorGlideRate, 42, 0, 127, 29},
      {kOscillatorUniDetune, 44, 0, 5, 3},       {kOscillator1Level, 45, -64, 63, 63},
      {kRingModulationBalance, 54, 0, 8, 1},     {kNoiseExtFilter1Source, 55, 0, 127, 127},
      {kFilter1Type, 55, 0, 1, 0},               {kNoiseExtFilter2Source, 56, -24, 24, 24},
      {kFilter1Cutoff, 56, 0, 127, 1},           {kFilterRouting, 69, 0, 63, 4},
      {kFilter2Type, 71, 0, 15, 3},              {kFilter2PanAmount, 84, 0, 127, 47},
      {kAmpLevel, 85, 0, 5, 4},                  {kAmpModAmount, 88, -64, 63, 63},
      {kEffect1Mode, 89, 0, 8, 8},               {kEffect1Mix, 90, 0, 127, 13},
      {kEffect1Param01, 91, 0, 1, 0},            {kFX1ChorusSpeed, 91, 0, 127, 3},
      {kFX1VocoderBands, 91, 0, 3, 1},           {kFX1VocoderEQHighBandLevel, 104, 0, 63, 19},
      {kEffect2Mode, 105, 0, 15, 11},            {kFX2ReverbSize, 107, 0, 127, 3},
      {kFX2DelaySyncedLength, 117, 0, 5, 4},     {kFX251DelayClockedRearSRV, 120, -64, 63, 63},
      {kLFO1Shape, 121, 0, 8, 8},                {kLFO3Keytrack, 144, 0, 127, 92},
      {kFilterEnvAttack, 146, 0, 1, 1},          {kFilterEnvRelease, 152, -24, 24, 3},
      {kEnv4Release, 176, 0, 3, 3},              {kModifier1Source1, 177, 0, 63, 34},
      {kModifier4SourceAmount, 192, 0, 15, 8},   {kMod1FastSource, 193, 0, 127, 113},
      {kMod8StandardAmount, 240, 0, 5, 2},       {kArpMode, 241, -64, 63, 63},
      {kArpPatternLength, 253, 0, 8, 4},
  };
  for (const auto& row : rows) editor.paramAt(row.base + kPart)->InitInt("", row.minimum, row.minimum, row.maximum);
  for (int lock = kSectionLockOsc1; lock < kSectionLockGlobal; lock += 16) editor.setValue(lock + kPart, 0);
  manager->randomizePatchSettings(kPart);
  for (const auto& row : rows)
    EXPECT_EQ(editor.value(row.base + kPart), row.value) << "parameter " << row.base << " from slot " << row.slot;
  EXPECT_EQ(editor.value(kOscillator1Octave + kPart), 8);  // 200 - 8 * 24 within 0..8
  EXPECT_EQ(editor.value(kFilter1Cutoff + kPart), 1);      // 255 -> 128 -> 1
  EXPECT_EQ(editor.value(kFX1ChorusSpeed + kPart), 3);     // 130 -> 3
  // Nothing of another part moved.
  for (const auto& row : rows) EXPECT_EQ(editor.value(row.base + kPart + 1), 0) << row.base;
}

TEST_F(RandomiserTest, OneByteForTwoParameters) {
  constexpr int kPart = 6;
  editor.paramAt(kOscillatorUnisono + kPart)->InitInt("", 0, 0, 7);
  editor.paramAt(kFilterEnvMode + kPart)->InitInt("", 0, 0, 63);
  editor.paramAt(kAmpEnvMode + kPart)->InitInt("", 0, 0, 63);
  editor.paramAt(kFilterRouting + kPart)->InitInt("", 0, 0, 1);
  editor.paramAt(kFilter1Cutoff)->InitInt("", 0, 0, 255);  // part 0's range rules the arpeggiator steps
  const struct {
    const char* what;
    std::vector<std::pair<int, int>> slots;
    std::vector<std::pair<int, double>> values;
  } rows[] = {
      {"unison 7: six voices, mono", {{43, 7}}, {{kOscillatorUnisono, 6}, {kOscillatorMonoPolyMode, 1}}},
      {"unison 3: poly", {{43, 3}}, {{kOscillatorUnisono, 3}, {kOscillatorMonoPolyMode, 0}}},
      {"routing 1 then 0: parallel", {{69, 1}, {70, 0}},
       {{kFilterRouting, 1}, {kFilterRoutingParallel, 1}, {kFilterRoutingSerial, 0}}},
      {"routing 0 then 1: serial", {{69, 0}, {70, 1}},
       {{kFilterRouting, 0}, {kFilterRoutingParallel, 0}, {kFilterRoutingSerial, 1}}},
      {"filter envelope 40: mode 8, triggered", {{145, 40}}, {{kFilterEnvMode, 8}, {kFilterEnvTrigger, 1}}},
      {"amp envelope 31: mode 31", {{153, 31}}, {{kAmpEnvMode, 31}, {kAmpEnvTrigger, 0}}},
      {"step 1 of 91: step 5, accent 3, glide", {{254, 91}},
       {{kArpPattern01Step, 5}, {kArpPattern01Accent, 3}, {kArpPattern01Glide, 1}}},
      {"step 16 of 83: step 5, accent 3", {{269, 83}},
       {{kArpPattern16Step, 5}, {kArpPattern16Accent, 3}, {kArpPattern16Glide, 0}}},
      {"step 2 of 130: step 8", {{255, 130}},
       {{kArpPattern02Step, 8}, {kArpPattern02Accent, 0}, {kArpPattern02Glide, 0}}},
      {"step 1 timing 0x5B: length 5, timing 11", {{270, 0x5B}}, {{kArpPattern01StepLen, 5}, {kArpPattern01Timing, 11}}},
      {"step 16 timing 0x23", {{285, 0x23}}, {{kArpPattern16StepLen, 2}, {kArpPattern16Timing, 3}}},
  };
  for (int lock = kSectionLockOsc1; lock < kSectionLockGlobal; lock += 16) editor.setValue(lock + kPart, 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fillTable();
    for (const auto& [slot, byte] : row.slots) setSlot(slot, byte);
    manager->randomizePatchSettings(kPart);
    for (const auto& [base, value] : row.values) EXPECT_EQ(written(base + kPart), value) << base;
  }
}
}  // namespace
