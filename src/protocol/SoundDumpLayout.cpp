#include "SoundDumpLayout.h"

#include <algorithm>
#include <vector>

#include "ParamIndex.h"

namespace {
constexpr int kNone = -1;
constexpr int kArpStepStride = kArpPattern02Step - kArpPattern01Step;
static_assert(kArpPattern16Step == kArpPattern01Step + 15 * kArpStepStride);
static_assert(kArpPattern16Glide == kArpPattern01Glide + 15 * kArpStepStride);
static_assert(kArpPattern16Accent == kArpPattern01Accent + 15 * kArpStepStride);
static_assert(kArpPattern16StepLen == kArpPattern01StepLen + 15 * kArpStepStride);
static_assert(kArpPattern16Timing == kArpPattern01Timing + 15 * kArpStepStride);

constexpr SoundDumpField P(int byte, int base, int lock) { return {byte, DumpRule::kPlain, base, kNone, kNone, lock}; }
constexpr SoundDumpField R(int byte, DumpRule rule, int base, int lock) { return {byte, rule, base, kNone, kNone, lock}; }
constexpr SoundDumpField R2(int byte, DumpRule rule, int a, int b, int lock) { return {byte, rule, a, b, kNone, lock}; }

// Bytes 8..333; the arpeggiator pattern bytes 334..365 follow by formula.
constexpr SoundDumpField kFields[] = {
    R(8, DumpRule::kOctave, kOscillator1Octave, kSectionLockOsc1),
    R(9, DumpRule::kSemitone, kOscillator1Semitone, kSectionLockOsc1),
    P(10, kOscillator1Detune, kSectionLockOsc1),
    R(11, DumpRule::kBendRange, kOscillator1BendRange, kSectionLockOsc1),
    P(12, kOscillator1Keytrack, kSectionLockOsc1),
    P(13, kOscillator1FMSource, kSectionLockOsc1),
    P(14, kOscillator1FMAmount, kSectionLockOsc1),
    P(15, kOscillator1Shape, kSectionLockOsc1),
    P(16, kOscillator1Pulsewidth, kSectionLockOsc1),
    P(17, kOscillator1PWMSource, kSectionLockOsc1),
    P(18, kOscillator1PWMAmount, kSectionLockOsc1),
    P(19, kOscillator1FrqDivide, kSectionLockOsc1),
    P(20, kOscillator1SubLevel, kSectionLockOsc1),
    R(24, DumpRule::kOctave, kOscillator2Octave, kSectionLockOsc2),
    R(25, DumpRule::kSemitone, kOscillator2Semitone, kSectionLockOsc2),
    P(26, kOscillator2Detune, kSectionLockOsc2),
    R(27, DumpRule::kBendRange, kOscillator2BendRange, kSectionLockOsc2),
    P(28, kOscillator2Keytrack, kSectionLockOsc2),
    P(29, kOscillator2FMSource, kSectionLockOsc2),
    P(30, kOscillator2FMAmount, kSectionLockOsc2),
    P(31, kOscillator2Shape, kSectionLockOsc2),
    P(32, kOscillator2Pulsewidth, kSectionLockOsc2),
    P(33, kOscillator2PWMSource, kSectionLockOsc2),
    P(34, kOscillator2PWMAmount, kSectionLockOsc2),
    P(35, kOscillator2FrqDivide, kSectionLockOsc2),
    P(36, kOscillator2SubLevel, kSectionLockOsc2),
    R(40, DumpRule::kOctave, kOscillator3Octave, kSectionLockOsc3),
    R(41, DumpRule::kSemitone, kOscillator3Semitone, kSectionLockOsc3),
    P(42, kOscillator3Detune, kSectionLockOsc3),
    R(43, DumpRule::kBendRange, kOscillator3BendRange, kSectionLockOsc3),
    P(44, kOscillator3Keytrack, kSectionLockOsc3),
    P(45, kOscillator3FMSource, kSectionLockOsc3),
    P(46, kOscillator3FMAmount, kSectionLockOsc3),
    P(47, kOscillator3Shape, kSectionLockOsc3),
    P(48, kOscillator3Pulsewidth, kSectionLockOsc3),
    P(49, kOscillator3PWMSource, kSectionLockOsc3),
    P(50, kOscillator3PWMAmount, kSectionLockOsc3),
    P(56, kOscillator2SyncToOsc3, kSectionLockOsc2),
    P(57, kOscillatorPitchSource, kSectionLockPitchMod),
    P(58, kOscillatorPitchAmount, kSectionLockPitchMod),
    P(60, kOscillatorGlideOnOffSwitch, kSectionLockPitchMod),
    P(63, kOscillatorGlideMode, kSectionLockPitchMod),
    P(64, kOscillatorGlideRate, kSectionLockPitchMod),
    R2(65, DumpRule::kUnisonoMono, kOscillatorUnisono, kOscillatorMonoPolyMode, kSectionLockUnisono),
    P(66, kOscillatorUniDetune, kSectionLockUnisono),
    P(68, kOscillator1Level, kSectionLockMixer),
    P(69, kOscillator1Balance, kSectionLockMixer),
    P(70, kOscillator2Level, kSectionLockMixer),
    P(71, kOscillator2Balance, kSectionLockMixer),
    P(72, kOscillator3Level, kSectionLockMixer),
    P(73, kOscillator3Balance, kSectionLockMixer),
    P(74, kNoiseLevel, kSectionLockMixer),
    P(75, kNoiseBalance, kSectionLockMixer),
    P(78, kRingModulationLevel, kSectionLockMixer),
    P(79, kRingModulationBalance, kSectionLockMixer),
    P(82, kNoiseExtFilter1Source, kSectionLockNoiseExt),
    P(83, kNoiseExtFilter2Source, kSectionLockNoiseExt),
    P(84, kFilter1Type, kSectionLockFilter1),
    P(85, kFilter1Cutoff, kSectionLockFilter1),
    P(87, kFilter1Resonance, kSectionLockFilter1),
    P(88, kFilter1Drive, kSectionLockFilter1),
    P(93, kFilter1Keytrack, kSectionLockFilter1),
    P(94, kFilter1EnvAmount, kSectionLockFilter1),
    P(95, kFilter1EnvVelocity, kSectionLockFilter1),
    P(96, kFilter1ModSource, kSectionLockFilter1),
    P(97, kFilter1ModAmount, kSectionLockFilter1),
    P(98, kFilter1FMSource, kSectionLockFilter1),
    P(99, kFilter1FMAmount, kSectionLockFilter1),
    P(100, kFilter1Panning, kSectionLockFilter1),
    P(101, kFilter1PanSource, kSectionLockFilter1),
    P(102, kFilter1PanAmount, kSectionLockFilter1),
    P(104, kFilter2Type, kSectionLockFilter2),
    P(105, kFilter2Cutoff, kSectionLockFilter2),
    P(107, kFilter2Resonance, kSectionLockFilter2),
    P(108, kFilter2Drive, kSectionLockFilter2),
    P(113, kFilter2Keytrack, kSectionLockFilter2),
    P(114, kFilter2EnvAmount, kSectionLockFilter2),
    P(115, kFilter2EnvVelocity, kSectionLockFilter2),
    P(116, kFilter2ModSource, kSectionLockFilter2),
    P(117, kFilter2ModAmount, kSectionLockFilter2),
    P(118, kFilter2FMSource, kSectionLockFilter2),
    P(119, kFilter2FMAmount, kSectionLockFilter2),
    P(120, kFilter2Panning, kSectionLockFilter2),
    P(121, kFilter2PanSource, kSectionLockFilter2),
    P(122, kFilter2PanAmount, kSectionLockFilter2),
    R(124, DumpRule::kFilterRouting, kFilterRouting, kSectionLockFilter1),
    R(125, DumpRule::kFilterLink, kFilterLinkValue, kSectionLockFilter1),
    P(128, kAmpLevel, kSectionLockAmp),
    P(129, kAmpLevelVelocity, kSectionLockAmp),
    P(130, kAmpModSource, kSectionLockAmp),
    P(131, kAmpModAmount, kSectionLockAmp),
    P(135, kEffect1Mode, kSectionLockFX1),
    P(136, kEffect1Mix, kSectionLockFX1),
    R(137, DumpRule::kEffectParam, kEffect1Param01, kSectionLockFX1),
    R(138, DumpRule::kEffectParam, kEffect1Param02, kSectionLockFX1),
    R(139, DumpRule::kEffectParam, kEffect1Param03, kSectionLockFX1),
    R(140, DumpRule::kEffectParam, kEffect1Param04, kSectionLockFX1),
    R(141, DumpRule::kEffectParam, kEffect1Param05, kSectionLockFX1),
    R(142, DumpRule::kEffectParam, kEffect1Param06, kSectionLockFX1),
    R(143, DumpRule::kEffectParam, kEffect1Param07, kSectionLockFX1),
    R(144, DumpRule::kEffectParam, kEffect1Param08, kSectionLockFX1),
    R(145, DumpRule::kEffectParam, kEffect1Param09, kSectionLockFX1),
    R(146, DumpRule::kEffectParam, kEffect1Param10, kSectionLockFX1),
    R(147, DumpRule::kEffectParam, kEffect1Param11, kSectionLockFX1),
    R(148, DumpRule::kEffectParam, kEffect1Param12, kSectionLockFX1),
    R(149, DumpRule::kEffectParam, kEffect1Param13, kSectionLockFX1),
    R(150, DumpRule::kEffectParam, kEffect1Param14, kSectionLockFX1),
    P(151, kEffect2Mode, kSectionLockFX2),
    P(152, kEffect2Mix, kSectionLockFX2),
    R(153, DumpRule::kEffectParam, kEffect2Param01, kSectionLockFX2),
    R(154, DumpRule::kEffectParam, kEffect2Param02, kSectionLockFX2),
    R(155, DumpRule::kEffectParam, kEffect2Param03, kSectionLockFX2),
    R(156, DumpRule::kEffectParam, kEffect2Param04, kSectionLockFX2),
    R(157, DumpRule::kEffectParam, kEffect2Param05, kSectionLockFX2),
    R(158, DumpRule::kEffectParam, kEffect2Param06, kSectionLockFX2),
    R(159, DumpRule::kEffectParam, kEffect2Param07, kSectionLockFX2),
    R(160, DumpRule::kEffectParam, kEffect2Param08, kSectionLockFX2),
    R(161, DumpRule::kEffectParam, kEffect2Param09, kSectionLockFX2),
    R(162, DumpRule::kEffectParam, kEffect2Param10, kSectionLockFX2),
    R(163, DumpRule::kEffectParam, kEffect2Param11, kSectionLockFX2),
    R(164, DumpRule::kEffectParam, kEffect2Param12, kSectionLockFX2),
    R(165, DumpRule::kEffectParam, kEffect2Param13, kSectionLockFX2),
    R(166, DumpRule::kEffectParam, kEffect2Param14, kSectionLockFX2),
    P(167, kLFO1Shape, kSectionLockLFO1),
    P(168, kLFO1Speed, kSectionLockLFO1),
    P(170, kLFO1SyncOnOff, kSectionLockLFO1),
    P(171, kLFO1Clock, kSectionLockLFO1),
    P(172, kLFO1Startphase, kSectionLockLFO1),
    P(173, kLFO1Delay, kSectionLockLFO1),
    P(174, kLFO1Fade, kSectionLockLFO1),
    P(177, kLFO1Keytrack, kSectionLockLFO1),
    P(179, kLFO2Shape, kSectionLockLFO2),
    P(180, kLFO2Speed, kSectionLockLFO2),
    P(182, kLFO2SyncOnOff, kSectionLockLFO2),
    P(183, kLFO2Clock, kSectionLockLFO2),
    P(184, kLFO2Startphase, kSectionLockLFO2),
    P(185, kLFO2Delay, kSectionLockLFO2),
    P(186, kLFO2Fade, kSectionLockLFO2),
    P(189, kLFO2Keytrack, kSectionLockLFO2),
    P(191, kLFO3Shape, kSectionLockLFO3),
    P(192, kLFO3Speed, kSectionLockLFO3),
    P(194, kLFO3SyncOnOff, kSectionLockLFO3),
    P(195, kLFO3Clock, kSectionLockLFO3),
    P(196, kLFO3Startphase, kSectionLockLFO3),
    P(197, kLFO3Delay, kSectionLockLFO3),
    P(198, kLFO3Fade, kSectionLockLFO3),
    P(201, kLFO3Keytrack, kSectionLockLFO3),
    R2(203, DumpRule::kEnvelope, kFilterEnvTrigger, kFilterEnvMode, kSectionLockFilterEnv),
    P(206, kFilterEnvAttack, kSectionLockFilterEnv),
    P(207, kFilterAttackLevel, kSectionLockFilterEnv),
    P(208, kFilterEnvDecay, kSectionLockFilterEnv),
    P(209, kFilterEnvSustain, kSectionLockFilterEnv),
    P(210, kFilterEnvDecay2, kSectionLockFilterEnv),
    P(211, kFilterEnvSustain2, kSectionLockFilterEnv),
    P(212, kFilterEnvRelease, kSectionLockFilterEnv),
    R2(215, DumpRule::kEnvelope, kAmpEnvTrigger, kAmpEnvMode, kSectionLockAmpEnv),
    P(218, kAmpEnvAttack, kSectionLockAmpEnv),
    P(219, kAmpAttackLevel, kSectionLockAmpEnv),
    P(220, kAmpEnvDecay, kSectionLockAmpEnv),
    P(221, kAmpEnvSustain, kSectionLockAmpEnv),
    P(222, kAmpEnvDecay2, kSectionLockAmpEnv),
    P(223, kAmpEnvSustain2, kSectionLockAmpEnv),
    P(224, kAmpEnvRelease, kSectionLockAmpEnv),
    R2(227, DumpRule::kEnvelope, kEnv3Trigger, kEnvelope3Mode, kSectionLockEnv3),
    P(230, kEnv3Attack, kSectionLockEnv3),
    P(231, kEnv3AttackLevel, kSectionLockEnv3),
    P(232, kEnv3Decay, kSectionLockEnv3),
    P(233, kEnv3Sustain, kSectionLockEnv3),
    P(234, kEnv3Decay2, kSectionLockEnv3),
    P(235, kEnv3Sustain2, kSectionLockEnv3),
    P(236, kEnv3Release, kSectionLockEnv3),
    R2(239, DumpRule::kEnvelope, kEnv4Trigger, kEnvelope4Mode, kSectionLockEnv4),
    P(242, kEnv4Attack, kSectionLockEnv4),
    P(243, kEnv4AttackLevel, kSectionLockEnv4),
    P(244, kEnv4Decay, kSectionLockEnv4),
    P(245, kEnv4Sustain, kSectionLockEnv4),
    P(246, kEnv4Decay2, kSectionLockEnv4),
    P(247, kEnv4Sustain2, kSectionLockEnv4),
    P(248, kEnv4Release, kSectionLockEnv4),
    P(252, kModifier1Source1, kSectionLockMod1),
    P(253, kModifier1Source2, kSectionLockMod1),
    P(254, kModifier1SourceType, kSectionLockMod1),
    P(255, kModifier1SourceAmount, kSectionLockMod1),
    P(256, kModifier2Source1, kSectionLockMod2),
    P(257, kModifier2Source2, kSectionLockMod2),
    P(258, kModifier2SourceType, kSectionLockMod2),
    P(259, kModifier2SourceAmount, kSectionLockMod2),
    P(260, kModifier3Source1, kSectionLockMod3),
    P(261, kModifier3Source2, kSectionLockMod3),
    P(262, kModifier3SourceType, kSectionLockMod3),
    P(263, kModifier3SourceAmount, kSectionLockMod3),
    P(264, kModifier4Source1, kSectionLockMod4),
    P(265, kModifier4Source2, kSectionLockMod4),
    P(266, kModifier4SourceType, kSectionLockMod4),
    P(267, kModifier4SourceAmount, kSectionLockMod4),
    P(268, kMod1FastSource, kSectionLockM1F),
    P(269, kMod1FastDestination, kSectionLockM1F),
    P(270, kMod1FastAmount, kSectionLockM1F),
    P(271, kMod2FastSource, kSectionLockM2F),
    P(272, kMod2FastDestination, kSectionLockM2F),
    P(273, kMod2FastAmount, kSectionLockM2F),
    P(274, kMod3FastSource, kSectionLockM3F),
    P(275, kMod3FastDestination, kSectionLockM3F),
    P(276, kMod3FastAmount, kSectionLockM3F),
    P(277, kMod4FastSource, kSectionLockM4F),
    P(278, kMod4FastDestination, kSectionLockM4F),
    P(279, kMod4FastAmount, kSectionLockM4F),
    P(280, kMod5FastSource, kSectionLockM5F),
    P(281, kMod5FastDestination, kSectionLockM5F),
    P(282, kMod5FastAmount, kSectionLockM5F),
    P(283, kMod6FastSource, kSectionLockM6F),
    P(284, kMod6FastDestination, kSectionLockM6F),
    P(285, kMod6FastAmount, kSectionLockM6F),
    P(286, kMod7FastSource, kSectionLockM7F),
    P(287, kMod7FastDestination, kSectionLockM7F),
    P(288, kMod7FastAmount, kSectionLockM7F),
    P(289, kMod8FastSource, kSectionLockM8F),
    P(290, kMod8FastDestination, kSectionLockM8F),
    P(291, kMod8FastAmount, kSectionLockM8F),
    P(292, kMod1StandardSource, kSectionLockM1S),
    P(293, kMod1StandardDestination, kSectionLockM1S),
    P(294, kMod1StandardAmount, kSectionLockM1S),
    P(295, kMod2StandardSource, kSectionLockM2S),
    P(296, kMod2StandardDestination, kSectionLockM2S),
    P(297, kMod2StandardAmount, kSectionLockM2S),
    P(298, kMod3StandardSource, kSectionLockM3S),
    P(299, kMod3StandardDestination, kSectionLockM3S),
    P(300, kMod3StandardAmount, kSectionLockM3S),
    P(301, kMod4StandardSource, kSectionLockM4S),
    P(302, kMod4StandardDestination, kSectionLockM4S),
    P(303, kMod4StandardAmount, kSectionLockM4S),
    P(304, kMod5StandardSource, kSectionLockM5S),
    P(305, kMod5StandardDestination, kSectionLockM5S),
    P(306, kMod5StandardAmount, kSectionLockM5S),
    P(307, kMod6StandardSource, kSectionLockM6S),
    P(308, kMod6StandardDestination, kSectionLockM6S),
    P(309, kMod6StandardAmount, kSectionLockM6S),
    P(310, kMod7StandardSource, kSectionLockM7S),
    P(311, kMod7StandardDestination, kSectionLockM7S),
    P(312, kMod7StandardAmount, kSectionLockM7S),
    P(313, kMod8StandardSource, kSectionLockM8S),
    P(314, kMod8StandardDestination, kSectionLockM8S),
    P(315, kMod8StandardAmount, kSectionLockM8S),
    P(318, kArpMode, kSectionLockArp),
    P(319, kArpPattern, kSectionLockArp),
    P(320, kArpMaxNotes, kSectionLockArp),
    P(321, kArpClock, kSectionLockArp),
    P(322, kArpNoteLength, kSectionLockArp),
    P(323, kArpOctRange, kSectionLockArp),
    P(324, kArpDirection, kSectionLockArp),
    P(325, kArpSortOrder, kSectionLockArp),
    P(326, kArpVelocityMode, kSectionLockArp),
    P(327, kArpTimeFactor, kSectionLockArp),
    P(328, kArpSameNoteOverlap, kSectionLockArp),
    P(329, kArpPatternReset, kSectionLockArp),
    P(330, kArpPatternLength, kSectionLockArp),
};

constexpr int kFirstArpStepByte = 334;
constexpr int kFirstArpTimingByte = 350;
constexpr int kArpSteps = 16;

// Fixed bytes that are not zero; every other fixed byte is 00.
constexpr std::pair<int, uint8_t> kFixedBytes[] = {
    {76, 0x40},  {77, 0x40},  {86, 0x40},  {89, 0x40},  {90, 0x40},  {91, 0x40},  {92, 0x40},
    {106, 0x40}, {109, 0x40}, {110, 0x40}, {111, 0x40}, {112, 0x40}, {202, 0x01}, {204, 0x40},
    {216, 0x40}, {228, 0x40}, {240, 0x40}, {251, 0x01}, {316, 0x40}, {333, 0x37}, {366, 0x44},
};

constexpr uint8_t kHeader[] = {kSysExStart, kZorozovID, kDirirUModel, 0x03, kSoundDumpCommand, kEditBufferBank, 0x00, 0x01};

std::vector<SoundDumpField> buildFields() {
  std::vector<SoundDumpField> fields(std::begin(kFields), std::end(kFields));
  for (int n = 0; n < kArpSteps; ++n) {
    const int stride = n * kArpStepStride;
    fields.push_back({kFirstArpStepByte + n, DumpRule::kArpStep, kArpPattern01Step + stride,
                      kArpPattern01Glide + stride, kArpPattern01Accent + stride, kSectionLockArp});
  }
  for (int n = 0; n < kArpSteps; ++n) {
    const int stride = n * kArpStepStride;
    fields.push_back({kFirstArpTimingByte + n, DumpRule::kArpTiming, kArpPattern01StepLen + stride,
                      kArpPattern01Timing + stride, kNone, kSectionLockArp});
  }
  return fields;
}

const std::vector<SoundDumpField>& fields() {
  static const std::vector<SoundDumpField> table = buildFields();
  return table;
}

std::array<const SoundDumpField*, kSoundDumpSize> buildByteIndex() {
  std::array<const SoundDumpField*, kSoundDumpSize> index{};
  for (const SoundDumpField& field : fields()) index[static_cast<size_t>(field.byte)] = &field;
  return index;
}

std::array<uint8_t, kSoundDumpSize> buildTemplate() {
  std::array<uint8_t, kSoundDumpSize> dump{};
  std::copy(std::begin(kHeader), std::end(kHeader), dump.begin());
  for (const auto& [byte, value] : kFixedBytes) dump[static_cast<size_t>(byte)] = value;
  std::fill_n(dump.begin() + kSoundNameByte, kSoundNameLength + kSoundCategoryLength, ' ');
  dump[kSoundChecksumByte] = 0x00;
  dump[kSoundDumpSize - 1] = kSysExEnd;
  return dump;
}

constexpr int kLockBases[kNumSectionLocks] = {
    kSectionLockOsc1,  kSectionLockOsc2,     kSectionLockOsc3,  kSectionLockMixer, kSectionLockPitchMod,
    kSectionLockUnisono, kSectionLockNoiseExt, kSectionLockFilter1, kSectionLockFilter2,
    kSectionLockFilterEnv, kSectionLockAmp, kSectionLockAmpEnv, kSectionLockFX1, kSectionLockFX2,
    kSectionLockArp, kSectionLockEnv3, kSectionLockEnv4, kSectionLockLFO1, kSectionLockLFO2,
    kSectionLockLFO3, kSectionLockM1F, kSectionLockM2F, kSectionLockM3F, kSectionLockM4F,
    kSectionLockM5F, kSectionLockM6F, kSectionLockM7F, kSectionLockM8F, kSectionLockM1S,
    kSectionLockM2S, kSectionLockM3S, kSectionLockM4S, kSectionLockM5S, kSectionLockM6S,
    kSectionLockM7S, kSectionLockM8S, kSectionLockMod1, kSectionLockMod2, kSectionLockMod3,
    kSectionLockMod4,
};
}  // namespace

std::span<const SoundDumpField> soundDumpFields() { return fields(); }

const SoundDumpField* soundDumpFieldAt(int byte) {
  static const auto index = buildByteIndex();
  if (byte < 0 || byte >= kSoundDumpSize) return nullptr;
  return index[static_cast<size_t>(byte)];
}

const std::array<uint8_t, kSoundDumpSize>& soundDumpTemplate() {
  static const auto dump = buildTemplate();
  return dump;
}

std::span<const int> sectionLockBases() { return kLockBases; }
