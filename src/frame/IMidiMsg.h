// Short MIDI messages and SysEx records as they travel inside the plug-in.
#pragma once

#include <cstdint>

struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
  };
  // Controller numbers are used as plain numbers throughout.
  enum EControlChangeMsg : int {
    kBankSelectMSB = 0,
    kModWheel = 1,
    kBankSelectLSB = 32,
    kAllSoundOff = 120,
    kAllNotesOff = 123,
  };

  int mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0, int releaseVelocity = 0);
  void MakePitchWheelMsg(double value, int channel = 0);
  void MakeProgramChangeMsg(double value, int channel = 0);
  void MakeControlChangeMsg(int controller, double value, int channel = 0);
  void Clear();

  int Channel() const { return mStatus & 0x0F; }
  EStatusMsg StatusMsg() const;
  int NoteNumber() const;
  int Velocity() const;
  int Program() const;
  double PitchWheel() const;
  int ControlChangeIdx() const { return mData1; }
  int MidiChannelIdx() const { return mStatus; }
  double ControlChange(int controller) const;
  void LogMsg() const {}
};

const char* StatusMsgStr(int status);

struct ISysEx {
  int mOffset = 0;
  int mSize = 0;
  const uint8_t* mData = nullptr;

  ISysEx() = default;
  ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mSize(size), mData(data) {}

  void Clear();
  void LogMsg() const {}
};

// Hex dump of at most bufferLength / 3 bytes, no trailing blank.
char* SysExStr(char* text, int bufferLength, const uint8_t* data, int size);
