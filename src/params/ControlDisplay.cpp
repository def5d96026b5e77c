#include "ControlDisplay.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "IParam.h"
#include "ParamIndex.h"

namespace {
std::string signedText(long long n) { return std::to_string(n); }
// Texts are joined by appending: g++ 12 warns falsely about "literal" + std::string.
template <class... Parts>
std::string join(const Parts&... parts) {
  std::string text;
  (text += ... += parts);
  return text;
}

std::string plusText(long long n) { return join("+", std::to_string(n)); }

// Offsets around a centre: below it negative, above it with a plus sign.
std::string centred(int v, int centre, int top, const char* atCentre) {
  if (v == centre) return atCentre;
  if (v >= 0 && v < centre) return signedText(v - centre);
  if (v > centre && v <= top) return plusText(v - centre);
  return {};
}

std::string octaveFootage(int v) {
  // Three characters, a blank and the foot sign (U+00B4 in UTF-8).
  static const char* const kFootages[] = {"128 \xC2\xB4", " 64 \xC2\xB4", " 32 \xC2\xB4", " 16 \xC2\xB4", "  8 \xC2\xB4",
                                          "  4 \xC2\xB4", "  2 \xC2\xB4", "  1 \xC2\xB4", "1/2 \xC2\xB4"};
  if (v < 16 || v > 112 || (v - 16) % 12 != 0) return {};
  return kFootages[(v - 16) / 12];
}

std::string pulseWidth(int v) {
  if (v <= 2) return "<1%";
  if (v == 127) return "50%";
  return std::to_string(truncToInt(v / 1.28 * 0.5)) + "%";
}

std::string lfoKeytrack(int v) {
  if (v == 0) return "-200%";
  if (v == 127) return "196%";
  if (v == 64) return "0 %";
  if (v >= 1 && v <= 63) return std::to_string(truncToInt(v / 1.28 * 4.0) - 200) + "%";
  if (v >= 65 && v <= 126) return std::to_string(truncToInt((v - 64) / 1.28 * 4.0)) + "%";
  return {};
}

std::string bipolar200(int v) {
  if (v == 0) return "-200%";
  if (v == 64) return "+000%";
  if (v == 96) return "+100%";
  if (v == 127) return "+196%";
  if (v >= 1 && v <= 63) return join("-", std::to_string(2 * truncToInt((v - 64) * -1.55)), "%");
  if (v >= 65 && v <= 126) return join("+", std::to_string(2 * truncToInt((v - 64) * 1.55)), "%");
  return {};
}

std::string pan(int v) {
  if (v == 0) return "LEFT 100%";
  if (v == 64) return "< CENTER >";
  if (v == 127) return "RIGHT 100%";
  if (v >= 1 && v <= 63) return join("LEFT ", std::to_string(truncToInt((v - 64) * -1.55)), "%");
  if (v >= 65 && v <= 126) return join("RIGHT ", std::to_string(truncToInt((v - 64) * 1.55)), "%");
  return {};
}

std::string filterBalance(int v, double value) {
  if (v == 0) return "FILTER 1 100%";
  if (v == 127) return "FILTER 2 100%";
  if (v == 64) return "F1 50% : F2 50%";
  if ((v >= 1 && v <= 63) || (v >= 65 && v <= 126)) {
    const int p = truncToInt(value / 1.28);
    return join("F1 ", std::to_string(100 - p), "% : F2 ", std::to_string(p), "%");
  }
  return {};
}

std::string feedbackPercent(int v) {
  if (v == 0) return "0%";
  if (v == 64) return "50%";
  if (v == 127) return "100%";
  char text[64];
  std::snprintf(text, sizeof(text), "%.2f%%", v / 1.28);
  return text;
}

std::string vocoderOffset(int v) {
  if (v == 95) return "+31";
  if (v == 64) return "0";
  if (v >= 33 && v <= 63) return signedText(v - 64);
  if (v >= 65 && v <= 94) return plusText(v - 64);
  if (v >= 0 && v <= 32) return signedText(3LL * v - 128);
  if (v >= 96 && v <= 127) return plusText(3LL * v - 253);
  return {};
}

std::string midiChannel(int v) {
  if (v >= 2) return std::to_string(v - 1);
  if (v == 0) return "Global";
  return "Omni";
}

std::string pick(int v, std::initializer_list<const char*> texts) {
  if (v < 0 || v >= static_cast<int>(texts.size())) return {};
  return texts.begin()[v];
}

std::string listText(const ValueLists* lists, const char* list, int s) {
  const std::string* text = lists && list ? valueListText(*lists, list, s) : nullptr;
  return text ? *text : std::string();
}
}  // namespace

int truncToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(value);
}

