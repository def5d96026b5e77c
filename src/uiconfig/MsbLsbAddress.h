// The address and channel rules every MSB/LSB-addressed control shares.
#pragma once
#include <algorithm>
#include <array>
#include <string>

#include "ControlAction.h"
#include "ControlLayer.h"

namespace msblsb {
// Mixer pages send on the channel they are given, for the whole multi.
inline bool onMixerLayer(const ControlLayer* layer) {
  static constexpr std::array<const char*, 5> kMixers = {"miniMixer", "multiModeMixer", "miniMixer2",
                                                         "multiModeMixer2", "multiModeSettingsPage1"};
  return layer && std::any_of(kMixers.begin(), kMixers.end(),
                              [&](const char* name) { return layer->GetName() == name; });
}

inline void setAddress(ControlAction* action, int number1, int number2, int number3, int number4) {
  action->ccNumber = number1;
  action->msbLsbAddress[0] = number2;
  action->msbLsbAddress[1] = number3;
  action->msbLsbAddress[2] = number4;
}

inline void setChannelByLayer(ControlAction* action, const ControlLayer* layer, int channel, int part) {
  const bool mixer = onMixerLayer(layer);
  action->globalFlag = mixer ? 1 : 0;
  action->channel = mixer ? channel : part + 1;
}
}  // namespace msblsb
