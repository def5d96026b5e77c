// Program (fxp) and bank (fxb) files in both forms, and the preset source
// dumps, with a small plug-in of three automatable parameters.
#include <gtest/gtest.h>

#include <bit>
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

// The expected bytes of a file, written field by field.
struct Out {
  std::string bytes;
  Out& text(const char* s, size_t n = 4) {
    bytes += std::string(s).substr(0, n) + std::string(n - std::min(n, std::strlen(s)), '\0');
    return *this;
  }
  Out& be(unsigned v) {
    for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<char>(v >> s));
    return *this;
  }
  Out& floats(std::initializer_list<float> values) {  // big-endian
    for (float f : values) be(std::bit_cast<unsigned>(f));
    return *this;
  }
  Out& doubles(std::initializer_list<double> values) {  // as the processor stores them
    for (double v : values) bytes.append(reinterpret_cast<const char*>(&v), 8);
    return *this;
  }
  Out& add(const std::string& more) {
    bytes += more;
    return *this;
  }
};

Out program(unsigned byteSize, const char* magic, const char* name) {
  return Out().text("CcnK").be(byteSize).text(magic).be(1).be(kUniqueID).be(10203).be(3).text(name, 28);
}

class ProgramFiles : public testing::Test {
 protected:
  TempDir dir;
  std::string path(const char* name) const { return dir.file(name); }
  std::string file(const char* name) const { return readFile(dir.file(name)); }
};

TEST_F(ProgramFiles, ParameterFormProgramIsByteExactAndReadsBack) {
  FilePlug plug(false, 1);
  plug.MakePreset("A preset name longer than twenty-seven", 0.5, 3, 1);
  plug.set(0.5, 3, true);
  ASSERT_TRUE(plug.SaveProgramToFile(path("p.fxp").c_str()));
  const std::string expected = program(0, "FxCk", "A preset name longer than t").floats({0.5f, 0.3f, 1.0f}).bytes;
  EXPECT_EQ(file("p.fxp"), expected);

  plug.set(0.0, 9, false);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("p.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.5, 3.0, 1.0}));
  EXPECT_STREQ(plug.GetPresetName(0), "A preset name longer than t");
  ASSERT_TRUE(plug.SaveProgramToFile(path("again.fxp").c_str()));
  EXPECT_EQ(file("again.fxp"), expected);
}

TEST_F(ProgramFiles, ChunkFormProgramCarriesTheStateAndReadsBack) {
  FilePlug plug(true, 1);
  plug.MakePreset("Lead", 0.25, 7, 0);
  plug.set(0.25, 7, false);
  ASSERT_TRUE(plug.SaveProgramToFile(path("c.fxp").c_str()));
  const std::string chunkHeader("\x74\x66\x66\x70\x00\x00\x01\x00", 8);
  EXPECT_EQ(file("c.fxp"), program(92, "FPCh", "Lead").be(32).add(chunkHeader).doubles({0.25, 7.0, 0.0}).bytes);

  plug.set(1.0, 1, true);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("c.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.25, 7.0, 0.0}));
  ASSERT_TRUE(plug.SaveProgramToFile(path("again.fxp").c_str()));
  EXPECT_EQ(file("again.fxp"), file("c.fxp"));

  // Without the chunk header the state is read from offset 60.
  writeFile(path("bare.fxp"), program(84, "FPCh", "x").be(24).doubles({0.75, 2.0, 1.0}).bytes);
  ASSERT_TRUE(plug.LoadProgramFromFile(path("bare.fxp").c_str()));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.75, 2.0, 1.0}));
}

TEST_F(ProgramFiles, ParameterFormBankIsByteExactAndReadsBack) {
  FilePlug plug(false, 2);
  plug.MakePreset("One", 0.1, 1, 0);
  plug.MakePreset("Two", 0.9, 10, 1);
  plug.setCurrentPreset(1);
  ASSERT_TRUE(plug.SaveBankToFile(path("b.fxb").c_str()));
  const std::string expected = Out().text("CcnK").be(0).text("FxBk").be(2).be(kUniqueID).be(10203).be(2).be(1)
                                   .text("", 124)
                                   .add(program(0, "FxCk", "One").floats({0.1f, 0.1f, 0.0f}).bytes)
                                   .add(program(0, "FxCk", "Two").floats({0.9f, 1.0f, 1.0f}).bytes)
                                   .bytes;
  EXPECT_EQ(file("b.fxb"), expected);

  FilePlug other(false, 2);
  ASSERT_TRUE(other.LoadBankFromFile(path("b.fxb").c_str()));
  EXPECT_EQ(other.GetCurrentPresetIdx(), 1);
  EXPECT_STREQ(other.GetPresetName(0), "One");
  // The float of the file, not rounded back: a double parameter has no step rounding.
  EXPECT_EQ(other.values(), (std::vector<double>{0.9f, 10.0, 1.0}));
  ASSERT_TRUE(other.SaveBankToFile(path("again.fxb").c_str()));
  EXPECT_EQ(file("again.fxb"), expected);
}

