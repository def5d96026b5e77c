// The debug log: only when its file existed at start-up, one line per
// message in the log's own format, whole lines from any number of threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "DataFolder.h"
#include "DebuggerOutput.h"
#include "RecordingTarnivex.h"

namespace {
namespace fs = std::filesystem;

std::vector<std::string> lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarnivex-log-XXXXXX";
    root = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    fs::create_directories(getDataFolder());
  }
  void TearDown() override { fs::remove_all(root); }
  void createLog(const std::string& content) { std::ofstream(getDebugLogPath()) << content; }

  fs::path root;
};

const std::regex kLine(R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t (.*))");

TEST_F(DebugLogTest, LogPathIsInTheDataFolder) {
  EXPECT_EQ(getDataFolder(), root.string() + "/Kelmscroft/Zorozov Tarnivex Editor/");
  EXPECT_EQ(getDebugLogPath(), getDataFolder() + "Tarnivex Editor LOG.txt");
  EXPECT_EQ(getPatchesFolderStr(), getDataFolder() + "Patches");
}

TEST_F(DebugLogTest, WithoutALogFileNothingIsEverWritten) {
  RecordingTarnivex plug;
  EXPECT_FALSE(plug.debugLogEnabled);
  plug.debugLog("PROCESSOR: not written");
  EXPECT_FALSE(fs::exists(getDebugLogPath()));
}

TEST_F(DebugLogTest, AnExistingLogIsEmptiedAndGetsOneLinePerMessage) {
  createLog("an old session\n");
  RecordingTarnivex plug;
  EXPECT_TRUE(plug.debugLogEnabled);
  const size_t startUp = lines(getDebugLogPath()).size();  // start-up logs too
  plug.debugLog("PROCESSOR: first");
  plug.debugLog("RESET: plug-in second");
  const auto written = lines(getDebugLogPath());
  ASSERT_EQ(written.size(), startUp + 2);
  for (const auto& line : written) {
    EXPECT_NE(line, "an old session");
    EXPECT_TRUE(std::regex_match(line, kLine)) << line;
  }
  std::smatch match;
  ASSERT_TRUE(std::regex_match(written[startUp], match, kLine));
  EXPECT_EQ(match[1], "PROCESSOR: first");
  ASSERT_TRUE(std::regex_match(written[startUp + 1], match, kLine));
  EXPECT_EQ(match[1], "RESET: plug-in second");
}

TEST_F(DebugLogTest, ALogDeletedWhileRunningComesBack) {
  createLog("");
  RecordingTarnivex plug;
  fs::remove(getDebugLogPath());
  plug.debugLog("PROCESSOR: again");
  EXPECT_EQ(lines(getDebugLogPath()).size(), 1u);
}

TEST_F(DebugLogTest, LinesFromManyThreadsStayWhole) {
  createLog("");
  DebuggerOutput log;
  ASSERT_TRUE(log.openDebugFile(getDebugLogPath()));
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&log, t] {
      for (int i = 0; i < 50; ++i)
        log.printDebugInfo(getDebugLogPath(), "PROCESSOR: thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& writer : writers) writer.join();
  const auto written = lines(getDebugLogPath());
  ASSERT_EQ(written.size(), 200u);
  for (const auto& line : written) EXPECT_TRUE(std::regex_match(line, kLine)) << line;
}

TEST_F(DebugLogTest, OpeningAMissingFileFailsAndCreatesNothing) {
  DebuggerOutput log;
  EXPECT_FALSE(log.openDebugFile(getDebugLogPath()));
  EXPECT_FALSE(fs::exists(getDebugLogPath()));
}
}  // namespace
