// Helpers shared by the parameter-model tests.
#pragma once

#include <tinyxml2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Tarnivex.h"

// A fresh folder, removed with everything in it at the end of the test.
struct TempDir {
  TempDir() = default;
  TempDir(const TempDir&) = delete;
  std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnivex-params-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
  }();
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A document parsed the way the configuration readers parse theirs.
struct ParsedDocument {
  tinyxml2::XMLDocument document{true, tinyxml2::PRESERVE_WHITESPACE};
  explicit ParsedDocument(const std::string& text) { document.Parse(text.c_str()); }
};

// A plug-in built with its resources taken from a folder of the test's
// choice, whose debug log is on and goes to a file of the test.
class LoggedPlug {
 public:
  explicit LoggedPlug(const std::string& resourceDir) {
    if (const char* old = std::getenv("TARNIVEX_RESOURCE_DIR")) mOldResources = old;
    setenv("TARNIVEX_RESOURCE_DIR", resourceDir.c_str(), 1);
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->waitForLibrary();
    plug->debugLogPath = mDir.file("debug.txt");
    clearLog();
    plug->debugLogEnabled = true;
  }
  ~LoggedPlug() {
    plug.reset();
    if (mOldResources) setenv("TARNIVEX_RESOURCE_DIR", mOldResources->c_str(), 1);
    else unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  // The messages of the log lines, without their time stamps.
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    std::istringstream lines(readFile(plug->debugLogPath));
    for (std::string line; std::getline(lines, line);) {
      const size_t tab = line.find("\t ");
      out.push_back(tab == std::string::npos ? line : line.substr(tab + 2));
    }
    return out;
  }
  void clearLog() { writeFile(plug->debugLogPath, std::string()); }

  std::unique_ptr<Tarnivex> plug;

 private:
  TempDir mDir;
  std::optional<std::string> mOldResources;
};
