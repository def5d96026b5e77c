// An ini file of the window-system layer, read and then changed by one key.
//
// Input: the section, key and value to write, each up to a zero byte, then
// the file. Promises: a write that succeeds changes that one key and no
// other value, section or key a reader sees; a write that fails leaves the
// file as it was.
#include <algorithm>
#include <map>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "IniFiles.h"

namespace fuzz {
namespace {
using Values = std::map<std::pair<std::string, std::string>, std::string>;

// A double-NUL list as the enumerations return it.
std::vector<std::string> splitList(const std::vector<char>& buffer) {
  std::vector<std::string> out;
  for (size_t at = 0; at < buffer.size() && buffer[at];) {
    out.emplace_back(&buffer[at]);
    at += out.back().size() + 1;
  }
  return out;
}

Values everything(const std::string& path) {
  Values values;
  std::vector<char> buffer(1 << 16);
  GetPrivateProfileString(nullptr, nullptr, "", buffer.data(), static_cast<int>(buffer.size()), path.c_str());
  for (const auto& section : splitList(buffer)) {
    std::vector<char> keys(1 << 16);
    GetPrivateProfileString(section.c_str(), nullptr, "", keys.data(), static_cast<int>(keys.size()), path.c_str());
    for (const auto& key : splitList(keys)) {
      std::vector<char> value(1 << 16);
      GetPrivateProfileString(section.c_str(), key.c_str(), "", value.data(), static_cast<int>(value.size()),
                              path.c_str());
      values[{section, key}] = value.data();
    }
  }
  return values;
}

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}
}  // namespace

int iniFiles(const uint8_t* data, size_t size) {
  static const std::string folder = freshFolder("ini");
  const std::string path = folder + "/fuzz.ini";
  Input in(data, size);
  const std::string section = in.until(0), key = in.until(0), value = in.until(0);
  const std::vector<uint8_t> file = in.rest();
  writeBytes(path, file.data(), file.size());
  SWELL_ResetIniCache();

  const Values before = everything(path);
  char small[8];
  GetPrivateProfileSection(section.c_str(), small, sizeof(small), path.c_str());
  GetPrivateProfileInt(section.c_str(), key.c_str(), 7, path.c_str());
  unsigned char raw[4];
  GetPrivateProfileStruct(section.c_str(), key.c_str(), raw, sizeof(raw), path.c_str());

  const bool written = WritePrivateProfileString(section.c_str(), key.c_str(), value.c_str(), path.c_str());
  if (!written) {
    FUZZ_CHECK(readBytes(path) == file);
    return 0;
  }
  SWELL_ResetIniCache();
  const Values after = everything(path);
  // The value reads back as readers see values: trimmed, one pair of quotes off.
  std::string expected = value;
  expected.erase(0, std::min(expected.size(), expected.find_first_not_of(" \t")));
  while (!expected.empty() && (expected.back() == ' ' || expected.back() == '\t')) expected.pop_back();
  if (expected.size() >= 2 && expected.front() == expected.back() && (expected.front() == '\'' || expected.front() == '"'))
    expected = expected.substr(1, expected.size() - 2);
  std::vector<char> readBack(value.size() + 16);
  GetPrivateProfileString(section.c_str(), key.c_str(), "", readBack.data(), static_cast<int>(readBack.size()),
                          path.c_str());
  FUZZ_CHECK(expected == readBack.data());
  auto find = [](const Values& values, const std::pair<std::string, std::string>& name) {
    return std::find_if(values.begin(), values.end(), [&](const auto& entry) {
      return sameName(entry.first.first, name.first) && sameName(entry.first.second, name.second);
    });
  };
  auto isWritten = [&](const std::pair<std::string, std::string>& name) {
    return sameName(name.first, section) && sameName(name.second, key);
  };
  for (const auto& entry : before) {
    if (isWritten(entry.first)) continue;
    const auto found = find(after, entry.first);
    FUZZ_CHECK(found != after.end() && found->second == entry.second);
  }
  // Nothing new but the key written.
  for (const auto& entry : after) FUZZ_CHECK(isWritten(entry.first) || find(before, entry.first) != before.end());
  return 0;
}

}  // namespace fuzz
