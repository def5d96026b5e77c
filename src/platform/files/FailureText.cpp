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
    case 0: return "Unknown error";
    default: return std::strerror(error);
  }
}

}  // namespace userfiles
