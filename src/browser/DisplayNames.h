// The names the bank selection lists show for bank files. A display text
// holds at most 55 characters, so long file names are shortened to a prefix,
// a running number and the extension; equal prefixes that follow one another
// among the shortened names count up.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t kMaxDisplayName = 55;

class DisplayNamer {
 public:
  // The display name of the next bank file of one list; *shortened tells
  // whether the name had to be shortened.
  std::string next(const std::string& fileName, bool* shortened = nullptr);

 private:
  std::string mLastPrefix;
  int mNumber = 0;
};

// The debug-log line for a shortened name.
std::string renameLogLine(const std::string& fileName, const std::string& displayName);
