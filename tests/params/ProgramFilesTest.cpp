// Program (fxp) and bank (fxb) files in both forms, and the preset source
// dumps, with a small plug-in of three automatable parameters.
#include <gtest/gtest.h>

#include <cstring>

#include "IPlugVST.h"
#include "TestSupport.h"

namespace {
constexpr int kUniqueID = 0x46785473;  // 'FxTs'
constexpr int kVersion = 0x00010203;   // 10203 as a decimal number

class FilePlug : public IPlugVST {
 public:
  FilePlug(bool chunks, int nPresets)
      : IPlugVST(IPlugInstanceInfo{}, 3, "2-2", nPresets, "File Test", "", "Kelmscroft", kVersion, kUniqueID,
                 0x4B7A7631, 0, false, chunks, true, 0) {
    initialize(IPlugInstanceInfo{}, 3, 3, "2-2", nPresets, "File Test", "", "Kelmscroft", kVersion, kUniqueID,
               0x4B7A7631, 0, false, chunks, true, 0);
    GetParam(0)->InitDouble("gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(1)->InitInt("steps", 3, 0, 10);
    GetParam(2)->InitBool("on", true);
  }
  void set(double gain, int steps, bool on) {
    GetParam(0)->Set(gain);
    GetParam(1)->Set(steps);
    GetParam(2)->Set(on ? 1.0 : 0.0);
  }
  std::vector<double> values() const { return {GetParam(0)->Value(), GetParam(1)->Value(), GetParam(2)->Value()}; }
  void setCurrentPreset(int idx) { mCurrentPresetIdx = idx; }
};

using Bytes = std::vector<unsigned char>;

void be32(Bytes& out, unsigned v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}
void text(Bytes& out, const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(i < std::strlen(s) ? s[i] : 0));
}
void beFloat(Bytes& out, float f) {
  unsigned bits;
  std::memcpy(&bits, &f, 4);
  be32(out, bits);
}
Bytes programHeader(unsigned byteSize, const char* magic, const char* name) {
  Bytes out;
  text(out, "CcnK", 4);
  be32(out, byteSize);
  text(out, magic, 4);
  be32(out, 1);
  be32(out, kUniqueID);
  be32(out, 10203);
  be32(out, 3);
  text(out, name, 28);
  return out;
}
Bytes fileBytes(const std::string& path) {
  const std::string s = readFile(path);
  return Bytes(s.begin(), s.end());
}
void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

class ProgramFiles : public testing::Test {
 protected:
  TempDir dir;
  std::string path(const char* name) const { return dir.file(name); }
};

TEST_F(ProgramFiles, ParameterFormProgramIsByteExactAndReadsBack) {
  FilePlug plug(false, 1);
  plug.MakePreset("A preset name longer than twenty-seven", 0.5, 3, 1);
  plug.set(0.5, 3, true);
  ASSERT_TRUE(plug.SaveProgramToFile(path("p.fxp").c_str()));

  Bytes expected = programHeader(0, "FxCk", "A preset name longer than t");
  beFloat(expected, 0.5f);
  beFloat(expected, 0.3f);
  beFloat(expected, 1.0f);
  EXPECT_EQ(fileBytes(path("p.fxp")), expected);

  plug.set(0.0, 9, false);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("p.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.5, 3.0, 1.0}));
  EXPECT_STREQ(plug.GetPresetName(0), "A preset name longer than t");
  ASSERT_TRUE(plug.SaveProgramToFile(path("again.fxp").c_str()));
  EXPECT_EQ(fileBytes(path("again.fxp")), expected);
}

TEST_F(ProgramFiles, ChunkFormProgramCarriesTheStateAndReadsBack) {
  FilePlug plug(true, 1);
  plug.MakePreset("Lead", 0.25, 7, 0);
  plug.set(0.25, 7, false);
  ASSERT_TRUE(plug.SaveProgramToFile(path("c.fxp").c_str()));

  const Bytes file = fileBytes(path("c.fxp"));
  ASSERT_EQ(file.size(), 60u + 8u + 24u);
  Bytes expected = programHeader(static_cast<unsigned>(file.size()), "FPCh", "Lead");
  be32(expected, 32);
  const unsigned char chunkHeader[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  expected.insert(expected.end(), chunkHeader, chunkHeader + 8);
  for (double v : {0.25, 7.0, 0.0}) {
    unsigned char raw[8];
    std::memcpy(raw, &v, 8);
    expected.insert(expected.end(), raw, raw + 8);
  }
  EXPECT_EQ(file, expected);

  plug.set(1.0, 1, true);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("c.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.25, 7.0, 0.0}));
  ASSERT_TRUE(plug.SaveProgramToFile(path("again.fxp").c_str()));
  EXPECT_EQ(fileBytes(path("again.fxp")), file);
}

TEST_F(ProgramFiles, ChunkFormProgramWithoutTheChunkHeaderIsReadFromOffset60) {
  FilePlug plug(true, 1);
  plug.MakePreset("x", 0.5, 3, 1);
  Bytes file = programHeader(84, "FPCh", "x");
  be32(file, 24);
  for (double v : {0.75, 2.0, 1.0}) {
    unsigned char raw[8];
    std::memcpy(raw, &v, 8);
    file.insert(file.end(), raw, raw + 8);
  }
  writeFile(path("bare.fxp"), file);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("bare.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.75, 2.0, 1.0}));
}

TEST_F(ProgramFiles, ParameterFormBankIsByteExactAndReadsBack) {
  FilePlug plug(false, 2);
  plug.MakePreset("One", 0.1, 1, 0);
  plug.MakePreset("Two", 0.9, 10, 1);
  plug.setCurrentPreset(1);
  ASSERT_TRUE(plug.SaveBankToFile(path("b.fxb").c_str()));

  Bytes expected;
  text(expected, "CcnK", 4);
  be32(expected, 0);
  text(expected, "FxBk", 4);
  be32(expected, 2);
  be32(expected, kUniqueID);
  be32(expected, 10203);
  be32(expected, 2);
  be32(expected, 1);
  text(expected, "", 124);
  append(expected, programHeader(0, "FxCk", "One"));
  for (float f : {0.1f, 0.1f, 0.0f}) beFloat(expected, f);
  append(expected, programHeader(0, "FxCk", "Two"));
  for (float f : {0.9f, 1.0f, 1.0f}) beFloat(expected, f);
  EXPECT_EQ(fileBytes(path("b.fxb")), expected);

  FilePlug other(false, 2);
  ASSERT_TRUE(other.LoadBankFromFile(path("b.fxb").c_str()));
  EXPECT_EQ(other.GetCurrentPresetIdx(), 1);
  EXPECT_STREQ(other.GetPresetName(0), "One");
  // The float of the file, not rounded back: a double parameter has no step rounding.
  EXPECT_EQ(other.values(), (std::vector<double>{0.9f, 10.0, 1.0}));
  ASSERT_TRUE(other.SaveBankToFile(path("again.fxb").c_str()));
  EXPECT_EQ(fileBytes(path("again.fxb")), expected);
}

TEST_F(ProgramFiles, ChunkFormBankCarriesThePresetsAndReadsBack) {
  FilePlug plug(true, 2);
  plug.MakePreset("One", 0.1, 1, 0);
  plug.MakePreset("Two", 0.9, 10, 1);
  ASSERT_TRUE(plug.SaveBankToFile(path("b.fxb").c_str()));
  const Bytes file = fileBytes(path("b.fxb"));
  ASSERT_GT(file.size(), 168u);
  Bytes head;
  text(head, "CcnK", 4);
  be32(head, static_cast<unsigned>(file.size()));
  text(head, "FBCh", 4);
  be32(head, 2);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), file.begin()));

  FilePlug other(true, 2);
  ASSERT_TRUE(other.LoadBankFromFile(path("b.fxb").c_str()));
  EXPECT_STREQ(other.GetPresetName(1), "Two");
  ASSERT_TRUE(other.SaveBankToFile(path("again.fxb").c_str()));
  EXPECT_EQ(fileBytes(path("again.fxb")), file);
  ASSERT_TRUE(other.RestorePreset(1));
  EXPECT_EQ(other.values(), (std::vector<double>{0.9, 10.0, 1.0}));
}

TEST_F(ProgramFiles, AnEmptyChunkFormBankIs168Bytes) {
  FilePlug plug(true, 0);
  ASSERT_TRUE(plug.SaveBankToFile(path("e.fxb").c_str()));
  const Bytes file = fileBytes(path("e.fxb"));
  ASSERT_EQ(file.size(), 168u);
  EXPECT_EQ(file[4], 0);
  EXPECT_EQ(file[7], 168);
  EXPECT_TRUE(plug.LoadBankFromFile(path("e.fxb").c_str()));
}

TEST_F(ProgramFiles, ShortForeignAndMismatchedFilesAreRefused) {
  FilePlug params(false, 1), chunks(true, 1);
  params.MakePreset("p", 0.5, 3, 1);
  chunks.MakePreset("c", 0.5, 3, 1);
  ASSERT_TRUE(params.SaveProgramToFile(path("p.fxp").c_str()));
  ASSERT_TRUE(chunks.SaveProgramToFile(path("c.fxp").c_str()));
  ASSERT_TRUE(params.SaveBankToFile(path("p.fxb").c_str()));
  ASSERT_TRUE(chunks.SaveBankToFile(path("c.fxb").c_str()));
  const Bytes p = fileBytes(path("p.fxp")), c = fileBytes(path("c.fxp"));
  const Bytes pb = fileBytes(path("p.fxb")), cb = fileBytes(path("c.fxb"));

  auto variant = [](const Bytes& base, size_t size, int offset = -1, unsigned char value = 0) {
    Bytes out(base.begin(), base.begin() + static_cast<long>(std::min(size, base.size())));
    if (offset >= 0) out[static_cast<size_t>(offset)] = value;
    return out;
  };
  const struct {
    const char* what;
    FilePlug* plug;
    bool bank;
    Bytes file;
  } refused[] = {
      {"15 bytes", &params, false, variant(p, 15)},
      {"header only", &params, false, variant(p, 55)},
      {"values cut", &params, false, variant(p, p.size() - 1)},
      {"foreign ID", &params, false, variant(p, p.size(), 19, 0x00)},
      {"not CcnK", &params, false, variant(p, p.size(), 0, 'X')},
      {"other count", &params, false, variant(p, p.size(), 27, 4)},
      {"unknown form", &params, false, variant(p, p.size(), 8, 'Q')},
      {"chunk without flag", &params, false, variant(c, c.size())},
      {"chunk cut", &chunks, false, variant(c, c.size() - 1)},
      {"bank header cut", &params, true, variant(pb, 155)},
      {"bank foreign ID", &params, true, variant(pb, pb.size(), 19, 0x00)},
      {"bank program cut", &params, true, variant(pb, pb.size() - 1)},
      {"bank program magic", &params, true, variant(pb, pb.size(), 156 + 8, 'Q')},
      {"bank chunk without flag", &params, true, variant(cb, cb.size())},
      {"bank chunk cut", &chunks, true, variant(cb, cb.size() - 1)},
  };
  for (const auto& r : refused) {
    writeFile(path(r.what), r.file);
    const bool loaded = r.bank ? r.plug->LoadBankFromFile(path(r.what).c_str())
                               : r.plug->LoadProgramFromFile(path(r.what).c_str());
    EXPECT_FALSE(loaded) << r.what;
  }
  EXPECT_FALSE(params.LoadProgramFromFile(path("absent.fxp").c_str()));
}

TEST_F(ProgramFiles, SavesReportFailure) {
  FilePlug plug(true, 1);
  EXPECT_FALSE(plug.SaveProgramToFile(path("no/such/folder/p.fxp").c_str()));
  EXPECT_FALSE(plug.SaveBankToFile(path("no/such/folder/b.fxb").c_str()));
  // Without an editor window there is nobody to ask for a file.
  EXPECT_FALSE(plug.SaveProgramAsFXP("p"));
  EXPECT_FALSE(plug.LoadBankFromFXB());
}

TEST_F(ProgramFiles, SourceDumps) {
  FilePlug plug(false, 2);
  plug.MakePreset("p", 0.5, 3, 1);
  plug.set(0.25, 4, true);
  const char* names[] = {"kGain", "kSteps", "kOn"};
  plug.DumpPresetSrcCode(path("src.txt").c_str(), names);
  EXPECT_EQ(readFile(path("src.txt")),
            "  MakePresetFromNamedParams(\"name\", 3,\n    kGain, 0.250000,\n    kSteps, 4,\n    kOn, true);\n");

  // A chunk far beyond 765 bytes is written whole.
  ByteChunk big;
  for (int i = 0; i < 1000; ++i) big.AppendValue(&i);
  plug.MakePresetFromChunk("big", &big);
  plug.setCurrentPreset(1);
  plug.DumpPresetBlob(path("blob.txt").c_str());
  const std::string blob = readFile(path("blob.txt"));
  EXPECT_EQ(blob.rfind("MakePresetFromBlob(\"name\", \"AAAAAAEAAAACAAAA", 0), 0u);
  EXPECT_EQ(blob.size(), std::string("MakePresetFromBlob(\"name\", \"\", 4000);\n").size() + 5336);
  EXPECT_EQ(blob.substr(blob.size() - 14), "AA==\", 4000);\n");

  plug.setCurrentPreset(5);
  plug.DumpPresetBlob(path("none.txt").c_str());
  EXPECT_FALSE(std::filesystem::exists(path("none.txt")));
  plug.DumpPresetBlob(path("no/such/folder/x.txt").c_str());
}

TEST_F(ProgramFiles, ANamedParameterDumpOfNoParameters) {
  class NoParams : public IPlugVST {
   public:
    NoParams()
        : IPlugVST(IPlugInstanceInfo{}, 0, "2-2", 0, "None", "", "Kelmscroft", kVersion, kUniqueID, 0, 0, false,
                   true, true, 0) {
      initialize(IPlugInstanceInfo{}, 0, 0, "2-2", 0, "None", "", "Kelmscroft", kVersion, kUniqueID, 0, 0, false,
                 true, true, 0);
    }
  } plug;
  plug.DumpPresetSrcCode(path("none.txt").c_str(), nullptr);
  EXPECT_EQ(readFile(path("none.txt")), "  MakePresetFromNamedParams(\"name\", 0);\n");
}
}  // namespace
