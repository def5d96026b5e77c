#include "SoundDump.h"

#include <algorithm>

#include "EffectSlots.h"
#include "ParamIndex.h"

namespace {
int trunc(double value) { return static_cast<int>(value); }
int lowNibble(uint8_t b) { return b >= 0x80 ? 0 : (b & 0x0F); }
}  // namespace

uint8_t encodeSoundDumpField(const SoundDumpField& field, const ParamValueReader& valueOf, int part) {
  const int a = trunc(valueOf(field.a + part));
  const int b = field.b >= 0 ? trunc(valueOf(field.b + part)) : 0;
  const int c = field.c >= 0 ? trunc(valueOf(field.c + part)) : 0;
  int byte = a;
  switch (field.rule) {
    case DumpRule::kOctave: byte = 12 * a + 16; break;
    case DumpRule::kSemitone: byte = a + 52; break;
    case DumpRule::kBendRange: byte = a + 40; break;
    case DumpRule::kUnisonoMono: byte = 16 * a + b; break;
    case DumpRule::kEnvelope: byte = 32 * a + b; break;
    case DumpRule::kArpStep: byte = 16 * a + (b == 1 ? 8 : b) + c; break;
    case DumpRule::kArpTiming: byte = 16 * a + b; break;
    default: break;
  }
  return static_cast<uint8_t>(std::clamp(byte, 0, 0x7F));
}

void encodeSoundDumpParameters(uint8_t* dump, const ParamValueReader& valueOf, int part) {
  for (const SoundDumpField& field : soundDumpFields()) dump[field.byte] = encodeSoundDumpField(field, valueOf, part);
}

void decodeSoundDumpField(const SoundDumpField& field, uint8_t b, int p, const ParamValueWriter& set) {
  switch (field.rule) {
    case DumpRule::kPlain: set(field.a + p, b); break;
    case DumpRule::kOctave: set(field.a + p, (b - 16) / 12); break;
    case DumpRule::kSemitone: set(field.a + p, b - 52); break;
    case DumpRule::kBendRange: set(field.a + p, b - 40); break;
    case DumpRule::kUnisonoMono:
      if ((b & 0x0F) == 0 && b <= 0x50) {
        set(field.a + p, b / 16);
        set(field.b + p, 0);
      } else {
        set(field.a + p, (b - 1) / 16);
        set(field.b + p, 1);
      }
      break;
    case DumpRule::kEnvelope:
      if (b < 32) {
        set(field.b + p, b);
        set(field.a + p, 0);
      } else {
        set(field.b + p, b - 32);
        set(field.a + p, 1);
      }
      break;
    case DumpRule::kArpStep: {
      const int n = lowNibble(b);
      set(field.b + p, 0);
      set(field.a + p, b / 16);
      set(field.c + p, n);
      if (n > 7) {
        set(field.c + p, n - 8);
        set(field.b + p, 1);
      }
      break;
    }
    case DumpRule::kArpTiming:
      set(field.a + p, b / 16);
      set(field.b + p, lowNibble(b));
      break;
    case DumpRule::kFilterRouting:
      set(field.a + p, b);
      set(kFilterRoutingParallel + p, b == 0 ? 1 : 0);
      set(kFilterRoutingSerial + p, b == 0 ? 0 : 1);
      break;
    case DumpRule::kFilterLink:
      set(field.a + p, b);
      set(kFilterLinkSwitch + p, b == 3 ? 1 : 0);
      break;
    case DumpRule::kEffectParam:
      set(field.a + p, b);
      for (int view : effectViewsOfSlot(field.a)) set(view + p, b);
      break;
  }
}

void writeDumpText(uint8_t* field, int length, const std::string& text) {
  std::fill_n(field, length, ' ');
  const int n = std::min(length, static_cast<int>(text.size()));
  for (int i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
    field[i] = (c >= 0x20 && c <= 0x7E) ? c : ' ';
  }
}
