#include "DisplayNames.h"

#include <algorithm>

namespace {
constexpr std::size_t kShortenFrom = 53;
constexpr std::size_t kPrefixLength = 47;

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
  });
  return text;
}

// Cuts at most to length without leaving half a UTF-8 sequence behind.
std::string cutTo(const std::string& text, std::size_t length) {
  if (text.size() <= length) return text;
  std::size_t end = length;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}
}  // namespace

std::string DisplayNamer::next(const std::string& fileName, bool* shortened) {
  if (shortened) *shortened = false;
  if (fileName.size() < kShortenFrom) return fileName;
  const std::string prefix = fileName.substr(0, kPrefixLength);
  mNumber = prefix == mLastPrefix ? mNumber + 1 : 1;
  mLastPrefix = prefix;
  // A name without an extension keeps the whole of itself, lower-cased, in
  // the extension's place.
  const std::size_t dot = fileName.rfind('.');
  const std::string extension = lowered(dot == std::string::npos ? fileName : fileName.substr(dot + 1));
  // The tail stays whole where it can: the prefix gives way first, so a
  // long extension or a large number never pushes the text past 55.
  std::string tail(1, '~');
  tail += std::to_string(mNumber);
  tail += '.';
  tail += extension;
  const std::size_t room = tail.size() < kMaxDisplayName ? kMaxDisplayName - tail.size() : 0;
  if (shortened) *shortened = true;
  return cutTo(cutTo(prefix, room) + tail, kMaxDisplayName);
}

std::string renameLogLine(const std::string& fileName, const std::string& displayName) {
  return "PATCH LIBRARIAN: Filename " + fileName + " RENAMED TO " + displayName +
         " Because the filename was too long to fit in plug-in display!";
}
