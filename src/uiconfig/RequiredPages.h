// The pages the plug-in fetches from the layer map by name at start-up; the
// GUI document defines each of them. The sixteen bank-and-program selectors
// are named with two digits, so they are separate pages, not the copies of a
// multilayer (whose copies are numbered from 0 without padding).
#pragma once

#include <array>
#include <string>
#include <vector>

inline std::vector<std::string> requiredPageNames() {
  std::vector<std::string> names = {
      "root", "oscillators", "filtersEnvelopes", "lfoModMatrix", "effectsArp", "delayFreeLayer",
      "delayClockedLayer", "miniMixer", "patchLibrarian", "multiModeSettingsPage1", "multiModeSettingsPage2",
      "effect1Overlayer", "effect2Overlayer", "filter1LP", "filter1BP", "filter1HP", "filter1Notch",
      "filter1CombMinus", "filter1CombPlus", "filter2LP", "filter2BP", "filter2HP", "filter2Notch",
      "filter2CombMinus", "filter2CombPlus", "bankAndProgramMulti", "saveChangesLayer", "discardChangesLayerRight",
      "keepBankOpenLayer", "aboutWindow", "firstRunNotification", "bankPatchConflictWindow", "midiFilterSettings",
      "patchRename", "categoryLimit", "searchField"};
  for (int i = 1; i <= 16; ++i) names.push_back(std::string("bankAndProgram") + (i < 10 ? "0" : "") + std::to_string(i));
  return names;
}

// The pages whose sub-layers at list positions 0..15 are the part copies the
// tab switches pick by the current part.
inline const std::array<const char*, 6> kPartCopyPages = {"oscillators", "filtersEnvelopes", "lfoModMatrix",
                                                          "effectsArp", "delayFreeLayer", "delayClockedLayer"};
