#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace userfiles {
namespace {
std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

FileLock::FileLock(const std::string& path) {
  // The folder itself is locked: no lock file is left beside the user's
  // files, and a name of any length locks alike.
  const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return;
  }
  mFd = fd;
}

FileLock::~FileLock() {
  if (mFd < 0) return;
  ::flock(mFd, LOCK_UN);
  ::close(mFd);
}

}  // namespace userfiles
