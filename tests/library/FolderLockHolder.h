// Another process holding a folder's lock, for tests of what waits for it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

// Another process that holds a folder's lock until it is let go, or ten
// seconds have passed (a save that waits for it then fails its row rather
// than hangs).
class LockHolder {
 public:
  explicit LockHolder(const std::filesystem::path& folder) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(mRelease) != 0) return;
    mChild = ::fork();
    if (mChild == 0) {
      ::close(mRelease[1]);
      const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
      const char taken = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
      (void)!::write(ready[1], &taken, 1);
      pollfd release{mRelease[0], POLLIN, 0};
      (void)::poll(&release, 1, 10000);  // until the other end closes
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(mRelease[0]);
    char taken = 'n';
    held = ::read(ready[0], &taken, 1) == 1 && taken == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() { letGo(); }
  void letGo() {
    if (mChild <= 0) return;
    ::close(mRelease[1]);
    ::waitpid(mChild, nullptr, 0);
    mChild = -1;
  }
  bool held = false;

 private:
  pid_t mChild = -1;
  int mRelease[2] = {-1, -1};
};
