// A random sound for one part: a table of random bytes, each reduced into
// its parameter's range, written section by section where the section's
// lock is exactly 0. Nothing is sent; the editor sends the part afterwards.
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <vector>

#include "EditorServices.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"

namespace {
enum class Rule { kPlain, kUnison, kRouting, kEnvelope, kArp };

// One slot and the parameter blocks that all receive its byte.
struct SlotGroup {
  int slot;
  std::vector<int> params;
};

struct Section {
  int lock;
  Rule rule;
  std::vector<SlotGroup> groups;
  int mode = -1, trigger = -1;  // rule E
};

// Consecutive slots from first, one parameter each.
std::vector<SlotGroup> row(int first, std::initializer_list<int> params) {
  std::vector<SlotGroup> groups;
  for (int param : params) groups.push_back({first++, {param}});
  return groups;
}

Section envelope(int lock, int first, int mode, int trigger, std::initializer_list<int> rest) {
  return {lock, Rule::kEnvelope, row(first + 1, rest), mode, trigger};
}

Section plain(int lock, int first, std::initializer_list<int> params) { return {lock, Rule::kPlain, row(first, params)}; }

const std::vector<Section>& sections() {
  static const std::vector<Section> table = {
      plain(kSectionLockOsc1, 0,
            {kOscillator1Octave, kOscillator1Semitone, kOscillator1Detune, kOscillator1BendRange, kOscillator1Keytrack,
             kOscillator1FMSource, kOscillator1FMAmount, kOscillator1Shape, kOscillator1Pulsewidth,
             kOscillator1PWMSource, kOscillator1PWMAmount, kOscillator1FrqDivide, kOscillator1SubLevel}),
      plain(kSectionLockOsc2, 13,
            {kOscillator2Octave, kOscillator2Semitone, kOscillator2Detune, kOscillator2BendRange, kOscillator2Keytrack,
             kOscillator2FMSource, kOscillator2FMAmount, kOscillator2Shape, kOscillator2Pulsewidth,
             kOscillator2PWMSource, kOscillator2PWMAmount, kOscillator2FrqDivide, kOscillator2SubLevel,
             kOscillator2SyncToOsc3}),
      plain(kSectionLockOsc3, 27,
            {kOscillator3Octave, kOscillator3Semitone, kOscillator3Detune, kOscillator3BendRange, kOscillator3Keytrack,
             kOscillator3FMSource, kOscillator3FMAmount, kOscillator3Shape, kOscillator3Pulsewidth,
             kOscillator3PWMSource, kOscillator3PWMAmount}),
      plain(kSectionLockPitchMod, 38,
            {kOscillatorPitchSource, kOscillatorPitchAmount, kOscillatorGlideOnOffSwitch, kOscillatorGlideMode,
             kOscillatorGlideRate}),
      {kSectionLockUnisono, Rule::kUnison, {{43, {kOscillatorUnisono}}, {44, {kOscillatorUniDetune}}}},
      plain(kSectionLockMixer, 45,
            {kOscillator1Level, kOscillator1Balance, kOscillator2Level, kOscillator2Balance, kOscillator3Level,
             kOscillator3Balance, kNoiseLevel, kNoiseBalance, kRingModulationLevel, kRingModulationBalance}),
      plain(kSectionLockNoiseExt, 55, {kNoiseExtFilter1Source, kNoiseExtFilter2Source}),
      {kSectionLockFilter1, Rule::kRouting,
       row(55, {kFilter1Type, kFilter1Cutoff, kFilter1Resonance, kFilter1Drive, kFilter1Keytrack, kFilter1EnvAmount,
                kFilter1EnvVelocity, kFilter1ModSource, kFilter1ModAmount, kFilter1FMSource, kFilter1FMAmount,
                kFilter1Panning, kFilter1PanSource, kFilter1PanAmount, kFilterRouting})},
      plain(kSectionLockFilter2, 71,
            {kFilter2Type, kFilter2Cutoff, kFilter2Resonance, kFilter2Drive, kFilter2Keytrack, kFilter2EnvAmount,
             kFilter2EnvVelocity, kFilter2ModSource, kFilter2ModAmount, kFilter2FMSource, kFilter2FMAmount,
             kFilter2Panning, kFilter2PanSource, kFilter2PanAmount}),
      plain(kSectionLockAmp, 85, {kAmpLevel, kAmpLevelVelocity, kAmpModSource, kAmpModAmount}),
      {kSectionLockFX1, Rule::kPlain,
       {{89, {kEffect1Mode}},
        {90, {kEffect1Mix}},
        {91, {kEffect1Param01, kFX1ChorusSpeed, kFX1FlangerSpeed, kFX1PhaserSpeed, kFX1FiveFXSpeed, kFX1VocoderBands}},
        {92, {kEffect1Param02, kFX1ChorusDepth, kFX1FlangerDepht, kFX1PhaserDepth, kFX1OverdriveDrive, kFX1FiveFXDepth,
              kFX1VocoderAnalysisSignal}},
        {93, {kEffect1Param03, kFX1OverdrivePostGain, kFX1FiveFXDelay, kFX1VocoderAnalysisLoFrq}},
        {94, {kEffect1Param04, kFX1ChorusDelay, kFX1FiveFXChorusDelay, kFX1VocoderAnalysisHiFrq}},
        {95, {kEffect1Param05, kFX1FlangerFeedBack, kFX1PhaserFeedback, kFX1FiveFXSampleHold,
              kFX1VocoderAnalysisSOffset}},
        {96, {kEffect1Param06, kFX1PhaserCenter, kFX1OverdriveCutoff, kFX1FiveFXOverdrive,
              kFX1VocoderAnalysisHiOffset}},
        {97, {kEffect1Param07, kFX1PhaserSpacing, kFX1FiveFXSource, kFX1VocoderBandwidth}},
        {98, {kEffect1Param08, kFX1FiveFXRingMod, kFX1VocoderResonance}},
        {99, {kEffect1Param09, kFX1FlangerPolarity, kFX1PhaserPolarity, kFX1VocoderAttack}},
        {100, {kEffect1Param10, kFX1VocoderDecay}},
        {101, {kEffect1Param11, kFX1VocoderEQLowBandLevel}},
        {102, {kEffect1Param12, kFX1VocoderEQMiddleFreq}},
        {103, {kEffect1Param13, kFX1VocoderEQMiddleLevel}},
        {104, {kEffect1Param14, kFX1VocoderEQHighBandLevel}}}},
      {kSectionLockFX2, Rule::kPlain,
       {{105, {kEffect2Mode}},
        {106, {kEffect2Mix}},
        {107, {kEffect2Param01, kFX2ChorusSpeed, kFX2FlangerSpeed, kFX2PhaserSpeed, kFX2FiveFXSpeed, kFX2VocoderBands,
               kFX2ReverbSize, kFX251DelayDelay, kFX251DelayClockedDelay}},
        {108, {kEffect2Param02, kFX2ChorusDepth, kFX2FlangerDepht, kFX2PhaserDepth, kFX2OverdriveDrive,
               kFX2FiveFXDepth, kFX2VocoderAnalysisSignal, kFX2ReverbShape, kFX251DelayFeedback,
               kFX251DelayClockedFeedback}},
        {109, {kEffect2Param03, kFX2DelayTempo, kFX2OverdrivePostGain, kFX2FiveFXDelay, kFX2VocoderAnalysisLoFrq,
               kFX2ReverbDecay, kFX251DelayLFELP, kFX251DelayClockedLFELP}},
        {110, {kEffect2Param04, kFX2ChorusDelay, kFX2DelayLength, kFX2FiveFXChorusDelay, kFX2VocoderAnalysisHiFrq,
               kFX2ReverbPredelay, kFX251DelayInputHP, kFX251DelayClockedInputHP}},
        {111, {kEffect2Param05, kFX2FlangerFeedBack, kFX2PhaserFeedback, kFX2DelayFeedback, kFX2FiveFXSampleHold,
               kFX2VocoderAnalysisSOffset, kFX251DelayDelayML, kFX251DelayClockedDelayML}},
        {112, {kEffect2Param06, kFX2PhaserCenter, kFX2DelayCutoff, kFX2OverdriveCutoff, kFX2FiveFXOverdrive,
               kFX2VocoderAnalysisHiOffset, kFX2ReverbLowppass, kFX251DelayFSLV, kFX251DelayClockedFSLV}},
        {113, {kEffect2Param07, kFX2PhaserSpacing, kFX2FiveFXSource, kFX2VocoderBandwidth, kFX2ReverbHighPass,
               kFX251DelayDelayMR, kFX251DelayClockedDelayMR}},
        {114, {kEffect2Param08, kFX2DelayClocked, kFX2FiveFXRingMod, kFX2VocoderResonance, kFX2ReverbDiffusion,
               kFX251DelayFSRV, kFX251DelayClockedFSRV}},
        {115, {kEffect2Param09, kFX2FlangerPolarity, kFX2PhaserPolarity, kFX2DelayPolarity, kFX2VocoderAttack,
               kFX2ReverbDamping, kFX251DelayDelayS2L, kFX251DelayClockedDelayS2L}},
        {116, {kEffect2Param10, kFX2DelayAutoPan, kFX2VocoderDecay, kFX251DelayCntrSV, kFX251DelayClockedCntrSV}},
        {117, {kEffect2Param11, kFX2VocoderEQLowBandLevel, kFX251DelayS1L, kFX251DelayClockedDelayS1L,
               kFX2DelaySyncedLength}},
        {118, {kEffect2Param12, kFX2VocoderEQMiddleFreq, kFX251DelayRearSLV, kFX251DelayClockedRearSLV}},
        {119, {kEffect2Param13, kFX2VocoderEQMiddleLevel, kFX251DelayS1R, kFX251DelayClockedDelayS1R}},
        {120, {kEffect2Param14, kFX2VocoderEQHighBandLevel, kFX251DelayRearSRV, kFX251DelayClockedRearSRV}}}},
      plain(kSectionLockLFO1, 121,
            {kLFO1Shape, kLFO1Speed, kLFO1SyncOnOff, kLFO1Clock, kLFO1Startphase, kLFO1Delay, kLFO1Fade, kLFO1Keytrack}),
      plain(kSectionLockLFO2, 129,
            {kLFO2Shape, kLFO2Speed, kLFO2SyncOnOff, kLFO2Clock, kLFO2Startphase, kLFO2Delay, kLFO2Fade, kLFO2Keytrack}),
      plain(kSectionLockLFO3, 137,
            {kLFO3Shape, kLFO3Speed, kLFO3SyncOnOff, kLFO3Clock, kLFO3Startphase, kLFO3Delay, kLFO3Fade, kLFO3Keytrack}),
      envelope(kSectionLockFilterEnv, 145, kFilterEnvMode, kFilterEnvTrigger,
               {kFilterEnvAttack, kFilterAttackLevel, kFilterEnvDecay, kFilterEnvSustain, kFilterEnvDecay2,
                kFilterEnvSustain2, kFilterEnvRelease}),
      envelope(kSectionLockAmpEnv, 153, kAmpEnvMode, kAmpEnvTrigger,
               {kAmpEnvAttack, kAmpAttackLevel, kAmpEnvDecay, kAmpEnvSustain, kAmpEnvDecay2, kAmpEnvSustain2,
                kAmpEnvRelease}),
      envelope(kSectionLockEnv3, 161, kEnvelope3Mode, kEnv3Trigger,
               {kEnv3Attack, kEnv3AttackLevel, kEnv3Decay, kEnv3Sustain, kEnv3Decay2, kEnv3Sustain2, kEnv3Release}),
      envelope(kSectionLockEnv4, 169, kEnvelope4Mode, kEnv4Trigger,
               {kEnv4Attack, kEnv4AttackLevel, kEnv4Decay, kEnv4Sustain, kEnv4Decay2, kEnv4Sustain2, kEnv4Release}),
      plain(kSectionLockMod1, 177, {kModifier1Source1, kModifier1Source2, kModifier1SourceType, kModifier1SourceAmount}),
      plain(kSectionLockMod2, 181, {kModifier2Source1, kModifier2Source2, kModifier2SourceType, kModifier2SourceAmount}),
      plain(kSectionLockMod3, 185, {kModifier3Source1, kModifier3Source2, kModifier3SourceType, kModifier3SourceAmount}),
      plain(kSectionLockMod4, 189, {kModifier4Source1, kModifier4Source2, kModifier4SourceType, kModifier4SourceAmount}),
      plain(kSectionLockM1F, 193, {kMod1FastSource, kMod1FastDestination, kMod1FastAmount}),
      plain(kSectionLockM2F, 196, {kMod2FastSource, kMod2FastDestination, kMod2FastAmount}),
      plain(kSectionLockM3F, 199, {kMod3FastSource, kMod3FastDestination, kMod3FastAmount}),
      plain(kSectionLockM4F, 202, {kMod4FastSource, kMod4FastDestination, kMod4FastAmount}),
      plain(kSectionLockM5F, 205, {kMod5FastSource, kMod5FastDestination, kMod5FastAmount}),
      plain(kSectionLockM6F, 208, {kMod6FastSource, kMod6FastDestination, kMod6FastAmount}),
      plain(kSectionLockM7F, 211, {kMod7FastSource, kMod7FastDestination, kMod7FastAmount}),
      plain(kSectionLockM8F, 214, {kMod8FastSource, kMod8FastDestination, kMod8FastAmount}),
      plain(kSectionLockM1S, 217, {kMod1StandardSource, kMod1StandardDestination, kMod1StandardAmount}),
      plain(kSectionLockM2S, 220, {kMod2StandardSource, kMod2StandardDestination, kMod2StandardAmount}),
      plain(kSectionLockM3S, 223, {kMod3StandardSource, kMod3StandardDestination, kMod3StandardAmount}),
      plain(kSectionLockM4S, 226, {kMod4StandardSource, kMod4StandardDestination, kMod4StandardAmount}),
      plain(kSectionLockM5S, 229, {kMod5StandardSource, kMod5StandardDestination, kMod5StandardAmount}),
      plain(kSectionLockM6S, 232, {kMod6StandardSource, kMod6StandardDestination, kMod6StandardAmount}),
      plain(kSectionLockM7S, 235, {kMod7StandardSource, kMod7StandardDestination, kMod7StandardAmount}),
      plain(kSectionLockM8S, 238, {kMod8StandardSource, kMod8StandardDestination, kMod8StandardAmount}),
      {kSectionLockArp, Rule::kArp,
       row(241, {kArpMode, kArpPattern, kArpMaxNotes, kArpClock, kArpNoteLength, kArpOctRange, kArpDirection,
                 kArpSortOrder, kArpVelocityMode, kArpTimeFactor, kArpSameNoteOverlap, kArpPatternReset,
                 kArpPatternLength})},
  };
  return table;
}

constexpr int kArpStepSpan = 80;
constexpr int kPartZeroCutoff = kFilter1Cutoff;
}  // namespace

