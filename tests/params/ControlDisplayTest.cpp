// The name and value display: gates, exclusions, the part filter and the
// value text of every kind, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "ControlDisplay.h"
#include "IParam.h"
#include "ParamIndex.h"

namespace {
constexpr const char* kUntouched = "untouched";

class FakeDisplayHost : public ControlDisplayHost {
 public:
  FakeDisplayHost() : params(kParamCount) {
    for (IParam& param : params) param.InitDouble("[1] Param", 0.0, -100000.0, 100000.0, 1.0);
  }

  bool displayStartupComplete() const override { return startupComplete; }
  int displayCurrentPart() const override { return currentPart; }
  bool displayBlocksDAWProgramChange() const override { return blockDAWProgramChange; }
  const IParam* displayParam(int idx) const override {
    return idx >= 0 && idx < kParamCount ? &params[static_cast<size_t>(idx)] : nullptr;
  }
  const ValueLists* displayValueLists() const override { return &lists; }
  void showParamName(const char* text) override { name = text; }
  void showParamValue(const char* text) override { value = text; }

  bool startupComplete = true;
  int currentPart = 0;
  bool blockDAWProgramChange = true;
  std::vector<IParam> params;
  ValueLists lists = {{"lfoShape", {"Sine", "Triangle", "Square", "Saw", "Random", "S&H"}},
                     {"tempoValues", {"65", "66", "67"}}, {"clockedValues", {"1/1", "1/2", "1/4"}},
                     {"controlList", {"Off", "CC 1 Mod Wheel"}}};
  std::string name = kUntouched;
  std::string value = kUntouched;
};

class ControlDisplayTest : public testing::Test {
 protected:
  // Shows idx with the stored value equal to the value passed.
  std::string show(int idx, double value) {
    host->params[idx].Set(value);
    host->value = kUntouched;
    display.controlDisplay(host.get(), idx, value, false);
    return host->value;
  }

