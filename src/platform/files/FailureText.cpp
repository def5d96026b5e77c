#include "FailureText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <Poco/UTF8Encoding.h>

#include <algorithm>
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

std::string visibleText(std::string_view text) {
  const Poco::UTF8Encoding utf8;
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const int available = static_cast<int>(std::min<std::size_t>(text.size(), 4));
    const int length = utf8.sequenceLength(bytes, available);
    const int code = length > 0 && length <= available && Poco::UTF8Encoding::isLegal(bytes, length)
                         ? utf8.queryConvert(bytes, length)
                         : -1;
    // A byte that starts no whole, well-formed character, and a control
    // character, show as one "?" each.
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
      shown += '?';
      text.remove_prefix(code < 0 ? 1 : static_cast<std::size_t>(length));
      continue;
    }
    shown.append(text.substr(0, static_cast<std::size_t>(length)));
    text.remove_prefix(static_cast<std::size_t>(length));
  }
  return shown;
}

}  // namespace userfiles
