// An exclusive lock between processes and instances on one file: a flock on
// the hidden lock file ".<name>.lock" beside it (a short name made from the
// file's where that would be too long), held while the object lives.
#pragma once

#include <string>

namespace userfiles {

class FileLock {
 public:
  // Waits for the lock; locked() is false when the lock file cannot be made.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return mFd >= 0; }

 private:
  int mFd = -1;
};

}  // namespace userfiles
