#include <gtest/gtest.h>

#include <cstring>

#include "ByteChunk.h"
#include "TestPlug.h"

namespace {
std::vector<uint8_t> Bytes(const ByteChunk& chunk) {
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

// A plug-in whose parameters are all automatable, with some presets.
TestPlug::Config Presets(int nParams, int nPresets) {
  TestPlug::Config config;
  config.nAutomatable = config.nParams = nParams;
  config.nPresets = nPresets;
  return config;
}
}  // namespace

TEST(ByteChunk, ReadsStopAtTheFirstMissingByte) {
  ByteChunk chunk;
  const int32_t i = 0x01020304;
  const double d = 2.5;
  chunk.AppendValue(&i);
  chunk.AppendValue(&d);
  chunk.AppendBool(true);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0x04, 0x40, 0x01}));

  int32_t readI = 0;
  double readD = 0;
  bool readB = false;
  EXPECT_EQ(chunk.ReadValue(&readI, 0), 4);
  EXPECT_EQ(chunk.ReadValue(&readD, 4), 12);
  EXPECT_EQ(chunk.ReadBool(&readB, 12), 13);
  EXPECT_EQ(readI, i);
  EXPECT_EQ(readD, d);
  EXPECT_TRUE(readB);

  double untouched = 9.0;
  EXPECT_EQ(chunk.ReadValue(&untouched, 6), -1);
  EXPECT_EQ(chunk.ReadValue(&untouched, -1), -1);
  EXPECT_EQ(chunk.ReadBool(&readB, 13), -1);
  EXPECT_EQ(untouched, 9.0);
}

TEST(ByteChunk, Strings) {
  ByteChunk chunk;
  chunk.AppendString("");
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{0, 0, 0, 0}));
  WDL_String s("kept");
  EXPECT_EQ(chunk.ReadString(&s, 0), 4);
  EXPECT_STREQ(s.Get(), "kept");

  chunk.Clear();
  chunk.AppendString("AB");
  EXPECT_EQ(chunk.ReadString(&s, 0), 6);
  EXPECT_STREQ(s.Get(), "AB");

  // A string that runs past the end leaves the text and reports the position.
  ByteChunk cut;
  const int32_t len = 10;
  cut.AppendValue(&len);
  cut.AppendBytes("abc", 3);
  EXPECT_EQ(cut.ReadString(&s, 0), 14);
  EXPECT_STREQ(s.Get(), "AB");
  EXPECT_GT(cut.ReadString(&s, 2), cut.Size());  // a length read from text bytes
  EXPECT_STREQ(s.Get(), "AB");

  // A negative length is damage, never a way back into earlier bytes.
  ByteChunk negative;
  const int32_t minus = -8;
  negative.AppendValue(&minus);
  EXPECT_EQ(negative.ReadString(&s, 0), -1);
}

TEST(ChunkHeader, WrittenAndRead) {
  TestPlug plug;
  ByteChunk chunk;
  chunk.AppendBytes("junk", 4);
  plug.InitChunkWithIPlugVer(&chunk);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
  int pos = 0;
  EXPECT_EQ(plug.GetIPlugVerFromChunk(&chunk, &pos), 0x00010000);
  EXPECT_EQ(pos, 8);

  ByteChunk six;
  six.AppendBytes("\x74\x66\x66\x70\x00\x00", 6);
  pos = 0;
  EXPECT_EQ(plug.GetIPlugVerFromChunk(&six, &pos), 0);
  EXPECT_EQ(pos, -1);
  ByteChunk other;
  other.AppendBytes("abcdefgh", 8);
  pos = 0;
  EXPECT_EQ(plug.GetIPlugVerFromChunk(&other, &pos), 0);
  EXPECT_EQ(pos, 0);
}

TEST(ParamBlocks, PartialReadSetsTheFailingParameterToZeroClamped) {
  TestPlug plug;
  for (int i = 0; i < 5; ++i) plug.GetParam(i)->Set(9.0);
  plug.GetParam(3)->InitDouble("p", 0.0, 2.0, 10.0, 0.5);
  plug.GetParam(3)->Set(9.0);
  ByteChunk chunk;
  for (double v : {1.0, 2.0, 3.0}) chunk.AppendValue(&v);
  EXPECT_EQ(plug.UnserializeParams(&chunk, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 3.0);
  EXPECT_EQ(plug.GetParam(3)->Value(), 2.0);  // 0.0 clamped to the minimum
  EXPECT_EQ(plug.GetParam(4)->Value(), 9.0);
  EXPECT_EQ(plug.UnserializeParams(&chunk, -3), -3);
}

TEST(ParamBlocks, NonAutomatedBlockRoundTrip) {
  TestPlug plug;  // 5 automatable, 3 non-automated
  for (int i = 0; i < 8; ++i) plug.GetParam(i)->Set(i);
  ByteChunk chunk;
  plug.SerializeNonAutomatedParams(&chunk, 3);
  EXPECT_EQ(chunk.Size(), 24);
  plug.SerializeNonAutomatedParams(&chunk, 99);  // never past the list
  EXPECT_EQ(chunk.Size(), 48);
  for (int i = 5; i < 8; ++i) plug.GetParam(i)->Set(0);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&chunk, 0, 3), 24);
  EXPECT_EQ(plug.GetParam(7)->Value(), 7.0);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&chunk, -1, 3), -1);
}

