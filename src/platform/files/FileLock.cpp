#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace userfiles {
namespace {
std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

FileLock::FileLock(const std::string& path, std::optional<std::chrono::milliseconds> wait,
                   const std::atomic<bool>* giveUp) {
  // The folder itself is locked: no lock file is left beside the user's
  // files, and a name of any length locks alike.
  const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // With a bound the lock is tried again and again until it runs out: a
  // holder that never lets go must not keep the caller (the host's window,
  // or its exit) waiting.
  constexpr auto kRetry = std::chrono::milliseconds(10);
  const bool tried = wait || giveUp;
  const auto deadline = wait ? std::chrono::steady_clock::now() + *wait : std::chrono::steady_clock::time_point::max();
  int result = 0;
  for (;;) {
    result = ::flock(fd, tried ? LOCK_EX | LOCK_NB : LOCK_EX);
    if (result == 0) break;
    if (errno == EINTR) continue;
    if (!tried || errno != EWOULDBLOCK) break;
    if (std::chrono::steady_clock::now() >= deadline || (giveUp && giveUp->load())) {
      mBusy = true;
      break;
    }
    std::this_thread::sleep_for(kRetry);
  }
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