TEST_F(ProgramFiles, ChunkFormBankCarriesThePresetsAndReadsBack) {
  FilePlug plug(true, 2);
  plug.MakePreset("One", 0.1, 1, 0);
  plug.MakePreset("Two", 0.9, 10, 1);
  ASSERT_TRUE(plug.SaveBankToFile(path("b.fxb").c_str()));
  const std::string bank = file("b.fxb");
  ASSERT_GT(bank.size(), 168u);
  EXPECT_EQ(bank.substr(0, 16), Out().text("CcnK").be(static_cast<unsigned>(bank.size())).text("FBCh").be(2).bytes);

  FilePlug other(true, 2);
  ASSERT_TRUE(other.LoadBankFromFile(path("b.fxb").c_str()));
  EXPECT_STREQ(other.GetPresetName(1), "Two");
  ASSERT_TRUE(other.SaveBankToFile(path("again.fxb").c_str()));
  EXPECT_EQ(file("again.fxb"), bank);
  ASSERT_TRUE(other.RestorePreset(1));
  EXPECT_EQ(other.values(), (std::vector<double>{0.9, 10.0, 1.0}));

  FilePlug empty(true, 0);  // the header alone
  ASSERT_TRUE(empty.SaveBankToFile(path("e.fxb").c_str()));
  EXPECT_EQ(file("e.fxb").size(), 168u);
  EXPECT_EQ(file("e.fxb").substr(4, 4), std::string("\0\0\0\xA8", 4));
  EXPECT_TRUE(empty.LoadBankFromFile(path("e.fxb").c_str()));
}

TEST_F(ProgramFiles, ShortForeignAndMismatchedFilesAreRefused) {
  FilePlug params(false, 1), chunks(true, 1);
  params.MakePreset("p", 0.5, 3, 1);
  chunks.MakePreset("c", 0.5, 3, 1);
  ASSERT_TRUE(params.SaveProgramToFile(path("p.fxp").c_str()));
  ASSERT_TRUE(chunks.SaveProgramToFile(path("c.fxp").c_str()));
  ASSERT_TRUE(params.SaveBankToFile(path("p.fxb").c_str()));
  ASSERT_TRUE(chunks.SaveBankToFile(path("c.fxb").c_str()));
  const std::string p = file("p.fxp"), c = file("c.fxp"), pb = file("p.fxb"), cb = file("c.fxb");

  auto variant = [](const std::string& base, size_t size, int offset = -1, char value = 0) {
    std::string out = base.substr(0, size);
    if (offset >= 0) out[static_cast<size_t>(offset)] = value;
    return out;
  };
  const struct {
    const char* what;
    FilePlug* plug;
    bool bank;
    std::string file;
  } refused[] = {
      {"15 bytes", &params, false, variant(p, 15)},
      {"header only", &params, false, variant(p, 55)},
      {"values cut", &params, false, variant(p, p.size() - 1)},
      {"foreign ID", &params, false, variant(p, p.size(), 19, 0x00)},
      {"not CcnK", &params, false, variant(p, p.size(), 0, 'X')},
      {"other count", &params, false, variant(p, p.size(), 27, 4)},
      {"unknown form", &params, false, variant(p, p.size(), 8, 'Q')},
      {"chunk without flag", &params, false, c},
      {"chunk cut", &chunks, false, variant(c, c.size() - 1)},
      {"bank header cut", &params, true, variant(pb, 155)},
      {"bank foreign ID", &params, true, variant(pb, pb.size(), 19, 0x00)},
      {"bank program cut", &params, true, variant(pb, pb.size() - 1)},
      {"bank program magic", &params, true, variant(pb, pb.size(), 156 + 8, 'Q')},
      {"bank chunk without flag", &params, true, cb},
      {"bank chunk cut", &chunks, true, variant(cb, cb.size() - 1)},
  };
  for (const auto& r : refused) {
    writeFile(path(r.what), r.file);
    const bool loaded = r.bank ? r.plug->LoadBankFromFile(path(r.what).c_str())
                               : r.plug->LoadProgramFromFile(path(r.what).c_str());
    EXPECT_FALSE(loaded) << r.what;
  }
  EXPECT_FALSE(params.LoadProgramFromFile(path("absent.fxp").c_str()));
  EXPECT_FALSE(chunks.SaveProgramToFile(path("no/such/folder/p.fxp").c_str()));
  EXPECT_FALSE(chunks.SaveBankToFile(path("no/such/folder/b.fxb").c_str()));
  // Without an editor window there is nobody to ask for a file.
  EXPECT_FALSE(chunks.SaveProgramAsFXP("p"));
  EXPECT_FALSE(chunks.LoadBankFromFXB());
}

TEST_F(ProgramFiles, SourceDumps) {
  FilePlug plug(false, 2);
  plug.MakePreset("p", 0.5, 3, 1);
  plug.set(0.25, 4, true);
  const char* names[] = {"kGain", "kSteps", "kOn"};
  plug.DumpPresetSrcCode(path("src.txt").c_str(), names);
  EXPECT_EQ(file("src.txt"),
            "  MakePresetFromNamedParams(\"name\", 3,\n    kGain, 0.250000,\n    kSteps, 4,\n    kOn, true);\n");

  // A chunk far beyond 765 bytes is written whole.
  ByteChunk big;
  for (int i = 0; i < 1000; ++i) big.AppendValue(&i);
  plug.MakePresetFromChunk("big", &big);
  plug.setCurrentPreset(1);
  plug.DumpPresetBlob(path("blob.txt").c_str());
  const std::string blob = file("blob.txt");
  EXPECT_EQ(blob.substr(0, 44) + "..." + blob.substr(blob.size() - 14),
            "MakePresetFromBlob(\"name\", \"AAAAAAEAAAACAAAA...AA==\", 4000);\n");
  EXPECT_EQ(blob.size(), 38u + 5336u);  // 4000 bytes as Base64

  plug.setCurrentPreset(5);  // no such preset: nothing is written
  plug.DumpPresetBlob(path("none.txt").c_str());
  EXPECT_FALSE(std::filesystem::exists(path("none.txt")));
  plug.DumpPresetBlob(path("no/such/folder/x.txt").c_str());
}
}  // namespace
