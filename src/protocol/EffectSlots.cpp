#include "EffectSlots.h"

#include "ParamIndex.h"

namespace {
constexpr int kFx1P01[] = {kFX1ChorusSpeed, kFX1FlangerSpeed, kFX1PhaserSpeed, kFX1FiveFXSpeed, kFX1VocoderBands};
constexpr int kFx1P02[] = {kFX1ChorusDepth,     kFX1FlangerDepht, kFX1PhaserDepth,
                           kFX1OverdriveDrive, kFX1FiveFXDepth,  kFX1VocoderAnalysisSignal};
constexpr int kFx1P03[] = {kFX1OverdrivePostGain, kFX1FiveFXDelay, kFX1VocoderAnalysisLoFrq};
constexpr int kFx1P04[] = {kFX1ChorusDelay, kFX1FiveFXChorusDelay, kFX1VocoderAnalysisHiFrq};
constexpr int kFx1P05[] = {kFX1FlangerFeedBack, kFX1PhaserFeedback, kFX1FiveFXSampleHold,
                           kFX1VocoderAnalysisSOffset};
constexpr int kFx1P06[] = {kFX1PhaserCenter, kFX1OverdriveCutoff, kFX1FiveFXOverdrive, kFX1VocoderAnalysisHiOffset};
constexpr int kFx1P07[] = {kFX1PhaserSpacing, kFX1FiveFXSource, kFX1VocoderBandwidth};
constexpr int kFx1P08[] = {kFX1FiveFXRingMod, kFX1VocoderResonance};
constexpr int kFx1P09[] = {kFX1FlangerPolarity, kFX1PhaserPolarity, kFX1VocoderAttack};
constexpr int kFx1P10[] = {kFX1VocoderDecay};
constexpr int kFx1P11[] = {kFX1VocoderEQLowBandLevel};
constexpr int kFx1P12[] = {kFX1VocoderEQMiddleFreq};
constexpr int kFx1P13[] = {kFX1VocoderEQMiddleLevel};
constexpr int kFx1P14[] = {kFX1VocoderEQHighBandLevel};

constexpr int kFx2P01[] = {kFX2ChorusSpeed,  kFX2FlangerSpeed, kFX2PhaserSpeed,  kFX2FiveFXSpeed,
                           kFX2VocoderBands, kFX2ReverbSize,   kFX251DelayDelay, kFX251DelayClockedDelay};
constexpr int kFx2P02[] = {kFX2ChorusDepth,           kFX2FlangerDepht, kFX2PhaserDepth,
                           kFX2OverdriveDrive,        kFX2FiveFXDepth,  kFX2VocoderAnalysisSignal,
                           kFX2ReverbShape,           kFX251DelayFeedback, kFX251DelayClockedFeedback};
constexpr int kFx2P03[] = {kFX2DelayTempo,  kFX2OverdrivePostGain, kFX2FiveFXDelay,       kFX2VocoderAnalysisLoFrq,
                           kFX2ReverbDecay, kFX251DelayLFELP,      kFX251DelayClockedLFELP};
constexpr int kFx2P04[] = {kFX2ChorusDelay,    kFX2DelayLength,     kFX2FiveFXChorusDelay,    kFX2VocoderAnalysisHiFrq,
                           kFX2ReverbPredelay, kFX251DelayInputHP, kFX251DelayClockedInputHP};
constexpr int kFx2P05[] = {kFX2FlangerFeedBack, kFX2PhaserFeedback,         kFX2DelayFeedback,
                           kFX2FiveFXSampleHold, kFX2VocoderAnalysisSOffset, kFX251DelayDelayML,
                           kFX251DelayClockedDelayML};
constexpr int kFx2P06[] = {kFX2PhaserCenter,   kFX2DelayCutoff,     kFX2OverdriveCutoff,
                           kFX2FiveFXOverdrive, kFX2VocoderAnalysisHiOffset, kFX2ReverbLowppass,
                           kFX251DelayFSLV,    kFX251DelayClockedFSLV};
constexpr int kFx2P07[] = {kFX2PhaserSpacing,  kFX2FiveFXSource,   kFX2VocoderBandwidth,
                           kFX2ReverbHighPass, kFX251DelayDelayMR, kFX251DelayClockedDelayMR};
constexpr int kFx2P08[] = {kFX2DelayClocked,    kFX2FiveFXRingMod, kFX2VocoderResonance,
                           kFX2ReverbDiffusion, kFX251DelayFSRV,   kFX251DelayClockedFSRV};
constexpr int kFx2P09[] = {kFX2FlangerPolarity, kFX2PhaserPolarity,  kFX2DelayPolarity,         kFX2VocoderAttack,
                           kFX2ReverbDamping,   kFX251DelayDelayS2L, kFX251DelayClockedDelayS2L};
constexpr int kFx2P10[] = {kFX2DelayAutoPan, kFX2VocoderDecay, kFX251DelayCntrSV, kFX251DelayClockedCntrSV};
constexpr int kFx2P11[] = {kFX2VocoderEQLowBandLevel, kFX251DelayS1L, kFX251DelayClockedDelayS1L,
                           kFX2DelaySyncedLength};
constexpr int kFx2P12[] = {kFX2VocoderEQMiddleFreq, kFX251DelayRearSLV, kFX251DelayClockedRearSLV};
constexpr int kFx2P13[] = {kFX2VocoderEQMiddleLevel, kFX251DelayS1R, kFX251DelayClockedDelayS1R};
constexpr int kFx2P14[] = {kFX2VocoderEQHighBandLevel, kFX251DelayRearSRV, kFX251DelayClockedRearSRV};

const EffectSlot kFx1[] = {
    {kEffect1Param01, kFx1P01}, {kEffect1Param02, kFx1P02}, {kEffect1Param03, kFx1P03},
    {kEffect1Param04, kFx1P04}, {kEffect1Param05, kFx1P05}, {kEffect1Param06, kFx1P06},
    {kEffect1Param07, kFx1P07}, {kEffect1Param08, kFx1P08}, {kEffect1Param09, kFx1P09},
    {kEffect1Param10, kFx1P10}, {kEffect1Param11, kFx1P11}, {kEffect1Param12, kFx1P12},
    {kEffect1Param13, kFx1P13}, {kEffect1Param14, kFx1P14},
};

const EffectSlot kFx2[] = {
    {kEffect2Param01, kFx2P01}, {kEffect2Param02, kFx2P02}, {kEffect2Param03, kFx2P03},
    {kEffect2Param04, kFx2P04}, {kEffect2Param05, kFx2P05}, {kEffect2Param06, kFx2P06},
    {kEffect2Param07, kFx2P07}, {kEffect2Param08, kFx2P08}, {kEffect2Param09, kFx2P09},
    {kEffect2Param10, kFx2P10}, {kEffect2Param11, kFx2P11}, {kEffect2Param12, kFx2P12},
    {kEffect2Param13, kFx2P13}, {kEffect2Param14, kFx2P14},
};
}  // namespace

std::span<const EffectSlot> fx1Slots() { return kFx1; }
std::span<const EffectSlot> fx2Slots() { return kFx2; }

std::span<const int> effectViewsOfSlot(int slotBase) {
  for (auto table : {fx1Slots(), fx2Slots()})
    for (const EffectSlot& row : table)
      if (row.slot == slotBase) return row.named;
  return {};
}

int effectSlotOfNamed(std::span<const EffectSlot> table, int namedBase) {
  for (const EffectSlot& row : table)
    for (int named : row.named)
      if (named == namedBase) return row.slot;
  return -1;
}
