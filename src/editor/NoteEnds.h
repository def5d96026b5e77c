// Messages that end a sound: a note off, a note on at velocity 0, the
// sustain pedal released, and the controllers that stop every note.
#pragma once

#include "IMidiMsg.h"

inline bool endsANote(const IMidiMsg& msg) {
  return msg.StatusMsg() == IMidiMsg::kNoteOff || (msg.StatusMsg() == IMidiMsg::kNoteOn && msg.mData2 == 0);
}

// A note on, or the sustain pedal pressed: the instrument sounds on until
// an end of it comes.
inline bool startsSounding(const IMidiMsg& msg) {
  if (msg.StatusMsg() == IMidiMsg::kNoteOn) return msg.mData2 > 0;
  return msg.StatusMsg() == IMidiMsg::kControlChange && msg.mData1 == 64 && msg.mData2 >= 64;
}

inline bool endsSounding(const IMidiMsg& msg) {
  if (endsANote(msg)) return true;
  if (msg.StatusMsg() != IMidiMsg::kControlChange) return false;
  constexpr int kSustain = 64, kAllSoundOff = 120, kResetControllers = 121, kAllNotesOff = 123;
  const int c = msg.mData1;
  return (c == kSustain && msg.mData2 < 64) || c == kAllSoundOff || c == kResetControllers || c == kAllNotesOff;
}
