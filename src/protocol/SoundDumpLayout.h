// The byte layout of the 392-byte sound dump: which parameter block each byte
// carries, how its value is encoded, and which section lock guards it when a
// dump is received. One table serves the writer, the parser and the tests.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "SysExFormat.h"

enum class DumpRule : uint8_t {
  kPlain,          // v
  kOctave,         // 12v + 16
  kSemitone,       // v + 52
  kBendRange,      // v + 40
  kUnisonoMono,    // 16U + M             (a = unisono, b = mono/poly)
  kEnvelope,       // 32T + M             (a = trigger, b = mode)
  kArpStep,        // 16S + G' + A        (a = step, b = glide, c = accent)
  kArpTiming,      // 16L + T             (a = step length, b = timing)
  kFilterRouting,  // v, with the parallel/serial views on receipt
  kFilterLink,     // v, with the link switch and remembered value on receipt
  kEffectParam,    // v, with the named effect views on receipt
};

struct SoundDumpField {
  int byte;
  DumpRule rule;
  int a;     // parameter block base
  int b;     // second block of combined bytes, else -1
  int c;     // third block of the arpeggiator step byte, else -1
  int lock;  // section-lock block base
};

constexpr int kFirstParameterByte = 8;
constexpr int kLastParameterByte = 365;
constexpr int kSoundNameByte = 370;
constexpr int kSoundNameLength = 16;
constexpr int kSoundCategoryByte = 386;
constexpr int kSoundCategoryLength = 4;
constexpr int kSoundChecksumByte = 390;
constexpr int kSoundBankByte = 5;
constexpr int kSoundProgramByte = 6;
constexpr int kDeviceIdByte = 3;
constexpr int kNumSectionLocks = 40;

// Every parameter byte of the dump, in byte order.
std::span<const SoundDumpField> soundDumpFields();
// The field of a byte position, or null for fixed bytes.
const SoundDumpField* soundDumpFieldAt(int byte);
// The dump every writer starts from: header F0 3E 10 03 10 30 00 01, the
// fixed bytes, blank name and category, checksum 00 and F7.
const std::array<uint8_t, kSoundDumpSize>& soundDumpTemplate();
// The 40 section-lock block bases, in parameter order.
std::span<const int> sectionLockBases();
