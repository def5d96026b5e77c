#pragma once

#include "ByteChunk.h"

constexpr int MAX_PRESET_NAME_LEN = 256;

struct IPreset {
  bool mInitialized = false;
  char mName[MAX_PRESET_NAME_LEN] = "empty";
  ByteChunk mChunk;
};
