#include "SettingsFile.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace {
bool trailingBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

constexpr const char* kSizes[] = {"small", "normal", "large"};
constexpr double kScales[] = {0.85, 1.0, 1.15};
constexpr const char* kSchemes[] = {"yellow", "blue", "phoenix"};

template <size_t N>
int indexOf(const char* const (&names)[N], const std::string& text) {
  for (size_t i = 0; i < N; ++i)
    if (text == names[i]) return static_cast<int>(i);
  return -1;
}
}  // namespace

bool SettingsFile::read(const std::string& path) {
  std::array<std::string, kLineCount> lines;
  std::ifstream file(path, std::ios::binary);
  const bool opened = file.is_open();
  for (size_t i = 0; opened && i < lines.size(); ++i) {
    std::string text;
    if (!std::getline(file, text)) break;
    while (!text.empty() && trailingBlank(text.back())) text.pop_back();
    lines[i] = text;
  }
  std::lock_guard<std::mutex> lock(mMutex);
  mLines = lines;
  return opened;
}

std::string SettingsFile::line(Line which) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mLines[static_cast<size_t>(which)];
}

void SettingsFile::setLine(Line which, const std::string& text) {
  std::lock_guard<std::mutex> lock(mMutex);
  mLines[static_cast<size_t>(which)] = text;
}

std::string SettingsFile::contents() const {
  std::lock_guard<std::mutex> lock(mMutex);
  std::string text;
  for (size_t i = 0; i < mLines.size(); ++i) {
    if (i) text += '\n';
    text += mLines[i];
  }
  return text;
}

bool SettingsFile::rewrite(const std::string& path, Line which, const std::string& text) {
  if (access(path.c_str(), F_OK) != 0) return false;
  std::string contentsAfter;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    std::array<std::string, kLineCount> lines = mLines;
    lines[static_cast<size_t>(which)] = text;
    for (size_t i = 0; i < lines.size(); ++i) contentsAfter += (i ? "\n" : "") + lines[i];
  }
  const std::string temporary = path + ".tmp";
  bool written = false;
  {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(temporary.c_str(), "wb"), std::fclose);
    if (file) {
      written = std::fwrite(contentsAfter.data(), 1, contentsAfter.size(), file.get()) == contentsAfter.size() &&
                std::fflush(file.get()) == 0 && fsync(fileno(file.get())) == 0;
      written = (std::fclose(file.release()) == 0) && written;
    }
  }
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  setLine(which, text);
  return true;
}

double SettingsFile::uiScale() const {
  const int i = uiSizeIndex();
  return i < 0 ? 1.0 : kScales[i];
}

int SettingsFile::uiSizeIndex() const { return indexOf(kSizes, line(kSize)); }
int SettingsFile::colourScheme() const { return indexOf(kSchemes, line(kStyle)); }
