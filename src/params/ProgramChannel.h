// The MIDI channel a part's bank select and program change go out on, and
// what the status line says when there is none.
#pragma once

#include "ParamIndex.h"

inline constexpr const char* kNothingSent = "Nothing sent!";
inline constexpr const char* kNoChannelToSendOn = "No MIDI channel to send on";

// 0-15, the multi's on the global channel; -1 when the setting names no
// single channel (a part on Global or Omni). Params is anything with
// paramAt(index) returning an IParam pointer.
template <typename Params>
int programChannel(Params& params, int part, bool multi) {
  if (!multi && (part < 0 || part > 15)) return -1;
  const auto* setting = params.paramAt(multi ? int(kGlobalMidiChannel) : kMultiPartMIDICh + part);
  const int channel = setting ? setting->Int() - (multi ? 1 : 2) : -1;
  return channel >= 0 && channel <= 15 ? channel : -1;
}
