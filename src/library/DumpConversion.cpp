// Sound dumps of the Q and the Rerover become dirirU sound dumps value by
// value at fixed indices; multis of both are kept as they are.
#include <algorithm>
#include <array>
#include <initializer_list>

#include "PatchLibrarian.h"

namespace {
bool among(int i, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), i) != set.end(); }

void forceSoundLength(Bytes& d) {
  d.resize(392, 0x00);
  d[391] = 0xF7;
}

unsigned char qBefore252(const Bytes& old, int i) {
  const int b = old[static_cast<size_t>(i)];
  if (among(i, {13, 29, 45})) {
    if (b >= 5 && b <= 7) return 0;
    if (b >= 8) return old[static_cast<size_t>(i + 3)];
    return static_cast<unsigned char>(b);
  }
  // Kept to seven bits: from a byte 0xF6 the rule would make an end byte
  // inside the dump, which would cut it when the bank is read again.
  if (among(i, {15, 31, 47})) return static_cast<unsigned char>((b + 1) & 0x7F);
  if (among(i, {84, 104})) return static_cast<unsigned char>(b >= 17 ? 1 : b);
  if (i == 124) return b == 0 ? 1 : 0;
  if (i == 135) {
    if (b <= 3) return static_cast<unsigned char>(b);
    if (b >= 5 && b <= 7) return static_cast<unsigned char>(b - 1);
    return 0;
  }
  if (i == 151) {
    if (b == 4) return 7;
    if (b >= 5 && b <= 7) return static_cast<unsigned char>(b - 1);
    if (b == 9) return 0;
    if (b == 32 || b == 33) return static_cast<unsigned char>(b - 23);
  }
  return static_cast<unsigned char>(b);
}

unsigned char qFrom252(const Bytes& old, int i) {
  const int b = old[static_cast<size_t>(i + 1)];
  if (among(i, {252, 256, 260, 264, 269, 272, 275, 278, 281, 284, 287, 290, 293, 296, 299, 302, 305, 308, 311, 314})) {
    if (b == 20) return 0;
    if (b >= 21) return static_cast<unsigned char>((b - 1) & 0x7F);  // as above, from 0xF8
    return static_cast<unsigned char>(b);
  }
  if (among(i, {253, 257, 261, 265, 292, 295, 298, 301, 304, 307, 310, 313})) {
    if (b >= 31 && b <= 42) return 0;
    if (b >= 43) return static_cast<unsigned char>(b - 12);
  }
  return static_cast<unsigned char>(b);
}

unsigned char reroverValue(int i, int b) {
  if (among(i, {15, 31})) return static_cast<unsigned char>(b >= 7 ? 0 : b);
  if (among(i, {17, 33, 49, 57, 96, 101, 116, 121, 130, 268, 271, 274, 277, 280, 283, 286, 289})) {
    if (b >= 17 || b == 10 || b == 12 || b == 14) return 0;
    if (b == 15) return 12;
    if (b == 16) return 11;
    return static_cast<unsigned char>(b);
  }
  if (among(i, {19, 20, 21, 22, 23, 35, 36, 37, 38, 39, 55, 89, 109, 76})) return 0;
  if (among(i, {84, 104})) return static_cast<unsigned char>(b >= 18 ? 1 : b);
  if (i == 151) return static_cast<unsigned char>(b == 6 ? 7 : b);
  if (among(i, {252, 253, 256, 257, 260, 261, 264, 265, 292, 295, 298, 301, 304, 307, 310, 313}))
    return static_cast<unsigned char>(b == 24 ? 0 : b);
  if (among(i, {269, 272, 275, 278, 281, 284, 287, 290})) return static_cast<unsigned char>(b >= 31 ? 0 : b);
  if (among(i, {293, 296, 299, 302, 305, 308, 311, 314})) return static_cast<unsigned char>(b >= 54 ? 0 : b);
  return static_cast<unsigned char>(b);
}
}  // namespace

void PatchLibrarian::alterPatchFromQFormat(PatchSysexMessage* dump) {
  if (!dump) return;
  // A short dump is read as if zero-filled, never past its end.
  Bytes old = dump->bytes;
  if (old.size() < 393) old.resize(393, 0x00);
  Bytes& d = dump->bytes;
  d = old;
  for (int i = 0; i < 252; ++i) d[static_cast<size_t>(i)] = qBefore252(old, i);
  for (int i = 252; i < 392; ++i) d[static_cast<size_t>(i)] = qFrom252(old, i);
  forceSoundLength(d);
}

void PatchLibrarian::alterPatchFromReroverFormat(PatchSysexMessage* dump) {
  if (!dump) return;
  Bytes& d = dump->bytes;
  if (d.size() < 392) d.resize(392, 0x00);
  for (int i = 0; i < 392; ++i) d[static_cast<size_t>(i)] = reroverValue(i, d[static_cast<size_t>(i)]);
  forceSoundLength(d);
}

void PatchLibrarian::alterReroverCategoryFormat(PatchSysexMessage* dump) {
  if (!dump || dump->bytes.size() < 390) return;
  static constexpr std::array<const char*, 13> kNames = {"Init", "Arp",  "Atmo", "Bass", "Drum", "FX",  "Keys",
                                                         "Lead", "Mono", "Pad",  "Perc", "Poly", "Seq"};
  const int number = dump->bytes[387];
  const char* name = number >= 1 && number <= 12 ? kNames[static_cast<size_t>(number)] : kNames[0];
  for (int k = 0; name[k] && k < 4; ++k) dump->bytes[386 + static_cast<size_t>(k)] = static_cast<unsigned char>(name[k]);
}