TEST(Presets, BlockLayoutIsByteExact) {
  TestPlug plug(Presets(1, 2));
  std::strcpy(plug.GetPreset(0)->mName, "A");
  std::strcpy(plug.GetPreset(1)->mName, "B");
  plug.GetPreset(1)->mInitialized = true;
  plug.GetPreset(1)->mChunk.AppendBytes("\x11\x22\x33\x44\x55\x66\x77\x08", 8);
  ByteChunk chunk;
  plug.SerializePresets(&chunk);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{0x01, 0, 0, 0, 0x41, 0x00, 0x01, 0, 0, 0, 0x42, 0x01, 0x11, 0x22,
                                                0x33, 0x44, 0x55, 0x66, 0x77, 0x08}));
}

TEST(Presets, ReadingInheritsAnEmptyNameFromThePreviousPreset) {
  TestPlug plug(Presets(1, 2));
  ByteChunk chunk;
  chunk.AppendString("first");
  chunk.AppendBool(false);
  chunk.AppendString("");
  chunk.AppendBool(false);
  EXPECT_EQ(plug.UnserializePresets(&chunk, 0), chunk.Size());
  EXPECT_STREQ(plug.GetPresetName(0), "user preset 1");  // restored as the current one
  EXPECT_STREQ(plug.GetPresetName(1), "first");
}

TEST(Presets, Operations) {
  TestPlug plug(Presets(2, 4));
  EXPECT_STREQ(plug.GetPresetName(0), "empty");
  EXPECT_STREQ(plug.GetPresetName(9), "");
  EXPECT_FALSE(plug.RestorePreset(4));
  EXPECT_FALSE(plug.RestorePreset(-1));

  std::strcpy(plug.GetPreset(0)->mName, "user preset 1");
  std::strcpy(plug.GetPreset(1)->mName, "Empty");
  std::strcpy(plug.GetPreset(2)->mName, "my user preset");
  EXPECT_TRUE(plug.RestorePreset(3));
  EXPECT_STREQ(plug.GetPresetName(3), "user preset 3");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);

  plug.ModifyCurrentPreset(nullptr);
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.GetPresetName(3), "user preset 3");
  plug.ModifyCurrentPreset("renamed");
  EXPECT_STREQ(plug.GetPresetName(3), "renamed");
  EXPECT_TRUE(plug.RestorePreset("renamed"));
  EXPECT_FALSE(plug.RestorePreset(""));
  EXPECT_FALSE(plug.RestorePreset("nobody"));

  plug.GetPreset(1)->mInitialized = true;
  plug.PruneUninitializedPresets();  // flags 0, 1, 0, 1
  EXPECT_EQ(plug.NPresets(), 2);
}

TEST(Presets, MakePresetFromBlobDecodesIntoAZeroedBuffer) {
  TestPlug plug(Presets(5, 2));
  plug.MakePresetFromBlob("blob", "AAEC", 4);
  EXPECT_EQ(Bytes(plug.GetPreset(0)->mChunk), (std::vector<uint8_t>{0x00, 0x01, 0x02, 0x00}));
  plug.MakePresetFromBlob("short", "AAECAwQF", 2);
  EXPECT_EQ(Bytes(plug.GetPreset(1)->mChunk), (std::vector<uint8_t>{0x00, 0x01}));
}

TEST(Presets, NamedParamsFillThePlaceholders) {
  TestPlug plug(Presets(3, 1));
  plug.GetParam(0)->Set(4.0);
  plug.GetParam(2)->Set(6.0);
  plug.MakePresetFromNamedParams("named", 1, 1, 2.5);
  ByteChunk& chunk = plug.GetPreset(0)->mChunk;
  ASSERT_EQ(chunk.Size(), 24);
  double values[3];
  std::memcpy(values, chunk.Data(), sizeof(values));
  EXPECT_EQ(values[0], 4.0);
  EXPECT_EQ(values[1], 2.5);
  EXPECT_EQ(values[2], 6.0);
}

TEST(Presets, LongNamesFromAChunkAreCut) {
  TestPlug plug(Presets(0, 2));
  ByteChunk chunk;
  const std::string longName(400, 'n');
  for (int i = 0; i < 2; ++i) {
    chunk.AppendString(longName.c_str());
    chunk.AppendBool(false);
  }
  plug.UnserializePresets(&chunk, 0);
  EXPECT_EQ(std::strlen(plug.GetPresetName(1)), 255u);
}

// A bank chunk is read whole before anything of it is applied: one cut in its
// last section leaves every parameter and preset as it was.
TEST(Presets, ACutBankChunkAppliesNoPreset) {
  TestPlug plug(Presets(2, 2));
  AEffect* effect = plug.GetAEffect();
  plug.GetParam(0)->Set(0.25);
  void* data = nullptr;
  const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
  ASSERT_GT(size, 8);
  std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  plug.GetParam(0)->Set(0.75);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, size - 4, bank.data(), 0.0f), 0);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.75);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, size, bank.data(), 0.0f), 1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);

  // A cut program chunk is refused and leaves the current preset as it was.
  const VstIntPtr programSize = effect->dispatcher(effect, effGetChunk, 1, 0, &data, 0.0f);
  ASSERT_GT(programSize, 8);
  std::vector<uint8_t> program(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + programSize);
  const std::vector<uint8_t> preset = Bytes(plug.GetPreset(plug.GetCurrentPresetIdx())->mChunk);
  plug.GetParam(0)->Set(0.5);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 1, programSize - 4, program.data(), 0.0f), 0);
  EXPECT_EQ(Bytes(plug.GetPreset(plug.GetCurrentPresetIdx())->mChunk), preset);
}
