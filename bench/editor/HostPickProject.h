// A plug-in's saved state through its entry point, and the project in which
// the host's picks of several parts (its bank select and program change)
// reach the parts: the host's program changes let in and taken, STEP SYNTH
// (each part's sound asked for after its program change), parts 1-8 in use
// on channels 1-8, the others off.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "ParamIndex.h"
#include "VstAbi.h"

constexpr int kSavedParams = 8744;  // the values that end the long form
constexpr int kPickedParts = 8;

inline std::vector<uint8_t> getChunk(AEffect* effect) {
  void* data = nullptr;
  const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 1, 0, &data, 0.0f);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return size > 0 && bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>{};
}

inline bool setChunk(AEffect* effect, std::vector<uint8_t>& chunk) {
  return effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data(), 0.0f) == 1;
}

// The long form ends with the plain values of parameters 0..8743.
inline void setSavedValue(std::vector<uint8_t>& chunk, int index, double value) {
  const size_t at = chunk.size() - 8 * static_cast<size_t>(kSavedParams - index);
  std::memcpy(chunk.data() + at, &value, sizeof value);
}

// The instance's own state made that project; empty when it is not the long form.
inline std::vector<uint8_t> projectForHostPicks(AEffect* effect) {
  std::vector<uint8_t> chunk = getChunk(effect);
  if (chunk.size() < 8 * static_cast<size_t>(kSavedParams)) return {};
  setSavedValue(chunk, kMIDIFilterDAWPCPassThrough, 1.0);
  setSavedValue(chunk, kMIDIFilterDAWCCPassThrough, 1.0);
  setSavedValue(chunk, kGlobalRxProgramChange, 1.0);
  setSavedValue(chunk, kControlProgBank, 1.0);
  setSavedValue(chunk, kGlobalMidiChannel, 0.0);
  for (int p = 0; p < 16; ++p) {
    setSavedValue(chunk, kMultiPartStatus + p, p < kPickedParts ? 1.0 : 0.0);
    setSavedValue(chunk, kMultiPartMIDICh + p, p + 2.0);  // channel p + 1
    setSavedValue(chunk, kPartLock + p, 0.0);
  }
  return chunk;
}

// Round n's program for a picked part: each part another, none that a part
// played the round before (a pair another part plays is refused), and no
// two parts' ever alike.
inline int pickedProgram(int round, int part) { return 8 * (1 + round % 11) + part; }

inline std::vector<int> pickedPrograms(int round, int parts) {
  std::vector<int> programs;
  for (int p = 0; p < parts; ++p) programs.push_back(pickedProgram(round, p));
  return programs;
}
