#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace userfiles {

FileLock::FileLock(const std::string& path) {
  const std::string lockPath = path + ".lock";
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    ::close(fd);
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
