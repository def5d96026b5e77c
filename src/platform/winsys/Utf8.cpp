#include "Utf8.h"

namespace winsys {

namespace {
// The length of the well-formed character at s[i], 0 when there is none.
size_t charLength(const std::string& s, size_t i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  size_t n;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3;
  else if (c >= 0xF0 && c <= 0xF4) n = 4;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  if (n == 3 && c == 0xE0 && b(i + 1) < 0xA0) return 0;
  if (n == 3 && c == 0xED && b(i + 1) > 0x9F) return 0;
  if (n == 4 && c == 0xF0 && b(i + 1) < 0x90) return 0;
  if (n == 4 && c == 0xF4 && b(i + 1) > 0x8F) return 0;
  return n;
}
}  // namespace

bool isValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = charLength(s, i);
    if (!n) return false;
    i += n;
  }
  return true;
}

size_t utf8PrefixLength(const std::string& s, size_t max) {
  size_t i = 0;
  while (i < s.size()) {
    size_t n = charLength(s, i);
    if (!n) n = 1;  // a stray byte counts alone
    if (i + n > max) break;
    i += n;
  }
  return i;
}

}  // namespace winsys
