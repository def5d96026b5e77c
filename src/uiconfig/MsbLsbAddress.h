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

// Buttons send on the channel they are given on the mixer and settings
// pages, the additional settings of parts 1 to 8 included, elsewhere on the
// part's own channel.
inline int buttonChannel(const ControlLayer* layer, int channel, int part) {
  if (onMixerLayer(layer)) return channel;
  if (layer)
    for (int k = 1; k <= 8; ++k)
      if (layer->GetName() == "additionalSettingsPart" + std::to_string(k)) return channel;
  return part + 1;
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
