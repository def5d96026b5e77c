// Every fuzz driver over its seed corpus, as part of the ordinary tests: the
// inputs that found faults stay fixed, and the drivers keep building.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "FuzzDrivers.h"

namespace fuzz {
// The driver by its name in test lists.
void PrintTo(const Driver& driver, std::ostream* out) { *out << driver.name; }
}  // namespace fuzz

namespace {
namespace fs = std::filesystem;

class CorpusTest : public ::testing::TestWithParam<fuzz::Driver> {
 protected:
  static void TearDownTestSuite() { fuzz::releaseAll(); }
};

TEST_P(CorpusTest, EveryInputRunsClean) {
  const fuzz::Driver& driver = GetParam();
  const fs::path folder = fs::path(TARNIVEX_FUZZ_CORPUS) / driver.name;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(folder)) inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty());
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.filename().string());
    std::ifstream file(input, std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
    EXPECT_EQ(driver.run(bytes.data(), bytes.size()), 0);
  }
  // No input at all, too.
  EXPECT_EQ(driver.run(nullptr, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusTest, ::testing::ValuesIn(fuzz::drivers()),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
