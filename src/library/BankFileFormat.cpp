#include "BankFileFormat.h"

#include <algorithm>

namespace {
constexpr size_t kTrackLengthAt = 45;
constexpr std::array<unsigned char, 49> kFileHead = {
    'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0,
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x13,
    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
    0x00, 0xFF, 0x2F, 0x00,
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x00};

constexpr std::array<unsigned char, 53> makeHeader(unsigned char len1, unsigned char len0, unsigned char vlq) {
  std::array<unsigned char, 53> h{};
  for (size_t i = 0; i < kFileHead.size(); ++i) h[i] = kFileHead[i];
  h[47] = len1;
  h[48] = len0;
  h[49] = 0x00;
  h[50] = 0xF0;
  h[51] = 0x83;
  h[52] = vlq;
  return h;
}
}  // namespace

const std::array<unsigned char, 53> patchBankHeader = makeHeader(0x9A, 0xB3, 0x07);
const std::array<unsigned char, 53> multiBankHeader = makeHeader(0x9B, 0x17, 0x08);
const std::array<unsigned char, 5> patchBankInBetween = {0x83, 0x74, 0xF0, 0x83, 0x07};
const std::array<unsigned char, 5> multiBankInBetween = {0x83, 0x74, 0xF0, 0x83, 0x08};

Bytes writeBankImage(const PatchFile& bank, bool midi, bool multi) {
  Bytes out;
  out.reserve(40000);
  if (midi) out.assign(kFileHead.begin(), kFileHead.end());
  int events = 0;
  const size_t entries = std::min(bank.patches.size(), static_cast<size_t>(kPatchesPerBank));
  for (size_t i = 0; i < entries; ++i) {
    const auto& dumps = bank.patches[i].dumps;
    PatchSysexMessage scratch;
    for (size_t d = 0; d < dumps.size(); ++d) {
      const PatchSysexMessage& dump = d == 0 ? bank.patches[i].savedDump(scratch) : dumps[d];
      if (midi && dump.bytes.empty()) continue;
      dump.save(out, midi, events++, static_cast<int>(d), multi);
    }
  }
  if (midi) {
    const unsigned char trailer[] = {0x00, 0xFF, 0x2F, 0x00};
    out.insert(out.end(), trailer, trailer + 4);
    const size_t length = out.size() - (kTrackLengthAt + 4);
    for (int k = 0; k < 4; ++k) out[kTrackLengthAt + k] = static_cast<unsigned char>(length >> (24 - 8 * k));
  }
  return out;
}

bool findByte(const Bytes& data, int& pos, int value) {
  if (pos < 0) return pos != -1;
  while (pos < static_cast<int>(data.size())) {
    if (data[static_cast<size_t>(pos++)] == value) return true;
  }
  pos = -1;
  return false;
}
