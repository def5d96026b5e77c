// The settings file "Tarnivex Editor UI.txt" as the user or another instance
// left it, read at start-up and changed by one line.
//
// Input: the line to change (a byte), its new text up to a zero byte, then
// the file. Promises: the lines read are at most five, none holds a line
// break; a rewrite changes that one line and keeps the others as the file
// had them.
#include <algorithm>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "SettingsFile.h"

namespace fuzz {

int settingsFile(const uint8_t* data, size_t size) {
  static const std::string folder = freshFolder("settings");
  const std::string path = folder + "/Tarnivex Editor UI.txt";
  Input in(data, size);
  const auto line = static_cast<SettingsFile::Line>(in.byte() % SettingsFile::kLineCount);
  const std::string text = in.until(0);
  const std::vector<uint8_t> file = in.rest();
  writeBytes(path, file.data(), file.size());

  SettingsFile before;
  FUZZ_CHECK(before.read(path));
  for (int i = 0; i < SettingsFile::kLineCount; ++i)
    FUZZ_CHECK(before.line(static_cast<SettingsFile::Line>(i)).find('\n') == std::string::npos);
  before.uiScale();
  before.colourScheme();

  SettingsFile other;  // an instance that read the file before
  const bool written = other.rewrite(path, line, text);
  FUZZ_CHECK(written);
  SettingsFile after;
  FUZZ_CHECK(after.read(path));
  for (int i = 0; i < SettingsFile::kLineCount; ++i) {
    const auto which = static_cast<SettingsFile::Line>(i);
    if (which != line) FUZZ_CHECK(after.line(which) == before.line(which));
  }
  // The new text reads back as the reader keeps lines: cut at a line break,
  // trailing blanks gone.
  std::string expected = text.substr(0, text.find('\n'));
  while (!expected.empty() && std::string(" \t\r\n").find(expected.back()) != std::string::npos) expected.pop_back();
  FUZZ_CHECK(after.line(line) == expected);
  return 0;
}

}  // namespace fuzz
