// Helpers shared by the parameter-model tests.
#pragma once

#include <tinyxml2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnivex-params-XXXXXX").string();
    mPath = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return mPath; }
  std::string file(const std::string& name) const { return mPath + "/" + name; }

 private:
  std::string mPath;
};

// Points the resource loader at a folder for the life of the object.
class ResourceDirOverride {
 public:
  explicit ResourceDirOverride(const std::string& dir) {
    if (const char* old = std::getenv("TARNIVEX_RESOURCE_DIR")) {
      mHadOld = true;
      mOld = old;
    }
    setenv("TARNIVEX_RESOURCE_DIR", dir.c_str(), 1);
  }
  ~ResourceDirOverride() {
    if (mHadOld) setenv("TARNIVEX_RESOURCE_DIR", mOld.c_str(), 1);
    else unsetenv("TARNIVEX_RESOURCE_DIR");
  }
  ResourceDirOverride(const ResourceDirOverride&) = delete;
  ResourceDirOverride& operator=(const ResourceDirOverride&) = delete;

 private:
  bool mHadOld = false;
  std::string mOld;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  writeFile(path, std::string(bytes.begin(), bytes.end()));
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

#include <memory>
#include <sstream>

#include "Tarnivex.h"

// A plug-in whose debug log is on and goes to a file of the test, built with
// its resources taken from a folder of the test's choice.
class LoggedPlug {
 public:
  explicit LoggedPlug(const std::string& resourceDir) : mResources(resourceDir) {
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->debugLogPath = mDir.file("debug.txt");
    writeFile(plug->debugLogPath, std::string());
    plug->debugLogEnabled = true;
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
  ResourceDirOverride mResources;
};