void MIDIMessageManager::randomGenerator() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  for (int& entry : randomTable) entry = std::rand() % 256;
}

int MIDIMessageManager::randomizer(int paramIdx, int slot) {
  IParam* param = plug->paramAt(paramIdx);
  if (!param || slot < 0 || slot >= kRandomTableSize) return 0;
  int b = randomTable[static_cast<size_t>(slot)];
  int step = static_cast<int>(param->GetMax());
  const int range = static_cast<int>(param->GetMax() - param->GetMin());
  if (step == 1) step = 2;
  if (range < 0) return 0;
  // Subtracting a step below 1 would never end.
  if (step < 1) return b % (range + 1);
  while (b > range) b -= step;
  return b;
}

void MIDIMessageManager::randomizePatchSettings(int part) {
  if (part < 0 || part > 15) return;
  const auto set = [this](int index, int value) { plug->setParameterFromPlug(index, value, false); };
  const auto reduce = [&](int base, int slot) { return randomizer(base + part, slot); };
  std::vector<bool> open;
  for (const Section& section : sections()) {
    IParam* lock = plug->paramAt(section.lock + part);
    open.push_back(lock && lock->Value() == 0.0);
  }
  for (size_t s = 0; s < sections().size(); ++s) {
    if (!open[s]) continue;
    const Section& section = sections()[s];
    if (section.rule == Rule::kEnvelope) {
      const int m = reduce(section.mode, section.groups.front().slot - 1);
      set(section.mode + part, m >= 32 ? m - 32 : m);
      set(section.trigger + part, m >= 32 ? 1 : 0);
    }
    for (const SlotGroup& group : section.groups) {
      if (section.rule == Rule::kUnison && group.slot == 43) {
        const int u = reduce(kOscillatorUnisono, 43);
        set(kOscillatorUnisono + part, u <= 5 ? u : u - 1);
        set(kOscillatorMonoPolyMode + part, u <= 5 ? 0 : 1);
        continue;
      }
      for (int param : group.params) set(param + part, reduce(param, group.slot));
    }
    if (section.rule == Rule::kRouting) {
      const int r = reduce(kFilterRouting, 70);
      set(kFilterRoutingParallel + part, r == 0 ? 1 : 0);
      set(kFilterRoutingSerial + part, r == 0 ? 0 : 1);
    }
    if (section.rule == Rule::kArp) {
      const auto stepByte = [&](int slot) {
        const int b = randomizer(kPartZeroCutoff, slot);
        return std::pair{b, b < 128 ? b % 16 : 0};
      };
      for (int n = 0; n < 16; ++n) {
        const auto [b, lo] = stepByte(254 + n);
        const int offset = kArpStepSpan * n + part;
        set(kArpPattern01Glide + offset, 0);
        set(kArpPattern01Step + offset, b / 16);
        set(kArpPattern01Accent + offset, lo);
        if (lo >= 8) {
          set(kArpPattern01Accent + offset, lo - 8);
          set(kArpPattern01Glide + offset, 1);
        }
      }
      for (int n = 0; n < 16; ++n) {
        const auto [b, lo] = stepByte(270 + n);
        set(kArpPattern01StepLen + kArpStepSpan * n + part, b / 16);
        set(kArpPattern01Timing + kArpStepSpan * n + part, lo);
      }
    }
  }
}
