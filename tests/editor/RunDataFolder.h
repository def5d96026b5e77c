// The data folders of one run of an editor test program: a folder made for
// this process alone, so that two runs of the same tests at once (another
// clone's, a checking tool's) never share a test's folder; it goes at exit.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& runDataFolder() {
  // Taken once, before any test points XDG_DATA_HOME at a folder of its own.
  static const std::string& folder = *[] {
    const char* root = std::getenv("XDG_DATA_HOME");
    const std::filesystem::path base =
        root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path() / "tarnivex-editor-tests";
    std::error_code error;
    std::filesystem::create_directories(base, error);
    std::string pattern = (base / ("run-" + std::to_string(::getpid()) + "-XXXXXX")).string();
    const char* made = ::mkdtemp(pattern.data());
    if (!made) std::abort();
    auto* path = new std::string(made);
    static const pid_t owner = ::getpid();
    // A forked child's exit leaves it to the run.
    std::atexit([] {
      if (::getpid() != owner) return;
      std::error_code ignored;
      std::filesystem::remove_all(runDataFolder(), ignored);
    });
    return path;
  }();
  return folder;
}

// The data folder of the test running, inside this run's folder.
inline std::string testDataFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return runDataFolder() + "/" + (info ? std::string(info->test_suite_name()) + "." + info->name() : "any");
}
