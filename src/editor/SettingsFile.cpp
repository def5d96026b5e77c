#include "SettingsFile.h"

#include <unistd.h>

#include <cerrno>

#include "FileLock.h"
#include "UserFiles.h"

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

// Up to five lines, each cut at its "\n" and stripped of trailing blanks.
std::array<std::string, SettingsFile::kLineCount> parseLines(const std::string& text) {
  std::array<std::string, SettingsFile::kLineCount> lines;
  size_t at = 0;
  for (size_t i = 0; i < lines.size() && at < text.size(); ++i) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    while (!line.empty() && trailingBlank(line.back())) line.pop_back();
    lines[i] = line;
    at = end + 1;
  }
  return lines;
}

// A settings file is a few short lines; anything larger is not one.
constexpr size_t kMaxSettingsSize = 1 << 20;
}  // namespace

bool SettingsFile::read(const std::string& path) {
  const auto data = userfiles::readWholeFile(path, kMaxSettingsSize);
  const auto lines = data ? parseLines(std::string(data->begin(), data->end())) : decltype(mLines){};
  std::lock_guard<std::mutex> lock(mMutex);
  mLines = lines;
  return data.has_value();
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

bool SettingsFile::rewrite(const std::string& path, Line which, std::optional<std::string> text, int* error) {
  auto failed = [error](int why) {
    if (error) *error = why;
    return false;
  };
  if (access(path.c_str(), F_OK) != 0) return failed(errno);
  // Read, changed by one line and written back under a lock shared with
  // every other instance, so none of them undoes another's change. The
  // window waits for it as a save does, never without bound.
  const userfiles::FileLock fileLock(path, kLockWait);
  if (fileLock.busy()) return failed(EWOULDBLOCK);
  if (!fileLock.locked()) return failed(errno);
  const auto data = userfiles::readWholeFile(path, kMaxSettingsSize);
  if (!data) return failed(errno);
  auto lines = parseLines(std::string(data->begin(), data->end()));
  // A line break would push the lines after it down: the line ends there.
  if (text) lines[static_cast<size_t>(which)] = text->substr(0, text->find('\n'));
  std::string contentsAfter;
  for (size_t i = 0; i < lines.size(); ++i) contentsAfter += (i ? "\n" : "") + lines[i];
  if (!userfiles::writeFileAtomically(path, contentsAfter)) return failed(errno);
  std::lock_guard<std::mutex> lock(mMutex);
  mLines = lines;
  return true;
}

double SettingsFile::uiScale() const {
  const int i = uiSizeIndex();
  return i < 0 ? 1.0 : kScales[i];
}

int SettingsFile::uiSizeIndex() const { return indexOf(kSizes, line(kSize)); }
int SettingsFile::colourScheme() const { return indexOf(kSchemes, line(kStyle)); }
