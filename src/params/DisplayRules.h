// How the value of each parameter is shown: one rule per named block or
// single parameter (and the unnamed indices), covering every index once.
#pragma once

enum class DisplayKind : unsigned char {
  kExcluded,  // the display leaves both texts as they are
  kControlLibrary,  // excluded while DAW program changes pass, else kOffOn
  kPlainNumber,
  kCentredAt64,
  kCentredAt48,
  kCentredAt24,
  kCentredAt12,
  kOctaveFootage,
  kPulseWidth,
  kLfoKeytrack,
  kBipolar200Percent,
  kPan,
  kFilterBalance,
  kFeedbackPercent,
  kVocoderOffset,
  kPlusOne,
  kPlusOneFromZero,
  kPlusTwo,
  kOffOn,
  kPolyMono,
  kGlideMode,
  kMidiChannel,
  kParallelSerial,
  kNamedList,
  kNamedListWithUnit,  // the list text and " BPM"
  kClockedOrFree,  // "clockedValues" while the clock switch is on, else a plain number
};

struct DisplayRule {
  int index;  // the first index the rule covers
  int span;   // 16 for a block, 1 for a single parameter
  DisplayKind kind;
  const char* list;  // the value list of the named-list kinds
};

// The rule for a parameter index, or null outside 0..9288.
const DisplayRule* displayRuleFor(int idx);

// Every rule, in index order.
const DisplayRule* displayRules(int* count);

// Offset from an LFO speed to its clock switch (kLFO1Clock - kLFO1Speed).
constexpr int kClockSwitchOffset = 4801;
