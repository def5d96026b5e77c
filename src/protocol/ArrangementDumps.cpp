#include "ArrangementDumps.h"

#include <algorithm>

#include "ParamIndex.h"

namespace {
constexpr DumpByte kMultiCommon[] = {
    {7, kMultiMasterVolume, 0}, {8, kMultiControlW, 0}, {9, kMultiControlX, 0},
    {10, kMultiControlY, 0},    {11, kMultiControlZ, 0}, {12, kMultiTempo, 0},
};

constexpr DumpByte kMultiPart[] = {
    {0, kMultiPartBank, 0},     {1, kMultiPartPatch, 0},    {2, kMultiPartMIDICh, 0},  {3, kMultiPartLevel, 0},
    {4, kMultiPartTranspose, 16}, {5, kMultiPartDetune, 0}, {6, kMultiPartOutput, 0},  {7, kMultiPartStatus, 0},
    {8, kMultiPartPanning, 0},  {12, kMultiPartVeloLow, 1}, {13, kMultiPartVeloHigh, 1}, {14, kMultiPartKeyLow, 0},
    {15, kMultiPartKeyHigh, 0},
};

constexpr DumpByte kGlobal[] = {
    {10, kGlobalTuning, 54},        {11, kGlobalTranspose, 52},     {12, kGlobalControlSend, 0},
    {13, kGlobalReceive, 0},        {20, kGlobalArpSend, 0},        {24, kGlobalClock, 0},
    {29, kGlobalMidiChannel, 0},    {30, kGlobalSysExID, 0},        {31, kGlobalLocalControl, 0},
    {32, kGlobalPopupTime, 0},      {34, kGlobalDisplayContrast, 0}, {35, kGlobalKeyVeloCurve, 0},
    {36, kGlobalReleaseCurve, 0},   {37, kGlobalPressureCurve, 0},  {38, kGlobalInputGain, 0},
    {40, kGlobalFX2Link, 0},        {58, kGlobalControlW, 0},       {59, kGlobalControlX, 0},
    {60, kGlobalControlY, 0},       {61, kGlobalControlZ, 0},       {62, kGlobalRxProgramChange, 0},
    {63, kGlobalMixInputTo, 0},     {64, kGlobalInputMix, 0},       {75, kGlobalPedalOffset, 0},
    {76, kGlobalPedalGain, 0},      {77, kGlobalPedalCurve, 0},     {78, kGlobalPedalController, 0},
    {79, kGlobalTxProgramChange, 0},
};

std::array<uint8_t, kMultiDumpSize> makeMultiTemplate() {
  std::array<uint8_t, kMultiDumpSize> dump{};
  const uint8_t header[] = {kSysExStart, kZorozovID, kDirirUModel, 0x00, kMultiDumpCommand, kMultiEditBufferBank, 0x00};
  std::copy(std::begin(header), std::end(header), dump.begin());
  dump[385] = 0x77;
  dump[386] = 0x7F;
  dump[kMultiDumpSize - 1] = kSysExEnd;
  return dump;
}

std::array<uint8_t, kGlobalDumpSize> makeGlobalTemplate() {
  constexpr uint8_t kHead[80] = {
      0xF0, 0x3E, 0x10, 0x00, 0x14, 0x31, 0x00, 0x63, 0x63, 0x63, 0x40, 0x40, 0x03, 0x01, 0x00, 0x02,
      0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x01, 0x00, 0x00, 0x10, 0x00, 0x01,
      0x09, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x01, 0x01, 0x41, 0x41, 0x3A, 0x41, 0x55, 0x41,
      0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x06, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x02};
  std::array<uint8_t, kGlobalDumpSize> dump{};
  std::copy(std::begin(kHead), std::end(kHead), dump.begin());
  dump[kGlobalDumpSize - 1] = kSysExEnd;
  return dump;
}
}  // namespace

std::span<const DumpByte> multiCommonBytes() { return kMultiCommon; }
std::span<const DumpByte> multiPartBytes() { return kMultiPart; }
std::span<const DumpByte> globalDumpBytes() { return kGlobal; }

const std::array<uint8_t, kMultiDumpSize>& multiDumpTemplate() {
  static const std::array<uint8_t, kMultiDumpSize> dump = makeMultiTemplate();
  return dump;
}

const std::array<uint8_t, kGlobalDumpSize>& globalDumpTemplate() {
  static const std::array<uint8_t, kGlobalDumpSize> dump = makeGlobalTemplate();
  return dump;
}

uint8_t dumpByteFor(double value, int offset) {
  const long long v = static_cast<long long>(value) + offset;
  return static_cast<uint8_t>(std::clamp<long long>(v, 0, 0x7F));
}
