#include "IMidiMsg.h"


void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel) {
  Clear();
  mStatus = static_cast<uint8_t>(0x90 | channel);
  mData1 = static_cast<uint8_t>(noteNumber);
  mData2 = static_cast<uint8_t>(velocity);
  mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel, int releaseVelocity) {
  Clear();
  mStatus = static_cast<uint8_t>(0x80 | channel);
  mData1 = static_cast<uint8_t>(noteNumber);
  mData2 = static_cast<uint8_t>(releaseVelocity);
  mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel) {
  Clear();
  mStatus = static_cast<uint8_t>(0xE0 | channel);
  const int i = static_cast<int>(value * 8192.0);
  int bend = i < -8192 ? 0 : i + 8192;
  if (bend > 16383) bend = 16383;
  mData1 = static_cast<uint8_t>(bend & 0x7F);
  mData2 = static_cast<uint8_t>(bend >> 7);
}

void IMidiMsg::MakeProgramChangeMsg(double value, int channel) {
  Clear();
  mStatus = static_cast<uint8_t>(0xC0 | channel);
  mData1 = static_cast<uint8_t>(static_cast<int>(value * 127.0));
}

void IMidiMsg::MakeControlChangeMsg(int controller, double value, int channel) {
  Clear();
  mStatus = static_cast<uint8_t>(0xB0 | channel);
  mData1 = static_cast<uint8_t>(controller);
  mData2 = static_cast<uint8_t>(static_cast<int>(value * 127.0));
}

void IMidiMsg::Clear() {
  mOffset = 0;
  mStatus = mData1 = mData2 = 0;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const {
  if (mStatus < 0x80 || mStatus >= 0xF0) return kNone;
  return static_cast<EStatusMsg>(mStatus >> 4);
}

int IMidiMsg::NoteNumber() const {
  const EStatusMsg s = StatusMsg();
  return (s == kNoteOff || s == kNoteOn || s == kPolyAftertouch) ? mData1 : -1;
}

int IMidiMsg::Velocity() const {
  const EStatusMsg s = StatusMsg();
  return (s == kNoteOff || s == kNoteOn) ? mData2 : -1;
}

int IMidiMsg::Program() const { return (mStatus >> 4) == 0xC ? mData1 : -1; }

double IMidiMsg::PitchWheel() const {
  if ((mStatus >> 4) != 0xE) return 0.0;
  const int bend = ((mData2 & 0x7F) << 7) + mData1;
  return static_cast<double>(bend - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(int controller) const {
  if ((mStatus >> 4) == 0xB && mData1 == controller) return static_cast<double>(mData2) / 127.0;
  return -1.0;
}

const char* StatusMsgStr(int status) {
  switch (status) {
    case IMidiMsg::kNone: return "none";
    case IMidiMsg::kNoteOff: return "noteoff";
    case IMidiMsg::kNoteOn: return "noteon ";
    case IMidiMsg::kPolyAftertouch: return "aftertouch";
    case IMidiMsg::kControlChange: return "controlchange";
    case IMidiMsg::kProgramChange: return "programchange";
    case IMidiMsg::kChannelAftertouch: return "channelaftertouch";
    case IMidiMsg::kPitchWheel: return "pitchwheel";
    default: return "unknown";
  }
}

void ISysEx::Clear() {
  mOffset = 0;
  mSize = 0;
  mData = nullptr;
}

char* SysExStr(char* text, int bufferLength, const uint8_t* data, int size) {
  if (!text) return text;
  if (!data || size <= 0 || bufferLength < 3) {
    if (bufferLength > 0) text[0] = 0;
    return text;
  }
  const int n = bufferLength / 3 < size ? bufferLength / 3 : size;
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < n; ++i) {
    text[3 * i] = kHex[data[i] >> 4];
    text[3 * i + 1] = kHex[data[i] & 0x0F];
    text[3 * i + 2] = ' ';
  }
  text[3 * n - 1] = 0;
  return text;
}
