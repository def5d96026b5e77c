#include "FailureText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace userfiles {

std::string failureReason(int error, const std::string& path) {
  switch (error) {
    case EACCES:
    case EPERM: {
      struct stat info {};
      const bool readOnlyFile = !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                                ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0);
      return readOnlyFile ? "File is read-only" : "Folder is read-only";
    }
    case EROFS: return "Disk is read-only";
    case ENOSPC:
    case EDQUOT: return "Disk full";
    case ENAMETOOLONG: return "Name too long";
    case EFBIG: return "File too large";
    case ENOENT: return "Folder not found";
    case EISDIR: return "Not a file";
    case EIO: return "Disk error";
    case EWOULDBLOCK: return "Folder busy, try again";  // a lock another process kept
    case 0: return "Unknown error";
    default: return std::strerror(error);
  }
}

namespace {
// The length of the valid UTF-8 sequence at the start of text and its code
// point, or 0 when the first byte starts none (a stray continuation byte,
// an overlong form, a surrogate, a code point past U+10FFFF, a cut one).
std::size_t utf8Sequence(std::string_view text, char32_t* code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80, *code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800, *code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000, *code = lead & 0x07;
  else return 0;
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    *code = (*code << 6) | (byte(i) & 0x3F);
  }
  if (*code < min || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF)) return 0;
  return length;
}
}  // namespace

std::string visibleText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = utf8Sequence(text, &code);
    const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    if (length == 0 || control) {
      shown += '?';
      text.remove_prefix(length == 0 ? 1 : length);
      continue;
    }
    shown.append(text.substr(0, length));
    text.remove_prefix(length);
  }
  return shown;
}

}  // namespace userfiles
