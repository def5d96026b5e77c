#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "UserFiles.h"

namespace userfiles {
namespace {
// ".<name>.lock" beside the file, hidden from the user's folder view; a
// name too long for that gets a short name made from it, the same in every
// process.
std::string lockPathFor(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() + 6 <= kMaxNameBytes) return folder + "." + name + ".lock";
  std::uint64_t hash = 1469598103934665603ull;
  for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  char shortName[32];
  std::snprintf(shortName, sizeof(shortName), ".lock-%016llx", static_cast<unsigned long long>(hash));
  return folder + shortName;
}
}  // namespace

FileLock::FileLock(const std::string& path) {
  const std::string lockPath = lockPathFor(path);
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
