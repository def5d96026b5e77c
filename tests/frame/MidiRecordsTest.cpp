#include <gtest/gtest.h>

#include "IMidiMsg.h"

struct MakerCase {
  const char* name;
  IMidiMsg msg;
  uint8_t status, data1, data2;
};

TEST(IMidiMsg, MakersFillTheBytes) {
  auto make = [](auto fn) {
    IMidiMsg m(77, 1, 2, 3);
    fn(m);
    return m;
  };
  const MakerCase table[] = {
      {"pitch +1", make([](IMidiMsg& m) { m.MakePitchWheelMsg(1.0, 0); }), 0xE0, 0x7F, 0x7F},
      {"pitch -1", make([](IMidiMsg& m) { m.MakePitchWheelMsg(-1.0, 0); }), 0xE0, 0, 0},
      {"pitch 0", make([](IMidiMsg& m) { m.MakePitchWheelMsg(0.0, 1); }), 0xE1, 0, 64},
      {"pitch -1.5", make([](IMidiMsg& m) { m.MakePitchWheelMsg(-1.5, 3); }), 0xE3, 0, 0},
      {"cc 7 half", make([](IMidiMsg& m) { m.MakeControlChangeMsg(7, 0.5, 2); }), 0xB2, 7, 63},
      {"cc full", make([](IMidiMsg& m) { m.MakeControlChangeMsg(1, 1.0, 15); }), 0xBF, 1, 127},
      {"program 5", make([](IMidiMsg& m) { m.MakeProgramChangeMsg(5 / 127.0, 0); }), 0xC0, 5, 0},
      {"program 127", make([](IMidiMsg& m) { m.MakeProgramChangeMsg(1.0, 9); }), 0xC9, 127, 0},
      {"note on", make([](IMidiMsg& m) { m.MakeNoteOnMsg(60, 100, 5, 3); }), 0x93, 60, 100},
      {"note off", make([](IMidiMsg& m) { m.MakeNoteOffMsg(60, 5, 3, 40); }), 0x83, 60, 40},
      {"clear", make([](IMidiMsg& m) { m.Clear(); }), 0, 0, 0}};
  for (const MakerCase& row : table) {
    EXPECT_EQ(row.msg.mStatus, row.status) << row.name;
    EXPECT_EQ(row.msg.mData1, row.data1) << row.name;
    EXPECT_EQ(row.msg.mData2, row.data2) << row.name;
  }
  // Every program number survives the division the callers make.
  for (int program = 0; program < 128; ++program) {
    IMidiMsg m;
    m.MakeProgramChangeMsg(program / 127.0, 0);
    ASSERT_EQ(m.mData1, program);
  }
}

TEST(IMidiMsg, Accessors) {
  IMidiMsg pitch;
  pitch.MakePitchWheelMsg(1.0, 0);
  EXPECT_DOUBLE_EQ(pitch.PitchWheel(), 0.9998779296875);
  IMidiMsg cc;
  cc.MakeControlChangeMsg(7, 0.5, 2);
  EXPECT_DOUBLE_EQ(cc.ControlChange(7), 63.0 / 127.0);
  EXPECT_EQ(cc.ControlChange(10), -1.0);
  IMidiMsg poly(0, 0xA2, 40, 50);
  EXPECT_EQ(poly.NoteNumber(), 40);
  EXPECT_EQ(poly.Velocity(), -1);
  IMidiMsg note(0, 0x93, 60, 1);
  EXPECT_EQ(note.MidiChannelIdx(), 0x93);
  EXPECT_EQ(note.Channel(), 3);
  IMidiMsg cleared;
  EXPECT_EQ(cleared.Program(), -1);
  EXPECT_EQ(cleared.NoteNumber(), -1);
  EXPECT_EQ(cleared.Velocity(), -1);
  EXPECT_EQ(cleared.PitchWheel(), 0.0);
  for (uint8_t status : {0xF8, 0x45, 0x00, 0xF0})
    EXPECT_EQ(IMidiMsg(0, status, 0, 0).StatusMsg(), IMidiMsg::kNone) << int(status);
  EXPECT_EQ(IMidiMsg(0, 0xC3, 5, 0).StatusMsg(), IMidiMsg::kProgramChange);
}

TEST(IMidiMsg, StatusTextsStayInsideTheirTable) {
  for (int status : {3, 15, -1}) EXPECT_STREQ(StatusMsgStr(status), "unknown") << status;
  EXPECT_STREQ(StatusMsgStr(9), "noteon ");
}

TEST(SysExStr, HexDumpWithinTheBuffer) {
  const uint8_t bytes[] = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  struct Case {
    int bufferLength;
    int count;
    const char* expected;
  };
  const Case table[] = {{64, 5, "F0 3E 10 00 F7"}, {7, 5, "F0 3E"}, {6, 5, "F0 3E"},
                        {64, 0, ""},               {2, 5, ""},      {15, 5, "F0 3E 10 00 F7"}};
  for (const Case& row : table) {
    std::vector<char> buffer(static_cast<size_t>(row.bufferLength) + 8, '#');
    SysExStr(buffer.data(), row.bufferLength, bytes, row.count);
    EXPECT_STREQ(buffer.data(), row.expected) << row.bufferLength;
    EXPECT_EQ(buffer[static_cast<size_t>(row.bufferLength)], '#') << "wrote past the buffer";
  }
}