std::string formatDisplayKind(DisplayKind kind, const char* list, int v, int s, double value,
                              const ValueLists* lists) {
  switch (kind) {
    case DisplayKind::kCentredAt64: return centred(v, 64, 127, "0");
    case DisplayKind::kCentredAt48: return centred(v, 48, 97, "+0");
    case DisplayKind::kCentredAt24: return centred(v, 24, 49, "0");
    case DisplayKind::kCentredAt12: return centred(v, 12, 24, "0");
    case DisplayKind::kOctaveFootage: return octaveFootage(v);
    case DisplayKind::kPulseWidth: return pulseWidth(v);
    case DisplayKind::kLfoKeytrack: return lfoKeytrack(v);
    case DisplayKind::kBipolar200Percent: return bipolar200(v);
    case DisplayKind::kPan: return pan(v);
    case DisplayKind::kFilterBalance: return filterBalance(v, value);
    case DisplayKind::kFeedbackPercent: return feedbackPercent(v);
    case DisplayKind::kVocoderOffset: return vocoderOffset(v);
    case DisplayKind::kPlusOne: return std::to_string(static_cast<long long>(v) + 1);
    case DisplayKind::kPlusOneFromZero: return v >= 0 ? std::to_string(static_cast<long long>(v) + 1) : std::string();
    case DisplayKind::kPlusTwo: return std::to_string(static_cast<long long>(v) + 2);
    case DisplayKind::kOffOn:
    case DisplayKind::kControlLibrary: return pick(v, {"OFF", "ON"});
    case DisplayKind::kPolyMono: return pick(v, {"POLY", "MONO"});
    case DisplayKind::kGlideMode: return pick(v, {"PORTAMENTO", "FINGERED PORTA", "GLISSANDO", "FINGERED GLISS"});
    case DisplayKind::kMidiChannel: return midiChannel(v);
    case DisplayKind::kParallelSerial: return pick(v, {"Parallel", "Serial"});
    case DisplayKind::kNamedList: return listText(lists, list, s);
    case DisplayKind::kNamedListWithUnit: {
      const std::string text = listText(lists, list, s);
      return text.empty() ? text : text + " BPM";
    }
    case DisplayKind::kClockedOrFree: return listText(lists, "clockedValues", s);
    case DisplayKind::kExcluded:
    case DisplayKind::kPlainNumber: break;
  }
  return {};
}

std::string ControlDisplay::getValueString(double value) {
  char text[50];
  std::snprintf(text, sizeof(text), "%.0f", value);
  return text;
}

namespace {
bool inBlock(int base, int idx) { return idx >= base && idx < base + 16; }

// Octave and semitone hold the values the dump uses; their display rules
// and the bracketed number read the byte the wire carries.
int wireByteOf(int paramIdx, int v) {
  if (inBlock(kOscillator1Octave, paramIdx) || inBlock(kOscillator2Octave, paramIdx) ||
      inBlock(kOscillator3Octave, paramIdx))
    return 12 * v + 16;
  if (inBlock(kOscillator1Semitone, paramIdx) || inBlock(kOscillator2Semitone, paramIdx) ||
      inBlock(kOscillator3Semitone, paramIdx))
    return v + 52;
  return v;
}

// The parameter names of a part begin "[p+1] ": the digits after the first
// character must name the current part.
bool namesCurrentPart(const char* name, int currentPart) {
  if (!name || !name[0]) return false;
  long long n = 0;
  int digits = 0;
  for (const char* c = name + 1; *c >= '0' && *c <= '9'; ++c, ++digits)
    if (n < 1000000000LL) n = n * 10 + (*c - '0');
  return digits > 0 && n == static_cast<long long>(currentPart) + 1;
}
}  // namespace

void ControlDisplay::controlDisplay(ControlDisplayHost* plugin, int paramIdx, double value, bool currentPartOnly) {
  if (!plugin || !plugin->displayStartupComplete()) return;
  const DisplayRule* rule = displayRuleFor(paramIdx);
  if (!rule || rule->kind == DisplayKind::kExcluded) return;
  if (rule->kind == DisplayKind::kControlLibrary && !plugin->displayBlocksDAWProgramChange()) return;
  const IParam* param = plugin->displayParam(paramIdx);
  if (!param) return;

  const char* name = param->GetNameForHost();
  if (currentPartOnly && !namesCurrentPart(name, plugin->displayCurrentPart())) return;
  plugin->showParamName(name);

  const int v = wireByteOf(paramIdx, truncToInt(value));
  const int s = truncToInt(param->Value());
  bool plain = rule->kind == DisplayKind::kPlainNumber;
  if (rule->kind == DisplayKind::kClockedOrFree) {
    const IParam* clock = plugin->displayParam(paramIdx + kClockSwitchOffset);
    plain = !clock || clock->Value() != 1.0;
  }
  if (plain) {
    plugin->showParamValue(getValueString(v).c_str());
    return;
  }
  const std::string text =
      formatDisplayKind(rule->kind, rule->list, v, s, value, plugin->displayValueLists()) + " [" + std::to_string(v) + "]";
  plugin->showParamValue(text.c_str());
}
