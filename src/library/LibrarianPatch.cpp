#include "LibrarianPatch.h"

void LibrarianPatch::parseCategory(int offset) {
  if (dumps.empty() || offset < 0) return;
  const Bytes& dump = dumps.front().bytes;
  for (size_t i = static_cast<size_t>(offset); i < static_cast<size_t>(offset) + 4 && i < dump.size(); ++i)
    category.push_back(static_cast<char>(dump[i]));
}

std::string untilNul(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}