  std::unique_ptr<FakeDisplayHost> host = std::make_unique<FakeDisplayHost>();
  ControlDisplay display;
};

struct TextCase {
  int index;
  double value;
  const char* text;
};

// Index, value and the exact value text of every kind, each branch once (the
// foot sign is C2 B4); a value outside a kind's texts leaves only the bracket.
const TextCase kTextCases[] = {
    {kFilter1EnvAmount, 64, "0 [64]"}, {kFilter1EnvAmount, 0, "-64 [0]"}, {kFilter1EnvAmount + 5, 127, "+63 [127]"},
    {kFilter1EnvAmount, 128, " [128]"}, {kMultiPartTranspose, 48, "+0 [48]"}, {kMultiPartTranspose, 0, "-48 [0]"},
    {kMultiPartTranspose, 97, "+49 [97]"}, {kMultiPartTranspose, 98, " [98]"}, {kOscillator2BendRange, 24, "0 [24]"},
    {kOscillator2BendRange, 49, "+25 [49]"}, {kGlobalTranspose, 0, "-12 [0]"}, {kGlobalTranspose, 24, "+12 [24]"},
    {kGlobalTranspose, 25, " [25]"}, {kOscillator1Octave, 4, "  8 \xC2\xB4 [64]"},
    {kOscillator1Octave, 0, "128 \xC2\xB4 [16]"}, {kOscillator2Octave + 3, 8, "1/2 \xC2\xB4 [112]"},
    {kOscillator3Octave, 9, " [124]"}, {kOscillator1Semitone + 2, 12, "0 [64]"}, {kOscillator1Pulsewidth, 2, "<1% [2]"},
    {kOscillator1Pulsewidth, 64, "25% [64]"},
    {kOscillator1Pulsewidth, 127, "50% [127]"}, {kOscillator1Balance, 32, "F1 75% : F2 25% [32]"},
    {kOscillator1Balance, 64, "F1 50% : F2 50% [64]"}, {kNoiseBalance, 0, "FILTER 1 100% [0]"},
    {kNoiseBalance, 127, "FILTER 2 100% [127]"}, {kFilter1Panning, 1, "LEFT 97% [1]"},
    {kFilter1Panning, 64, "< CENTER > [64]"}, {kMultiPartPanning, 126, "RIGHT 96% [126]"},
    {kFilter1Keytrack, 1, "-194% [1]"}, {kFilter1Keytrack, 64, "+000% [64]"}, {kFilter1Keytrack, 95, "+96% [95]"},
    {kFilter1Keytrack, 96, "+100% [96]"}, {kOscillator1Keytrack, 127, "+196% [127]"}, {kLFO1Keytrack, 0, "-200% [0]"},
    {kLFO1Keytrack, 1, "-197% [1]"}, {kLFO1Keytrack, 64, "0 % [64]"}, {kLFO1Keytrack, 65, "3% [65]"},
    {kFX1VocoderAnalysisSOffset, 0, "-128 [0]"}, {kFX1VocoderAnalysisSOffset, 33, "-31 [33]"},
    {kFX2VocoderAnalysisHiOffset, 64, "0 [64]"}, {kFX2VocoderAnalysisHiOffset, 95, "+31 [95]"},
    {kFX2VocoderAnalysisHiOffset, 96, "+35 [96]"}, {kFX2VocoderAnalysisHiOffset, 127, "+128 [127]"},
    {kFX251DelayFeedback, 1, "0.78% [1]"}, {kFX251DelayFeedback, 64, "50% [64]"},
    {kFX251DelayFeedback, 200, "156.25% [200]"}, {kArpOctRange, 0, "1 [0]"}, {kArpMaxNotes, -3, "-2 [-3]"},
    {kOscillator1FrqDivide, 0, "1 [0]"}, {kOscillator1FrqDivide, -1, " [-1]"}, {kFX1VocoderBands, 3, "5 [3]"},
    {kLFO2SyncOnOff, 1, "ON [1]"}, {kGlobalLocalControl, 2, " [2]"}, {kOscillatorMonoPolyMode, 1, "MONO [1]"},
    {kOscillatorGlideMode, 3, "FINGERED GLISS [3]"}, {kOscillatorGlideMode, 4, " [4]"},
    {kMultiPartMIDICh, 0, "Global [0]"}, {kMultiPartMIDICh, 1, "Omni [1]"}, {kMultiPartMIDICh, 17, "16 [17]"},
    {kFilterRoutingSerial + 5, 0, "Parallel [0]"}, {kFilterRoutingSerial + 5, 1, "Serial [1]"},
    {kFilterRoutingParallel + 2, 1, "1"}, {kSectionLockMod2, 1, "1"}, {kFilter1Cutoff, -5, "-5"},
    {kFilter1Cutoff, 63.9, "63"}, {8688, 4, "4"}, {4740, 9, "9"}, {kLFO3Shape + 15, 3, "Saw [3]"},
    {kLFO3Shape, 6, " [6]"}, {kLFO3Shape, -1, " [-1]"}, {kMultiTempo, 2, "67 BPM [2]"},
    {kFX2DelayTempo + 1, 0, "65 BPM [0]"}, {kMultiTempo, 3, " [3]"}, {kMultiControlZ, 1, "CC 1 Mod Wheel [1]"},
    {kFilter1Type, 1, " [1]"},  // a list the document does not define
    // Part and multi banks and programs show their plain value; only their menus count from 1.
    {kMultiPartBank + 2, 1, "1"}, {kMultiPartBank + 15, 0, "0"}, {kMultiPartPatch, 17, "17"},
    {kMultiPartPatch + 9, 99, "99"}, {kMultiBank, 2, "2"}, {kMultiPatch, 0, "0"},
};

TEST_F(ControlDisplayTest, ValueTextsOfEveryKind) {
  for (const TextCase& c : kTextCases) EXPECT_EQ(show(c.index, c.value), c.text) << c.index << " " << c.value;
}

TEST_F(ControlDisplayTest, ListsPickByTheStoredValueAndClockedOrFreeFollowsItsClockSwitch) {
  host->params[kLFO1Shape + 2].Set(1);
  display.controlDisplay(host.get(), kLFO1Shape + 2, 4, false);
  EXPECT_EQ(host->value, "Triangle [4]");
  host->params[kLFO2Clock].Set(1);
  EXPECT_EQ(show(kLFO2Speed, 2), "1/4 [2]");
  EXPECT_EQ(show(kLFO2Speed + 1, 2), "2");  // another part's switch is off
  host->params[kLFO2Clock].Set(0);
  EXPECT_EQ(show(kLFO2Speed, 2), "2");
}

TEST_F(ControlDisplayTest, ExcludedIndicesLeaveBothTextsUnchanged) {
  const std::pair<int, int> ranges[] = {{7614, 7650}, {7652, 7652}, {8648, 8651}, {8706, 8707}, {8744, 8747},
                                        {8782, 8782}, {8785, 8805}, {8808, 8809}, {8827, 9146}, {9227, 9260},
                                        {9262, 9265}, {9267, 9268}, {9271, 9272}, {9274, 9285}, {9287, 9287}};
  std::set<int> excluded;
  for (const auto& [first, last] : ranges)
    for (int i = first; i <= last; ++i) excluded.insert(i);
  ASSERT_EQ(excluded.size(), 447u);
  for (int i = 0; i < kParamCount; ++i) {
    host->name = kUntouched;
    host->value = kUntouched;
    display.controlDisplay(host.get(), i, 1.0, false);
    const bool shown = host->name != kUntouched;
    EXPECT_EQ(shown, excluded.count(i) == 0) << i;
    EXPECT_EQ(host->value != kUntouched, shown) << i;
  }
}

TEST_F(ControlDisplayTest, GatesOfStartUpAndOfTheLibraryControl) {
  EXPECT_EQ(show(kControlLibrary, 1), "ON [1]");
  EXPECT_EQ(show(kControlLibrary, 0), "OFF [0]");
  host->blockDAWProgramChange = false;
  EXPECT_EQ(show(kControlLibrary, 1), kUntouched);
  host->startupComplete = false;
  host->name = kUntouched;
  EXPECT_EQ(show(kFilter1Cutoff, 10), kUntouched);
  EXPECT_EQ(host->name, kUntouched);
}

TEST_F(ControlDisplayTest, TheCurrentPartFilterReadsThePartNumberOfTheName) {
  host->currentPart = 11;
  const std::pair<const char*, bool> cases[] = {{"[12] Cutoff", true}, {"[1] Cutoff", false}, {"[2] Cutoff", false},
                                                {"", false}, {"[", false}, {"[a] Cutoff", false}, {"x12", true},
                                                {"[120] Cutoff", false}};
  for (const auto& [name, shown] : cases) {
    host->params[kFilter1Cutoff].InitDouble(name, 0.0, 0.0, 127.0, 1.0);
    for (bool currentPartOnly : {true, false}) {
      host->name = kUntouched;
      display.controlDisplay(host.get(), kFilter1Cutoff, 5, currentPartOnly);
      EXPECT_EQ(host->name, shown || !currentPartOnly ? name : kUntouched) << name;
    }
  }
}
}  // namespace
