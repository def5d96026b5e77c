// A message that ends a note: a note off, or a note on at velocity 0.
#pragma once

#include "IMidiMsg.h"

inline bool endsANote(const IMidiMsg& msg) {
  return msg.StatusMsg() == IMidiMsg::kNoteOff || (msg.StatusMsg() == IMidiMsg::kNoteOn && msg.mData2 == 0);
}
