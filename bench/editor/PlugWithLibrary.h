// An instance of the editor core in-process with its library read and its
// audio switched on (48 kHz, 64-frame blocks), on the host's callback given.
#pragma once

#include <memory>

#include "Tarnivex.h"

inline std::unique_ptr<Tarnivex> PlugWithLibrary(audioMasterCallback hostCallback) {
  IPlugInstanceInfo info;
  info.mVSTHostCallback = hostCallback;
  auto plug = std::make_unique<Tarnivex>(info);
  plug->waitForLibrary();
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  return plug;
}
