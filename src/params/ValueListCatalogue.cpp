#include "ValueListCatalogue.h"

namespace {
constexpr ValueListSpec kLists[] = {
    // Sound parameters.
    {"oscillator12shape", 73},  // off, four basic shapes, 68 wavetables
    {"oscillator3shape", 5},
    {"oscillatorFMSource", 12},
    {"oscillatorPWMSource", 31},  // the modulation sources
    {"unisonoVoices", 6},         // the dump packs unisono into 3 bits: 0..5
    {"filter1Type", 12},
    {"noiseFeedSource", 4},
    {"envelopeMode", 5},          // below 32, the trigger rides in bit 5
    {"envelopeTrigger", 2},
    {"lfoShape", 6},
    {"startPhase", 128},
    {"clockedValues", 128},
    {"standardMatrixSources", 31},
    {"standardMatrixDestinations", 54},
    {"fastModMatrixDestinations", 19},
    {"modifierMatrixSources", 32},
    {"modifierOperators", 8},
    {"fx1Mode", 7},
    {"fx2Mode", 11},
    {"fxInputList", 6},
    {"positiveNegative", 2},
    {"sampleRate", 128},
    {"analysisFrequency", 128},
    {"delayFreeValues", 128},
    {"delayClockedValues", 30},
    {"delayPercentage", 128},
    {"preDelay", 128},
    {"reverbSize", 128},
    {"arpMode", 4},
    {"arpPattern", 17},
    {"arpClock", 23},
    {"arpNoteLength", 128},
    {"arpDirection", 4},
    {"arpSortOrder", 6},
    {"arpVeloMode", 7},
    {"arpStepDisplay", 8},   // 3 bits of the step byte
    {"arpAccent", 8},        // 3 bits of the step byte
    {"arpStepLength", 8},    // 3 bits of the timing byte
    {"arpTiming", 16},       // 4 bits of the timing byte
    // Multi and part settings.
    {"tempoValues", 128},    // 65..192 BPM; each text begins with its number
    {"controlList", 128},
    {"partStatus", 2},
    {"outputList", 4},
    {"keyList", 128},
    // Global settings.
    {"keyVeloOnCurve", 8},
    {"keyVeloOffCurve", 8},
    {"keyPressureCurve", 8},
    {"pedalCvController", 128},
    {"globalChannel", 17},
    {"globalClock", 3},
    {"controllerSend", 4},
    {"controllerReceive", 4},
    {"programChange", 3},
    {"globalTuning", 21},    // 430..450 Hz
    {"globalInputGain", 5},
    {"globalMixInTo", 4},
    {"globalPopupTime", 128},
    {"fxGlobalLink", 2},
    // The hardware model a project names.
    {"qModel", 4},
};
}  // namespace

const ValueListSpec* valueListCatalogue(int* count) {
  *count = static_cast<int>(sizeof(kLists) / sizeof(kLists[0]));
  return kLists;
}
