// What a program or bank file may do to the plug-in, and what a failed save
// may do to the file: values read stay inside their parameters' ranges; a
// save that cannot complete reports it and leaves the old file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "IParam.h"
#include "SmallFileSystem.h"
#include "TestPlug.h"
#include "UserFiles.h"

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Bytes readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class FileSafetyTest : public ::testing::Test {
 protected:
  FileSafetyTest() {
    std::string pattern = (fs::temp_directory_path() / "frame-files-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
  }
  ~FileSafetyTest() override {
    userfiles::setWriteFault(std::nullopt);
    std::error_code error;
    fs::remove_all(dir, error);
  }
  // Every parameter's value inside its range and its integer read sane.
  static void expectInRange(TestPlug& plug) {
    for (int i = 0; i < plug.NParams(); ++i) {
      const IParam* p = plug.GetParam(i);
      EXPECT_GE(p->Value(), p->GetMin()) << i;
      EXPECT_LE(p->Value(), p->GetMax()) << i;
      EXPECT_GE(p->Int(), static_cast<int>(p->GetMin())) << i;
    }
  }
  fs::path dir;
};

TEST(IParamValues, NothingOutsideAnIntReachesTheIntegerRead) {
  struct Row {
    const char* label;
    double normalized;
    int expected;
  };
  // SetNormalized has no lower bound of its own; the integer read saturates.
  for (const Row& row : {Row{"far below", -1e300, INT_MIN}, Row{"far above", 1e300, 10}, Row{"not a number", kNaN, 3},
                         Row{"infinite", -kInf, 3}, Row{"in range", 0.5, 5}}) {
    IParam p;
    p.InitInt("i", 3, 0, 10);
    p.SetNormalized(row.normalized);
    EXPECT_EQ(p.Int(), row.expected) << row.label;
  }
  for (const Row& row : {Row{"not a number", kNaN, 3}, Row{"infinite", kInf, 3}, Row{"far below", -1e300, 0},
                         Row{"far above", 1e300, 10}}) {
    IParam p;
    p.InitInt("i", 3, 0, 10);
    p.Set(row.normalized);
    EXPECT_EQ(p.Int(), row.expected) << row.label;
  }
}

// A program file whose values are far outside, or not numbers, in both forms.
TEST_F(FileSafetyTest, ValuesReadFromAProgramFileStayInRange) {
  for (const bool chunks : {true, false}) {
    SCOPED_TRACE(chunks ? "chunk form" : "parameter form");
    TestPlug::Config config;
    config.chunks = chunks;
    TestPlug plug(config);
    const fs::path file = dir / "values.fxp";
    ASSERT_TRUE(plug.SaveProgramToFile(file.string().c_str()));
    Bytes bytes = readAll(file);
    if (chunks) {
      // The state after the 60 bytes of header and size and the 8 of the chunk header: doubles.
      const double values[] = {-1e300, kNaN, 1e300, -kInf, 4.0};
      for (size_t i = 0; i < 5; ++i) std::memcpy(&bytes[68 + 8 * i], &values[i], 8);
    } else {
      // Normalised big-endian floats from offset 56.
      const float values[] = {-1e30f, std::numeric_limits<float>::quiet_NaN(), 1e30f, 2.0f, 0.5f};
      for (size_t i = 0; i < 5; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int k = 0; k < 4; ++k) bytes[56 + 4 * i + static_cast<size_t>(k)] = static_cast<uint8_t>(bits >> (24 - 8 * k));
      }
    }
    writeAll(file, bytes);
    ASSERT_TRUE(plug.LoadProgramFromFile(file.string().c_str()));
    expectInRange(plug);
    EXPECT_EQ(plug.GetParam(1)->Value(), plug.GetParam(1)->GetDefault());  // not a number
  }
}

TEST_F(FileSafetyTest, AFailedSaveReportsFalseAndLeavesTheOldFile) {
  TestPlug::Config config;
  config.nAutomatable = config.nParams = 2000;
  TestPlug plug(config);
  for (const bool bank : {false, true}) {
    SCOPED_TRACE(bank ? "bank" : "program");
    const fs::path file = dir / (bank ? "old.fxb" : "old.fxp");
    const Bytes old(100, 0x5A);
    writeAll(file, old);
    for (const size_t at : {size_t{0}, size_t{100}}) {  // the bank file of no presets is 168 bytes
      userfiles::setWriteFault(userfiles::WriteFault{at, ENOSPC});
      EXPECT_FALSE(bank ? plug.SaveBankToFile(file.string().c_str()) : plug.SaveProgramToFile(file.string().c_str()));
      userfiles::setWriteFault(std::nullopt);
      EXPECT_EQ(readAll(file), old);
    }
    ASSERT_TRUE(bank ? plug.SaveBankToFile(file.string().c_str()) : plug.SaveProgramToFile(file.string().c_str()));
    EXPECT_NE(readAll(file), old);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);  // no temporary file left
}

// The save of the finding: a program file of 16 KiB onto a file system with
// less room than that left; only where a small file system can be mounted.
TEST_F(FileSafetyTest, ASaveOntoAFullFileSystemKeepsTheOldProgram) {
  const fs::path mount = dir / "small";
  const SmallFileSystem small(mount);
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << small.error;
  TestPlug::Config config;
  config.nAutomatable = config.nParams = 2000;
  TestPlug plug(config);
  const fs::path file = mount / "Program.fxp";
  ASSERT_TRUE(plug.SaveProgramToFile(file.string().c_str()));
  const Bytes saved = readAll(file);
  ASSERT_GT(saved.size(), 16000u);
  small.fill();
  plug.GetParam(0)->Set(7.5);
  EXPECT_FALSE(plug.SaveProgramToFile(file.string().c_str()));
  EXPECT_EQ(readAll(file), saved);
  ASSERT_TRUE(plug.LoadProgramFromFile(file.string().c_str()));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);
}

TEST_F(FileSafetyTest, ReadOnlyProgramFilesStayAndLinksAreFollowed) {
  TestPlug plug;
  const fs::path locked = dir / "locked.fxp";
  writeAll(locked, Bytes(10, 1));
  fs::permissions(locked, fs::perms::owner_read);
  EXPECT_FALSE(plug.SaveProgramToFile(locked.string().c_str()));
  EXPECT_EQ(readAll(locked), Bytes(10, 1));
  fs::permissions(locked, fs::perms::owner_all);

  fs::create_directory(dir / "presets");
  writeAll(dir / "presets" / "real.fxp", Bytes(10, 2));
  fs::create_symlink(dir / "presets" / "real.fxp", dir / "link.fxp");
  ASSERT_TRUE(plug.SaveProgramToFile((dir / "link.fxp").string().c_str()));
  EXPECT_TRUE(fs::is_symlink(dir / "link.fxp"));
  EXPECT_TRUE(plug.LoadProgramFromFile((dir / "presets" / "real.fxp").string().c_str()));
}
}  // namespace
